// Core and valence form factors: every element H to Kr, the published PBE/ZORA tables, the
// published Hartree-Fock orbitals, the SCAT-row split and the cache.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "atomtest.h"
#include "testutil.h"

using namespace atoms;

namespace {

ShellSplit splitOf(const std::string& row) {   // "1S 2S 3S 4S 2P 3P 4P 3D 4D 4F 5S 5P" columns
    ShellSplit s;
    std::istringstream in(row);
    for (int c = 0; c < 12; ++c) in >> s.occupations[c];
    return s;
}

}  // namespace

// All elements H to Kr with the defaults (PBE, ZORA), solved once: convergence, electron
// counts, f(0), and the four elements of the published tables within 0.0005 e (core) and
// 0.001 (valence per electron) at sin(theta)/lambda = 0, 0.05, ...
TEST(FormFactors, EveryElementHToKrConvergesAndMatchesThePublishedTables) {
    const auto reference = atomtest::referenceTables();
    for (int z = 1; z <= 36; ++z) {
        SCOPED_TRACE(symbolOf(z));
        const atomtest::SolvedElement& e = atomtest::defaultAtom(z);
        EXPECT_LT(e.solution.iterations, 60);
        std::vector<double> count(e.solution.r.size());
        for (std::size_t i = 0; i < count.size(); ++i)
            count[i] = 4 * atomtest::PI * e.solution.r[i] * e.solution.r[i] * e.solution.density[i];
        EXPECT_NEAR(integrateRadial(e.solution, count), z, 1e-8);
        for (const auto& s : e.solution.shells) EXPECT_LT(s.energy, 0) << s.n << " " << s.l;
        const FormFactors& f = e.factors;
        EXPECT_EQ(f.coreElectrons() + f.valenceElectrons(), z);
        EXPECT_NEAR(f.core(0), f.coreElectrons(), 1e-6);
        EXPECT_NEAR(f.valence(0), 1, 1e-6);
        EXPECT_GE(f.maxStol(), 2.5);
        EXPECT_LT(std::fabs(f.valence(2.5)), 0.05);
        EXPECT_NEAR(f.totalEnergy(), e.solution.totalEnergy, 1e-12);

        for (const char* kind : {"core", "valence"}) {
            const auto row = reference.find(std::string(symbolOf(z)) + " " + kind);
            if (row == reference.end()) continue;
            const bool core = kind[0] == 'c';
            double worst = 0;
            for (std::size_t i = 0; i < row->second.size(); ++i) {
                const double stol = 0.05 * double(i);
                worst = std::max(worst, std::fabs((core ? f.core(stol) : f.valence(stol)) - row->second[i]));
            }
            EXPECT_LT(worst, core ? 0.0005 : 0.001) << kind;
        }
    }
    EXPECT_EQ(reference.count("H core"), 0u);
    EXPECT_EQ(reference.size(), 7u) << "O, N, C core and valence, H valence";
}

// The published Hartree-Fock orbitals: the numerical transform and its interpolation agree
// with the closed form to 1e-5 for compact cores and diffuse valence shells, on the
// listing's points and between the table's points.
TEST(FormFactors, SlaterTablesGiveTheClosedFormTransforms) {
    AtomSettings settings;
    settings.wavefunctionDir = atomtest::neutralWavefunctions();
    for (int z : {8, 3, 11, 19, 26, 36, 37, 54}) {
        SCOPED_TRACE(symbolOf(z));
        const SlaterAtom file = readSlater(settings.wavefunctionDir, symbolOf(z));
        const ShellSplit split = defaultSplit(z);
        const FormFactors f = makeFormFactors(computeShells(z, settings), split);
        EXPECT_EQ(f.totalEnergy(), file.totalEnergy);
        double worstCore = 0, worstValence = 0;
        for (int i = 0; i < 120; ++i) {   // 0 to 2.975
            const double stol = i % 2 == 0 ? 0.025 * i : 0.025 * i + 0.0025;   // also between table points
            double core = 0, valence = 0;
            for (int c = 0; c < 18; ++c) {
                const int occ = split.occupations[c];
                for (const auto& o : file.orbitals)
                    if (occ != 0 && o.n == scatColumn(c).n && o.l == scatColumn(c).l)
                        (occ > 0 ? core : valence) += std::abs(occ) * atomtest::closedFormFactor(o, stol);
            }
            worstCore = std::max(worstCore, std::fabs(f.core(stol) - core));
            worstValence = std::max(worstValence, std::fabs(f.valence(stol) - valence / f.valenceElectrons()));
        }
        EXPECT_LT(worstCore, 1e-5);
        EXPECT_LT(worstValence, 1e-5);
    }
}

