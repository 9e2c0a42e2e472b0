// Crystal symmetry: operator texts, the expanded operator list, the LATT/SYMM cards of
// the readers, and completing molecules across symmetry before perception.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <dirent.h>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/run.h"
#include "input/input.h"
#include "symmetry/spacegroup.h"
#include "testutil.h"

namespace {

// ---------------------------------------------------------------------------------
// Operator texts and the expanded list
// ---------------------------------------------------------------------------------

TEST(SymmetryOperators, TextsInEveryCommonFormParse) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"-X,1/2+Y,1/2-Z", "-x,y+1/2,-z+1/2"},       // XDINI's form
        {"1/2-X, -Y, 1/2+Z", "-x+1/2,-y,z+1/2"},    // blanks after the commas
        {"x+0.5, -y, z", "x+1/2,-y,z"},             // decimals
        {"0.50000 - X, 0.25+Y, z", "-x+1/2,y+1/4,z"},
        {"-x+1,y,-z+1/2", "-x,y,-z+1/2"},           // whole translations wrap
        {"y-x, -x, z+0.33333", "-x+y,-x,z+1/3"},
        {"  X ,  Y ,  Z  ", "x,y,z"},
    };
    for (const auto& c : cases) {
        SymOp op;
        std::string why;
        ASSERT_TRUE(parseOperator(c.first, op, why)) << c.first << ": " << why;
        EXPECT_EQ(op.text, c.second) << c.first;
    }
}

TEST(SymmetryOperators, NonOperatorsAreRejectedWithAReason) {
    for (const char* text : {"x,y", "x,y,z,x", "q,y,z", "x,x,z", "0.3-x,y,z", "2x,y,z", "x,y,z+", "",
                             "99999999999999999999-x,y,z", "x/99999999999999999999,y,z",
                             // coefficients whose determinant would overflow an int
                             "x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x"
                             "+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x+x,"
                             "y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y"
                             "+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y+y,"
                             "z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z"
                             "+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z+z"}) {
        SymOp op;
        std::string why;
        EXPECT_FALSE(parseOperator(text, op, why)) << text;
        EXPECT_FALSE(why.empty()) << text;
    }
}

CrystalSymmetry symmetryOf(char centric, char lattice, std::vector<std::string> symm) {
    CrystalSymmetry s;
    s.known = true;
    s.centric = centric;
    s.lattice = lattice;
    s.symm = std::move(symm);
    return s;
}

TEST(SymmetryOperators, ExpansionAddsIdentityInversionsAndCentrings) {
    struct Case {
        CrystalSymmetry symmetry;
        std::size_t order;
    };
    const std::vector<Case> cases = {
        {CrystalSymmetry(), 1},                                                         // unknown: identity
        {symmetryOf('A', 'P', {}), 1},                                                  // P1
        {symmetryOf('C', 'P', {}), 2},                                                  // P-1
        {symmetryOf('C', 'P', {"-X,1/2+Y,1/2-Z"}), 4},                                  // P21/c
        {symmetryOf('C', 'C', {"-X, Y, 1/2-Z"}), 8},                                    // C2/c
        {symmetryOf('C', 'P', {"1/2-X, -Y, 1/2+Z", "-X, 1/2+Y, 1/2-Z", "1/2+X, 1/2-Y, -Z"}), 8},  // Pbca
        {symmetryOf('A', 'F', {}), 4},
        {symmetryOf('A', 'R', {}), 3},
        {symmetryOf('A', 'P', {"X,Y,Z", "-X,-Y,Z"}), 2},                                // listed identity once
    };
    for (const Case& c : cases) {
        std::vector<SymOp> ops = expandSymmetry(c.symmetry, "test");
        EXPECT_EQ(ops.size(), c.order) << (c.symmetry.symm.empty() ? "" : c.symmetry.symm[0]);
        EXPECT_EQ(ops[0].text, "x,y,z");
    }
    std::vector<SymOp> c2c = expandSymmetry(symmetryOf('C', 'C', {"-X, Y, 1/2-Z"}), "test");
    std::vector<std::string> texts;
    for (const SymOp& op : c2c) texts.push_back(op.text);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "-x+1/2,-y+1/2,-z"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "x+1/2,-y+1/2,z+1/2"), texts.end());
}

