#pragma once
// What a run measured about itself, filled by the stages and read by the
// driver's machine-readable report. Plain data: no stage reads it back.

#include <string>
#include <vector>

namespace chromasect {

// One graph that reached a colouring engine, under its index in `dgs`.
struct GraphRecord {
    int index = 0;
    int vertices = 0;
    int conflictPairs = 0;  // distinct unordered pairs
    int stitchPairs = 0;
    const char* engine = "";  // "sdp", "ilp", "exact" or "tabu": the one that coloured it
    double cost = 0.0;        // conflicting pairs plus alpha times stitched pairs
    bool hasLowerBound = false;
    double lowerBound = 0.0;
    bool proven = false;  // the cost is known to be the least possible
    double seconds = 0.0;
    int sameAs = -1;  // the earlier graph of the same work whose answer it took, or -1
    std::vector<std::string> warnings;  // the "WARNING| " lines of this graph, without line ends
};

// Wall and processor time of one stage, and the peak resident memory of the
// process (and of the largest solver it waited for) when it ended.
struct StageRecord {
    std::string name;
    double wallSeconds = 0.0;
    double cpuSeconds = 0.0;  // this process and the solvers it waited for
    long peakRssKB = 0;
    long peakChildRssKB = 0;
};

// Counts are -1 until their stage has run.
struct RunStats {
    int featuresRead = -1;
    int components = -1;  // as reported: features of no area are not counted
    int setAside = -1;    // features set aside by layout-graph simplification
    int pieces = -1;
    int graphsBeforeSplit = -1;
    int graphsAfterSplit = -1;
    int fastTrialGraphs = 0;  // settled by the fast trial
    int solverCalls = 0;      // graphs the fast trial could not settle
    std::vector<GraphRecord> graphs;
    std::vector<StageRecord> stages;
    // A run over MPI processes: how many, and what went to the others.
    int processes = 1;
    long long graphsSent = 0;
    long long bytesSent = 0;
    long long bytesReceived = 0;
    long workerPeakRssKB = 0;  // the largest of the other processes
    // Features whose mask the input fixed, and of an incremental run
    // ("-previous") the features kept, changed and new (-1: not one).
    int fixedFeatures = 0;
    int keptFeatures = -1;
    int changedFeatures = -1;
    int newFeatures = -1;
};

}  // namespace chromasect
