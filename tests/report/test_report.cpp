// The run report: Quandrele.json agrees with the other output files for every fixture, and
// the page, opened in a real browser, shows every atom, the frames and the missing atoms.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

#include <map>
#include <set>
#include <stdexcept>
#include <sstream>

#include "database/nearest.h"
#include "report/report.h"
#include "reporttest.h"

using nlohmann::json;

namespace {

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

std::vector<std::string> fixtureNames() {
    std::vector<std::string> names;
    if (DIR* d = opendir(dataPath("fixtures").c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

const char* const AXES = "?XYZ";

// Label of a 1-based frame number as the JSON gives it.
std::string labelOf(const json& run, int number) {
    const json& atoms = run["atoms"];
    if (number >= 1 && number <= static_cast<int>(atoms.size())) return atoms[number - 1]["label"];
    return "DUM" + std::to_string(number - 1 - static_cast<int>(atoms.size()));
}

std::string fixed(double v, const char* fmt) {
    char text[64];
    std::snprintf(text, sizeof text, fmt, v);
    return text;
}

// Names, found flags, model compounds, frames, dummies and written monopoles of the JSON
// against Quandrele.out, Quandrele.descent, xd.res.quandreltool and xd.mas.quandreltool.
void checkAgreement(const ScratchDir& dir, const std::string& fixture) {
    SCOPED_TRACE(fixture);
    const json run = json::parse(dir.read("Quandrele.json"));  // throws when it does not parse
    const json& atoms = run["atoms"];

    const auto names = listedNames(dir.read("Quandrele.out"));
    ASSERT_EQ(atoms.size(), names.size());
    const std::vector<std::string> descent = linesOf(dir.read("Quandrele.descent"));
    ASSERT_EQ(descent.size(), atoms.size());
    int missing = 0;
    for (std::size_t i = 0; i < atoms.size(); ++i) {
        const json& a = atoms[i];
        EXPECT_EQ(a["label"], names[i].first);
        EXPECT_EQ(a["name"], names[i].second);
        const std::string head = names[i].first + ": " + names[i].second;
        if (a["found"].get<bool>()) {
            EXPECT_EQ(descent[i], head + " from: " + a["modelCompound"].get<std::string>());
            EXPECT_FALSE(a.contains("nearest"));
        } else {
            ++missing;
            EXPECT_EQ(descent[i], head + " IS NOT IN THE DATABASE YET!");
            EXPECT_TRUE(a["modelCompound"].is_null());
            EXPECT_LE(a["nearest"].size(), 3u);
            for (const json& e : a["nearest"]) EXPECT_EQ(splitName(e["name"]).element, a["element"]) << e["name"];
        }
    }
    EXPECT_EQ(run["missing"], missing);
    EXPECT_GT(missing, 0);
    EXPECT_LT(missing, static_cast<int>(atoms.size()));

    // the new parameter file: dummies, then each atom's frame and written monopole
    const std::vector<std::string> res = linesOf(dir.read("xd.res.quandreltool"));
    std::size_t at = 0;
    while (at < res.size() && res[at].compare(0, 5, "USAGE") != 0) ++at;
    ASSERT_LT(at, res.size());
    const std::vector<std::string> usage = words(res[at]);
    ASSERT_EQ(std::stoul(usage[1]), atoms.size());
    ASSERT_EQ(std::stoul(usage.back()), run["dummies"].size());
    at += 3;
    for (const json& d : run["dummies"]) {
        std::string expected;
        for (int c = 0; c < 3; ++c) expected += fixed(d["fractional"][c].get<double>(), "%15.6f");
        EXPECT_EQ(res.at(at++), expected) << d["label"];
    }
    for (const json& a : atoms) {
        const std::vector<std::string> w = words(res.at(at));
        ASSERT_GE(w.size(), 7u);
        EXPECT_EQ(w[0], a["label"]);
        const json& f = a["frame"];
        EXPECT_EQ(std::string(1, AXES[std::stoi(w[1]) & 3]), f["axis1"].get<std::string>() == "" ? "?" : f["axis1"])
            << a["label"];
        EXPECT_EQ(std::string(1, AXES[std::stoi(w[2]) & 3]), f["axis2"].get<std::string>() == "" ? "?" : f["axis2"]);
        EXPECT_EQ(labelOf(run, std::stoi(w[3])), f["atom0"]) << a["label"];
        EXPECT_EQ(labelOf(run, std::stoi(w[5])), f["atom2"]) << a["label"];
        const int tp = std::stoi(w[6]);
        at += 2 + (tp >= 3 ? 2 : 0) + (tp == 4 ? 3 : 0);
        EXPECT_EQ(res.at(at).substr(0, 8), fixed(a["monopoleWritten"].get<double>(), "%8.4f")) << a["label"];
        EXPECT_DOUBLE_EQ(a["monopoleBeforeCorrection"].get<double>(),
                         a["occupancy"].get<double>() * a["monopoleRead"].get<double>());
        at += 3;
        for (const json& d : f["dummies"]) EXPECT_EQ(d["label"].get<std::string>().compare(0, 3, "DUM"), 0);
    }

    // per molecule: the monopole sum is that of its found atoms; an added average moves
    // every monopole of the molecule by the same amount
    ASSERT_FALSE(run["molecules"].empty());
    for (const json& m : run["molecules"]) {
        double sum = 0;
        for (const json& a : atoms)
            if (a["found"].get<bool>() && a["molecule"] == m["number"]) sum += a["monopoleBeforeCorrection"].get<double>();
        EXPECT_NEAR(sum, m["monopoleSum"].get<double>(), 1e-9) << m["number"];
        const json& c = m["correction"];
        if (!c["applied"].get<bool>() || c["mode"] != 0) continue;
        for (const json& a : atoms) {
            if (a["molecule"] != m["number"]) continue;
            EXPECT_NEAR(a["monopoleWritten"].get<double>() - a["monopoleBeforeCorrection"].get<double>(),
                        c["addedPerAtom"].get<double>(), 1e-9)
                << a["label"];
        }
    }

    // the master file's ATOM table names the same reference atoms for every found atom
    const std::vector<std::string> mas = linesOf(dir.read("xd.mas.quandreltool"));
    std::size_t header = 0;
    while (header < mas.size() && mas[header].compare(0, 10, "ATOM     A") != 0) ++header;
    ASSERT_LT(header + atoms.size(), mas.size());
    for (std::size_t i = 0; i < atoms.size(); ++i) {
        const json& a = atoms[i];
        if (!a["found"].get<bool>()) continue;
        const std::vector<std::string> w = words(mas[header + 1 + i]);
        ASSERT_GE(w.size(), 6u);
        EXPECT_EQ(w[0], a["label"]);
        EXPECT_EQ(w[1], a["frame"]["atom0"]);
        EXPECT_EQ(w[2], a["frame"]["axis1"]);
        EXPECT_EQ(w[4], a["frame"]["atom2"]);
        EXPECT_EQ(w[5], a["frame"]["axis2"]);
    }
}

}  // namespace

TEST(RunReport, JsonAgreesWithTheOtherOutputFilesForEveryFixture) {
    const std::vector<std::string> fixtures = fixtureNames();
    ASSERT_GE(fixtures.size(), 10u);
    for (const std::string& fixture : fixtures) {
        ScratchDir dir;
        const RunResult r = runAgainstHalfDatabase(dir, fixture);
        ASSERT_EQ(r.code, 0) << fixture << "\n" << r.err;
        ASSERT_TRUE(dir.exists("Quandrele.html")) << fixture;
        checkAgreement(dir, fixture);
        const json run = json::parse(dir.read("Quandrele.json"));
        const std::string line = std::to_string(run["missing"].get<int>()) + " of " +
                                 std::to_string(run["atoms"].size()) +
                                 " atoms were not found in the database; Quandrele.html lists the nearest database "
                                 "entries for each.\n";
        EXPECT_EQ(countOf(r.err, line), 1) << fixture;
        // the nearest entries of a missing name come from the names the database holds
        const std::string db = dir.read("DABA.txt");
        for (const json& a : run["atoms"])
            for (const json& e : a.value("nearest", json::array()))
                EXPECT_NE(db.find("\n" + e["name"].get<std::string>() + "\n"), std::string::npos) << e["name"];
    }
}

TEST(RunReport, WrittenOnlyByRunsThatEndNormally) {
    {
        ScratchDir dir;
        dir.copyFolder("fixtures/benzene");
        dir.write("DABA.txt", "! nothing\n");
        RunResult r = runTool("-findSymm");
        EXPECT_EQ(r.code, 0);
        EXPECT_FALSE(dir.exists("Quandrele.json"));
        EXPECT_FALSE(dir.exists("Quandrele.html"));
    }
    {
        ScratchDir dir;  // no database: an error exit
        dir.copyFolder("fixtures/benzene");
        RunResult r = runTool();
        EXPECT_EQ(r.code, 1);
        EXPECT_FALSE(dir.exists("Quandrele.json"));
        EXPECT_FALSE(dir.exists("Quandrele.html"));
    }
}

TEST(RunReport, AReportThatCannotBeWrittenIsAWarningOnly) {
    ScratchDir dir;
    dir.copyFolder(examplePath("l_alanine"));
    ASSERT_EQ(system(("mkdir " + dir.path() + "/Quandrele.json").c_str()), 0);  // in the way of the file
    RunResult r = runTool();
    EXPECT_EQ(r.code, 0);
    const std::string line = "Quandrele.json could not be created : Is a directory";
    EXPECT_NE(r.err.find("Warning: " + line + "\n"), std::string::npos) << r.err;
    EXPECT_TRUE(dir.exists("xd.mas.quandreltool"));
    EXPECT_NE(dir.read("Quandrele.html").find("</html>"), std::string::npos);
    // the page, written after the JSON, lists the warning
    EXPECT_NE(dir.read("Quandrele.html").find("<td>" + line + "</td></tr>"), std::string::npos);
}

TEST(RunReport, BytesThatAreNoUtf8AreReplacedInTheJson) {
    ScratchDir dir;
    dir.copyFolder(examplePath("l_alanine"));
    std::string db = dir.read("DABA.txt");
    const std::string from = "L-alanine zwitterion";
    db.replace(db.find(from), from.size(), "L-Alanin \xC4thylester");  // Latin-1, as an old file may have it
    dir.write("DABA.txt", db);
    RunResult r = runTool();
    ASSERT_EQ(r.code, 0) << r.err;
    const json run = json::parse(dir.read("Quandrele.json"));
    EXPECT_EQ(run["atoms"][0]["modelCompound"], "L-Alanin \xEF\xBF\xBDthylester (illustrative)");
}

namespace {

// The page of a run as the browser built it. In the shown (best) view: one atom group per
// atom and image, each with one ellipse or circle in its element's colour (one colour per
// element, a different one for each), three axis arrows per found atom, the missing atoms
// marked, disorder parts dashed and named, images faded with their bonds, the dummies that
// frames use; labels that do not overlap; the provenance; nothing fetched; no script error.
// Every "Warning: " line of the run's standard error stands in the DOM's "Check before
// refining" section (text as the browser serialises it) and in the JSON.
void expectWarningsListed(const std::string& dom, const json& run, const std::string& err) {
    const std::size_t section = dom.find("Check before refining");
    int warned = 0;
    for (const std::string& line : linesOf(err)) {
        if (line.compare(0, 9, "Warning: ") != 0) continue;
        ++warned;
        std::string text;
        for (char c : line.substr(9)) text += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
        ASSERT_NE(section, std::string::npos) << line;
        EXPECT_NE(dom.find("<td>" + text + "</td>", section), std::string::npos) << line;
    }
    EXPECT_GE(static_cast<int>(run["warnings"].size()), warned);
}

void checkPage(const ScratchDir& dir, const std::string& err = "") {
    SCOPED_TRACE(dir.path());
    const json run = json::parse(dir.read("Quandrele.json"));
    const std::string page = dir.read("Quandrele.html");
    for (const char* outside : {"src=", "href=", "@import", "<link", "<img", "<iframe", "fetch(", "XMLHttpRequest"})
        EXPECT_EQ(page.find(outside), std::string::npos) << outside << ": the page must stand alone";
    EXPECT_EQ(countOf(page, "url("), countOf(page, "url(#"));  // markers of the page itself only
    EXPECT_EQ(countOf(page, "http"), countOf(page, "xmlns=\"http://www.w3.org/2000/svg\""));

    const PageProbe probe = probePage(dir.path() + "/Quandrele.html");
    EXPECT_EQ(probe.errors, 0) << probe.errorText;
    EXPECT_EQ(probe.overlaps, 0) << probe.errorText;
    EXPECT_GT(probe.labels, 0);
    EXPECT_EQ(probe.hoveredAxes, run["missing"].get<int>() < static_cast<int>(run["atoms"].size()) ? 1 : -1);
    const std::string& dom = probe.dom;
    expectWarningsListed(dom, run, err);
    const std::string view = drawnView(dom, "best");
    ASSERT_FALSE(view.empty());
    for (const char* other : {"a", "b", "c"}) EXPECT_FALSE(drawnView(dom, other).empty()) << other;

    const int atoms = static_cast<int>(run["atoms"].size());
    const int missing = run["missing"].get<int>();
    const int images = static_cast<int>(run["images"].size());
    EXPECT_EQ(countOf(dom, "<tr class=\"atom-row "), atoms);
    EXPECT_EQ(countOf(dom, "<tr class=\"atom-row missing\""), missing);
    EXPECT_EQ(countOf(view, "<g class=\"atom found\""), atoms - missing);
    EXPECT_EQ(countOf(view, "<g class=\"atom missing\""), missing);
    EXPECT_EQ(countOf(view, "<g class=\"atom image\""), images);
    EXPECT_EQ(countOf(view, "class=\"adp\""), atoms + images);
    EXPECT_EQ(countOf(view, "<g class=\"axes"), atoms - missing);  // "axes on" for the atom pointed at
    EXPECT_EQ(countOf(view, "class=\"axis-arrow "), 3 * (atoms - missing));
    std::map<std::string, std::string> colourOf;  // element -> fill
    for (const json& a : run["atoms"]) {
        const std::string label = a["label"], element = a["element"];
        const bool found = a["found"].get<bool>();
        const std::string status = found ? "found" : "missing";
        EXPECT_EQ(countOf(dom, "<tr class=\"atom-row " + status + "\" data-label=\"" + label + "\""), 1) << label;
        const std::string head = "<g class=\"atom " + status + "\" data-label=\"" + label + "\" data-element=\"" + element + "\"";
        EXPECT_EQ(countOf(view, head), 1) << label;
        const std::string group = groupOf(view, head);
        EXPECT_EQ(countOf(group, "class=\"adp\""), 1) << label;
        const std::size_t fill = group.find("fill=\"", group.find("class=\"adp\""));
        ASSERT_NE(fill, std::string::npos) << label;
        const std::string colour = group.substr(fill + 6, 7);
        if (!colourOf.count(element)) colourOf[element] = colour;
        EXPECT_EQ(colour, colourOf[element]) << label;
        EXPECT_EQ(countOf(group, "stroke-width=\"3\""), found ? 0 : 1) << label;  // the outline of a missing atom
        const int part = a["part"].get<int>();
        EXPECT_EQ(countOf(group, "stroke-dasharray"), part != 0 ? 1 : 0) << label;
        EXPECT_EQ(countOf(group, "disorder part " + std::to_string(part) + "</title>"), part != 0 ? 1 : 0) << label;
        EXPECT_EQ(countOf(view, " data-atom=\"" + label + "\""), found ? 1 : 0) << label;
    }
    std::set<std::string> colours;
    for (const auto& c : colourOf) colours.insert(c.second);
    EXPECT_EQ(colours.size(), colourOf.size()) << "two elements share a colour";
    if (colourOf.count("O")) {
        EXPECT_EQ(colourOf["O"].substr(1, 2), "ff") << "oxygen is drawn red";
    }
    // images: faded, with their bonds
    for (const json& i : run["images"])
        EXPECT_EQ(countOf(view, "<g class=\"atom image\" data-label=\"" + i["label"].get<std::string>() + "\""), 1);
    EXPECT_EQ(countOf(view, "<line class=\"bond image\""), static_cast<int>(run["imageBonds"].size()));
    EXPECT_EQ(countOf(view, "<line class=\"bond\""), static_cast<int>(run["bonds"].size()));
    // missing atoms lead the table
    if (missing > 0) {
        EXPECT_LT(dom.find("atom-row missing"), dom.find("atom-row found"));
    }
    // the dummies that frames use are drawn
    for (const json& a : run["atoms"])
        for (const json& d : a["frame"]["dummies"]) {
            EXPECT_NE(view.find("data-label=\"" + d["label"].get<std::string>() + "\""), std::string::npos);
        }
    // provenance: the version, the switches and every input file with its time
    const std::size_t header = dom.find("<dl class=\"provenance\">");
    ASSERT_NE(header, std::string::npos);
    const std::string provenance = dom.substr(header, dom.find("</dl>", header) - header);
    EXPECT_NE(provenance.find(run["provenance"]["version"].get<std::string>()), std::string::npos);
    EXPECT_NE(provenance.find("QuandrelTool 1.0"), std::string::npos);
    for (const json& f : run["provenance"]["inputFiles"])
        EXPECT_NE(provenance.find(f["path"].get<std::string>() + "</code>, modified " + f["modified"].get<std::string>()),
                  std::string::npos)
            << f["path"];
}

// Bonds between drawn carbons in a view: every carbon of a closed ring has two.
std::map<std::string, int> carbonBonds(const std::string& view, const json& run) {
    std::set<std::string> carbons;
    for (const json& a : run["atoms"])
        if (a["element"] == "C") carbons.insert(a["label"].get<std::string>());
    for (const json& i : run["images"])
        for (const json& a : run["atoms"])
            if (a["label"] == i["atom"] && a["element"] == "C") carbons.insert(i["label"].get<std::string>());
    std::map<std::string, int> count;
    for (std::size_t at = view.find("data-atoms=\""); at != std::string::npos; at = view.find("data-atoms=\"", at + 1)) {
        const std::size_t start = at + 12, end = view.find('"', start);
        std::istringstream pair(view.substr(start, end - start));
        std::string p, q;
        pair >> p >> q;
        if (carbons.count(p) && carbons.count(q)) {
            ++count[p];
            ++count[q];
        }
    }
    return count;
}


}  // namespace

TEST(RunReport, ThePageShowsEveryAtomInARealBrowser) {
    {
        ScratchDir dir;  // the bundled example: every atom found
        dir.copyFolder(examplePath("l_alanine"));
        const RunResult r = runTool();
        ASSERT_EQ(r.code, 0);
        checkPage(dir, r.err);
    }
    {
        ScratchDir dir;  // half the names missing
        const RunResult r = runAgainstHalfDatabase(dir, "naphthalene");
        ASSERT_EQ(r.code, 0);
        checkPage(dir, r.err);
    }
}

TEST(RunReport, ThePageDrawsSymmetryImagesAndDisorderParts) {
    {
        // half a benzene on an inversion centre: completed, the ring is drawn closed
        ScratchDir dir;
        dir.copyFolder(sharedFixture("symmetry/cod_2100348_benzene_pbca/asym"));
        const RunResult r = runTool("-symmBonds");
        ASSERT_EQ(r.code, 0) << r.err;
        checkPage(dir, r.err);
        const json run = json::parse(dir.read("Quandrele.json"));
        EXPECT_EQ(run["images"].size(), 6u);
        const std::map<std::string, int> bonds = carbonBonds(drawnView(browserDom(dir.path() + "/Quandrele.html"), "best"), run);
        ASSERT_EQ(bonds.size(), 6u);
        for (const auto& b : bonds) EXPECT_EQ(b.second, 2) << b.first;
        // the dummies of the frames stand for images, as standard output says
        for (const json& d : run["dummies"])
            if (!d["standsForImage"].is_null()) {
                EXPECT_NE(r.out.find("Dummy atom " + d["label"].get<std::string>() + " stands for the symmetry image " +
                                     d["standsForImage"].get<std::string>()),
                          std::string::npos);
            }
    }
    {
        // a disordered salt from its CIF: the atoms of both parts are dashed and carry their part
        ScratchDir dir;
        const std::string cif = sharedFixture("cif/cod_2224635_p-1_disorder/structure.cif");
        dir.copyFolder(sharedFixture("cif/cod_2224635_p-1_disorder/xd"));
        const RunResult r = runTool("-input " + cif);
        ASSERT_EQ(r.code, 0) << r.err;
        checkPage(dir, r.err);
        const json run = json::parse(dir.read("Quandrele.json"));
        std::set<int> parts;
        for (const json& a : run["atoms"]) parts.insert(a["part"].get<int>());
        EXPECT_GE(parts.size(), 3u);  // no part, part 1 and part 2
    }
}

TEST(RunReport, AFailedRunLeavesNoReportOfAnEarlierRun) {
    ScratchDir dir;
    dir.copyFolder(examplePath("l_alanine"));
    ASSERT_EQ(runTool().code, 0);
    ASSERT_TRUE(dir.exists("Quandrele.html"));
    ASSERT_TRUE(dir.exists("Quandrele.json"));
    ASSERT_EQ(std::remove((dir.path() + "/DABA.txt").c_str()), 0);  // the database is gone: the run fails
    EXPECT_EQ(runTool().code, 1);
    EXPECT_FALSE(dir.exists("Quandrele.html"));
    EXPECT_FALSE(dir.exists("Quandrele.json"));
}

namespace {

// A field of docs/report-format.md: its path ("atoms[].label"), the types it may have and
// whether every object of its parent holds it.
struct DocumentedField {
    std::string path;
    std::vector<std::string> types;
    bool always = false;
};

std::vector<DocumentedField> documentedFields() {
    const std::string doc = slurp(std::string(TEST_DATA_DIR) + "/../../docs/report-format.md");
    if (doc.empty()) throw std::runtime_error("docs/report-format.md cannot be read");
    std::vector<DocumentedField> fields;
    for (const std::string& line : linesOf(doc)) {
        if (line.compare(0, 3, "| `") != 0) continue;
        std::vector<std::string> cells;
        std::string cell;
        for (std::size_t k = 1; k < line.size(); ++k) {
            if (line[k] == '|' && line[k - 1] != '\\') {
                cells.push_back(cell);
                cell.clear();
            } else if (line[k] != '\\') {
                cell += line[k];
            }
        }
        if (cells.size() < 3) continue;
        DocumentedField f;
        f.path = cells[0].substr(cells[0].find('`') + 1);
        f.path.resize(f.path.find('`'));
        std::istringstream types(cells[1]);
        for (std::string t; std::getline(types, t, '|');) f.types.push_back(words(t).at(0));
        f.always = words(cells[2]).at(0) == "always";
        fields.push_back(f);
    }
    return fields;
}

bool hasType(const json& v, const std::string& type) {
    if (type == "string") return v.is_string();
    if (type == "integer") return v.is_number_integer();
    if (type == "number") return v.is_number();
    if (type == "boolean") return v.is_boolean();
    if (type == "array") return v.is_array();
    if (type == "object") return v.is_object();
    if (type == "null") return v.is_null();
    ADD_FAILURE() << "the document names an unknown type " << type;
    return false;
}

// The field at parts[k...] below node: every instance has a documented type; an "always"
// field is in every parent object (that is there: `optional` holds the objects documented as
// present only sometimes).
void checkField(const json& node, const std::vector<std::string>& parts, std::size_t k, const DocumentedField& f,
                const std::string& where, const std::set<std::string>& optional) {
    std::string key = parts[k];
    const bool each = key.size() > 2 && key.compare(key.size() - 2, 2, "[]") == 0;
    if (each) key.resize(key.size() - 2);
    if (!node.contains(key)) {
        std::string prefix;
        for (std::size_t n = 0; n <= k; ++n) prefix += (n > 0 ? "." : "") + parts[n];
        EXPECT_FALSE(f.always && k + 1 == parts.size()) << f.path << " missing at " << where;
        EXPECT_FALSE(k + 1 < parts.size() && f.always && !each && !optional.count(prefix))
            << f.path << " missing at " << where;
        return;
    }
    const json& v = node[key];
    if (k + 1 == parts.size()) {
        bool ok = false;
        for (const std::string& t : f.types) ok = ok || hasType(v, t);
        EXPECT_TRUE(ok) << f.path << " at " << where << " is " << v.type_name();
        return;
    }
    if (each) {
        ASSERT_TRUE(v.is_array()) << f.path;
        for (std::size_t n = 0; n < v.size(); ++n)
            checkField(v[n], parts, k + 1, f, where + "." + key + "[" + std::to_string(n) + "]", optional);
    } else {
        checkField(v, parts, k + 1, f, where + "." + key, optional);
    }
}

// Every path of the document (objects by key, arrays as "[]"), so that no field goes undocumented.
void collectPaths(const json& node, const std::string& path, std::set<std::string>& paths) {
    if (node.is_object()) {
        for (const auto& item : node.items()) {
            const std::string p = path.empty() ? item.key() : path + "." + item.key();
            paths.insert(p);
            if (item.value().is_array()) {
                for (const json& e : item.value())
                    if (e.is_object()) collectPaths(e, p + "[]", paths);
            } else {
                collectPaths(item.value(), p, paths);
            }
        }
    }
}

void checkAgainstDocument(const std::string& text, const std::vector<DocumentedField>& fields) {
    const json run = json::parse(text);
    std::set<std::string> documented, optional;
    for (const DocumentedField& f : fields)
        if (!f.always) optional.insert(f.path);
    for (const DocumentedField& f : fields) {
        std::vector<std::string> parts;
        std::istringstream in(f.path);
        for (std::string p; std::getline(in, p, '.');) parts.push_back(p);
        checkField(run, parts, 0, f, "", optional);
        std::string plain = f.path;
        documented.insert(plain);
    }
    std::set<std::string> present;
    collectPaths(run, "", present);
    for (const std::string& p : present) EXPECT_TRUE(documented.count(p)) << p << " is not documented";
    EXPECT_EQ(run["schemaVersion"], REPORT_SCHEMA_VERSION);
}

}  // namespace

TEST(RunReport, EveryDocumentedFieldIsThereWithItsTypeForEveryFixture) {
    const std::vector<DocumentedField> fields = documentedFields();
    ASSERT_GT(fields.size(), 80u);
    for (const std::string& fixture : fixtureNames()) {
        SCOPED_TRACE(fixture);
        ScratchDir dir;
        ASSERT_EQ(runAgainstHalfDatabase(dir, fixture).code, 0);
        checkAgainstDocument(dir.read("Quandrele.json"), fields);
    }
    struct Case {
        const char* folder;
        const char* args;
    };
    for (const Case c : {Case{"l_alanine", ""}, Case{"l_alanine_cif", ""}, Case{"mopro_glycine", ""},
                         Case{"l_alanine", "-hkl block.hkl"}}) {
        SCOPED_TRACE(std::string(c.folder) + " " + c.args);
        ScratchDir dir;
        dir.copyFolder(examplePath(c.folder));
        dir.write("block.hkl", xdReflectionFile(indexBlock(2)));
        ASSERT_EQ(runTool(c.args).code, 0);
        checkAgainstDocument(dir.read("Quandrele.json"), fields);
    }
    for (const Case c : {Case{"symmetry/cod_2100348_benzene_pbca/asym", "-symmBonds"},
                         Case{"symmetry/cod_2204100_c2c_axis/asym", "-symmBonds"},
                         Case{"symmetry/cod_2231955_p-1_salt_hydrate/asym", "-symmBonds"}}) {
        SCOPED_TRACE(c.folder);
        ScratchDir dir;
        dir.copyFolder(sharedFixture(c.folder));
        const RunResult r = runTool(c.args);
        ASSERT_EQ(r.code, 0) << r.err;
        const json run = json::parse(dir.read("Quandrele.json"));
        EXPECT_FALSE(run["images"].empty());
        checkAgainstDocument(dir.read("Quandrele.json"), fields);
    }
}

// Dummies that no position rule placed and an unreadable KS: line: each warning of standard
// error is in the page's "Check before refining" section and in the JSON, counted per kind;
// the dummies are drawn in red, at the drawing's edge, and the page is whole in the browser.
TEST(RunReport, TheWarningsOfTheRunLeadThePage) {
    ScratchDir dir;
    dir.copyFolder(sharedFixture("cif/cod_2205750_pna21_s/xd"));
    const RunResult r = runTool();
    ASSERT_EQ(r.code, 0) << r.err;
    checkPage(dir, r.err);
    const json run = json::parse(dir.read("Quandrele.json"));
    const std::string page = dir.read("Quandrele.html");
    std::map<std::string, int> perKind;
    int collected = 0;
    for (const std::string& line : linesOf(r.err)) {
        if (line.compare(0, 9, "Warning: ") != 0) continue;
        const std::string text = line.substr(9);
        const char* kind = text.find("no position rule applies to dummy") != std::string::npos ? "dummy without a position rule"
                           : text.find("KS: line could not be read") != std::string::npos ? "unreadable KS: line"
                                                                                         : nullptr;
        if (kind == nullptr) continue;
        ++perKind[kind];
        ++collected;
        EXPECT_NE(page.find("<td>" + text + "</td></tr>"), std::string::npos) << text;
        int inJson = 0;
        for (const json& w : run["warnings"]) inJson += w["text"] == text && w["kind"] == kind ? 1 : 0;
        EXPECT_EQ(inJson, 1) << text;
    }
    EXPECT_EQ(perKind.size(), 2u);
    EXPECT_GE(static_cast<int>(run["warnings"].size()), collected);  // every kind: test_warnings.cpp
    for (const auto& k : perKind) EXPECT_NE(page.find("<li><b>" + k.first + "</b>: " + std::to_string(k.second) + "</li>"), std::string::npos);
    EXPECT_LT(page.find("Check before refining"), page.find("<h2>Structure</h2>"));

    int unplaced = 0;
    for (const json& d : run["dummies"]) {
        if (!d["unplaced"].get<bool>()) continue;
        ++unplaced;
        for (int c = 0; c < 3; ++c) EXPECT_EQ(d["fractional"][c].get<double>(), 0.0);
        EXPECT_NE(page.find("<g class=\"dummy unplaced\" data-label=\"" + d["label"].get<std::string>() + "\""),
                  std::string::npos);
    }
    EXPECT_EQ(unplaced, perKind["dummy without a position rule"]);
}