TEST(SymmetryOperators, MasterFileCards) {
    CrystalSymmetry s;
    EXPECT_FALSE(takeSymmetryCard("BANK    CR", s, "xd.mas"));
    EXPECT_FALSE(takeSymmetryCard("SYMMETRIC", s, "xd.mas"));
    EXPECT_TRUE(takeSymmetryCard("LATT   C C", s, "xd.mas"));
    EXPECT_TRUE(takeSymmetryCard("SYMM -X, Y, 1/2-Z   ", s, "xd.mas"));
    EXPECT_TRUE(s.known);
    EXPECT_EQ(s.centric, 'C');
    EXPECT_EQ(s.lattice, 'C');
    ASSERT_EQ(s.symm.size(), 1u);
    EXPECT_EQ(s.symm[0], "-X, Y, 1/2-Z");
    EXPECT_TRUE(stopsWith([&] { takeSymmetryCard("SYMM -X, Y", s, "xd.mas"); }, 1,
                          "xd.mas: the line \"SYMM -X, Y\" holds no symmetry operator"));
    EXPECT_TRUE(stopsWith([&] { takeSymmetryCard("LATT C Q", s, "xd.mas"); }, 1,
                          "xd.mas: the line \"LATT C Q\" is no LATT card"));
}

// ---------------------------------------------------------------------------------
// Readers
// ---------------------------------------------------------------------------------

TEST(SymmetryReaders, MasterFileAndMoProFileGiveTheirSymmetry) {
    {
        ScratchDir dir;
        dir.copyFolder("fixtures/benzene");
        std::unique_ptr<Quandrel> run = openRun();
        Quandrel& q = *run;
        EXPECT_TRUE(q.structure.symmetry.known);
        EXPECT_EQ(q.structure.symmetry.centric, 'C');
        EXPECT_EQ(q.structure.symmetry.lattice, 'P');
        EXPECT_EQ(q.structure.symmetry.symm,
                  (std::vector<std::string>{"1/2-X, -Y, 1/2+Z", "-X, 1/2+Y, 1/2-Z", "1/2+X, 1/2-Y, -Z"}));
    }
    {
        ScratchDir dir;
        dir.copyFolder("fixtures/mopro_glycine");
        std::unique_ptr<Quandrel> run = openRun();
        Quandrel& q = *run;
        EXPECT_TRUE(q.structure.symmetry.known);
        EXPECT_EQ(q.structure.symmetry.centric, 'C');
        EXPECT_EQ(q.structure.symmetry.lattice, 'P');
        EXPECT_EQ(q.structure.symmetry.symm, (std::vector<std::string>{"X, Y, Z", "1/2-X, 1/2+Y, 1/2-Z"}));
        EXPECT_EQ(expandSymmetry(q.structure.symmetry, "test").size(), 4u);
    }
}

TEST(SymmetryReaders, ACardThatDoesNotParseStopsTheRunNamingTheLine) {
    ScratchDir dir;
    dir.copyFolder("fixtures/benzene");
    std::string mas = dir.read("xd.mas");
    const std::string card = "SYMM -X, 1/2+Y, 1/2-Z";
    ASSERT_NE(mas.find(card), std::string::npos);
    mas.replace(mas.find(card), card.size(), "SYMM -X, 1/2+W, 1/2-Z");
    dir.write("xd.mas", mas);
    RunResult r = runTool();
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("xd.mas: the line \"SYMM -X, 1/2+W, 1/2-Z\" holds no symmetry operator"), std::string::npos)
        << r.err;
}

// ---------------------------------------------------------------------------------
// Completion on structures built in memory
// ---------------------------------------------------------------------------------

// Runs the perception with completion on a built structure; stdout is kept out of the
// test's own output.
void perceive(Quandrel& q) {
    captureStdout([&] { q.findOutNames(); });
}

