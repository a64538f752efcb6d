#include "projection/stitch_candidates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/params.h"
#include "design/design.h"
#include "projection/projection.h"
#include "support/test_support.h"

namespace {

using Cuts = std::vector<int>;

class StitchCandidates : public testsupport::GlobalsTest {
  protected:
    void SetUp() override {
        GlobalsTest::SetUp();
        layout_left = layout_bottom = 0;
        layout_right = layout_top = 10000;
    }

    // Horizontal boxes are cut along x, others along y; the range is the
    // box's own extent on that axis, as projection passes it.
    Cuts dpl(const oaBox& box, std::vector<oaBox> projections, bool keepLong = false,
             Cuts cuts = {-1}) {
        bool horizontal = box.getWidth() >= box.getHeight();
        StitchGenerateDPL_Points(&box, refs(projections), cuts,
                                 horizontal ? box.left() : box.bottom(),
                                 horizontal ? box.right() : box.top(), keepLong);
        return cuts;
    }

    Cuts tpl(const oaBox& box, std::vector<oaBox> projections, Cuts cuts = {-1}) {
        StitchGenerateTPL_Points(&box, refs(projections), cuts, box.left(), box.right(), false);
        return cuts;
    }

    // Coverage counts per 100-wide stretch of a box starting at 0: stretch i
    // gets counts[i] projections spanning exactly it. No two neighbouring
    // stretches may both be 0 (they would merge into one).
    Cuts tplProfile(const std::vector<int>& counts) {
        std::vector<oaBox> projections;
        for (size_t i = 0; i < counts.size(); ++i)
            for (int k = 0; k < counts[i]; ++k)
                projections.emplace_back(int(100 * i), 0, int(100 * (i + 1)), 10);
        return tpl(oaBox(0, 0, int(100 * counts.size()), 10), projections);
    }

  private:
    std::vector<oaBox*> refs(std::vector<oaBox>& boxes) {
        std::vector<oaBox*> out;
        for (oaBox& b : boxes) out.push_back(&b);
        return out;
    }
};

TEST_F(StitchCandidates, DplCutsOnlyInnerUncoveredStretches) {
    const oaBox box(0, 0, 1000, 100);
    // No projection: one stretch, both first and last. Stale cuts are dropped.
    EXPECT_EQ(dpl(box, {}), Cuts{});
    // One middle projection: uncovered stretches only at the ends.
    EXPECT_EQ(dpl(box, {{400, 0, 600, 100}}), Cuts{});
    // Two separated projections: cut in the middle of the gap, in any order.
    EXPECT_EQ(dpl(box, {{100, 0, 300, 100}, {600, 0, 800, 100}}), Cuts{450});
    EXPECT_EQ(dpl(box, {{600, 0, 800, 100}, {100, 0, 300, 100}}), Cuts{450});
    // Several gaps, sorted; overlapping projections do not leave a gap.
    EXPECT_EQ(
        dpl(box, {{700, 0, 800, 100}, {0, 0, 200, 100}, {150, 0, 400, 100}, {500, 0, 600, 100}}),
        (Cuts{450, 650}));
    // A 1-unit stretch is cut at its low end.
    EXPECT_EQ(dpl(box, {{0, 0, 10, 100}, {11, 0, 1000, 100}}), Cuts{10});
    // Negative midpoints truncate toward zero: (-5 + 0) / 2 is -2.
    EXPECT_EQ(dpl(oaBox(-100, 0, 100, 10), {{-100, 0, -5, 10}, {0, 0, 100, 10}}), Cuts{-2});
}

TEST_F(StitchCandidates, DplLongBoxRuleUsesTheLayoutExtent) {
    const std::vector<oaBox> gap = {{100, 0, 300, 100}, {600, 0, 800, 100}};
    // 1000 wide against 0.6 x 1500 = 900: too long.
    layout_left = 500;
    layout_right = 2000;
    EXPECT_EQ(dpl(oaBox(0, 0, 1000, 100), gap), Cuts{});
    EXPECT_EQ(dpl(oaBox(0, 0, 1000, 100), gap, true), Cuts{450});
    // Exactly 0.6 of the extent is not too long; one unit more is.
    EXPECT_EQ(dpl(oaBox(0, 0, 900, 100), gap), Cuts{450});
    EXPECT_EQ(dpl(oaBox(0, 0, 901, 100), gap), Cuts{});
    // A vertical box is measured against the layout height only.
    layout_right = layout_left + 100;
    layout_top = 1000;
    EXPECT_EQ(dpl(oaBox(0, 0, 100, 1000), {{0, 100, 100, 300}, {0, 600, 100, 800}}), Cuts{});
    layout_top = 10000;
    EXPECT_EQ(dpl(oaBox(0, 0, 100, 1000), {{0, 100, 100, 300}, {0, 600, 100, 800}}), Cuts{450});
}

TEST_F(StitchCandidates, TplDipsInsideCoveredRuns) {
    // 0,1,2,1,2,1,0: one cut, in the 1 between the two 2s.
    EXPECT_EQ(tplProfile({0, 1, 2, 1, 2, 1, 0}), Cuts{350});
    // Equal scores: the earliest dip wins.
    EXPECT_EQ(tplProfile({0, 2, 1, 2, 1, 2, 0}), Cuts{250});
    // Equal depth: the 0.1 x asymmetry term makes the later dip win (1.1 > 1.0).
    EXPECT_EQ(tplProfile({0, 1, 3, 2, 3, 2, 4, 1, 0}), Cuts{550});
    // Fewer than three covered stretches between uncovered ones: no dip looked at.
    EXPECT_EQ(tplProfile({0, 2, 1, 0, 5, 0}), Cuts{350});
    // A covered start is padded, which shifts the positions: the dip is the
    // second real stretch.
    EXPECT_EQ(tplProfile({2, 1, 2, 0}), Cuts{150});
}

TEST_F(StitchCandidates, TplUncoveredStretchesAndEndPatterns) {
    // Covered throughout: (0,0,0) (0,1000,1) (1000,1000,0), no cut.
    EXPECT_EQ(tpl(oaBox(0, 0, 1000, 100), {{0, 0, 1000, 100}}), Cuts{});
    // No stretch at all: the cut list is left as it was.
    EXPECT_EQ(tpl(oaBox(5, 0, 5, 0), {}), Cuts{-1});
    // 0,1,0,2,0: the gap is cut.
    EXPECT_EQ(tplProfile({0, 1, 0, 2, 0}), Cuts{250});
    // 0,1,0,1,0 at the start (and so at the end): not cut.
    EXPECT_EQ(tplProfile({0, 1, 0, 1, 0}), Cuts{});
    EXPECT_EQ(tplProfile({0, 1, 0, 1, 0, 1, 0}), Cuts{});
    // Only the gaps next to the ends are spared.
    EXPECT_EQ(tplProfile({0, 1, 0, 1, 0, 1, 0, 1, 0}), Cuts{450});
    // The same pattern reached through padding at both ends.
    EXPECT_EQ(tplProfile({1, 0, 1}), Cuts{});
    // 1-unit stretch and negative truncation, as for the default generator.
    EXPECT_EQ(tpl(oaBox(0, 0, 1000, 100), {{0, 0, 10, 100}, {11, 0, 900, 100}, {11, 0, 900, 100}}),
              Cuts{10});
    EXPECT_EQ(tpl(oaBox(-100, 0, 100, 10), {{-100, 0, -5, 10}, {0, 0, 100, 10}, {0, 0, 100, 10}}),
              Cuts{-2});
    // No long-box rule: a box longer than the whole layout is still cut.
    layout_right = 100;
    EXPECT_EQ(tplProfile({0, 1, 0, 2, 0}), Cuts{250});
}

class CanIntroStitch : public testsupport::GlobalsTest {
  protected:
    MPLDesign d;

