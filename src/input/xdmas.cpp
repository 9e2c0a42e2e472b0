// Reader of the XD master file "xd.mas": title, cell and scattering table.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "../core/stage.h"
#include "../core/text.h"
#include "../chem/elements.h"
#include "../geometry/cell.h"
#include "input.h"
#include "../core/failure.h"
#include "../geometry/geometry.h"
#include "../symmetry/spacegroup.h"
#include "xdlines.h"

namespace {

// Largest number of electrons of one orbital in a scattering entry.
constexpr int MAX_OCCUPATION = 99;

}  // namespace

void readMasterFile(Structure& s) {
    Stage stage("readMas");
    InputFile file = openInput("xd.mas");
    if (!file) cannotOpen("xd.mas");
    XdLines lines(file.get(), "xd.mas");

    // TITLE <word>
    const char* text = lines.record("the TITLE line");
    char word[LINE_CAP];
    if (sscanf(text, "TITLE %127s\n", word) == 1) storeWord(s.title, sizeof s.title, word, "xd.mas", "the title word");

    // CELL a b c alpha beta gamma
    std::string line;
    if (!lines.next(line) || sscanf(line.c_str(), "CELL %lf %lf %lf %lf %lf %lf\n", &s.cell[0], &s.cell[1], &s.cell[2],
                                    &s.cell[3], &s.cell[4], &s.cell[5]) < 6) {
        // reference output: "ERRROR" with three Rs
        stopWithSystemError("READ ERRROR in xd.mas");
    }
    lines.checkLength(line, "the CELL line");
    requireNumbers(s.cell, 6, "xd.mas", "the CELL line");
    if (!validCell(s.cell))
        fatal("xd.mas: the CELL line gives no cell (edges must be positive, angles between 0 and 180 degrees "
              "and spanning a volume): \"%s\"",
              line.c_str());

    // everything up to the SCAT line, the s.cell line being the first one tested; the LATT
    // and SYMM cards among them give the s.symmetry
    s.symmetry = CrystalSymmetry();
    while (std::strncmp(line.c_str(), "SCAT", 4) != 0) {
        if (!lines.next(line)) fatal("xd.mas ends before its SCAT line: the scattering table is missing");
        takeSymmetryCard(line, s.symmetry, "xd.mas");
    }

    // one entry per line up to "END SCAT" (that line exactly)
    int t = 0;
    auto nextEntryLine = [&]() {
        if (!lines.next(line))
            fatal("xd.mas ends before END SCAT: the scattering table is not closed (%d entries read)", t);
        char what[40];
        snprintf(what, sizeof what, "scattering entry %d", t + 1);
        lines.checkLength(line, what);
        return line.c_str();
    };
    text = nextEntryLine();
    while (std::strcmp(text, "END SCAT") != 0) {
        if (t == MAX_SCAT) fatal("xd.mas: the scattering table holds more than %d entries", MAX_SCAT);
        ScatEntry& e = s.scatTable[t];
        int* o = e.occupations;
        char w[4][LINE_CAP];
        int n = sscanf(text,
                       "%127s %127s %127s %127s %d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%d%lf%lf%lf",
                       w[0], w[1], w[2], w[3], &o[0], &o[1], &o[2], &o[3], &o[4], &o[5], &o[6], &o[7], &o[8],
                       &o[9], &o[10], &o[11], &o[12], &o[13], &o[14], &o[15], &o[16], &o[17], &e.values[0],
                       &e.values[1], &e.values[2]);
        if (n >= 1 && !copyText(e.symbol, sizeof e.symbol, w[0]))
            fatal("xd.mas: scattering entry %d begins with \"%s\", no symbol of at most 3 characters "
                  "(is the END SCAT line missing?)",
                  t + 1, w[0]);
        char field[64];
        snprintf(field, sizeof field, "word 2 of scattering entry %d", t + 1);
        if (n >= 2) storeWord(e.word2, sizeof e.word2, w[1], "xd.mas", field);
        snprintf(field, sizeof field, "word 3 of scattering entry %d", t + 1);
        if (n >= 3) storeWord(e.word3, sizeof e.word3, w[2], "xd.mas", field);
        snprintf(field, sizeof field, "word 4 of scattering entry %d", t + 1);
        if (n >= 4) storeWord(e.word4, sizeof e.word4, w[3], "xd.mas", field);

        std::string element = elementPartOf(e.symbol);
        e.element = scatteringElementIndex(&element[0]);
        if (e.element == 1 && element != "He")
            s.readerWarnings.warnLine("scattering entry counted as helium", {},
                                      format("xd.mas: the symbol %s of scattering entry %d names no element; it "
                                             "counts as helium",
                                             e.symbol, t + 1));
        e.number = t + 1;
        e.electrons = 0;
        e.valenceElectrons = 0;
        for (int k = 0; k < 18; ++k) {
            if (o[k] < -MAX_OCCUPATION || o[k] > MAX_OCCUPATION)
                fatal("xd.mas: scattering entry %d (%s): the occupation %d is not between %d and %d", t + 1,
                      e.symbol, o[k], -MAX_OCCUPATION, MAX_OCCUPATION);
            e.electrons += std::abs(o[k]);
            if (o[k] < 0) e.valenceElectrons -= o[k];
        }
        ++t;
        text = nextEntryLine();
    }
    s.nScat = t;

    for (int k = 0; k < s.nScat; ++k)
        // reference output: "elctrons" and, below, "successfull" are spelt so in every run
        printf("Atom type %d (%s) has: %d electrons and %d valence elctrons.\n", s.scatTable[k].number,
               s.scatTable[k].symbol, s.scatTable[k].electrons, s.scatTable[k].valenceElectrons);
    fprintf(stderr, "\nReading xd.mas was successfull!\n\n");
}
