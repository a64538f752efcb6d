#include <gtest/gtest.h>

#include <string>

#include "base/params.h"
#include "design/design.h"
#include "geometry/boxdist.h"
#include "input/input.h"
#include "support/test_support.h"

namespace {

class GenLayout : public testsupport::GlobalsTest {
  protected:
    int generate(const std::string& args) {
        const std::string b = testsupport::binaryPath();
        return testsupport::runCommand(b.substr(0, b.rfind('/') + 1) + "gen_layout " + args +
                                       " 2>/dev/null")
            .status;
    }
    testsupport::ScopedWorkDir dir;
};

TEST_F(GenLayout, DeterministicExactCountAndRoutingLike) {
    ASSERT_EQ(generate("--features 700 --seed 5 --out a.ascii"), 0);
    ASSERT_EQ(generate("--features 700 --seed 5 --out b.ascii"), 0);
    ASSERT_EQ(generate("--features 700 --seed 6 --out c.ascii"), 0);
    const std::string a = testsupport::readFile("a.ascii");
    EXPECT_EQ(a, testsupport::readFile("b.ascii"));
    EXPECT_NE(a, testsupport::readFile("c.ascii"));

    MPLDesign d;
    d.inputFile = "a.ascii";
    ReadASCII(d);
    ASSERT_EQ(d.shapes.size(), 700u);
    int rails = 0, bent = 0, squares = 0;
    for (myShape* s : d.shapes) {
        ASSERT_FALSE(s->realBoxes.empty()) << s->id;
        rails += s->bbox->getWidth() * 2 >= layout_right - layout_left;
        bent += s->realBoxes.size() > 1;
        squares += s->bbox->getWidth() == s->bbox->getHeight();
        // Features never touch: wires are 60 apart, via squares 40.
        oaBox w(s->bbox->left() - 60, s->bbox->bottom() - 60, s->bbox->right() + 60,
                s->bbox->top() + 60);
        for (myShape* f : *d.wireRTree.searchoaBox(&w)) {
            if (f == s) continue;
            for (myBox* p : s->realBoxes)
                for (myBox* q : f->realBoxes) ASSERT_GE(Box2BoxDist(p->box, q->box, 1), 1600);
        }
    }
    EXPECT_GE(rails, 1);
    EXPECT_GT(bent, 30);
    EXPECT_GT(squares, 20);

    ASSERT_EQ(generate("--features 1 --out one.ascii"), 0);
    for (const char* bad : {"--features 0", "--width 61", "--width 120 --pitch 120", "--seed"})
        EXPECT_EQ(generate(bad), 1) << bad;
}

}  // namespace
