#include "check/check_app.h"

int main(int argc, char** argv) {
    return chromasect::checkMain(argc, argv);
}
