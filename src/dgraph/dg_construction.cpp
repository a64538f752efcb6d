#include "driver/design.h"

// PLACEHOLDER: empty stage until its implementation lands.
void Design::GenerateDGs() {}
void Design::GenerateDGs(std::vector<myShape*>, std::vector<mySuperShape*>&, int) {}
void Design::initConflictSet(const std::vector<mySuperShape*>&) {}
void Design::initStitchSet(const std::vector<mySuperShape*>&) {}
void Design::GenTmpDGs() {}
void Design::GenerateDGs_myGraph() {}