TEST(SymmetryCompletion, APolymericChainEndsSixBondsFromTheInputAtom) {
    ScratchDir dir;
    // one carbon per 1.5 A along a: every atom is bonded to its translations along a
    StructureBuilder b;
    b.setCell(1.5, 12.0, 12.0, 90, 90, 90);
    b.add("C1", "C", 0.3, 6.0, 6.0);
    auto q = b.build();
    q->structure.symmetry = symmetryOf('A', 'P', {});
    q->opt.symmBonds = 1;
    perceive(*q);

    EXPECT_EQ(q->structure.nAtoms, 1);
    ASSERT_EQ(q->perception.imageAtom.size(), 12u);
    std::vector<int> shifts;
    for (const ImageOrigin& o : q->perception.imageOrigin) {
        EXPECT_EQ(o.atom, 0);
        EXPECT_EQ(o.op, 0);
        EXPECT_EQ(o.shift[1], 0);
        EXPECT_EQ(o.shift[2], 0);
        shifts.push_back(o.shift[0]);
    }
    std::sort(shifts.begin(), shifts.end());
    EXPECT_EQ(shifts, (std::vector<int>{-6, -5, -4, -3, -2, -1, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(q->perception.knopf[0].anzahl, 2);
    // labels show origin, operator and translation
    std::map<std::string, int> labels;
    for (const AtomRecord& a : q->perception.imageAtom) labels[a.label] = 1;
    EXPECT_TRUE(labels.count("C1_1_655"));
    EXPECT_TRUE(labels.count("C1_1_155"));
    EXPECT_TRUE(labels.count("C1_1_[6,0,0]"));
    EXPECT_TRUE(labels.count("C1_1_[-6,0,0]"));
}

TEST(SymmetryCompletion, AnAtomOnAnInversionCentreIsNotAddedAgain) {
    ScratchDir dir;
    // C1 on the centre at the origin, C2 1.5 A away: only C2's image is new
    StructureBuilder b(20.0);
    b.add("C1", "C", 0.0, 0.0, 0.0);
    b.add("C2", "C", 1.5, 0.0, 0.0);
    auto q = b.build();
    q->structure.symmetry = symmetryOf('C', 'P', {});
    q->opt.symmBonds = 1;
    perceive(*q);
    ASSERT_EQ(q->perception.imageAtom.size(), 1u);
    EXPECT_STREQ(q->perception.imageAtom[0].label, "C2_2_555");
    EXPECT_EQ(q->perception.knopf[0].anzahl, 2);
    EXPECT_EQ(countMols(perceiving(*q)), 1);
}

TEST(SymmetryCompletion, DisorderPartsAndTheSwitchesDecide) {
    ScratchDir dir;
    // C2 (part 1) and C3 (part 2) are 1.5 A from each other's inversion image: the parts
    // keep them apart; C2 bonds to its own image
    StructureBuilder b(20.0);
    b.add("C1", "C", 5.0, 5.0, 5.0);
    b.add("C2", "C", 0.75, 0.0, 0.0);
    b.add("C3", "C", -0.75, 1.5, 0.0);
    auto q = b.build();
    q->structure.atom[1].part = 1;
    q->structure.atom[2].part = 2;
    q->structure.symmetry = symmetryOf('C', 'P', {});
    EXPECT_FALSE(completionWanted(q->structure, q->opt));
    q->opt.crystalInput = 1;
    EXPECT_TRUE(completionWanted(q->structure, q->opt));
    q->opt.asymOnly = 1;
    EXPECT_FALSE(completionWanted(q->structure, q->opt));
    q->opt.asymOnly = 0;
    q->opt.crystalInput = 0;
    q->opt.symmBonds = 1;
    ASSERT_TRUE(completionWanted(q->structure, q->opt));
    EXPECT_EQ(completeMolecules(perceiving(*q)), 1);
    EXPECT_EQ(q->perception.imageOrigin[0].atom, 1);
}

// A C-O group disordered across an inversion centre: O1 lies 1.17 A from its own image.
// As a negative part it never bonds to its images (no image is added); as a positive part
// the image is a bonded neighbour and the inverted group is added.
TEST(SymmetryCompletion, ANegativePartNeverBondsToItsOwnImages) {
    struct Row {
        int part;
        std::size_t images;
        int oxygenNeighbours;
    } rows[] = {{-1, 0, 1}, {1, 2, 2}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.part);
        ScratchDir dir;
        StructureBuilder b(20.0);
        b.add("O1", "O", 0.5, 0.3, 0.0);
        b.add("C1", "C", -0.9, 0.3, 0.0);
        auto q = b.build();
        q->structure.atom[0].part = q->structure.atom[1].part = r.part;
        q->structure.atom[0].occupancy = q->structure.atom[1].occupancy = 0.5;
        q->structure.symmetry = symmetryOf('C', 'P', {});
        q->opt.symmBonds = 1;
        captureStderr([&] { perceive(*q); });
        EXPECT_EQ(q->perception.imageAtom.size(), r.images);
        EXPECT_EQ(q->perception.knopf[0].anzahl, r.oxygenNeighbours);
    }
}

// A carbon on the inversion centre holding a negative-part hydroxyl: it takes the input
// copy of the group, not its inverted image as well.
TEST(SymmetryCompletion, AnOrderedAtomTakesOneCopyOfANegativePart) {
    ScratchDir dir;
    StructureBuilder b(20.0);
    b.add("C1", "C", 0.0, 0.0, 0.0);
    b.add("O1", "O", 1.4, 0.0, 0.3);
    auto q = b.build();
    q->structure.atom[1].part = -1;
    q->structure.atom[1].occupancy = 0.5;
    q->structure.symmetry = symmetryOf('C', 'P', {});
    q->opt.symmBonds = 1;
    captureStderr([&] { perceive(*q); });
    EXPECT_EQ(q->perception.imageAtom.size(), 0u);
    EXPECT_EQ(q->perception.knopf[0].anzahl, 1);
}

TEST(SymmetryCompletion, TheCompletedSetRespectsTheAtomCapacity) {
    ScratchDir dir;
    StructureBuilder b;
    b.setCell(1.5, 1000.0, 1000.0, 90, 90, 90);
    for (int k = 0; k < 7700; ++k)
        b.add("C" + std::to_string(k + 1), "C", 0.3, 4.0 + 5.0 * (k % 190), 4.0 + 5.0 * (k / 190));
    auto q = b.build();
    q->structure.symmetry = symmetryOf('A', 'P', {});
    q->opt.symmBonds = 1;
    EXPECT_TRUE(stopsWith([&] { completeMolecules(perceiving(*q)); }, 1,
                          "Completing the molecules across symmetry needs more than 99999 atoms"));
}

// ---------------------------------------------------------------------------------
// The fixture pairs: an asymmetric unit and the same molecules completed in P1
// ---------------------------------------------------------------------------------

const char* const PAIRS[] = {"cod_2100348_benzene_pbca", "cod_2204100_c2c_axis", "cod_2231955_p-1_salt_hydrate"};

// label -> quandrel name, from "Quandrele.out"
std::map<std::string, std::string> namesOf(const std::string& out) {
    std::map<std::string, std::string> names;
    for (const std::string& line : linesOf(out)) {
        const std::size_t colon = line.find(": ");
        if (colon != std::string::npos) names[line.substr(0, colon)] = line.substr(colon + 2);
    }
    return names;
}

struct ToolRun {
    RunResult result;
    std::map<std::string, std::string> names;
    std::string mas;  // xd.mas.quandreltool
    std::string log;
};

ToolRun runOn(const std::string& folder, const std::string& args) {
    ScratchDir dir;
    dir.copyFolder(folder);
    ToolRun run;
    run.result = runTool(args);
    run.names = namesOf(dir.read("Quandrele.out"));
    run.mas = dir.read("xd.mas.quandreltool");
    run.log = dir.read("Quandrele.log");
    return run;
}

TEST(SymmetryFixtures, EveryInputAtomGetsTheNameOfItsAtomInTheCompletedStructure) {
    for (const char* pair : PAIRS) {
        SCOPED_TRACE(pair);
        const std::string base = std::string("symmetry/") + pair;
        ToolRun p1 = runOn(sharedFixture(base + "/p1"), "");
        ToolRun completed = runOn(sharedFixture(base + "/asym"), "-symmBonds");
        ToolRun alone = runOn(sharedFixture(base + "/asym"), "");
        ASSERT_EQ(p1.result.code, 0) << p1.result.err;
        ASSERT_EQ(completed.result.code, 0) << completed.result.err;
        ASSERT_EQ(alone.result.code, 0) << alone.result.err;
        ASSERT_FALSE(completed.names.empty());
        int differAlone = 0;
        for (const auto& n : completed.names) {
            ASSERT_TRUE(p1.names.count(n.first)) << n.first;  // the pairs keep the input labels
            EXPECT_EQ(n.second, p1.names[n.first]) << n.first;
            if (alone.names[n.first] != n.second) ++differAlone;
        }
        // without the switch the cut atoms keep their wrong names and a warning says why
        EXPECT_GT(differAlone, 0);
        EXPECT_NE(alone.result.err.find("only symmetry provides"), std::string::npos);
        EXPECT_NE(alone.result.err.find("-symmBonds completes the molecule"), std::string::npos);
        EXPECT_EQ(completed.result.err.find("only symmetry provides"), std::string::npos);
        // the listings name the input atoms only
        EXPECT_EQ(completed.names.size(), alone.names.size());
    }
}

// Fractional coordinates of an atom in an XD parameter file.
std::vector<double> fracIn(const std::string& res, const std::string& label) {
    for (const std::string& line : linesOf(res)) {
        std::istringstream in(line);
        std::string word;
        in >> word;
        if (word != label) continue;
        std::vector<double> v;
        double x;
        while (in >> x) v.push_back(x);
        if (v.size() >= 15) return {v[11], v[12], v[13]};
    }
    return {};
}

TEST(SymmetryFixtures, FramesAtTheCutUseADummyAtTheImagePosition) {
    // benzene on an inversion centre: C1 and C3 point their Z axis at the inverted
    // partner of a ring neighbour
    const std::string asym = sharedFixture("symmetry/cod_2100348_benzene_pbca/asym");
    ToolRun run = runOn(asym, "-symmBonds");
    ASSERT_EQ(run.result.code, 0) << run.result.err;
    const std::string res = slurp(asym + "/xd.res");

    // "Dummy atom DUMn stands for the symmetry image <origin>_5_555" (operator 5: -x,-y,-z)
    std::map<std::string, std::string> originOfDummy;
    for (const std::string& line : linesOf(run.result.out)) {
        char dummy[16], image[32];
        if (std::sscanf(line.c_str(), "Dummy atom %15s stands for the symmetry image %31s", dummy, image) == 2)
            originOfDummy[dummy] = std::string(image).substr(0, std::string(image).find('_'));
    }
    ASSERT_FALSE(originOfDummy.empty());
    EXPECT_NE(run.result.out.find("Symmetry operator 5: -x,-y,-z"), std::string::npos);

    int framesWithDummy = 0;
    bool inTable = false;
    for (const std::string& line : linesOf(run.mas)) {
        if (line.compare(0, 10, "ATOM     A") == 0) inTable = true;
        if (!inTable) continue;
        if (line == "END ATOM") break;
        std::istringstream in(line);
        std::string label, atom0, ax1, atom1, atom2;
        in >> label >> atom0 >> ax1 >> atom1 >> atom2;
        if (label.compare(0, 3, "DUM") == 0) continue;  // the dummy positions, checked below
        if (originOfDummy.count(atom0) || originOfDummy.count(atom2)) ++framesWithDummy;
    }
    EXPECT_GE(framesWithDummy, 2);

    // the dummy lines hold the inverted coordinates of the image's origin
    for (const auto& d : originOfDummy) {
        std::vector<double> origin = fracIn(res, d.second);
        ASSERT_EQ(origin.size(), 3u) << d.second;
        bool found = false;
        for (const std::string& line : linesOf(run.mas)) {
            std::istringstream in(line);
            std::string label;
            double f[3];
            if (!(in >> label >> f[0] >> f[1] >> f[2]) || label != d.first) continue;
            found = true;
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(f[k], -origin[k], 1e-6) << d.first << " axis " << k;
        }
        EXPECT_TRUE(found) << d.first;
    }
    // the electroneutrality groups the six input atoms as one molecule of half a benzene
    EXPECT_NE(run.result.out.find("The structure contains 1 molecules"), std::string::npos);
    EXPECT_NE(run.result.out.find("Molecule 1 should contain 15.000000 Electrons."), std::string::npos);
    // ring lines name the images
    EXPECT_NE(run.result.out.find("Ring No: 1 consists of C1C2C3C3_5_555C1_5_555C2_5_555"), std::string::npos)
        << run.result.out;
}

// ---------------------------------------------------------------------------------
// Structures without bonds to images: the switch changes nothing
// ---------------------------------------------------------------------------------

std::vector<std::string> foldersIn(const std::string& path) {
    std::vector<std::string> folders;
    DIR* d = opendir(path.c_str());
    if (d == nullptr) return folders;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != ".." && e->d_type == DT_DIR) folders.push_back(path + "/" + name);
    }
    closedir(d);
    std::sort(folders.begin(), folders.end());
    return folders;
}

