#pragma once
// The run object: parameters, every list that passes between the stages, and
// the stages themselves as member operations. Stages talk to each other only
// through these members. The run object owns every record it creates.

#include <iosfwd>
#include <list>
#include <set>
#include <stack>
#include <string>
#include <utility>
#include <vector>

#include "dgraph/graph.h"
#include "driver/pool.h"
#include "geometry/oa.h"
#include "geometry/records.h"
#include "geometry/wire_rtree.h"

class Design {
public:
    Design() = default;
    virtual ~Design() = default;
    Design(const Design&) = delete;
    Design& operator=(const Design&) = delete;

    virtual bool Decomposition() = 0;

    // ---- parameters ----
    std::string inputFile = "c1sim_merged.ascii";
    int layer = 1;
    int algo = 1;   // 0 = ILP engine, 1 = SDP engine, 2 = exact engine
    int simlg = 2;  // > 1 runs layout-graph simplification
    int simdg = 2;  // > 0 splits decomposition graphs; > 1 also tries fast colouring
    bool dplStitch = true;
    bool sdpRoundFlag = false;
    int densityBalance = 0;
    bool quiet = true;
    bool allowStitch = true;
    double alpha = 0.1;  // stitch weight
    double beta = 0.07;  // density weight
    int minX = 2147483647;
    int maxX = -2147483647 - 1;
    int minY = 2147483647;
    int maxY = -2147483647 - 1;

    WireRTree wireRTree;

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

    // Set when parsing stopped on an error rather than on "-help": the
    // usage is shown either way, but an error ends the run with status 1.
    bool parseFailed = false;

    // ---- layouts written besides the report (empty name: none) ----
    std::string outFile;   // "-out": the decomposed layout, written after the report
    std::string dumpFile;  // "-dump": the layer as read, as a text dump; the run stops there
    std::string svgFile;   // "-svg": a picture of the decomposed layer, written after the report
    oaBox svgWindow;       // "-window": the part of the layout drawn, when hasSvgWindow
    bool hasSvgWindow = false;
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

    // ---- command line ----
    bool parseParameters(int argc, char** argv);
    bool parseParametersV2(int argc, char** argv);

    // ---- reading ----
    void ReadAll();
    void ReadASCII();
    float ReadAsciiHeader(std::ifstream& in);
    bool ReadBlock(std::ifstream& in, float factor);
    bool ReadSearchUntil(std::ifstream& in, std::string key, std::string alt);
    int ReadLayerNum(std::ifstream& in, std::string key);
    // A binary GDSII library: one layer flattened and merged into features.
    void ReadGDSII();

    // ---- layout graphs ----
    void RelationshipLGs();
    void initTouchDPLBoxes4RealBoxes();
    int GenerateLGCmpID(std::vector<myShape*> shapes);
    void GenerateLGs();
    void GenerateLGsPart();
    void LayoutGraphSimplification();
    void IterativeVertexRemoval(std::vector<std::vector<myShape*> >& lists);

    // ---- projection ----
    void Projection();
    void SplitRealBoxes2MyBoxes(myShape* shape);
    int CanIntroStitch_TPL(myBox* a, myBox* b);
    void ConnectTouchBoxes(std::vector<myShape*>& shapes);
    void ConnectDPLBoxes(std::vector<myShape*>& shapes);

    // ---- decomposition graphs ----
    void GenerateDGs();
    void GenerateDGs(std::vector<myShape*> lg, std::vector<mySuperShape*>& dg, int group);
    void initConflictSet(const std::vector<mySuperShape*>& dg);
    void initStitchSet(const std::vector<mySuperShape*>& dg);
    void GenTmpDGs();
    void GenerateDGs_myGraph();
    void GenSimplifiedDG();

    // ---- result report ----
    void CalculateConflicts();
    void CalculateConflicts(int i);
    void CalculateStitches();
    void CountUncoloredSimplified();
    void ResultStat();
    void DebugFinalColor(double value);
};

struct ILPVariable {
    int kind;
    int index1;
    int index2;
    int index3;
};

class MPLDesign : public Design {
public:
    MPLDesign() = default;

    bool Decomposition() override;

    std::vector<double> colorDensity = std::vector<double>(3, 0.0);
    int maxILPVarNum = 0;

    // Exact engine (algo 2) and engine-cost accounting. The cost of a
    // graph's colouring is its conflict pairs plus alpha times its stitch
    // pairs, each unordered pair once.
    double exactSeconds = 10.0;  // time limit per graph
    bool reportQuality = false;  // print the engine cost before the result
    int engineGraphs = 0;        // graphs handed to an engine
    int exactProven = 0;         // of those, proven optimal by the exact engine
    double engineCost = 0.0;     // summed cost of the engines' colourings
    double engineStartCost = 0.0;  // exact engine: summed cost of its starts

    // ---- colour assignment ----
    bool ResolveDGs();
    bool FastColorAssignmentTrial(const std::vector<mySuperShape*>& dg);
    void GroupSDP(const std::vector<mySuperShape*>& dg);
    void WriteGroupSDP(const char* fileName, const std::vector<mySuperShape*>& dg);
    void WriteGroupSDP_DensityBalance(const char* fileName, const std::vector<mySuperShape*>& dg);
    void GroupILP(const std::vector<mySuperShape*>& dg);
    void WriteGroupILP(const char* fileName, const std::vector<mySuperShape*>& dg,
                       std::vector<ILPVariable>* vars, bool relax);
    void parseFileSolutionGurobi(const std::vector<mySuperShape*>& dg);
    void GroupExact(const std::vector<mySuperShape*>& dg);
    // Cost of dg's working colours under the current pair sets.
    double GraphCost(const std::vector<mySuperShape*>& dg) const;
    void PrintEngineQuality() const;

    // ---- back-annotation and balance ----
    void Rotations();
    void RotationForVDDGND();
    void RotationForTouchBoxes();
    void AssignLGNonSimplifiedColors();
    void ColorRemovedRails();
    void AssignLGSimplifiedColors();
    void GetWireDensity(std::vector<double>& density);
    double GetDensityValue(const std::vector<double>& density);
    int GetMyShapeColor_GlobalBalance(myShape* shape, const std::vector<bool>& forbidden,
                                      std::vector<double>& density);
    int GetMyShapeColor_LocalBalance(myShape* shape, const std::vector<bool>& forbidden);
    int AssignLegalColor(const std::vector<bool>& conflictColors,
                         const std::vector<bool>& stitchColors);
};

// Banner and usage text on standard output.
void printWelcomeV2();
void printUsageV2();

namespace chromasect {
// The whole program: banner, parsing, reading, decomposition and report.
// Returns the exit status; fatal conditions are reported here.
int chromasectMain(int argc, char** argv);
}  // namespace chromasect
