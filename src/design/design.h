#pragma once
// The run object: parameters and every list that passes between the stages.
// The stages are free functions of it, each in its own library, so that what
// a stage may call shows in its includes and its link dependencies. The run
// object owns every record it creates.

#include <iosfwd>
#include <list>
#include <set>
#include <stack>
#include <string>
#include <utility>
#include <vector>

#include "base/report.h"
#include "design/pool.h"
#include "design/run_stats.h"
#include "geometry/oa.h"
#include "geometry/polygon_to_rect.h"
#include "geometry/records.h"
#include "geometry/wire_rtree.h"
#include "graph/graph.h"

// The colouring engine ("-algo"); None leaves the graphs the fast colouring
// cannot settle uncoloured.
enum class Engine { Ilp, Sdp, Exact, Tabu, None };

// The engine's name as "-algo" takes it (and the run report writes it).
inline const char* engineName(Engine e) {
    switch (e) {
        case Engine::Sdp:
            return "sdp";
        case Engine::Ilp:
            return "ilp";
        case Engine::Exact:
            return "exact";
        case Engine::Tabu:
            return "tabu";
        case Engine::None:
            break;
    }
    return "none";
}

// Density balance of the features set aside by simplification ("-balance").
enum class Balance { None, Local, Global };

class Design {
  public:
    Design() = default;
    virtual ~Design() = default;
    Design(const Design&) = delete;
    Design& operator=(const Design&) = delete;

    // ---- parameters ----
    std::string inputFile = "c1sim_merged.ascii";
    int layer = 1;
    Engine algo = Engine::Sdp;
    int simlg = 2;  // > 1 runs layout-graph simplification
    int simdg = 2;  // > 0 splits decomposition graphs; > 1 also tries fast colouring
    bool dplStitch = true;
    bool sdpRoundFlag = false;
    Balance densityBalance = Balance::None;
    bool quiet = true;
    bool allowStitch = true;
    double alpha = 0.1;  // stitch weight
    double beta = 0.07;  // density weight
    int minX = 2147483647;
    int maxX = -2147483647 - 1;
    int minY = 2147483647;
    int maxY = -2147483647 - 1;

    WireRTree wireRTree;

    // The text reader's work buffers, reused so that reading a line or an
    // element allocates nothing once the largest one has been seen.
    struct ReadBuffers {
        std::string line;
        oaPointArray points;
        std::vector<oaBox> rects;
        oaPointArray corners;
        PTR::SkippedOutlines skipped;  // boundaries of the layer left out
        // "-fixed": shapes on a mask datatype beyond NUM_COLORS, and
        // features whose parts carry different masks (both taken as free).
        long beyondMasks = 0;
        long mixedMasks = 0;
    } readBuffers;

    // Every report line of the run goes through here.
    mutable chromasect::Reporter report;

    // ---- lists between the stages ----
    std::vector<myShape*> shapes;
    std::vector<std::vector<myShape*> > lgs;
    std::vector<std::vector<myShape*> > lgParts;
    std::vector<std::vector<mySuperShape*> > dgs;
    std::vector<std::vector<mySuperShape*> > tmpDGs;
    std::vector<myGraph> dgGraphs;
    std::set<std::pair<int, int> > conflictSet;
    std::set<std::pair<int, int> > stitchSet;
    std::vector<std::pair<myBox*, myBox*> > conflicts;
    std::vector<std::pair<myBox*, myBox*> > stitches;
    std::vector<std::stack<int> > simplifyStacks;
    std::vector<std::list<int> > simplifyLists;
    std::stack<int> simplifiedShapes;
    int lgNum = 0;
    int smallUncolored = 0;
    int largeUncolored = 0;
    int superShapeCounter = 0;

    // ---- layouts written besides the report (empty name: none) ----
    std::string outFile;   // "-out": the decomposed layout, written after the report
    std::string dumpFile;  // "-dump": the layer as read, as a text dump; the run stops there
    std::string svgFile;   // "-svg": a picture of the decomposed layer, written after the report
    oaBox svgWindow;       // "-window": the part of the layout drawn, when hasSvgWindow
    bool hasSvgWindow = false;
    std::string reportFile;  // "-report": the machine-readable run report (JSON)
    // The readers keep each feature's outline. A run that never reads them
    // again (no layout or picture written, no previous layout matched) says
    // no before reading.
    bool keepOutlines = true;
    // Where the solvers' working files go: the run's private directory once
    // the driver has made it ("." for a stage run on its own, as in tests).
    std::string solverDir = ".";
    // "-solver_sec": an outside solve running longer is stopped (0: no limit).
    double solverSeconds = 0.0;
    // "-sdp_max_mb": memory one SDP solve may take, in MB; a graph whose
    // estimate is above it goes to the tabu engine. 0: no limit (the driver
    // puts the machine's available memory over the thread count here unless
    // the option says otherwise).
    double sdpMemoryMB = 0.0;
    bool sdpMemoryGiven = false;
    // "-threads": graphs solved at once (1: one after another).
    int threads = 1;
    // "-max_shapes": a GDSII library flattening into more shapes of the
    // layer ends the run before any is made.
    long long maxFlatShapes = 500000000;
    // "-fixed 1": the input's datatypes 1 to NUM_COLORS fix masks 0 to
    // NUM_COLORS - 1 and the marker datatypes are not read.
    bool fixedInput = false;
    // "-previous": a decomposed layout whose unchanged features keep their mask.
    std::string previousFile;
    double exactSeconds = 10.0;  // "-exact_sec": the exact engine's limit per graph
    double tabuSeconds = 0.0;    // "-tabu_sec": the tabu engine's limit per graph (0: none)
    bool reportQuality = false;  // "-quality": print the engines' summed cost
    // Graphs an outside solver gave no usable answer for (each warned about).
    int unansweredGraphs = 0;
    // Names and units of the layout read (units 0 until known); the layouts
    // written take them.
    std::string inputLibName;
    std::string inputStructName;
    double inputUserUnit = 0.0;
    double inputDbUnit = 0.0;

    // ---- owned records ----
    chromasect::Pool<myShape> shapePool;
    chromasect::Pool<myBox> boxPool;
    chromasect::Pool<oaBox> rectPool;
    chromasect::Pool<mySuperShape> superShapePool;
};

class MPLDesign : public Design {
  public:
    MPLDesign() = default;

    // Kept on purpose though nothing changes them: the colour rule of the
    // fast trial reads colorDensity (all zero), and maxILPVarNum records the
    // largest ILP seen.
    std::vector<double> colorDensity = std::vector<double>(3, 0.0);
    int maxILPVarNum = 0;

    // Engine-cost accounting. The cost of a graph's colouring is its
    // conflict pairs plus alpha times its stitch pairs, each unordered pair
    // once.
    int engineGraphs = 0;           // graphs handed to an engine
    int provenGraphs = 0;           // of those, proven optimal by their engine
    double engineCost = 0.0;        // summed cost of the engines' colourings
    double engineStartCost = 0.0;   // summed cost of the starts an engine counts
    double engineLowerBound = 0.0;  // summed bounds the engines proved

    chromasect::RunStats stats;  // for the run report ("-report")
};

// Reports the edges g refused since the last call, on the run's channel.
inline void ReportGraphErrors(const Design& d, myGraph& g) {
    for (const std::string& line : g.TakeErrors()) d.report.print("%s", line.c_str());
}
