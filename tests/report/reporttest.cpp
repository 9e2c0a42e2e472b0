#include "reporttest.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <stdexcept>

#include "database/nearest.h"

std::vector<std::pair<std::string, std::string>> listedNames(const std::string& out) {
    std::vector<std::pair<std::string, std::string>> names;
    for (const std::string& line : linesOf(out)) {
        const std::size_t colon = line.find(": ");
        if (colon != std::string::npos) names.emplace_back(line.substr(0, colon), line.substr(colon + 2));
    }
    return names;
}

namespace {

std::string symbolOfTerm(const std::string& term) {
    std::string symbol;
    for (char c : term)
        if (std::isalpha(static_cast<unsigned char>(c))) symbol += c;
    if (!symbol.empty()) symbol[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(symbol[0])));
    return symbol;
}

std::string entry(const std::string& name, int k) {
    const NameTerms t = splitName(name);
    const std::string first = t.firstShell.empty() ? "DUM" : symbolOfTerm(t.firstShell[0]);
    const std::string second = t.firstShell.size() < 2 ? "DUM" : symbolOfTerm(t.firstShell[1]);
    char populations[400];
    std::snprintf(populations, sizeof populations,
                  "%8.4f   0.0000   0.0100   0.0000   0.0200   0.0100   0.0000   0.0000   0.0300   0.0000\n"
                  "  0.0000   0.0000   0.0000   0.0000   0.0000   0.0000   0.0000   0.0000   0.0000   0.0000\n"
                  "  0.0000   0.0000   0.0000   0.0000   0.0000   0.0000\n",
                  t.element == "H" ? 0.85 + 0.01 * k : 4.0 + 0.1 * k);
    return "Model Compound Name:    compound " + std::to_string(k) + "\n!Degree of planarity (1 is planar): 0.5\n" +
           name + "\n" + populations + "Symmetrie: 1\nKS: Z:" + first + "(1) X:" + second +
           "(2) shift: 0.000 bond: 1.000\nKAPPA= 1.010; 0.900; 0.900; 0.900; 0.900; 0.900\n";
}

}  // namespace

RunResult runAgainstHalfDatabase(const ScratchDir& dir, const std::string& fixture) {
    dir.copyFolder("fixtures/" + fixture);
    if (!dir.exists("xd.mas")) dir.copyIn(examplePath(fixture + "/xd.mas"), "xd.mas");
    dir.write("DABA.txt", "! no entries\n! end\n");
    RunResult first = runTool();
    if (first.code != 0) throw std::runtime_error("run against the empty database failed: " + first.err);
    std::string db = "! every other name of " + fixture + "\n";
    std::set<std::string> seen;
    int k = 0;
    for (const auto& labelled : listedNames(dir.read("Quandrele.out"))) {
        if (!seen.insert(labelled.second).second) continue;
        if (k++ % 2 == 0) db += entry(labelled.second, k);
    }
    dir.write("DABA.txt", db + "! end\n");
    return runTool();
}

std::string browserDom(const std::string& pagePath) {
    if (std::system("command -v chromium >/dev/null 2>&1") != 0)
        throw std::runtime_error("chromium is not installed: the page test needs a real browser (Debian package "
                                 "chromium, which .ci/run installs)");
    char profile[] = "/tmp/qdl-chromium.XXXXXX";
    if (mkdtemp(profile) == nullptr) throw std::runtime_error("no temporary browser profile");
    const std::string cmd = std::string("timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic "
                                        "--no-first-run --disable-background-networking --disable-component-update "
                                        "--disable-sync --user-data-dir=") +
                            profile + " --dump-dom 'file://" + pagePath + "' 2>/dev/null";
    std::string dom;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char block[65536];
        std::size_t n;
        while ((n = std::fread(block, 1, sizeof block, p)) > 0) dom.append(block, n);
        pclose(p);
    }
    const std::string rm = std::string("rm -rf ") + profile;
    if (std::system(rm.c_str()) != 0) {
    }
    if (dom.find("<html") == std::string::npos) throw std::runtime_error("chromium returned no DOM for " + pagePath);
    return dom;
}
