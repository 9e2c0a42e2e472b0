// Every warning a run writes to standard error is also on the page ("Check before refining")
// and in the JSON, with its kind: runs whose warnings arise in different stages (switches,
// settings file, CIF and SHELX readers, the override file, perception, the writers).
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "input/cif_text.h"
#include "testutil.h"

using nlohmann::json;

namespace {

struct WarningCase {
    const char* what;
    std::function<void(const ScratchDir&)> prepare;  // the inputs in the directory
    std::string args;
    std::map<std::string, int> kinds;  // kinds the run must give: the exact count, or -1 for at least one
};

void alanine(const ScratchDir& dir) { dir.copyFolder(examplePath("l_alanine")); }

// A database and settings but no XD files: a crystal file is the structure.
void crystalOnly(const ScratchDir& dir) {
    dir.copyIn(examplePath("l_alanine/DABA.txt"), "DABA.txt");
    dir.copyIn(examplePath("l_alanine/qdltool.ini"), "qdltool.ini");
}

// A CIF without hydrogen atoms: one site with occupancy "?", a placeholder of occupancy 0
// and two half-occupied sites 0.3 A apart without a disorder group.
std::string placeholderCif() {
    CifText cif;
    cif.atoms =
        "O1 O 0.10 0.20 0.30 0.020 ? .\n"
        "Cl1 Cl 0.40 0.40 0.10 0.025 0 .\n"
        "O2 O 0.60 0.30 0.70 0.020 0.5 .\n"
        "O3 O 0.63 0.30 0.70 0.020 0.5 .\n";
    return cif.text();
}

const std::vector<WarningCase>& cases() {
    static const std::vector<WarningCase> list = {
        {"switches", alanine, "-planar x -bogus", {{"switch ignored", 2}}},
        {"settings file", alanine, "-INIPfad nothere.ini", {{"settings file not found", 1}}},
        {"override file",
         [](const ScratchDir& dir) {
             alanine(dir);
             // one line per atom of the example (13), none of them usable
             std::string lines = "ZZ9: C2o\nC2 :C2o\n";
             for (int k = 0; k < 11; ++k) lines += "C1:\n";
             dir.write("Quandrele.in", lines);
         },
         "",
         {{"Quandrele.in line skipped", 13}}},
        {"CIF placeholders",
         [](const ScratchDir& dir) {
             crystalOnly(dir);
             dir.write("placeholders.cif", placeholderCif());
         },
         "-input placeholders.cif",
         {{"occupancy not stated", 1},
          {"occupancy 0 left out", 1},
          {"alternative sites without a disorder group", 1},
          {"no hydrogen atoms", 1}}},
        {"SHELX ions", crystalOnly, "-input " + dataPath("shelx/special.ins"),
         {{"total charge not zero", 1}, {"monopoles not corrected", -1}, {"key-table flags inherited", -1}}},
        {"symmetry without completion",
         [](const ScratchDir& dir) { dir.copyFolder(sharedFixture("symmetry/cod_2100348_benzene_pbca/asym")); },
         "",
         {{"bonded neighbour only by symmetry", -1}}},
    };
    return list;
}

std::string htmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// Pieces of the warnings that stand on standard error without "Warning: " in front.
const char* const UNPREFIXED[] = {"line skipped", "is not in the key table", "No monopoles", "written uncorrected",
                                  "is cut to", "counts as helium", "cannot be read (", "probably a problem",
                                  "is ignored", "belongs to no atom in this place", "without the inserted lines",
                                  "No such file"};

}  // namespace

TEST(RunWarnings, EveryWarningOfStandardErrorIsOnThePageAndInTheJson) {
    for (const WarningCase& c : cases()) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        c.prepare(dir);
        const RunResult r = runTool(c.args);
        ASSERT_EQ(r.code, 0) << r.err;
        const json run = json::parse(dir.read("Quandrele.json"));
        const std::string page = dir.read("Quandrele.html");

        // each warning of the JSON takes its own line of standard error
        std::multiset<std::string> lines;
        for (const std::string& line : linesOf(r.err)) lines.insert(line);
        std::map<std::string, int> perKind;
        for (const json& w : run["warnings"]) {
            const std::string text = w["text"];
            auto line = lines.find("Warning: " + text);
            if (line == lines.end()) line = lines.find(text);
            ASSERT_NE(line, lines.end()) << "not on standard error: " << text;
            lines.erase(line);
            ++perKind[w["kind"].get<std::string>()];
            EXPECT_NE(page.find("<td>" + htmlEscaped(text) + "</td></tr>"), std::string::npos) << text;
        }
        // and no warning of standard error is left out
        for (const std::string& line : lines) {
            EXPECT_NE(line.rfind("Warning: ", 0), 0u) << "not collected: " << line;
            for (const char* piece : UNPREFIXED)
                EXPECT_EQ(line.find(piece), std::string::npos) << "not collected: " << line;
        }
        for (const auto& k : c.kinds) {
            if (k.second < 0)
                EXPECT_GT(perKind[k.first], 0) << k.first;
            else
                EXPECT_EQ(perKind[k.first], k.second) << k.first;
        }
        for (const auto& k : perKind)
            EXPECT_NE(page.find("<li><b>" + k.first + "</b>: " + std::to_string(k.second) + "</li>"), std::string::npos)
                << k.first;
    }
}
