// A hydrogen atom without a bonded neighbour: one warning per atom after perception, in
// every run, kept for the report; standard output stays as it was.
#include <gtest/gtest.h>

#include <string>

#include "output/writer.h"
#include "testutil.h"

namespace {

struct Case {
    const char* what;
    double hx;           // x of the hydrogen atom H2 (the water oxygen stands at 10)
    bool constraints;    // Hydrogen-Constrain both
    int lone;            // hydrogen atoms without a neighbour
};

}  // namespace

TEST(LoneHydrogen, WarnedOncePerAtomAfterPerceptionAndKept) {
    const Case rows[] = {
        {"water: every hydrogen bonded", 10.96, false, 0},
        {"one hydrogen 3 A away", 13.0, false, 1},
        {"one hydrogen 3 A away, constraints asked for", 13.0, true, 1},
    };
    for (const Case& c : rows) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        StructureBuilder s(30.0);
        s.add("O1", "O", 10, 10, 10);
        s.add("H1", "H", 9.76, 10.93, 10);
        s.add("H2", "H", c.hx, 10, 10);
        s.add("H3", "H", 20, 20, 20);  // a lone hydrogen atom far from everything
        Records r(s.structure());
        r.opt.uisoConstrain = r.opt.ridingConstrain = c.constraints;
        const Streams st = capture([&] { r.perceive(); });
        const int lone = c.lone + 1;
        EXPECT_EQ(countOf(st.err, "has no bonded neighbour"), lone) << st.err;
        EXPECT_EQ(countOf(st.err, "Warning: hydrogen atom H3 has no bonded neighbour"), 1) << st.err;
        EXPECT_EQ(countOf(st.err, "Warning: hydrogen atom H2 has no bonded neighbour"), c.lone) << st.err;
        EXPECT_EQ(countOf(st.err, "; it gets no hydrogen constraint."), c.constraints ? lone : 0) << st.err;
        ASSERT_EQ(static_cast<int>(r.perception.warnings.all().size()), lone);
        for (const RunWarning& w : r.perception.warnings.all()) {
            EXPECT_EQ(w.kind, "hydrogen without neighbours");
            ASSERT_EQ(w.atoms.size(), 1u);
            EXPECT_NE(w.text.find(w.atoms[0]), std::string::npos);
        }
        // the warning goes to standard error only
        EXPECT_EQ(st.out.find("neighbour"), std::string::npos);
    }
}

// The hydrogen-constraint stage no longer repeats the warning for an atom without neighbours.
TEST(LoneHydrogen, TheConstraintStageDoesNotRepeatIt) {
    ScratchDir dir;
    StructureBuilder s(30.0);
    s.add("O1", "O", 10, 10, 10);
    s.add("H1", "H", 10.96, 10, 10);
    s.add("H3", "H", 20, 20, 20);
    Records r(s.structure());
    r.opt.uisoConstrain = true;
    const std::string err = captureStderr([&] {
        r.perceive();
        huconstrain(r.transferring());
    });
    EXPECT_EQ(countOf(err, "H3 has no bonded neighbour"), 1) << err;
}
