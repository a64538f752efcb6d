#include <gtest/gtest.h>

#include <list>
#include <set>
#include <string>
#include <vector>

#include "base/params.h"
#include "layoutgraph/layoutgraph.h"
#include "support/layout_builder.h"

namespace {

using layouttest::LayoutTest;

class Simplification : public LayoutTest {
  protected:
    // Relationships, layout graphs and simplification, as the pipeline runs
    // them; returns what simplification printed.
    std::string simplify() {
        d.report.capture();
        RelationshipLGs(d);
        GenerateLGs(d);
        std::string before = d.report.takeCaptured();
        d.report.capture();
        LayoutGraphSimplification(d);
        return d.report.takeCaptured();
    }
    void expectRemoved(myShape* s) {
        EXPECT_FALSE(s->needDG) << "feature " << s->id;
        EXPECT_EQ(s->color, UNSOLVE_COLOR) << "feature " << s->id;
        for (myBox* b : s->realBoxes) {
            EXPECT_FALSE(b->needDG);
            EXPECT_EQ(b->color, UNSOLVE_COLOR);
        }
    }
    void expectKept(myShape* s) {
        EXPECT_TRUE(s->needDG) << "feature " << s->id;
        EXPECT_EQ(s->color, NEEDDG_COLOR) << "feature " << s->id;
        for (myBox* b : s->realBoxes) {
            EXPECT_TRUE(b->needDG);
            EXPECT_EQ(b->color, NEEDDG_COLOR);
        }
    }
};

TEST_F(Simplification, FirstPassPeelsIsolatedFeaturesTreesNotK4) {
    // Component 0: a star, centre first (removed last, by the cascade).
    myShape* centre = add(0, 0, 100, 100);
    myShape* leaves[4] = {add(200, 0, 300, 100), add(-200, 0, -100, 100), add(0, 200, 100, 300),
                          add(0, -200, 100, -100)};
    // Component 1: four squares 50 apart, diagonals 71: all conflict.
    std::vector<myShape*> k4 = {add(1000, 0, 1100, 100), add(1150, 0, 1250, 100),
                                add(1000, 150, 1100, 250), add(1150, 150, 1250, 250)};
    // Component 2: alone.
    myShape* alone = add(3000, 0, 3100, 100);
    d.report.capture();
    RelationshipLGs(d);
    GenerateLGs(d);
    EXPECT_EQ(d.report.takeCaptured(), "STAT | number of Independent Components: 3\n");

    IterativeVertexRemoval(d, d.lgs);
    ASSERT_EQ(d.simplifyLists.size(), 3u);
    EXPECT_EQ(d.simplifyLists[0], std::list<int>({1, 2, 3, 4, 0}));
    EXPECT_EQ(d.simplifyStacks[0].top(), 0);
    EXPECT_TRUE(d.simplifyLists[1].empty());
    EXPECT_EQ(d.simplifyLists[2], std::list<int>({0}));
    EXPECT_EQ(removedIds(), std::vector<int>({1, 2, 3, 4, 0, 9}));
    expectRemoved(centre);
    for (myShape* s : leaves) expectRemoved(s);
    expectRemoved(alone);
    for (myShape* s : k4) expectKept(s);
}

TEST_F(Simplification, SecondPassWorksOnBands) {
    // A rail (60 high) with two features 10 below and two 10 above it; the
    // four conflict across the rail as well, so with the rail they form a
    // K5 that the first pass keeps. The rail cuts them apart: below, the
    // rail and its two neighbours form a triangle; above, a pair whose
    // rail edges have nowhere to go. The second pass removes all five.
    myShape* rail = add(0, 400, 1000, 460);
    myShape* a1 = add(100, 470, 200, 570);
    myShape* a2 = add(250, 470, 350, 570);
    myShape* b1 = add(100, 290, 200, 390);
    myShape* b2 = add(250, 290, 350, 390);
    myShape* alone = add(700, 800, 750, 900);
    const std::string out = simplify();
    EXPECT_TRUE(rail->isVDDGND);
    EXPECT_NE(out.find("STAT | after 1st LG simplification, simplified wire# = 1\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("STAT | after 2nd LG simplification, simplified wire# = 6\n"),
              std::string::npos)
        << out;
    for (myShape* s : {rail, a1, a2, b1, b2, alone}) expectRemoved(s);
    std::vector<int> ids = removedIds();
    ASSERT_EQ(ids.size(), 6u);
    EXPECT_EQ(ids[0], alone->id);
    EXPECT_EQ(std::set<int>(ids.begin() + 1, ids.begin() + 4),
              std::set<int>({rail->id, b1->id, b2->id}));
    EXPECT_EQ(std::set<int>(ids.begin() + 4, ids.end()), std::set<int>({a1->id, a2->id}));
    // The bands are the layout graphs from here on, with one removal
    // record each.
    ASSERT_EQ(d.lgs.size(), 2u);
    EXPECT_EQ(d.lgs, d.lgParts);
    EXPECT_EQ(asSet(d.lgs[0]), std::set<myShape*>({rail, b1, b2}));
    EXPECT_EQ(asSet(d.lgs[1]), std::set<myShape*>({a1, a2}));
    EXPECT_EQ(d.simplifyStacks.size(), 2u);
    EXPECT_EQ(d.simplifyLists[1].size(), 2u);
}

TEST_F(Simplification, FeatureOnACutMapsToItsOwnVertex) {
    // Below the rail: the rail and b1..b3 form a K4, and x (on the rail's
    // top edge, 70 above the b's) makes it a K5. Above: d, e, f, g form a
    // K4; d stands on the rail's top edge. Nothing goes in the first pass.
    // The rail cuts at 461; x and d reach the cut and lie in both bands.
    // Band below: d hangs on the rail alone and goes; x stays.
    // Band above: d is gone, so x, e, f, g are vertices 0..3 of its graph,
    // not positions 0..3 of the band; x is alone there and goes, then the
    // triangle e, f, g.
    myShape* b1 = add(100, 290, 190, 390);
    myShape* b2 = add(200, 290, 290, 390);
    myShape* b3 = add(300, 290, 390, 390);
    myShape* rail = add(0, 400, 1000, 460);
    myShape* dd = add(700, 460, 800, 650);
    myShape* x = add(100, 460, 390, 520);
    myShape* e = add(600, 590, 690, 720);
    myShape* f = add(810, 590, 900, 720);
    myShape* g = add(700, 660, 800, 760);
    const std::string out = simplify();
    ASSERT_TRUE(rail->isVDDGND);
    ASSERT_EQ(d.lgNum, 1);
    EXPECT_NE(out.find("STAT | after 1st LG simplification, simplified wire# = 0\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("STAT | after 2nd LG simplification, simplified wire# = 5\n"),
              std::string::npos)
        << out;
    for (myShape* s : {b1, b2, b3, rail}) expectKept(s);
    for (myShape* s : {dd, x, e, f, g}) expectRemoved(s);
    std::vector<int> ids = removedIds();
    ASSERT_EQ(ids.size(), 5u);
    EXPECT_EQ(ids[0], dd->id);
    // Each feature once.
    EXPECT_EQ(std::set<int>(ids.begin(), ids.end()),
              std::set<int>({dd->id, x->id, e->id, f->id, g->id}));
    ASSERT_EQ(d.lgs.size(), 2u);
    EXPECT_EQ(asSet(d.lgs[0]), std::set<myShape*>({b1, b2, b3, rail, dd, x}));
    EXPECT_EQ(asSet(d.lgs[1]), std::set<myShape*>({dd, x, e, f, g}));
}

TEST_F(Simplification, NothingToSimplify) {
    const std::string out = simplify();
    EXPECT_EQ(out,
              "STAT | after 1st LG simplification, simplified wire# = 0\n"
              "STAT | after 2nd LG simplification, simplified wire# = 0\n");
    EXPECT_TRUE(d.lgs.empty());
    EXPECT_TRUE(d.simplifyStacks.empty());
}

}  // namespace
