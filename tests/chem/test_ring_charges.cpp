// Guessed charges with ring nomenclature: ring codes in names are no bond orders, so every
// charge, oxidation number and the total charge line equal those of a run without rings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/run.h"
#include "testutil.h"

namespace {

// What the charge guess of one run gave: per atom the charge and oxidation number of its
// log line (atoms in order), the suffixes of the names, and the total charge line.
struct ChargeRun {
    std::vector<std::string> guesses;   // "charge oxidation" per atom
    std::vector<std::string> names;
    std::string total;
};

ChargeRun guessCharges(Quandrel& q, int ringNomenclature) {
    q.opt.ions = 1;
    q.opt.useNewRingNomenclature = ringNomenclature;
    q.perception.totalOxi = 0;
    q.findOutNames();
    fflush(q.logFile);
    ChargeRun run;
    for (const std::string& line : linesOf(slurp("Quandrele.log"))) {
        const std::size_t at = line.find(" Valences, I guess it has Charge ");
        if (at != std::string::npos) run.guesses.push_back(line.substr(at + 33));
        if (line.rfind("total charge is", 0) == 0) run.total = line;
    }
    for (int i = 0; i < q.structure.nAtoms; ++i) run.names.push_back(q.perception.quandrelName[i]);
    q.perception.totalOxi = 0;
    return run;
}

// The charge suffix a name carries ("+1.0", "-1.0"), empty for none.
std::string suffixOf(const std::string& name) {
    const std::size_t sign = name.find_last_of("+-");
    if (sign == std::string::npos || sign + 4 != name.size() || name[sign + 2] != '.') return "";
    return name.substr(sign);
}

using Build = std::function<std::unique_ptr<Quandrel>()>;

// Runs a structure twice, with and without ring nomenclature, each in its own directory.
void expectSameGuesses(const Build& build, const char* what, ChargeRun* withRings = nullptr) {
    ChargeRun on, off;
    {
        ScratchDir dir;
        auto q = build();
        on = guessCharges(*q, 1);
    }
    {
        ScratchDir dir;
        auto q = build();
        off = guessCharges(*q, 0);
    }
    ASSERT_FALSE(on.total.empty()) << what;
    EXPECT_EQ(on.total, off.total) << what;
    ASSERT_EQ(on.guesses.size(), off.guesses.size()) << what;
    for (std::size_t i = 0; i < on.guesses.size(); ++i) {
        EXPECT_EQ(on.guesses[i], off.guesses[i]) << what << ", atom " << i << " " << on.names[i];
        EXPECT_EQ(suffixOf(on.names[i]), suffixOf(off.names[i])) << what << ": " << on.names[i];
    }
    if (withRings != nullptr) *withRings = on;
}

// Atoms of a planar ring of six in the xy plane about (15,15,15), with one substituent per
// ring atom pointing outwards; symbols and bond lengths per position, "" for none.
struct RingLayout {
    const char* ring[6];
    double radius[6];  // distance of each ring atom from the centre
    const char* substituent[6];
    double substituentBond[6];
};

std::unique_ptr<Quandrel> planarRing(const RingLayout& layout, const std::function<void(StructureBuilder&)>& extra = {}) {
    StructureBuilder s;
    const double pi = std::acos(-1.0);
    for (int k = 0; k < 6; ++k) {
        const double a = k * pi / 3, r = layout.radius[k];
        s.add(std::string(layout.ring[k]) + std::to_string(k + 1), layout.ring[k], 15 + r * std::cos(a),
              15 + r * std::sin(a), 15);
    }
    for (int k = 0; k < 6; ++k) {
        if (layout.substituent[k][0] == '\0') continue;
        const double a = k * pi / 3, d = layout.radius[k] + layout.substituentBond[k];
        s.add(std::string(layout.substituent[k]) + "s" + std::to_string(k + 1), layout.substituent[k],
              15 + d * std::cos(a), 15 + d * std::sin(a), 15);
    }
    if (extra) extra(s);
    return s.build();
}

// Reads the XD files of a folder (tests/data or absolute) into the current directory.
std::unique_ptr<Quandrel> readFolder(const std::string& folder) {
    const std::string from = folder[0] == '/' ? folder : dataPath("fixtures/" + folder);
    if (std::system(("cp -r '" + from + "'/. .").c_str()) != 0) throw std::runtime_error("cannot copy " + from);
    return openRun();
}

}  // namespace

