// Construction of the quandrel name of every atom.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "../core/stage.h"
#include "../chem/causes.h"
#include "../chem/bonds.h"
#include "../chem/elements.h"
#include "../chem/perception.h"
#include "../core/failure.h"
#include "../core/text.h"
#include "naming.h"

namespace {

const char* symbolOf(const PerceptionRun& run, int atomIndex) {
    return elementSymbol(run.elementOf(atomIndex));
}

bool isSymbol(const PerceptionRun& run, int atomIndex, const char* symbol) {
    return std::strcmp(symbolOf(run, atomIndex), symbol) == 0;
}

// Bond class of a margin v (reference length minus distance).
const char* bondClass(const PerceptionRun& run, double v) {
    if (v > run.opt.einfachMeso && v < run.opt.mesoZweifach) return "1.5";
    if (v >= run.opt.mesoZweifach && v < run.opt.zweifachDreifach) return "2";
    if (v >= run.opt.zweifachDreifach) return "3";
    return "1";
}

// The structure as a name sees it: with every atom's ring code, or with none (the name a
// run without ring nomenclature gives, whose bond-order descriptors the valences are read
// from).
struct NameView {
    const PerceptionRun& run;
    bool rings;
    // per atom the neighbours (and margins) of its one-sided bonds, which its node leaves
    // out; null or empty rows where there are none
    const std::vector<std::vector<std::pair<int, double>>>* hidden = nullptr;
    int ringCode(int atomIndex) const { return rings ? run.p.ringCode[static_cast<std::size_t>(atomIndex)] : 0; }
    bool hasHidden(int atomIndex) const {
        return hidden != nullptr && static_cast<std::size_t>(atomIndex) < hidden->size() &&
               !(*hidden)[static_cast<std::size_t>(atomIndex)].empty();
    }
};

// The neighbours of n as an atom c of a disorder part sees them, when n leaves atoms of some
// parts out of its node (one-sided bonds): the node's and the left-out neighbours of c's own
// conformer (part 0 or c's part), largest margin first, the node's first among equals.
std::vector<std::pair<int, double>> neighboursSeenFrom(const NameView& view, int c, int n) {
    const PerceptionRun& run = view.run;
    const int part = run.site(c).part;
    std::vector<std::pair<int, double>> seen;
    const Knopf& node = run.p.knopf[n];
    for (int k = 0; k < node.count(); ++k)
        if (partsMayBond(part, run.site(node.nachbar[k]).part)) seen.push_back({node.nachbar[k], node.marge[k]});
    for (const auto& m : (*view.hidden)[static_cast<std::size_t>(n)])
        if (partsMayBond(part, run.site(m.first).part)) seen.push_back(m);
    std::stable_sort(seen.begin(), seen.end(), [](const std::pair<int, double>& a, const std::pair<int, double>& b) {
        return a.second > b.second;
    });
    return seen;
}

// Whether c sees n through n's node alone.
bool seesNode(const NameView& view, int c, int n) { return view.run.site(c).part == 0 || !view.hasHidden(n); }

// The bond descriptor of a term: a bond class, or "#"/"@" and a ring code.
struct Descriptor {
    char text[16];
    void set(const char* bondClassText) { std::strcpy(text, bondClassText); }  // at most "1.5"
    bool has(char c) const { return std::strchr(text, c) != nullptr; }
};

// "#" and the ring code of the neighbour when it shares a ring with the atom it is seen
// from, "@" and the ring code when it does not.
void ringDescriptor(const NameView& v, int from, int neighbour, Descriptor& d) {
    bool shared = v.run.p.ringMask[from].shares(v.run.p.ringMask[neighbour]);
    std::snprintf(d.text, sizeof d.text, "%c%d", shared ? '#' : '@', v.ringCode(neighbour));
}

// Second shell of neighbour n of the central atom c: n's other neighbours in node order.
void appendSecondShell(const NameView& view, int c, int n, std::string& name) {
    const PerceptionRun& run = view.run;
    const Knopf& node = run.p.knopf[n];
    std::vector<std::pair<int, double>> seen;
    const bool fromNode = seesNode(view, c, n);
    if (!fromNode) seen = neighboursSeenFrom(view, c, n);
    const int count = fromNode ? node.count() : static_cast<int>(seen.size());
    name += '[';
    for (int k = 0; k < count; ++k) {
        int m = fromNode ? node.nachbar[k] : seen[static_cast<std::size_t>(k)].first;
        if (m == c) continue;
        double v = fromNode ? node.marge[k] : seen[static_cast<std::size_t>(k)].second;
        Descriptor d;
        d.set(bondClass(run, v));
        if (run.isHydrogen(m)) d.set("1");
        if (view.ringCode(c) != 0 && v > run.opt.einfachMeso && isSymbol(run, m, "O")) d.set("2");
        if (view.ringCode(m) != 0) ringDescriptor(view, n, m, d);
        name += d.text;
        appendLowerCase(name, symbolOf(run, m));
    }
    name += ']';
}

// Appends the first-shell term of neighbour n of atom c, bonded with margin v.
void appendNeighbourTerm(const NameView& view, int c, int n, double v, std::string& name) {
    const PerceptionRun& run = view.run;
    bool hydrogen = run.isHydrogen(c) || run.isHydrogen(n);
    Descriptor d;
    d.set(bondClass(run, v));
    if (hydrogen) d.set("1");
    if (view.ringCode(c) != 0 && v >= run.opt.einfachMeso && (isSymbol(run, c, "O") || isSymbol(run, n, "O"))) d.set("2");
    if (view.ringCode(n) != 0) ringDescriptor(view, c, n, d);
    name += d.text;
    appendLowerCase(name, symbolOf(run, n));

    if (n > c && hydrogen && d.has('@')) {
        printf("AT ist ohne [] bei H!\n");
        return;
    }
    bool due = std::strcmp(d.text, "1.5") == 0 || d.has('#') || run.elementOf(n) > 11 || (hydrogen && !d.has('@'));
    const int around =
        seesNode(view, c, n) ? run.p.knopf[n].anzahl : static_cast<int>(neighboursSeenFrom(view, c, n).size());
    if (due && around > 1) appendSecondShell(view, c, n, name);
}

// The whole name of atom i from its bonds (indices into the bond list), built in name.
void buildName(const NameView& view, int i, const std::vector<int>& bondsOfAtom, std::string& name) {
    char head[32];
    if (view.ringCode(i) != 0)
        std::snprintf(head, sizeof head, "%d-%s", view.ringCode(i), symbolOf(view.run, i));
    else
        std::snprintf(head, sizeof head, "%s", symbolOf(view.run, i));
    name = head;
    for (int b : bondsOfAtom) {
        const int other = view.run.p.bonds[b].first == i ? view.run.p.bonds[b].second : view.run.p.bonds[b].first;
        appendNeighbourTerm(view, i, other, view.run.p.bonds[b].margin, name);
    }
}

void storeName(const PerceptionRun& run, int atomIndex, const std::string& name) {
    if (name.size() >= NAME_CAP) stopForTooLongName(run, atomIndex, name);
    copyOrStop(run.p.quandrelName[atomIndex], NAME_CAP, name.c_str(),
               "The quandrel name of atom %s would be longer than %d characters:\n%s", run.site(atomIndex).label,
               NAME_CAP - 1, name.c_str());
}

}  // namespace

