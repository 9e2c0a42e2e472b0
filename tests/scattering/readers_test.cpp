// Readers of the engine's inputs: reflections (SHELX HKLF 4, XD), radial exponents, and the
// master-file values today's readers do not keep.
#include <gtest/gtest.h>

#include <cmath>

#include "scattering/from_quandrel.h"
#include "scattering/radial.h"
#include "scattering/reflections.h"
#include "testutil.h"

namespace sc = scattering;

namespace {

TEST(HklReaders, ReadShelxAndXdRows) {
    const auto shelx = sc::parseShelxHkl("   1   2  -3  123.45    6.78   2\n"
                                         "  10 -11  12    0.50    0.10\n"
                                         "   0   0   0    0.00    0.00\n"
                                         "   5   5   5    1.00    1.00\n",
                                         "s.hkl");
    ASSERT_EQ(shelx.size(), 2u);  // 0 0 0 ends the data
    EXPECT_EQ(shelx[0].hkl, (sc::Miller{1, 2, -3}));
    EXPECT_DOUBLE_EQ(shelx[0].f2, 123.45);
    EXPECT_DOUBLE_EQ(shelx[0].sigma, 6.78);
    EXPECT_EQ(shelx[0].batch, 2);
    EXPECT_EQ(shelx[1].hkl, (sc::Miller{10, -11, 12}));
    EXPECT_EQ(shelx[1].batch, 1);
    // fixed columns: numbers that fill their fields touch
    EXPECT_EQ(sc::parseShelxHkl("-100-200-300 1234.56  123.45\n", "s.hkl")[0].hkl, (sc::Miller{-100, -200, -300}));

    const auto xd = sc::parseXdHkl("CHECK  F^2  NDAT  6\n 2 0 0 1 3204.83 100.77\n\n -1 3 2 1 7.5 0.25\n", "xd.hkl");
    ASSERT_EQ(xd.size(), 2u);
    EXPECT_EQ(xd[1].hkl, (sc::Miller{-1, 3, 2}));
    EXPECT_DOUBLE_EQ(xd[1].sigma, 0.25);
}

TEST(HklReaders, MalformedLinesNameFileAndLine) {
    struct Case {
        bool shelx;
        const char* text;
        const char* message;
    } cases[] = {
        {true, "   1   2   3  10.00   1.00\n   1   x   3  10.00   1.00\n", "s.hkl, line 2: columns 5-8 hold no Miller index"},
        {true, "   1   2   3  abc      1.00\n", "s.hkl, line 1: columns 13-28 hold no F^2"},
        {true, "   1   2   3   10.00    1.00  ab\n", "s.hkl, line 1: columns 29-32 hold no batch"},
        {true, "   1   2   3   10.00   -1.00\n", "s.hkl, line 1: the standard uncertainty -1 is negative"},
        {true, "   1   2   3   10.00    1.00   1 junk\n", "s.hkl, line 1: \"junk\" behind the batch"},
        {false, "", "s.hkl: no header line"},
        {false, "CHECK F NDAT 6\n", "s.hkl, line 1: the header is not"},
        {false, "CHECK F^2 NDAT 3\n", "s.hkl, line 1: NDAT 3"},
        {false, "CHECK F^2 NDAT 6\n1 2 3 1 10.0\n", "s.hkl, line 2: not a row"},
        {false, "CHECK F^2 NDAT 6\n1 2 3 1 10.0 nan\n", "s.hkl, line 2: not a row"},
        {false, "CHECK F^2 NDAT 6\n1 2 3000 1 10.0 1.0\n", "s.hkl, line 2: the index 1000 is beyond 999"},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(stopsWith([&] { c.shelx ? sc::parseShelxHkl(c.text, "s.hkl") : sc::parseXdHkl(c.text, "s.hkl"); },
                              1, c.message))
            << c.text;
    EXPECT_TRUE(stopsWith([] { sc::readXdHkl("/nonexistent/xd.hkl"); }, 1, "can't open /nonexistent/xd.hkl"));
}

TEST(Radial, StandardExponentsAndTheUsersTable) {
    // C: Clementi-Raimondi 2s + 2p exponents, 1.6083 + 1.5679 bohr^-1; hydrogen 2 bohr^-1
    EXPECT_NEAR(sc::standardRadial(6).zeta, 3.1762 / 0.529177210903, 1e-3);
    EXPECT_NEAR(sc::standardRadial(1).zeta, 2.0 / 0.529177210903, 1e-9);
    EXPECT_EQ(sc::standardRadial(1).n, (std::array<int, 5>{0, 1, 2, 3, 4}));
    EXPECT_EQ(sc::standardRadial(8).n, (std::array<int, 5>{2, 2, 2, 3, 4}));
    EXPECT_EQ(sc::standardRadial(16).n, (std::array<int, 5>{4, 4, 4, 4, 4}));
    EXPECT_EQ(sc::standardRadial(26).n, (std::array<int, 5>{4, 4, 4, 4, 4}));
    EXPECT_EQ(sc::standardRadial(35).n, (std::array<int, 5>{6, 6, 6, 6, 6}));
    for (int z = 1; z <= 36; ++z) {
        const double zeta = sc::standardRadial(z).zeta;
        EXPECT_GT(zeta, 1.0) << z;
        EXPECT_LT(zeta, 20.0) << z;
    }
    EXPECT_TRUE(stopsWith([] { sc::standardRadial(37); }, 1, "no standard exponent for element 37"));

    const auto table = sc::parseRadialText("# a bank\nH 3.6 0 1 2 3 4\n\ncl 5.5 4 4 4 4 4\n", "r.txt");
    ASSERT_EQ(table.size(), 2u);
    EXPECT_DOUBLE_EQ(table.at(17).zeta, 5.5);
    EXPECT_EQ(table.at(1).n[4], 4);
    const std::pair<const char*, const char*> bad[] = {
        {"Xx 3 2 2 2 3 4\n", "r.txt, line 1: \"Xx\" names no element"},
        {"C\n", "r.txt, line 1: the exponent of C"},
        {"\nC -3 2 2 2 3 4\n", "r.txt, line 2: the exponent of C"},
        {"C 3 2 2 2 3\n", "r.txt, line 1: n_4 of C is missing"},
        {"C 3 2 2 0 3 4\n", "r.txt, line 1: n_2 of C is missing or outside 1..12"},
        {"C 3 2 2 2 3 4 5\n", "r.txt, line 1: more than six numbers"},
    };
    for (const auto& b : bad) EXPECT_TRUE(stopsWith([&] { sc::parseRadialText(b.first, "r.txt"); }, 1, b.second)) << b.first;
}

TEST(MasterExtras, WavelengthAndHandedness) {
    const auto x = sc::parseMasterExtras("WAVE     0.71073\n"
                                         "ATOM     ATOM0    AX1 ATOM1    ATOM2   AX2 R/L TP TBL KAP LMX SITESYM  CHEMCON\n"
                                         "O(1)  C(1)  Z  O(1)  O(2)  Y  R  2  1  1  4  NO\n"
                                         "C(1)   O(1) X C(1) DUM0 Y L 2 1 1 4 NO\n"
                                         "DUM0 0.1 0.2 0.3\n"
                                         "END ATOM\n"
                                         "ATOM     label ato(1) symm 1 trans 0 0 0\n",
                                         "xd.mas");
    EXPECT_DOUBLE_EQ(x.wavelength, 0.71073);
    ASSERT_EQ(x.handedness.size(), 2u);
    EXPECT_EQ(x.handedness.at("O(1)"), 'R');
    EXPECT_EQ(x.handedness.at("C(1)"), 'L');
    EXPECT_TRUE(stopsWith([] { sc::parseMasterExtras("WAVE x\n", "xd.mas"); }, 1, "xd.mas, line 1: the WAVE card"));
    EXPECT_TRUE(stopsWith(
        [] { sc::parseMasterExtras("ATOM ATOM0 AX1\nO(1) C(1) Z O(1) O(2) Y Q 2\nEND ATOM\n", "xd.mas"); }, 1,
        "xd.mas, line 2: the ATOM-table line of O(1) has no R or L"));
}

}  // namespace
