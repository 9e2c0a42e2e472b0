// Valences, charges and oxidation numbers from names; molecules from the bond graph.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../core/stage.h"
#include "elements.h"
#include "perception.h"

namespace {

// The longest prefix of text that holds none of '1', '2', '3' (the scan set "%[^123]").
std::string symbolAt(const std::string& text, size_t from) {
    const size_t end = text.find_first_of("123", from);
    return text.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

// The name without its bracketed second shells and without what follows a sign: copying
// stops at '[', '+' or '-' and resumes behind the next ']'.
std::string withoutBrackets(const std::string& name) {
    std::string kept;
    bool copying = true;
    for (char ch : name) {
        if (copying) {
            if (ch == '[' || ch == '+' || ch == '-')
                copying = false;
            else
                kept += ch;
        } else if (ch == ']') {
            copying = true;
        }
    }
    return kept;
}

void capitalise(std::string& symbol) {
    if (!symbol.empty()) symbol[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(symbol[0])));
}

}  // namespace

double calcValeces(const PerceptionRun& run, int atomIndex, const char* bondOrderName) {
    Stage stage("calcValeces");
    const int t = run.site(atomIndex).tbl;
    const ScatEntry* entry = (t >= 1 && t <= MAX_SCAT) ? &run.s.scatTable[t - 1] : nullptr;

    // An ionic scattering type carries its charge in its electron count.
    if (entry != nullptr && entry->element + 1 != entry->electrons) {
        const double charge = entry->element + 1 - entry->electrons;
        run.p.totalOxi += charge;
        return charge;
    }

    const std::string name = bondOrderName != nullptr ? bondOrderName : run.p.quandrelName[atomIndex];
    std::string ownSymbol = symbolAt(name, 0);
    const std::string terms = withoutBrackets(name);

    // Bond orders are the runs of digits and '.'; each is followed by a neighbour symbol.
    std::vector<double> orders;
    std::vector<std::string> neighbours;
    double valences = 0;
    bool symbolExpected = false;
    std::string digits;
    for (size_t k = 0; k <= terms.size(); ++k) {
        const bool atEnd = k == terms.size();
        const char ch = atEnd ? '\0' : terms[k];
        if (!atEnd && (std::isdigit(static_cast<unsigned char>(ch)) || ch == '.')) {
            digits += ch;
            continue;
        }
        if (!digits.empty()) {
            orders.push_back(std::atof(digits.c_str()));
            valences += orders.back();
            digits.clear();
            symbolExpected = true;
        }
        if (!atEnd && symbolExpected) {
            neighbours.push_back(symbolAt(terms, k));
            symbolExpected = false;
        }
    }

    capitalise(ownSymbol);
    for (std::string& symbol : neighbours) capitalise(symbol);

    // Oxidation number: each bond counts towards the more electronegative partner.
    double oxidation = 0;
    const int ownElNeg = elNegOf(scatteringElementIndex(ownSymbol.data()));
    for (size_t k = 0; k < orders.size() && k < neighbours.size(); ++k) {
        const int elNeg = elNegOf(scatteringElementIndex(neighbours[k].data()));
        if (elNeg < ownElNeg) oxidation -= orders[k];
        if (elNeg > ownElNeg) oxidation += orders[k];
    }

    // Bonds beyond the standard valence; an even excess is taken as extra bonds (N with
    // five bonds), an odd one as a charge.
    double excess = valences - valenceOf(run.elementOf(atomIndex));
    int even = static_cast<int>(excess + 0.5);
    even = (even / 2) * 2;
    excess -= even;

    oxidation += excess;
    const double charge = oxidation < 0 ? excess : -excess;
    run.p.totalOxi += oxidation;
    fprintf(run.log, "%s has %4.1f Valences, I guess it has Charge %4.1f maybe the oxidation number is %4.1f\n",
            run.p.quandrelName[atomIndex], valences, charge, oxidation);
    return charge;
}

int countMols(const PerceptionRun& run) {
    const int nAtoms = run.s.nAtoms;
    const auto& knopf = run.p.knopf;
    std::vector<int>& molecule = run.p.molecule;
    molecule.assign(static_cast<std::size_t>(nAtoms), 0);

    // Molecules are the connected parts of the bond graph, numbered in the order of their
    // lowest atom index; a breadth-first search from that atom collects each of them.
    int count = 0;
    std::vector<int> queue;
    queue.reserve(nAtoms);
    // a one-sided bond joins its atoms to one molecule all the same
    std::vector<std::vector<int>> oneSided;
    for (const Bond& b : run.p.bonds) {
        if (b.hiddenFrom < 0 || b.hiddenFrom >= static_cast<int>(knopf.size())) continue;
        if (oneSided.empty()) oneSided.resize(knopf.size());
        oneSided[static_cast<std::size_t>(b.hiddenFrom)].push_back(b.hiddenFrom == b.first ? b.second : b.first);
    }
    for (int start = 0; start < nAtoms; ++start) {
        if (molecule[start] != 0) continue;
        ++count;
        molecule[start] = count;
        queue.assign(1, start);
        for (size_t head = 0; head < queue.size(); ++head) {
            const int a = queue[head];
            if (a >= static_cast<int>(knopf.size())) continue;
            const Knopf& node = knopf[a];
            auto reach = [&](int neighbour) {
                const int n = run.p.originOf(neighbour);  // an image stands for its input atom
                if (n < 0 || n >= nAtoms || molecule[n] != 0) return;
                molecule[n] = count;
                queue.push_back(n);
            };
            for (int k = 0; k < node.anzahl; ++k) reach(node.nachbar[k]);
            if (!oneSided.empty())
                for (int n : oneSided[static_cast<std::size_t>(a)]) reach(n);
        }
    }

    run.p.molElectrons.assign(count, 0.0);
    for (int i = 0; i < nAtoms; ++i) {
        const int t = run.s.atom[i].tbl;
        const int valenceElectrons = (t >= 1 && t <= MAX_SCAT) ? run.s.scatTable[t - 1].valenceElectrons : 0;
        run.p.molElectrons[molecule[i] - 1] += run.s.atom[i].occupancy * valenceElectrons;
    }
    return count;
}

void announceMolecules(const Perception& p) {
    const int count = static_cast<int>(p.molElectrons.size());
    printf("The structure contains %d molecules\n", count);
    for (int m = 0; m < count; ++m) printf("Molecule %d should contain %f Electrons.\n", m + 1, p.molElectrons[m]);
}
