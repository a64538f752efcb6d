#include "driver/app.h"

int main(int argc, char** argv) {
    return chromasect::chromasectMain(argc, argv, true);
}
