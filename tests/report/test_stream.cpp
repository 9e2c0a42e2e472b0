// The report as it is written: the streamed JSON is the JSON library's dump of the same
// run byte for byte, and a structure too large to draw gets a note and the full table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "app/run.h"
#include "database/nearest.h"
#include "report/report.h"
#include "reporttest.h"

namespace {

// The library's dump of the run's document against the streamed text.
void expectStreamIsDump(const RunReport& run, const std::string& what) {
    const std::string streamed = jsonText(run);
    const std::string dumped = jsonText(runDocument(run));
    ASSERT_EQ(streamed.size(), dumped.size()) << what;
    EXPECT_TRUE(streamed == dumped) << what << ": first difference at byte "
                                    << std::mismatch(streamed.begin(), streamed.end(), dumped.begin()).first -
                                           streamed.begin();
}

}  // namespace

// Fixtures against a database with every other name: dummies in frames, missing atoms with
// nearest entries, site symmetry and stereo marks; a model compound with a quote, a
// backslash and a Latin-1 byte; numbers that are no finite numbers.
TEST(StreamedJson, IsTheLibraryDumpOfTheSameRun) {
    for (const char* fixture : {"chfclbr_r", "urea_z2", "water_chloride", "naphthalene", "disorder_cf3"}) {
        SCOPED_TRACE(fixture);
        ScratchDir dir;
        ASSERT_EQ(runAgainstHalfDatabase(dir, fixture).code, 0);
        std::string db = dir.read("DABA.txt");
        const std::string from = "compound 1\n";
        ASSERT_NE(db.find(from), std::string::npos);
        db.replace(db.find(from), from.size(), "compound \"1\" \\ \xC4thyl\n");
        dir.write("DABA.txt", db);

        std::unique_ptr<Quandrel> q;
        capture([&] {
            q = openRun();
            q->findOutNames();
            q->findInDataBase();
            q->setupNewInpAndMasFile();
        });
        NameCatalogue catalogue;
        for (const auto& entry : q->transfer.databaseNames) catalogue.add(entry.first, entry.second);
        RunReport run(writing(*q), catalogue, q->transfer.databaseNames.size(), q->transfer.appliedCorrection);
        ASSERT_GT(run.missing, 0);
        ASSERT_LT(run.missing, run.atoms());
        expectStreamIsDump(run, "as read");

        const std::string text = jsonText(run);
        EXPECT_NE(text.find("compound \\\"1\\\" \\\\ \xEF\xBF\xBDthyl"), std::string::npos);
        if (std::string(fixture) == "chfclbr_r") {
            EXPECT_NE(text.find("\"stereo\": \"R\""), std::string::npos);
        }
        if (std::string(fixture) == "urea_z2") {
            EXPECT_NE(text.find("\"label\": \"DUM0\""), std::string::npos);
        }

        q->transfer.model.atom[0].occupancy = std::nan("");
        q->transfer.model.atom[1].kappa[2] = HUGE_VAL;
        q->transfer.model.atom[1].frac[0] = -0.0;
        expectStreamIsDump(run, "with numbers that are no finite numbers");

        // a run with -hkl: the fit to the data closes the same document
        std::vector<scattering::Reflection> data(5);
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i].f2 = 10.0 + static_cast<double>(i);
            data[i].sigma = 0.5;
        }
        const scattering::FitToData fit = scattering::fitToData("data \"1\".hkl", data, {0.1, 0.5, 0.2, 0.4, 0.3},
                                                                {5, 6, 7, 8, 9}, {4, 6, 8, 8, 9}, 3);
        run.fit = &fit;
        expectStreamIsDump(run, "with the fit to the data");
        EXPECT_NE(jsonText(run).find("\"fitToData\": {\n    \"reflectionFile\": \"data \\\"1\\\".hkl\""),
                  std::string::npos);
    }
}

namespace {

// n lone atoms on a grid, every other one found in the database.
std::unique_ptr<Quandrel> loneAtoms(int n) {
    StructureBuilder s(400.0);
    for (int i = 0; i < n; ++i) {
        const std::string label = (i % 3 == 0 ? "H" : "O") + std::to_string(i + 1);
        s.add(label, i % 3 == 0 ? "H" : "O", 2.5 * (i % 20), 2.5 * (i / 20 % 20), 2.5 * (i / 400));
    }
    std::unique_ptr<Quandrel> q = s.build();
    q->transfer.inDatabase.assign(static_cast<std::size_t>(n), 0);
    for (int i = 0; i < n; ++i) {
        name(*q, i, i % 3 == 0 ? "H" : "O");
        if (i % 2 == 0) {
            q->transfer.inDatabase[static_cast<std::size_t>(i)] = 1;
            q->transfer.model.atom[static_cast<std::size_t>(i)].modelCompound = "water <" + std::to_string(i) + ">";
        }
    }
    return q;
}

}  // namespace