void getNames(const PerceptionRun& run, int bondCount) {
    Stage stage("GetNames");
    const int nAtoms = run.sites();
    run.p.growSites(nAtoms);
    auto& knopf = run.p.knopf;
    const std::vector<Bond>& bonds = run.p.bonds;
    const Options& opt = run.opt;
    FILE* logFile = run.log;
    if (static_cast<int>(knopf.size()) < nAtoms) knopf.resize(nAtoms);  // atoms without a node: no neighbours
    if (bondCount > static_cast<int>(bonds.size())) bondCount = static_cast<int>(bonds.size());

    fprintf(logFile, "How Planar is the coordinate sphere of the following atoms: (1 is planar)\n");
    fprintf(logFile, "=========================================================================\n");

    // The bonds of every atom in bond-list order; as the list is sorted by atom pair, the
    // neighbours come in ascending index.
    // A one-sided bond counts for the atom that sees it only.
    std::vector<std::vector<int>> bondsOf(nAtoms);
    std::vector<std::vector<std::pair<int, double>>> hidden;
    for (int b = 0; b < bondCount; ++b) {
        const Bond& bond = bonds[b];
        if (bond.first >= 0 && bond.first < nAtoms && bond.seenFrom(bond.first)) bondsOf[bond.first].push_back(b);
        if (bond.second >= 0 && bond.second < nAtoms && bond.second != bond.first && bond.seenFrom(bond.second))
            bondsOf[bond.second].push_back(b);
        if (bond.hiddenFrom >= 0 && bond.hiddenFrom < nAtoms) {
            if (hidden.empty()) hidden.resize(static_cast<std::size_t>(nAtoms));
            const int other = bond.hiddenFrom == bond.first ? bond.second : bond.first;
            hidden[static_cast<std::size_t>(bond.hiddenFrom)].push_back({other, bond.margin});
        }
    }

    double totalCharge = 0.0;
    std::string name, bondOrderName;
    for (int i = 0; i < nAtoms; ++i) {
        double planarity = planar(run, knopf[i], i);
        fprintf(logFile, "%-30s %f %d/%d\n", run.site(i).label, planarity, i, nAtoms);

        buildName(NameView{run, true, &hidden}, i, bondsOf[i], name);
        storeName(run, i, name);

        if (opt.ions != 0) {
            // Ring codes are no bond orders: the valences are read from the name without them.
            // An image's charge is its input atom's: the totals count the input atoms only.
            const double oxidationBefore = run.p.totalOxi;
            double charge;
            if (opt.useNewRingNomenclature > 0) {
                buildName(NameView{run, false, &hidden}, i, bondsOf[i], bondOrderName);
                charge = calcValeces(run, i, bondOrderName.c_str());
            } else {
                charge = calcValeces(run, i);
            }
            if (run.p.isImage(i))
                run.p.totalOxi = oxidationBefore;
            else
                totalCharge += charge;
            if (charge != 0.0) {
                char suffix[32] = "";
                if (opt.ions < 2)
                    std::snprintf(suffix, sizeof suffix, "%c%3.1f", charge > 0 ? '+' : '-', std::fabs(charge));
                else if (charge > 0.5)
                    std::snprintf(suffix, sizeof suffix, "%c", '+');
                else if (charge < -0.5)
                    std::snprintf(suffix, sizeof suffix, "%c", '-');
                storeName(run, i, name + suffix);
                fprintf(logFile, "New Quandrelname = %s\n", run.p.quandrelName[i]);
            }
        }
    }

    if (opt.ions != 0) {
        const char* verdict = totalCharge == 0.0 ? "OK!" : "probably a problem please check!";
        fprintf(logFile, "total charge is %4.1f and sum over Oxidation numbers is %f. This is %s\n", totalCharge,
                run.p.totalOxi, verdict);
        if (totalCharge == 0.0)
            fprintf(stderr, "total charge is %4.1f. This is %s\n", totalCharge, verdict);
        else  // a structure that is not neutral: the guessed charges need a look
            run.p.warnings.warnLine("total charge not zero", {},
                                format("total charge is %4.1f. This is %s", totalCharge, verdict));
    }

    // The label of the lowest-numbered atom with the same name, empty for that atom itself.
    std::unordered_map<std::string, int> firstWithName;
    firstWithName.reserve(static_cast<std::size_t>(nAtoms) * 2);
    for (int j = 0; j < nAtoms; ++j) {
        int k = firstWithName.emplace(run.p.quandrelName[j], j).first->second;
        run.p.sameNameAs[static_cast<std::size_t>(j)] = k < j ? run.site(k).label : "";
    }
}
