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

namespace {

const char* const PROBE_HEAD =
    "<script>window.probeErrors = [];"
    "window.addEventListener('error', function (e) { probeErrors.push(String(e.message)); });"
    "(function () { var original = console.error; console.error = function () {"
    " probeErrors.push(Array.prototype.join.call(arguments, ' ')); original.apply(console, arguments); }; })();"
    "</script>";

const char* const PROBE_TAIL =
    "<script>(function () {"
    " var boxes = Array.prototype.map.call(document.querySelectorAll('svg.view-best text.label'),"
    "   function (t) { return t.getBoundingClientRect(); });"
    " var overlaps = 0;"
    " for (var i = 0; i < boxes.length; ++i) for (var j = i + 1; j < boxes.length; ++j) {"
    "   var a = boxes[i], b = boxes[j];"
    "   if (a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom) ++overlaps; }"
    " var atom = document.querySelector('svg.view-best .atom.found'), hovered = -1;"
    " if (atom) { atom.dispatchEvent(new MouseEvent('mouseover', {bubbles: true}));"
    "   hovered = document.querySelectorAll('svg.view-best .axes.on').length; }"
    " var p = document.createElement('pre'); p.id = 'probe';"
    " p.textContent = 'labels=' + boxes.length + ' overlaps=' + overlaps + ' hovered=' + hovered +"
    "   ' errors=' + probeErrors.length +"
    "   ' ' + probeErrors.join(' | ');"
    " document.body.appendChild(p); })();</script>";

int probeNumber(const std::string& text, const std::string& key) {
    const std::size_t at = text.find(key + "=");
    return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + key.size() + 1);
}

}  // namespace

PageProbe probePage(const std::string& pagePath) {
    FILE* in = std::fopen(pagePath.c_str(), "rb");
    if (in == nullptr) throw std::runtime_error("no page at " + pagePath);
    std::string page;
    char block[65536];
    std::size_t n;
    while ((n = std::fread(block, 1, sizeof block, in)) > 0) page.append(block, n);
    std::fclose(in);
    const std::size_t head = page.find("<head>"), end = page.rfind("</body>");
    if (head == std::string::npos || end == std::string::npos) throw std::runtime_error("no page structure in " + pagePath);
    page.insert(end, PROBE_TAIL);
    page.insert(head + 6, PROBE_HEAD);
    const std::string probed = pagePath + ".probe.html";
    FILE* out = std::fopen(probed.c_str(), "wb");
    if (out == nullptr || std::fwrite(page.data(), 1, page.size(), out) != page.size())
        throw std::runtime_error("cannot write " + probed);
    std::fclose(out);
    PageProbe p;
    p.dom = browserDom(probed);
    std::remove(probed.c_str());
    const std::size_t at = p.dom.find("<pre id=\"probe\">");
    if (at == std::string::npos) throw std::runtime_error("the probe did not run in " + pagePath);
    const std::string result = p.dom.substr(at, p.dom.find("</pre>", at) - at);
    p.labels = probeNumber(result, "labels");
    p.overlaps = probeNumber(result, "overlaps");
    p.errors = probeNumber(result, "errors");
    p.hoveredAxes = probeNumber(result, "hovered");
    p.errorText = result;
    return p;
}

std::string drawnView(const std::string& dom, const std::string& view) {
    const std::size_t at = dom.find("<svg class=\"drawing view-" + view + "\"");
    if (at == std::string::npos) return "";
    return dom.substr(at, dom.find("</svg>", at) + 6 - at);
}

std::string groupOf(const std::string& svg, const std::string& head) {
    const std::size_t at = svg.find(head);
    if (at == std::string::npos) return "";
    return svg.substr(at, svg.find("</g>", at) + 4 - at);
}

std::vector<HklRow> indexBlock(int n) {
    std::vector<HklRow> rows;
    for (int h = 0; h <= n; ++h)
        for (int k = 0; k <= n; ++k)
            for (int l = 1; l <= n; ++l) rows.push_back({h, k, l, 100.0 + h + k + l, 2.0});
    return rows;
}

std::string xdReflectionFile(const std::vector<HklRow>& rows) {
    std::string text = "TEST     F^2     NDAT    6\n";
    char line[160];
    for (const HklRow& r : rows) {
        std::snprintf(line, sizeof line, "%4d%4d%4d  1 %.9g %.9g\n", r.h, r.k, r.l, r.f2, r.sigma);
        text += line;
    }
    return text;
}