// A report file without its provenance (which names the switches and the time of the run).
std::string withoutProvenance(const std::string& name, std::string text) {
    if (name == "Quandrele.json") {
        nlohmann::ordered_json run = nlohmann::ordered_json::parse(text);
        run.erase("provenance");
        return run.dump(2);
    }
    if (name == "Quandrele.html") {
        const std::size_t from = text.find("<dl class=\"provenance\">"), to = text.find("</dl>", from);
        if (from != std::string::npos && to != std::string::npos) text.erase(from, to - from);
    }
    return text;
}

// Everything a run leaves: its streams and every file of the directory. withoutSymmetry:
// the master file's LATT and SYMM cards are left out first (the structure in P1).
std::string everything(const std::string& folder, const std::string& args, bool withoutSymmetry,
                       bool& symmetryBonds) {
    ScratchDir dir;
    dir.copyFolder(folder);
    if (withoutSymmetry) {
        std::string mas;
        for (const std::string& line : linesOf(dir.read("xd.mas")))
            if (line.compare(0, 4, "LATT") != 0 && line.compare(0, 4, "SYMM") != 0) mas += line + "\n";
        dir.write("xd.mas", mas);
    }
    RunResult r = runTool(args);
    symmetryBonds = r.err.find("only symmetry provides") != std::string::npos;
    std::string all = "code " + std::to_string(r.code) + "\nstdout\n" + r.out + "stderr\n" + r.err;
    std::vector<std::string> files;
    DIR* d = opendir(dir.path().c_str());
    while (dirent* e = readdir(d))
        if (e->d_type == DT_REG) files.push_back(e->d_name);
    closedir(d);
    std::sort(files.begin(), files.end());
    for (const std::string& f : files) all += "file " + f + "\n" + withoutProvenance(f, dir.read(f));
    return all;
}

