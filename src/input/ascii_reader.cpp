#include "driver/design.h"
#include <fstream>

// PLACEHOLDER: empty stage until its implementation lands.
void Design::ReadAll() {}
void Design::ReadASCII() {}
float Design::ReadAsciiHeader(std::ifstream&) { return 1.0f; }
bool Design::ReadBlock(std::ifstream&, float) { return false; }
bool Design::ReadSearchUntil(std::ifstream&, std::string, std::string) { return false; }
int Design::ReadLayerNum(std::ifstream&, std::string) { return -1; }
