#include "driver/design.h"

int main(int argc, char** argv) { return chromasect::chromasectMain(argc, argv); }
