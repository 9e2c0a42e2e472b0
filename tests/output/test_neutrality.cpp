// Electroneutrality correction of the monopoles, per molecule, in its four modes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "output/writer.h"
#include "testutil.h"

namespace {

// Water (O1 H1 H2, monopoles 7.9 against 8 valence electrons) and a CH fragment
// (C1 H3, monopoles 5.05 against 5).
// The records are built one by one: the structure, the molecules perception would have found,
// and the transferred monopoles with every atom found.
struct TwoMolecules {
    ScratchDir dir;
    std::unique_ptr<Records> r;
    enum { O1, H1, H2, C1, H3 };

    TwoMolecules() {
        StructureBuilder b;
        b.add("O1", "O", 1, 1, 1);
        b.add("H1", "H", 2, 1, 1);
        b.add("H2", "H", 1, 2, 1);
        b.add("C1", "C", 9, 9, 9);
        b.add("H3", "H", 10, 9, 9);
        r.reset(new Records(b.structure()));
        const double pv[] = {6.2, 0.85, 0.85, 4.1, 0.95};
        const int molecule[] = {1, 1, 1, 2, 2};
        for (int i = 0; i < 5; ++i) {
            r->model().atom[i].multipole[0] = pv[i];
            r->perception.molecule[i] = molecule[i];
        }
        r->transfer.inDatabase.assign(5, 1);
    }

    MonopoleCorrection run(int mode, Streams* streams = nullptr) {
        r->opt.achieveNeutrality = mode;
        MonopoleCorrection c;
        Streams s = capture(*r, [&] { c = computeNeutrality(r->transferring(), 2); });
        if (streams != nullptr) *streams = s;
        return c;
    }
    double written(const MonopoleCorrection& c, int i) { return c.monopole(r->model(), r->perception, i); }
};

const char* const SUMS_TEXT =
    "Both values should not differ by more than one percent.\n"
    "A correction factor for the monopole populations is now\n"
    "calculated to achieve electroneutrality. You chose to\n";

}  // namespace

TEST(Neutrality, AverageModeAddsTheMeanDifferenceToEveryMonopole) {
    TwoMolecules t;
    Streams s;
    MonopoleCorrection c = t.run(0, &s);
    EXPECT_NEAR(t.written(c, t.O1), 6.2 + 0.1 / 3, 1e-12);
    EXPECT_NEAR(t.written(c, t.H1), 0.85 + 0.1 / 3, 1e-12);
    EXPECT_NEAR(t.written(c, t.C1), 4.1 - 0.025, 1e-12);
    EXPECT_NEAR(t.written(c, t.H3), 0.95 - 0.025, 1e-12);
    EXPECT_EQ(s.out, std::string("For the scaling of the monopoles to achieve electroneutrality, \n"
                                 "the program calculates a correction factor:\n"
                                 "MOLECULE NO 1\n"
                                 "\nThe sum of neutral atoms is 8.000000\nand the sum of monopoles is 7.900000.\n") +
                         SUMS_TEXT +
                         "add an average difference of 0.033333 to each of the 3\nmonopoles. Please check the result.\n"
                         "MOLECULE NO 2\n"
                         "\nThe sum of neutral atoms is 5.000000\nand the sum of monopoles is 5.050000.\n" +
                         SUMS_TEXT +
                         "add an average difference of -0.025000 to each of the 2\nmonopoles. Please check the result.\n");
    EXPECT_EQ(s.log, std::string("\nThe sum of neutral atoms is 8.000000\nand the sum of monopoles is 7.900000.\n") +
                         SUMS_TEXT +
                         "add an average of difference of 0.033333 to each of the 3\n monopoles. Please check the result.\n"
                         "\nThe sum of neutral atoms is 5.000000\nand the sum of monopoles is 5.050000.\n" +
                         SUMS_TEXT +
                         "add an average of difference of -0.025000 to each of the 2\n monopoles. Please check the result.\n");
    EXPECT_EQ(s.err, "");
    EXPECT_DOUBLE_EQ(t.r->model().atom[t.O1].elNeg, 3.5);
    EXPECT_DOUBLE_EQ(t.r->model().atom[t.H1].elNeg, 2.2);
}

TEST(Neutrality, ModesOutsideOneToThreeAverageToo) {
    TwoMolecules t;
    MonopoleCorrection c = t.run(7);
    EXPECT_NEAR(t.written(c, t.O1), 6.2 + 0.1 / 3, 1e-12);
}

TEST(Neutrality, FactorModeScalesEachMolecule) {
    TwoMolecules t;
    Streams s;
    MonopoleCorrection c = t.run(1, &s);
    EXPECT_NEAR(t.written(c, t.O1), 6.2 * 8 / 7.9, 1e-12);
    EXPECT_NEAR(t.written(c, t.H3), 0.95 * 5 / 5.05, 1e-12);
    const std::string text = "multiply the monopoles by a correction factor of 1.012658\n"
                             "(the ratio of the sum of the monopoles divided by \nthe sum of the neutral atom valence "
                             "electrons).\nPlease check the result.\n";
    EXPECT_NE(s.out.find(text), std::string::npos) << s.out;
    EXPECT_NE(s.log.find(text), std::string::npos) << s.log;
}

