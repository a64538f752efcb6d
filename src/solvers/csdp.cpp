#include "solvers/csdp.h"

// PLACEHOLDER until the SDP engine lands.
void Csdp::csdpPrepare() {}
void Csdp::ReadFileAndSolve(const char*, const char*, bool) {}
void Csdp::ReadVectors(const char*, std::vector<std::vector<double> >& matrix, int n) {
    matrix.assign(n > 0 ? n : 0, std::vector<double>(n > 0 ? n : 0, 0.0));
}
int Csdp::csdpClean() { return 0; }
