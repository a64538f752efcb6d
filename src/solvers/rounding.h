#pragma once
// Turns the solution matrix of the SDP relaxation into at most NUM_COLORS
// colour classes for the vertices 0..n-1 of one decomposition graph.
//
// Entry X[i][j] is the inner product of the unit vectors of i and j: near 1
// means the same mask, near -1/(k-1) different masks. Strongly similar
// vertices are merged by a union-find whose classes carry the classes they
// must never join; strongly dissimilar pairs are marked apart; the classes
// are then reduced to k by moving the smallest into the cheapest of the k
// largest. An optional second stage re-partitions the classes into three
// groups that cut as much conflict and as little stitch weight as possible.
//
// One object per graph: construct, call Solve once, destroy.

#include <list>
#include <set>
#include <string>
#include <utility>
#include <vector>

// One class of the first stage, as a node of the second stage.
struct TriParNode {
    std::vector<int> vids;  // the vertices of the class
    int parID = -1;         // its group
    int newParID = -1;      // its tentative group during a pass
    bool locked = false;    // already moved in the current pass
};

// Orders candidate pairs by decreasing value.
bool vfunction(const std::pair<double, std::pair<int, int> >& a,
               const std::pair<double, std::pair<int, int> >& b);
// Orders classes by decreasing size.
bool vfunction2(const std::vector<int>& a, const std::vector<int>& b);

class Rounding {
  public:
    // Every matrix entry with |X[i][j]| > 0.001 (diagonal and both mirror
    // cells included) becomes a candidate pair, in row-major order.
    Rounding(std::vector<std::vector<double> > results, std::set<std::pair<int, int> > conflicts,
             std::set<std::pair<int, int> > stitches);

    // Fills colours (resized to n) with one class number in 0..NUM_COLORS-1
    // per vertex. flag1 selects the second stage; it applies to three masks
    // only, with any other mask count the first stage alone runs. flag2 is
    // handed on and changes nothing.
    void Solve(std::vector<int>& colours, bool flag1, bool flag2);

    // ---- first stage ----
    void InitUnionSet();
    void InitParameters();
    int FindSet(int x);
    void Union(int a, int b);
    bool Compatible(int a, int b);
    void MarkApart(int a, int b);
    int GetSetNum();
    // Freezes the union-find into m_lPartitions, largest class first; equal
    // sizes keep the order of their lowest vertex.
    void GenPartitions();
    // Moves the smallest class into class GetNewParID_new until at most
    // NUM_COLORS classes remain.
    void Refinement();
    // The class among the first NUM_COLORS with the least cost towards the
    // last class (conflict +1.0, stitch -0.1); the highest number wins ties.
    int GetNewParID_new();

    // ---- second stage (three groups) ----
    void InitTriPartition(bool flag2);
    void ExhaustTriPartition(bool flag2);
    void backtrack(int depth);
    double getCutValue();
    void assignFinal();
    void TriPartition(bool flag2);

    // ---- state ----
    // "WARNING| " lines (with line ends) of conflict pairs that the first
    // stage merged into one class, for the caller to report.
    std::vector<std::string> m_vWarnings;

    std::vector<std::vector<double> > m_vResults;
    std::vector<std::pair<int, int> > m_vConflicts;
    std::vector<std::pair<int, int> > m_vStitches;
    std::vector<std::pair<double, std::pair<int, int> > > m_vPairs;
    std::list<std::vector<int> > m_lPartitions;
    std::vector<int> m_vParID;

    std::vector<TriParNode> m_vTriParNodes;
    std::vector<std::vector<double> > m_vParWeights;
    std::vector<int> m_vAssign;
    std::vector<std::vector<int> > m_vBestGroups;
    double m_dBestCut = -1000000.0;

    int m_iRounds = 0;
    std::vector<double> m_vMergeThresholds;
    std::vector<double> m_vApartThresholds;
    double m_dMergeFloor = 0.65;

    std::vector<int> m_vParent;
    std::vector<int> m_vRank;
    std::vector<std::set<int> > m_vIncompatible;
};