TEST(Neutrality, ElectronegativityModeKeepsDifferenceAndCountPerMolecule) {
    TwoMolecules t;
    Streams s;
    MonopoleCorrection c = t.run(2, &s);
    const double mean1 = (3.5 + 2.2 + 2.2) / 3, mean2 = (2.5 + 2.2) / 2;
    // molecule 1 lacks electrons (D > 0): more for the less electronegative atoms
    EXPECT_NEAR(t.written(c, t.O1), 6.2 + 0.1 * (mean1 / 3.5) / 3, 1e-12);
    EXPECT_NEAR(t.written(c, t.H1), 0.85 + 0.1 * (mean1 / 2.2) / 3, 1e-12);
    // molecule 2 has too many (D < 0): its own D and n, not those of the last molecule
    EXPECT_NEAR(t.written(c, t.C1), 4.1 - 0.05 * (2.5 / mean2) / 2, 1e-12);
    EXPECT_NEAR(t.written(c, t.H3), 0.95 - 0.05 * (2.2 / mean2) / 2, 1e-12);
    const std::string chosen = "add an electronegativity weighted correction factor to\nthe monopole populations. ";
    const std::string explained =
        "The difference of the sum of the \nmonopoles minus the sum of the neutral valence electrons \n"
        "multiplied by an electronegativity-weighted correction factor \nis added to each multipole. ";
    EXPECT_NE(s.out.find(SUMS_TEXT + explained + "Please check the result.\n" + chosen + explained +
                         "Please check the result.\nMOLECULE NO 2\n"),
              std::string::npos)
        << s.out;
    EXPECT_EQ(countOf(s.log, chosen), 2);
    EXPECT_EQ(countOf(s.log, "Please check"), 0);
}

TEST(Neutrality, ElectronegativityModeAddsNothingWhenBalanced) {
    TwoMolecules t;
    t.r->model().atom[t.O1].multipole[0] = 6.3;  // water: 8 = 8
    MonopoleCorrection c = t.run(2);
    EXPECT_DOUBLE_EQ(t.written(c, t.O1), 6.3);
    EXPECT_DOUBLE_EQ(t.written(c, t.H2), 0.85);
}

TEST(Neutrality, HydrogenModeCorrectsOnlyHydrogens) {
    TwoMolecules t;
    Streams s;
    MonopoleCorrection c = t.run(3, &s);
    EXPECT_DOUBLE_EQ(t.written(c, t.O1), 6.2);
    EXPECT_NEAR(t.written(c, t.H1), 0.85 + 0.05, 1e-12);
    EXPECT_NEAR(t.written(c, t.H3), 0.95 - 0.05, 1e-12);
    EXPECT_DOUBLE_EQ(t.written(c, t.C1), 4.1);
    EXPECT_NE(s.out.find("add an average correction only to the hydrogen monopole\npopulations. The correction for "
                         "each of the 2 hydrogen\natoms is 0.050000. Please check the result.\n"),
              std::string::npos);
    EXPECT_NE(s.log.find("The correction  for each of the 1 hydrogen\natoms is -0.050000. Please check the result.\n"),
              std::string::npos);
}

TEST(Neutrality, HydrogenModeWithoutHydrogensWritesNothingAndCorrectsNothing) {
    TwoMolecules t;
    t.r->transfer.inDatabase[t.H3] = 0;  // molecule 2 has no found hydrogen
    Streams s;
    MonopoleCorrection c = t.run(3, &s);
    EXPECT_DOUBLE_EQ(t.written(c, t.H3), 0.95);
    EXPECT_EQ(countOf(s.out, "hydrogen monopole"), 1);
    EXPECT_EQ(s.err, "");
}

TEST(Neutrality, OccupancyWeightsTheSumsAndTheWrittenMonopole) {
    TwoMolecules t;
    t.r->model().atom[t.H3].occupancy = 0.5;
    Streams s;
    MonopoleCorrection c = t.run(0, &s);
    // molecule 2: S_n = 4 + 0.5, S_m = 4.1 + 0.475
    EXPECT_NE(s.out.find("The sum of neutral atoms is 4.500000\nand the sum of monopoles is 4.575000.\n"),
              std::string::npos);
    EXPECT_NEAR(t.written(c, t.H3), 0.475 - 0.0375, 1e-12);
}

