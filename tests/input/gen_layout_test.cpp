#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "driver/design.h"
#include "geometry/boxdist.h"
#include "geometry/params.h"
#include "support/test_support.h"

namespace {

std::string generator() {
    std::string b = testsupport::binaryPath();
    return b.substr(0, b.rfind('/') + 1) + "gen_layout";
}

class GenLayout : public testsupport::GlobalsTest {
  protected:
    testsupport::ScopedWorkDir dir;
};

TEST_F(GenLayout, DeterministicExactCountAndRoutingLike) {
    const std::string cmd = generator() + " --features 700 --seed 5 --out a.ascii";
    ASSERT_EQ(testsupport::runCommand(cmd).status, 0);
    ASSERT_EQ(
        testsupport::runCommand(generator() + " --features 700 --seed 5 --out b.ascii").status, 0);
    ASSERT_EQ(
        testsupport::runCommand(generator() + " --features 700 --seed 6 --out c.ascii").status, 0);
    const std::string a = testsupport::readFile("a.ascii");
    EXPECT_EQ(a, testsupport::readFile("b.ascii"));
    EXPECT_NE(a, testsupport::readFile("c.ascii"));

    MPLDesign d;
    d.inputFile = "a.ascii";
    d.ReadASCII();
    ASSERT_EQ(d.shapes.size(), 700u);
    int rails = 0, bent = 0, boxes = 0, straight = 0;
    const int width = layout_right - layout_left;
    for (myShape* s : d.shapes) {
        ASSERT_FALSE(s->realBoxes.empty()) << s->id;
        if (s->bbox->getWidth() * 2 >= width)
            ++rails;
        else if (s->realBoxes.size() > 1)
            ++bent;
        else if (s->bbox->getWidth() == s->bbox->getHeight())
            ++boxes;
        else
            ++straight;
        // Different features never touch: wires are at least pitch - width
        // (60) apart, the slightly wider via squares at least 40.
        oaBox w(s->bbox->left() - 60, s->bbox->bottom() - 60, s->bbox->right() + 60,
                s->bbox->top() + 60);
        std::vector<myShape*> near = *d.wireRTree.searchoaBox(&w);
        for (myShape* f : near) {
            if (f == s) continue;
            for (myBox* p : s->realBoxes)
                for (myBox* q : f->realBoxes) ASSERT_GE(Box2BoxDist(p->box, q->box, 1), 1600);
        }
    }
    EXPECT_GE(rails, 1);
    EXPECT_GT(bent, 30);
    EXPECT_GT(boxes, 20);
    EXPECT_GT(straight, 300);
    EXPECT_NE(a.find("\nBOX\n"), std::string::npos);
}

TEST_F(GenLayout, OptionsAreChecked) {
    EXPECT_EQ(testsupport::runCommand(generator() + " --features 1 --out one.ascii").status, 0);
    MPLDesign d;
    d.inputFile = "one.ascii";
    d.ReadASCII();
    EXPECT_EQ(d.shapes.size(), 1u);
    for (const char* bad :
         {"--features 0", "--width 61", "--width 120 --pitch 120", "--seed", "--colour 3"})
        EXPECT_EQ(testsupport::runCommand(generator() + " " + bad + " 2>/dev/null").status, 1)
            << bad;
}

}  // namespace