TEST(ReportPage, AStructureTooLargeToDrawGetsANoteAndTheFullTable) {
    struct Case {
        int atoms;
        bool drawn;
        int views;  // best view, along a, b, c; the best view alone above ONE_VIEW_LIMIT
    };
    for (const Case c : {Case{ONE_VIEW_LIMIT, true, 4}, Case{ONE_VIEW_LIMIT + 1, true, 1},
                         Case{DRAWING_LIMIT, true, 1}, Case{DRAWING_LIMIT + 1, false, 0}}) {
        SCOPED_TRACE(c.atoms);
        ScratchDir dir;
        std::unique_ptr<Quandrel> q = loneAtoms(c.atoms);
        NameCatalogue catalogue;
        catalogue.add("O", "water");
        const RunReport run(writing(*q), catalogue, 1, MonopoleCorrection());
        const std::string page = reportPage(run);

        int missing = 0, missingOxygens = 0;
        for (int i = 1; i < c.atoms; i += 2) {
            ++missing;
            if (i % 3 != 0) ++missingOxygens;
        }
        EXPECT_EQ(countOf(page, "<tr class=\"atom-row "), c.atoms);
        EXPECT_EQ(countOf(page, "<tr class=\"atom-row missing\""), missing);
        EXPECT_EQ(countOf(page, "<td>water &lt;"), c.atoms - missing);
        EXPECT_EQ(countOf(page, "<ol class=\"nearest\"><li><code>O</code> &mdash; water"), missingOxygens);
        // per atom, and once more for the hydrogens' name in the summary of missing names
        EXPECT_EQ(countOf(page, "no database entry of this element"), missing - missingOxygens + 1);
        EXPECT_EQ(countOf(page, "<tr class=\"missing-name\">"), 2);
        EXPECT_NE(page.find("<p class=\"summary\">" + std::to_string(c.atoms) + " atoms, "), std::string::npos);
        EXPECT_NE(page.find("</table>\n<script>"), std::string::npos);
        EXPECT_NE(page.find("</script>\n</body>\n</html>\n"), std::string::npos);

        EXPECT_EQ(countOf(page, "<svg class=\"drawing view-best\""), c.drawn ? 1 : 0);
        EXPECT_EQ(countOf(page, "<svg class=\"drawing "), c.views);
        EXPECT_EQ(countOf(page, "<input type=\"radio\" name=\"view\""), c.views);
        EXPECT_EQ(countOf(page, "<span class=\"one-view\">"), c.views == 1 ? 1 : 0);
        EXPECT_EQ(countOf(page, "<div class=\"legend\">"), c.drawn ? 1 : 0);
        EXPECT_EQ(countOf(page, "<g class=\"atom "), c.views * c.atoms);
        const std::string note = "<p class=\"note\">The drawing is left out: " + std::to_string(c.atoms) +
                                 " atoms are more than a drawing can show readably (at most 5000 are drawn). "
                                 "The table below lists every atom.</p>\n";
        EXPECT_EQ(countOf(page, note), c.drawn ? 0 : 1);

        // no bonds, dummies or molecules: the empty containers in the library's layout
        expectStreamIsDump(run, "lone atoms");
        EXPECT_NE(jsonText(run).find("\"bonds\": [],\n  \"warnings\": [],\n  \"imageBonds\": [],\n  \"molecules\": []\n}\n"), std::string::npos);
    }
}

// The files as the program writes them: the JSON in blocks is the text above, the page
// the one built whole.
TEST(ReportFiles, AreTheTextsWrittenInBlocks) {
    ScratchDir dir;
    std::unique_ptr<Quandrel> q = loneAtoms(DRAWING_LIMIT + 1);
    q->transfer.databaseNames = {{"O", "water"}};
    q->transfer.databaseEntries = 1;
    NameCatalogue catalogue;
    catalogue.add("O", "water");
    const RunReport run(writing(*q), catalogue, 1, q->transfer.appliedCorrection);
    writeRunReport(writing(*q));
    EXPECT_TRUE(dir.read("Quandrele.json") == jsonText(run));
    EXPECT_TRUE(dir.read("Quandrele.html") == reportPage(run));
    EXPECT_GT(dir.read("Quandrele.json").size(), std::size_t(2) << 20);  // more than one block
}

// A crowded drawing of 3,200 atoms in the browser: every atom drawn once, in the best view
// alone (above ONE_VIEW_LIMIT), labels left out rather than overlapping, and the script runs
// without an error.
TEST(ReportPage, ACrowdedDrawingKeepsItsLabelsApartInTheBrowser) {
    ScratchDir dir;
    std::unique_ptr<Quandrel> q = loneAtoms(3200);
    q->transfer.databaseNames = {{"O", "water"}};
    q->transfer.databaseEntries = 1;
    writeRunReport(writing(*q));
    const PageProbe probe = probePage(dir.path() + "/Quandrele.html");
    EXPECT_EQ(probe.errors, 0) << probe.errorText;
    EXPECT_EQ(probe.overlaps, 0) << probe.errorText;
    const std::string view = drawnView(probe.dom, "best");
    EXPECT_EQ(countOf(view, "class=\"adp\""), 3200);
    EXPECT_EQ(countOf(probe.dom, "class=\"adp\""), 3200) << "one view";
    for (const char* other : {"a", "b", "c"}) EXPECT_TRUE(drawnView(probe.dom, other).empty()) << other;
    EXPECT_NE(probe.dom.find("<span class=\"one-view\">3200 atoms and images"), std::string::npos);
    EXPECT_GT(probe.labels, 100);
    EXPECT_LT(probe.labels, 3200);
    // the page says how many labels it left out
    const std::string key = "<span class=\"labels-dropped\" data-count=\"";
    const std::size_t note = probe.dom.find(key);
    ASSERT_NE(note, std::string::npos);
    EXPECT_EQ(std::atoi(probe.dom.c_str() + note + key.size()), 3200 - probe.labels);
}