TEST(FormFactors, DefaultSplitFollowsTheScatRule) {
    const struct {
        int z;
        const char* row;   // 1S 2S 3S 4S 2P 3P 4P 3D 4D 4F 5S 5P
    } cases[] = {
        {1, "-1 0 0 0 0 0 0 0 0 0 0 0"},     {2, "-2 0 0 0 0 0 0 0 0 0 0 0"},     {3, "2 -1 0 0 0 0 0 0 0 0 0 0"},
        {6, "2 -2 0 0 -2 0 0 0 0 0 0 0"},    {8, "2 -2 0 0 -4 0 0 0 0 0 0 0"},    {10, "2 -2 0 0 -6 0 0 0 0 0 0 0"},
        {15, "2 2 -2 0 6 -3 0 0 0 0 0 0"},   {17, "2 2 -2 0 6 -5 0 0 0 0 0 0"},   {19, "2 2 2 -1 6 6 0 0 0 0 0 0"},
        {26, "2 2 2 -2 6 6 0 -6 0 0 0 0"},   {29, "2 2 2 -1 6 6 0 -10 0 0 0 0"},  {30, "2 2 2 -2 6 6 0 -10 0 0 0 0"},
        {35, "2 2 2 -2 6 6 -5 10 0 0 0 0"},  {46, "2 2 2 2 6 6 6 10 -10 0 0 0"},  {53, "2 2 2 2 6 6 6 10 10 0 -2 -5"},
    };
    for (const auto& c : cases) {
        const ShellSplit expected = splitOf(c.row);
        const ShellSplit got = defaultSplit(c.z);
        for (int k = 0; k < 18; ++k) EXPECT_EQ(got.occupations[k], expected.occupations[k]) << symbolOf(c.z) << " column " << k;
    }
}

// The split decides: a different row of the same atom, and a shell the atom lacks.
TEST(FormFactors, TheSplitChoosesCoreAndValenceShells) {
    AtomSettings settings;
    settings.wavefunctionDir = atomtest::neutralWavefunctions();
    const AtomShells oxygen = computeShells(8, settings);
    const FormFactors standard = makeFormFactors(oxygen, defaultSplit(8));
    const FormFactors allValence = makeFormFactors(oxygen, splitOf("-2 -2 0 0 -4 0 0 0 0 0 0 0"));
    EXPECT_EQ(allValence.coreElectrons(), 0);
    EXPECT_EQ(allValence.valenceElectrons(), 8);
    const FormFactors anion = makeFormFactors(oxygen, splitOf("2 -2 0 0 -5 0 0 0 0 0 0 0"));
    EXPECT_EQ(anion.valenceElectrons(), 7);
    for (double stol : {0.0, 0.3, 1.1}) {
        EXPECT_EQ(allValence.core(stol), 0);
        EXPECT_NEAR(8 * allValence.valence(stol), standard.core(stol) + 6 * standard.valence(stol), 1e-9);
        EXPECT_NEAR(anion.core(stol), standard.core(stol), 1e-12);
    }
    EXPECT_NEAR(anion.valence(0), 1, 1e-6);
    for (const char* row : {"2 -2 -1 0 -4 0 0 0 0 0 0 0", "2 -2 0 0 -4 0 0 -1 0 0 0 0", "2 -2 0 0 -4 0 0 0 0 0 0 -1"})
        EXPECT_THROW(makeFormFactors(oxygen, splitOf(row)), Failure) << row;
    ShellSplit f5;
    f5.occupations[17] = -1;   // 5F
    EXPECT_THROW(makeFormFactors(oxygen, f5), Failure);
    EXPECT_THROW(standard.core(-0.1), Failure);
    EXPECT_THROW(standard.valence(standard.maxStol() + 0.01), Failure);
}

TEST(FormFactors, TheCacheComputesEachElementAndSplitOnce) {
    AtomSettings settings;
    settings.wavefunctionDir = atomtest::neutralWavefunctions();
    AtomCache cache(settings);
    const FormFactors& a = cache.get(8, defaultSplit(8));
    const FormFactors& b = cache.get(8, defaultSplit(8));
    const FormFactors& c = cache.get(8, splitOf("-2 -2 0 0 -4 0 0 0 0 0 0 0"));
    EXPECT_EQ(&a, &b);
    EXPECT_NE(&a, &c);
    EXPECT_EQ(&cache.get(1, defaultSplit(1)), &cache.get(1, defaultSplit(1)));
    EXPECT_THROW(cache.get(55, ShellSplit{}), Failure);
}

TEST(FormFactors, ElementSymbolsInAnyCase) {
    const struct {
        const char* symbol;
        int z;
    } cases[] = {{"H", 1}, {"he", 2}, {"CL", 17}, {"cl", 17}, {"Kr", 36}, {"I", 53}, {"Xe", 54},
                 {"J", 0}, {"Cs", 0}, {"", 0}, {"C1", 0}, {"Hee", 0}};
    for (const auto& c : cases) EXPECT_EQ(atomicNumber(c.symbol), c.z) << c.symbol;
}