TEST(Neutrality, ChargesFileReplacesTheElectronCountOfEachMolecule) {
    TwoMolecules t;
    t.dir.write("Molecule-Charges.in", "Molecule 1 8.0\n\nMolecule 2 4.05\nMolecule 3 99\n");
    Streams s;
    MonopoleCorrection c = t.run(0, &s);
    EXPECT_EQ(s.out.rfind("'Molecule-Charges.in' file exists.\nMolecule 1 has valence charge = 8.000000\n"
                          "Molecule 2 has valence charge = 4.050000\nFor the scaling",
                          0),
              0u)
        << s.out;
    EXPECT_NEAR(t.written(c, t.O1), 6.2 + 0.1 / 3, 1e-12) << "molecule 1 as without the file";
    EXPECT_NEAR(t.written(c, t.C1), 4.1 - 0.5, 1e-12) << "molecule 2: (4.05 - 5.05) / 2";
    EXPECT_NE(s.out.find("The sum of neutral atoms is 4.050000"), std::string::npos);
}

TEST(Neutrality, ChargesFileWithTooFewLinesStops) {
    TwoMolecules t;
    t.dir.write("Molecule-Charges.in", "Molecule 1 8.0\n");
    t.r->opt.achieveNeutrality = 0;
    EXPECT_TRUE(stopsWith([&] { computeNeutrality(t.r->transferring(), 2); }, 1,
                          "Molecule-Charges.in has no line for molecule 2: the structure contains 2 molecules"));
}

TEST(Neutrality, ChargesFileWithAnUnreadableLineStops) {
    for (const char* bad : {"Molecule 2 eight\n", "Mol 2 8\n", "Molecule 2 nan\n", "Molecule 2\n"}) {
        TwoMolecules t;
        t.dir.write("Molecule-Charges.in", std::string("Molecule 1 8.0\n") + bad);
        const Stopped s = failureOf([&] { computeNeutrality(t.r->transferring(), 2); });
        EXPECT_EQ(s.code, 1) << bad;
        EXPECT_EQ(s.message.rfind("Molecule-Charges.in, line for molecule 2: ", 0), 0u) << s.message;
        EXPECT_NE(s.message.find(" is not of the form"), std::string::npos) << s.message;
    }
}

TEST(Neutrality, MoleculeWithoutFoundAtomsKeepsItsMonopoles) {
    for (int mode : {0, 1, 2}) {
        TwoMolecules t;
        t.r->transfer.inDatabase[t.C1] = t.r->transfer.inDatabase[t.H3] = 0;
        Streams s;
        MonopoleCorrection c = t.run(mode, &s);
        EXPECT_EQ(s.err, "No monopoles to calculate correction factor!\n") << mode;
        EXPECT_DOUBLE_EQ(t.written(c, t.C1), 4.1) << mode;
        EXPECT_DOUBLE_EQ(t.written(c, t.H3), 0.95) << mode;
        EXPECT_NE(t.written(c, t.O1), 6.2) << "molecule 1 is still corrected, mode " << mode;
    }
}

TEST(Neutrality, FactorModeWithZeroMonopoleSumWritesTheMonopolesUncorrected) {
    TwoMolecules t;
    t.r->model().atom[t.C1].multipole[0] = 0;
    t.r->model().atom[t.H3].multipole[0] = 0;
    Streams s;
    MonopoleCorrection c = t.run(1, &s);
    EXPECT_EQ(s.err, "The monopoles of molecule 2 add up to zero: they cannot be scaled and are written uncorrected.\n");
    EXPECT_TRUE(std::isfinite(t.written(c, t.C1)));
    EXPECT_DOUBLE_EQ(t.written(c, t.C1), 0.0);
    EXPECT_EQ(s.out.find("inf"), std::string::npos);
}

TEST(Neutrality, ElectronegativityModeWithAnElementWithoutElectronegativity) {
    ScratchDir dir;
    StructureBuilder b;
    b.add("Po1", "Po", 1, 1, 1);
    b.add("C1", "C", 2, 1, 1);
    Records r(b.structure());
    r.model().atom[0].multipole[0] = 5.0;
    r.model().atom[1].multipole[0] = 3.0;  // 30 + 4 valence electrons expected, 8 present: D = 26
    r.perception.molecule[0] = r.perception.molecule[1] = 1;
    r.transfer.inDatabase.assign(2, 1);
    r.opt.achieveNeutrality = 2;
    MonopoleCorrection c;
    auto s = capture(r, [&] { c = computeNeutrality(r.transferring(), 1); });
    EXPECT_EQ(s.err, "Atom Po1 has no electronegativity in the element table: its monopole is written uncorrected.\n");
    EXPECT_DOUBLE_EQ(c.monopole(r.model(), r.perception, 0), 5.0);
    EXPECT_NEAR(c.monopole(r.model(), r.perception, 1), 3.0 + 26.0 * (1.25 / 2.5) / 2, 1e-12);
}

TEST(Neutrality, AtomsOutsideAnyMoleculeAreWrittenUncorrected) {
    TwoMolecules t;
    MonopoleCorrection c = t.run(1);
    t.r->perception.molecule[t.O1] = 0;
    EXPECT_DOUBLE_EQ(t.written(c, t.O1), 6.2);
}