TEST(RingCharges, BenzeneAndPhenolAreNeutralWithRingNomenclature) {
    for (const char* name : {"benzene", "phenol"}) {
        ChargeRun on;
        expectSameGuesses([name] { return readFolder(name); }, name, &on);
        for (const std::string& n : on.names) EXPECT_EQ(suffixOf(n), "") << name << ": " << n;
        int ringAtoms = 0;
        for (const std::string& n : on.names) ringAtoms += n.rfind("6-C#6c", 0) == 0;
        EXPECT_EQ(ringAtoms, 6) << name << ": the ring must be perceived";
        EXPECT_EQ(on.total.rfind("total charge is  0.0 and", 0), 0u) << on.total;
        EXPECT_NE(on.total.find("This is OK!"), std::string::npos) << on.total;
    }
    // the log line names the atom by its actual (ring) name
    ScratchDir dir;
    auto q = readFolder("benzene");
    guessCharges(*q, 1);
    EXPECT_NE(slurp("Quandrele.log").find("\n6-C#6c[#6c1h]#6c[#6c1h]1h has  4.0 Valences, I guess it has Charge  0.0"),
              std::string::npos);
}

TEST(RingCharges, GuessesAgreeWithAndWithoutRingsOnEveryFixture) {
    std::vector<std::string> folders;
    for (const char* name : {"benzene", "chfclbr_r", "cyclopropane", "disorder_cf3", "l_alanine", "naphthalene",
                             "phenol", "urea_z2", "water_chloride"}) {
        folders.push_back(name);
        folders.push_back(sharedFixture(name));
    }
    for (const char* pair : {"cod_1512116_p21c_c_cl", "cod_2006992_r3", "cod_2205750_pna21_s",
                             "cod_2224635_p-1_disorder", "cod_8100760_p21a_b_br_f"})
        folders.push_back(sharedFixture(std::string("cif/") + pair + "/xd"));
    for (const char* pair : {"cod_2100348_benzene_pbca", "cod_2204100_c2c_axis", "cod_2231955_p-1_salt_hydrate"})
        for (const char* part : {"/asym", "/p1"}) folders.push_back(sharedFixture(std::string("symmetry/") + pair + part));
    for (const std::string& folder : folders) expectSameGuesses([folder] { return readFolder(folder); }, folder.c_str());
}

TEST(RingCharges, ChargedRingsAndACarboxylateNextToARing) {
    // C-N 1.34 A and C-C 1.38 A: the nitrogen sits 1.296 A from the centre
    const RingLayout pyridinium = {{"N", "C", "C", "C", "C", "C"},
                                 {1.296, 1.38, 1.38, 1.38, 1.38, 1.38},
                                 {"H", "H", "H", "H", "H", "H"},
                                 {1.01, 1.08, 1.08, 1.08, 1.08, 1.08}};
    const RingLayout benzoateRing = {{"C", "C", "C", "C", "C", "C"},
                                   {1.39, 1.39, 1.39, 1.39, 1.39, 1.39},
                                   {"C", "H", "H", "H", "H", "H"},
                                   {1.51, 1.08, 1.08, 1.08, 1.08, 1.08}};
    // the carboxylate's oxygens, 1.26 A from its carbon (15 + 1.39 + 1.51 = 17.90) at 125 degrees
    auto carboxylate = [](StructureBuilder& s) {
        const double half = 62.5 * std::acos(-1.0) / 180;
        s.add("O1", "O", 17.90 + 1.26 * std::cos(half), 15 + 1.26 * std::sin(half), 15);
        s.add("O2", "O", 17.90 + 1.26 * std::cos(half), 15 - 1.26 * std::sin(half), 15);
    };
    const struct {
        const char* what;
        Build build;
        const char* chargedAtom;  // name head of the atom with a suffix, "" when none expected
        const char* suffix;
        const char* total;
    } cases[] = {
        {"pyridinium", [&] { return planarRing(pyridinium); }, "6-N", "+1.0", "total charge is  1.0"},
        // each carboxylate oxygen carries half the charge
        {"benzoate", [&] { return planarRing(benzoateRing, carboxylate); }, "", "", "total charge is -1.0"},
    };
    for (const auto& c : cases) {
        ChargeRun on;
        expectSameGuesses(c.build, c.what, &on);
        EXPECT_EQ(on.total.rfind(c.total, 0), 0u) << c.what << ": " << on.total;
        if (c.chargedAtom[0] == '\0') continue;
        int charged = 0;
        for (const std::string& n : on.names) {
            if (suffixOf(n).empty()) continue;
            ++charged;
            EXPECT_EQ(n.rfind(c.chargedAtom, 0), 0u) << c.what << ": " << n;
            EXPECT_EQ(suffixOf(n), c.suffix) << c.what << ": " << n;
        }
        EXPECT_EQ(charged, 1) << c.what;
    }
}
