#pragma once
// Runs the outside SDP solver on a problem file and reads its answer back.
// Working files live in the current directory under fixed names.

#include <vector>

class Csdp {
public:
    static void csdpPrepare();
    static void ReadFileAndSolve(const char* problemFile, const char* solutionFile, bool toLog);
    static void ReadVectors(const char* fileName, std::vector<std::vector<double> >& matrix, int n);
    static int csdpClean();
};
