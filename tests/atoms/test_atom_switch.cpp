// The -atom switch as a user runs it.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "atomtest.h"
#include "testutil.h"

namespace {

struct Listing {
    std::vector<std::string> labels;
    std::vector<std::vector<double>> values;
    std::string energyLine;
};

Listing parse(const std::string& out) {
    Listing l;
    for (const std::string& line : linesOf(out)) {
        if (line.find("total energy") != std::string::npos) {
            l.energyLine = line;
            continue;
        }
        std::istringstream in(line);
        std::string el, kind;
        in >> el >> kind;
        l.labels.push_back(el + " " + kind);
        l.values.emplace_back();
        double x;
        while (in >> x) l.values.back().push_back(x);
    }
    return l;
}

double energyOf(const std::string& line) {   // "<el> total energy <E> Hartree"
    std::istringstream in(line);
    std::string el, total, energy, unit;
    double e = 0;
    in >> el >> total >> energy >> e >> unit;
    return unit == "Hartree" ? e : 0;
}

}  // namespace

// The listing's layout (as the published tables: label in 10 columns, then F8.5 values),
// its values against the published PBE/ZORA tables, and nothing written.
TEST(AtomSwitch, ListsCoreValenceAndEnergyAndWritesNothing) {
    ScratchDir dir;
    dir.write("qdltool.ini", "DABA_PATH=nowhere.txt\n");
    const auto reference = atomtest::referenceTables();
    const RunResult o = runTool("-atom O");
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.err.find("succesfully opened"), std::string::npos) << "no settings read";
    const std::vector<std::string> lines = linesOf(o.out);
    ASSERT_EQ(lines.size(), 3u) << o.out;
    EXPECT_EQ(lines[0].rfind("O core     2.00000 1.998", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("O valence  1.00000 0.96", 0), 0u) << lines[1];
    EXPECT_EQ(lines[0].size(), 10u + 40 * 8);
    const Listing l = parse(o.out);
    ASSERT_EQ(l.values[0].size(), 40u);
    ASSERT_EQ(l.values[1].size(), 40u);
    for (std::size_t k = 0; k < 2; ++k) {
        const std::vector<double>& ref = reference.at(l.labels[k]);
        for (std::size_t i = 0; i < ref.size(); ++i) EXPECT_NEAR(l.values[k][i], ref[i], k == 0 ? 0.0005 : 0.001) << l.labels[k] << i;
    }
    EXPECT_NEAR(energyOf(l.energyLine), -75.0, 0.2) << l.energyLine;

    const RunResult h = runTool("-atom h");
    ASSERT_EQ(h.code, 0);
    const Listing hl = parse(h.out);
    ASSERT_EQ(hl.labels.size(), 1u) << "hydrogen has no core line";
    EXPECT_EQ(hl.labels[0], "H valence");
    EXPECT_EQ(hl.values[0].size(), 40u);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) files += entry.path().filename() != "qdltool.ini";
    EXPECT_EQ(files, 0u) << "-atom writes no file";
}

// The switches choose the model: non-relativistic LDA gives the published total energy of
// oxygen, the Slater tables the file's energy; bad values end with exit 1.
TEST(AtomSwitch, ModelSwitchesAndErrors) {
    ScratchDir dir;
    const RunResult lda = runTool("-functional lda -nonrelativistic -atom O");
    ASSERT_EQ(lda.code, 0) << lda.err;
    EXPECT_NEAR(energyOf(parse(lda.out).energyLine), -74.473077, 1e-5);

    const std::string wf = atomtest::neutralWavefunctions();
    const RunResult hf = runTool("-atom O -wavefunctions " + wf);
    ASSERT_EQ(hf.code, 0) << hf.err;
    const atoms::SlaterAtom file = atoms::readSlater(wf, "O");
    const Listing hl = parse(hf.out);
    EXPECT_NEAR(energyOf(hl.energyLine), file.totalEnergy, 1e-8);
    ASSERT_EQ(hl.values.size(), 2u);
    for (int i = 0; i < 40; ++i) {   // 1s core; 2s and 2p valence per electron (printed to 5 decimals)
        const double stol = 0.05 * i;
        const double core = 2 * atomtest::closedFormFactor(file.orbitals.at(0), stol);
        const double valence = (2 * atomtest::closedFormFactor(file.orbitals.at(1), stol) +
                                4 * atomtest::closedFormFactor(file.orbitals.at(2), stol)) / 6;
        EXPECT_NEAR(hl.values[0].at(i), core, 1e-5) << stol;
        EXPECT_NEAR(hl.values[1].at(i), valence, 1e-5) << stol;
    }

    const struct {
        const char* args;
        const char* message;
    } bad[] = {{"-atom Xx", "\"Xx\" is not an element"},
               {"-atom Cs", "\"Cs\" is not an element"},
               {"-atom O -functional B3LYP", "-functional takes PBE or LDA"},
               {"-atom", "needs a value"},
               {"-atom O -wavefunctions /nonexistent", "can't open /nonexistent/o.slater"}};
    for (const auto& b : bad) {
        const RunResult r = runTool(b.args);
        EXPECT_EQ(r.code, 1) << b.args;
        EXPECT_NE(r.err.find(b.message), std::string::npos) << b.args << ": " << r.err;
        EXPECT_EQ(r.out.find("valence"), std::string::npos) << b.args;
    }
}
