// Construction of the quandrel name of every atom.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "../core/stage.h"
#include "../chem/causes.h"
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
    int ringCode(int atomIndex) const { return rings ? run.p.ringCode[static_cast<std::size_t>(atomIndex)] : 0; }
};

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
    const int count = node.count();
    name += '[';
    for (int k = 0; k < count; ++k) {
        int m = node.nachbar[k];
        if (m == c) continue;
        double v = node.marge[k];
        Descriptor d;
        d.set(bondClass(run, v));
        if (run.isHydrogen(m)) d.set("1");
        if (view.ringCode(c) != 0 && v > run.opt.einfachMeso && isSymbol(run, m, "O")) d.set("2");
        if (view.ringCode(m) != 0) ringDescriptor(view, n, m, d);
        name += d.text;
        name += klein(symbolOf(run, m));
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
    name += klein(symbolOf(run, n));

    if (n > c && hydrogen && d.has('@')) {
        printf("AT ist ohne [] bei H!\n");
        return;
    }
    bool due = std::strcmp(d.text, "1.5") == 0 || d.has('#') || run.elementOf(n) > 11 || (hydrogen && !d.has('@'));
    if (due && run.p.knopf[n].anzahl > 1) appendSecondShell(view, c, n, name);
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
    std::vector<std::vector<int>> bondsOf(nAtoms);
    for (int b = 0; b < bondCount; ++b) {
        if (bonds[b].first >= 0 && bonds[b].first < nAtoms) bondsOf[bonds[b].first].push_back(b);
        if (bonds[b].second >= 0 && bonds[b].second < nAtoms && bonds[b].second != bonds[b].first)
            bondsOf[bonds[b].second].push_back(b);
    }

    double totalCharge = 0.0;
    std::string name, bondOrderName;
    for (int i = 0; i < nAtoms; ++i) {
        double planarity = planar(run, knopf[i], i);
        fprintf(logFile, "%-30s %f %d/%d\n", run.site(i).label, planarity, i, nAtoms);

        buildName(NameView{run, true}, i, bondsOf[i], name);
        storeName(run, i, name);

        if (opt.ions != 0) {
            // Ring codes are no bond orders: the valences are read from the name without them.
            // An image's charge is its input atom's: the totals count the input atoms only.
            const double oxidationBefore = run.p.totalOxi;
            double charge;
            if (opt.useNewRingNomenclature > 0) {
                buildName(NameView{run, false}, i, bondsOf[i], bondOrderName);
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
