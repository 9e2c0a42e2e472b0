// Perception from the structure as read: completion across symmetry, bonds, nodes, rings,
// names, chirality, then the override file.
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "../core/stage.h"
#include "../chem/perception.h"
#include "../symmetry/completion.h"
#include "../core/failure.h"
#include "../core/text.h"
#include "naming.h"

namespace {

const char* const TOO_FEW_LINES =
    "\"Quandrele.in\" must have exact as many lines as there are atoms in your molecule!!\n"
    "I'm skipping reading of Quandrele.in!!\n";

// Reads the answer to one question: no when it begins with N, yes otherwise (also an
// empty answer and the end of input); A switches "all" on, and then nothing more is read.
// The whole answer line is consumed, whatever its length; its first 48 characters count.
bool answerIsYes(FILE* answers, bool& all) {
    if (all) return true;
    char answer[49] = "\n";
    std::size_t n = 0;
    int c;
    while ((c = fgetc(answers)) != EOF && c != '\n')
        if (n < sizeof answer - 1) answer[n++] = static_cast<char>(c);
    if (n > 0) answer[n] = '\0';
    if (answer[0] == 'N' || answer[0] == 'n') return false;
    if (answer[0] == 'A' || answer[0] == 'a') all = true;
    return true;
}

std::vector<std::string> blankSeparated(const std::string& line) {
    std::vector<std::string> tokens;
    std::size_t p = 0;
    while ((p = line.find_first_not_of(" \t", p)) != std::string::npos) {
        std::size_t e = line.find_first_of(" \t", p);
        tokens.push_back(line.substr(p, e == std::string::npos ? std::string::npos : e - p));
        p = e;
    }
    return tokens;
}

[[noreturn]] void unusable() { stopWithError(3); }

void checkNameLength(const std::string& name) {
    if (name.size() < static_cast<std::size_t>(NAME_CAP)) return;
    fprintf(stderr, "Quandrel %s in \"Quandrele.in\" is longer than %d characters!\nI'm skipping reading of Quandrele.in!!\n",
            name.c_str(), NAME_CAP - 1);
    unusable();
}

// Every hydrogen atom without a bonded neighbour gets a warning (its name describes a lone
// atom, and no hydrogen constraint can ride on a parent).
void warnLoneHydrogens(const PerceptionRun& run) {
    const bool constraints = run.opt.uisoConstrain || run.opt.ridingConstrain;
    for (int h = 0; h < run.s.nAtoms; ++h) {
        if (!run.isHydrogen(h)) continue;
        if (h < static_cast<int>(run.p.knopf.size()) && run.p.knopf[static_cast<std::size_t>(h)].count() > 0) continue;
        const char* label = run.s.atom[static_cast<std::size_t>(h)].label;
        run.p.warnings.warn("hydrogen without neighbours", {label},
                          format("hydrogen atom %s has no bonded neighbour%s", label,
                                 constraints ? "; it gets no hydrogen constraint." : "."));
    }
}

}  // namespace

Perception perceive(const Structure& s, const Options& opt, FILE* out, FILE* log, FILE* answers) {
    Stage stage("findOutNames");
    Perception p;
    const PerceptionRun run{s, opt, p, out, log};
    p.growSites(s.nAtoms);
    // Symmetry images that complete the molecules are sites behind the input atoms while
    // the chemistry is perceived; from the override file on only the input atoms count.
    if (completionWanted(s, opt))
        completeMolecules(run);
    else
        warnSymmetryBonds(run);
    int bondCount = findBonds(run);
    // reference output: the "@@@ Atome ... Bindungen ..." count line of every run
    printf("@@@ Atome %d Bindungen %d\n", run.sites(), bondCount);
    verknopfung(run, bondCount);
    if (opt.useNewRingNomenclature > 0) ringlord(run);
    getNames(run, bondCount);
    asymm(run);
    warnLoneHydrogens(run);
    {
        // An unusable "Quandrele.in" has always been reported in the banner as a failure of
        // the chirality stage that ran before it; users and scripts know that line.
        Stage banner("Asymm");
        readOverrides(run, answers);
    }
    if (opt.findSymm != 0) findSomeSymm(run);
    countMols(run);
    return p;
}