TEST(SymmetryFixtures, WithoutBondsToImagesTheSwitchChangesNoByte) {
    std::vector<std::string> folders = foldersIn(dataPath("fixtures"));
    for (const std::string& f : foldersIn(EXAMPLES_DIR)) folders.push_back(f);
    ASSERT_GE(folders.size(), 10u);
    // As they are, most synthetic fixtures overlap their own symmetry images (the switch is
    // meant to change those); in P1 only lattice translations remain.
    int compared = 0;
    for (const std::string& folder : folders) {
        for (bool p1 : {false, true}) {
            if (p1 && slurp(folder + "/xd.mas").find("\nLATT") == std::string::npos) continue;
            SCOPED_TRACE(folder + (p1 ? " in P1" : ""));
            bool imageBonds = false, unused = false;
            const std::string plain = everything(folder, "", p1, imageBonds);
            if (imageBonds) continue;
            EXPECT_EQ(plain, everything(folder, "-symmBonds", p1, unused));
            ++compared;
        }
    }
    EXPECT_GE(compared, 12);
}

}  // namespace

namespace {

// Symmetry that cannot be right stops the run with a message: operators that are no group,
// an operator that maps the cell onto another cell, and a completion that would not end.
TEST(SymmetryCompletion, SymmetryThatCannotBeRightIsRefused) {
    struct Row {
        const char* what;
        CrystalSymmetry symmetry;
        const char* message;  // nullptr: accepted
    } rows[] = {
        {"P21/c", symmetryOf('C', 'P', {"-X,1/2+Y,1/2-Z"}), nullptr},
        {"a mirror swapping a and b is a group", symmetryOf('A', 'P', {"Y,X,Z"}), nullptr},
        {"a third of a translation", symmetryOf('A', 'P', {"-X,Y,1/3+Z"}), "the symmetry operators are no group"},
        {"a three-fold axis without its square", symmetryOf('A', 'P', {"Y,Z,X"}),
         "the symmetry operators are no group: y,z,x after y,z,x gives z,x,y, which the list lacks"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const Stopped s = failureOf([&] { expandSymmetry(r.symmetry, "xd.mas"); });
        EXPECT_EQ(s.stopped, r.message != nullptr) << s.message;
        std::string problem;
        const std::vector<SymOp> ops = expandedOperators(r.symmetry, problem);
        EXPECT_EQ(ops.empty(), r.message != nullptr) << "no list without a stop";
        if (r.message != nullptr) {
            EXPECT_NE(s.message.find(std::string("xd.mas: ") + r.message), std::string::npos) << s.message;
            EXPECT_EQ("xd.mas: " + problem + "\n", s.message) << "the reason, without stopping";
        }
    }
    // 200 SYMM cards: signed permutations of the axes with half translations
    std::vector<std::string> many;
    const char* const perms[] = {"XYZ", "XZY", "YXZ", "YZX", "ZXY", "ZYX"};
    for (int k = 1; many.size() < 200; ++k) {
        std::string text;
        for (int axis = 0; axis < 3; ++axis) {
            if (axis > 0) text += ',';
            if ((k >> (3 + axis)) & 1) text += "1/2";
            text += ((k >> axis) & 1) ? "-" : (((k >> (3 + axis)) & 1) ? "+" : "");
            text += perms[(k / 64) % 6][axis];
        }
        many.push_back(text);
    }
    const Stopped tooMany = failureOf([&] { expandSymmetry(symmetryOf('A', 'P', many), "xd.mas"); });
    EXPECT_NE(tooMany.message.find("no space group has more than 192"), std::string::npos) << tooMany.message;

    // the mirror x <-> y in a cell whose a and b differ
    {
        ScratchDir dir;
        StructureBuilder b;
        b.setCell(10.0, 11.0, 12.0, 90, 90, 90);
        b.add("C1", "C", 1.0, 1.0, 1.0);
        auto q = b.build();
        q->structure.symmetry = symmetryOf('A', 'P', {"Y,X,Z"});
        q->opt.symmBonds = 1;
        const Stopped s = failureOf([&] { perceive(*q); });
        EXPECT_NE(s.message.find("the symmetry operator y,x,z does not map the cell 10 11 12 90 90 90 onto itself"),
                  std::string::npos)
            << s.message;
    }
    // one carbon in a cell of 1.5 A: a network in three dimensions, stopped at 200 images
    {
        ScratchDir dir;
        StructureBuilder b;
        b.setCell(1.5, 1.5, 1.5, 90, 90, 90);
        b.add("C1", "C", 0.0, 0.0, 0.0);
        auto q = b.build();
        q->structure.symmetry = symmetryOf('A', 'P', {});
        q->opt.symmBonds = 1;
        const Stopped s = failureOf([&] { perceive(*q); });
        EXPECT_NE(s.message.find("more than 200 images per input atom (200 images for 1 input atoms) at the image of C1"),
                  std::string::npos)
            << s.message;
    }
}

}  // namespace

// The structure as read holds the operator list once; cards that give no list leave it empty,
// and the completion then stops with the reason, naming the file as before.
TEST(SymmetryCompletion, TheReadStructureHoldsItsOperatorListOnce) {
    ScratchDir dir;
    dir.copyFolder(examplePath("l_alanine"));
    Options options;
    Structure s = readStructure(options);
    const std::vector<SymOp> expanded = expandSymmetry(s.symmetry, "xd.mas");
    ASSERT_EQ(s.symmetry.operators.size(), expanded.size());
    for (std::size_t k = 0; k < expanded.size(); ++k) EXPECT_EQ(s.symmetry.operators[k].text, expanded[k].text) << k;

    std::string mas = dir.read("xd.mas");
    const std::size_t card = mas.find("SYMM ");
    ASSERT_NE(card, std::string::npos);
    dir.write("xd.mas", mas.insert(card, "SYMM Y,Z,X\n"));  // a three-fold axis without its square
    s = readStructure(options);
    EXPECT_TRUE(s.symmetry.operators.empty());
    EXPECT_TRUE(stopsWith([&] { symmetryOperators(s.symmetry, "xd.mas"); }, 1, "xd.mas: the symmetry operators are no group"));
}