    myBox* piece(int l, int b, int r, int t) { return d.boxPool.make(d.rectPool.make(l, b, r, t)); }
    myBox* inVertex(int v) {
        myBox* b = piece(0, 0, 10, 10);
        b->vertexIndex = v;
        return b;
    }
};

TEST_F(CanIntroStitch, OnlyBetweenSidesFacingDifferentVertices) {
    myBox* a = piece(0, 0, 20, 20);
    myBox* b = piece(20, 0, 40, 20);
    // Neither conflicts with anything.
    EXPECT_EQ(CanIntroStitch_TPL(a, b), 0);
    // {3} against {3, 5}, either way round.
    myBox* v3 = inVertex(3);
    a->conflictNeighbors = {v3};
    b->conflictNeighbors = {inVertex(3), inVertex(5)};
    EXPECT_EQ(CanIntroStitch_TPL(a, b), 1);
    EXPECT_EQ(CanIntroStitch_TPL(b, a), 1);
    // {3} against {3} through another piece of vertex 3; boxes outside any
    // vertex do not count.
    b->conflictNeighbors = {inVertex(3), inVertex(-1)};
    EXPECT_EQ(CanIntroStitch_TPL(a, b), 0);
    // Only one side conflicts.
    b->conflictNeighbors.clear();
    EXPECT_EQ(CanIntroStitch_TPL(a, b), 1);

    // MINDPLDIST / (2 x NUM_COLORS) = 20: a 19-wide or 19-high piece never stitches.
    b->conflictNeighbors = {inVertex(5)};
    myBox* thin = piece(20, 0, 39, 20);
    myBox* low = piece(20, 0, 40, 19);
    thin->conflictNeighbors = low->conflictNeighbors = b->conflictNeighbors;
    EXPECT_EQ(CanIntroStitch_TPL(a, b), 1);
    EXPECT_EQ(CanIntroStitch_TPL(a, thin), 0);
    EXPECT_EQ(CanIntroStitch_TPL(thin, a), 0);
    EXPECT_EQ(CanIntroStitch_TPL(a, low), 0);
    MINDPLDIST = 114;  // threshold 19
    EXPECT_EQ(CanIntroStitch_TPL(a, thin), 1);
}

}  // namespace