// "Quandrele.in" holds one line per atom, in atom order. A line without a colon is the
// new name of the atom at its position; a line "label: name" is the new name of the
// atom with that label, wherever it stands.
void readOverrides(const PerceptionRun& run, FILE* answers) {
    const int nAtoms = run.s.nAtoms;  // the input atoms
    NameTable& quandrelName = run.p.quandrelName;
    FileHandle file = openFile("Quandrele.in", "rt");
    if (!file) return;
    fprintf(stderr, "\nReading \"Quandrele.in\"\n____________________\n");
    bool all = false;
    // Asks whether atom k's name is to become newName; on yes, changes it. The question
    // names the name "Quandrel" for positional lines and "quandrel" for labelled ones, and
    // the confirmation repeats the line as it stands (its first token for labelled lines).
    auto offer = [&](int k, const std::string& newName, const char* word, const std::string& shown) {
        fprintf(stderr, "Do you want to change %s %s to %s? [Y/N/A+return] {Y}:", word, quandrelName[k],
                newName.c_str());
        if (answerIsYes(answers, all)) {
            fprintf(stderr, "Changed!\n");
            copyText(quandrelName[k], NAME_CAP, newName.c_str());
            fprintf(stderr, "to !%s! %s\n", quandrelName[k], shown.c_str());
        } else {
            fprintf(stderr, "Not changed!\n");
        }
    };
    LineReader reader(file.get());
    std::unordered_map<std::string, std::vector<int>> atomsLabelled;  // filled on the first labelled line
    for (int i = 0; i < nAtoms; ++i) {
        std::string line;
        if (!reader.next(line)) {
            fprintf(stderr, "%s", TOO_FEW_LINES);
            unusable();
        }
        rtrim(line);

        if (line.find(':') == std::string::npos) {
            if (line.empty() || line[0] != quandrelName[i][0]) {
                fprintf(stderr, "Quandrel %s in \"Quandrele.in\" does not match to atom %s!\nI'm skipping reading of Quandrele.in!!\n",
                        line.c_str(), run.s.atom[i].label);
                unusable();
            }
            if (line == quandrelName[i]) continue;
            checkNameLength(line);
            offer(i, line, "Quandrel", line);
            continue;
        }

        std::vector<std::string> tokens = blankSeparated(line);
        const std::string& first = tokens[0];
        if (first.size() < 2 || first.back() != ':') {
            run.p.warnings.warnLine("Quandrele.in line skipped", {},
                                format("\"%s\" in \"Quandrele.in\" is neither a quandrel nor a label with a colon; "
                                       "line skipped.",
                                       line.c_str()));
            continue;
        }
        if (tokens.size() < 2) {
            run.p.warnings.warnLine("Quandrele.in line skipped", {},
                                format("\"%s\" in \"Quandrele.in\" gives no new quandrel; line skipped.", line.c_str()));
            continue;
        }
        std::string label = first.substr(0, first.size() - 1);
        const std::string& newName = tokens[1];
        checkNameLength(newName);
        if (atomsLabelled.empty())
            for (int j = 0; j < nAtoms; ++j) atomsLabelled[run.s.atom[j].label].push_back(j);
        bool found = false;
        const auto labelled = atomsLabelled.find(label);
        for (int j : labelled != atomsLabelled.end() ? labelled->second : std::vector<int>()) {
            found = true;
            if (newName == quandrelName[j]) continue;
            offer(j, newName, "quandrel", first);
        }
        if (!found)
            run.p.warnings.warnLine("Quandrele.in line skipped", {},
                                format("There is no atom %s for \"%s\" in \"Quandrele.in\"; line skipped.",
                                       label.c_str(), line.c_str()));
    }
    // reference output: "successfull" as users know it
    fprintf(stderr, "Reading of \"Quandrele.in\" was successfull!\n");
}
