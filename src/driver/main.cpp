// Entry point: installs the crash handler and the closing banner, takes the switches,
// and runs the stages of the central object in their fixed order.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "../input/crystal.h"
#include "../report/report.h"
#include "Quandrel.h"
#include "failure.h"
#include "text.h"

namespace {

const char* const VERSION_ID = "QuandrelTool 1.0 (multipole parameter transfer for XD)";

void onSegfault(int) {
    signal(SIGSEGV, SIG_IGN);
    perror("SIGSEGV");
    fprintf(stderr, "A segmentation fault was detected. \n");
    atexit(errorBanner);
    exit(1);
}

const char* const USAGE =
    "Usage: quandreltool [switches]\n"
    "Run in the folder of the structure; every result is written into the working directory.\n"
    "\n"
    "Switches:\n"
    "  -INIPfad <file>   read the settings from <file> instead of qdltool.ini\n"
    "  -DBPfad <file>    use <file> as the parameter database, whatever DABA_PATH says\n"
    "  -findSymm [tol]   estimate the site symmetry along the bond axes (tolerance in A,\n"
    "                    default 0.01) and stop; no database is read, no XD file written\n"
    "  -planar [value]   planarity threshold of the ring perception (default 0.8)\n"
    "  -input <file>     read the structure from <file>: .cif a CIF, .res/.ins a SHELX file\n"
    "  -block <name>     the data block of the CIF (default: the first with atom sites)\n"
    "  -symmBonds        complete the molecules across crystal symmetry before perception\n"
    "  -asymOnly         perceive the input atoms alone (CIF and SHELX input complete by default)\n"
    "  -Version          print the version line and stop\n"
    "  -help, -h, --help print this text and stop\n"
    "\n"
    "Files read: qdltool.ini; xd.mas; xd.res (or xd.inp) or, for MoPro input, the MoPro\n"
    "parameter file and mopro.tab, or a CIF or SHELX file (xd.mas then optional); the database named by DABA_PATH; optional xd_part.aux,\n"
    "Quandrele.in, Molecule-Charges.in.\n"
    "Files written: xd.res.quandreltool, xd.mas.quandreltool, xd.mas.HasSameSymm (with qdlexp),\n"
    "Quandrele.out, Quandrele.log, Quandrele.descent, symmetry.txt, example4qdltool.ini,\n"
    "Quandrele.json (the run as data) and Quandrele.html (drawing and atom table).\n"
    "\n"
    "Settings keys (qdltool.ini, key=value):\n"
    "  einfach_meso=  meso_zweifach=  zweifach_dreifach=   bond-class boundaries (A)\n"
    "  DABA_PATH=                                          the parameter database\n"
    "  achieve_neutrality[0-3]=                            monopole correction mode\n"
    "  qdlexp=  Ions=  UseNewRingNomenclature=\n"
    "  Hydrogen-Constrain[Uiso|riding|both|none]=\n"
    "  Inputtype[XD|MOPRO]= (XD, MOPRO, CIF, SHELX)  Inputfile(empty for XD)=  Path_to_mopro.tab=\n";

bool is(const char* arg, const char* sw) { return std::strcmp(arg, sw) == 0; }

// Copies a switch value; a value that does not fit its field stops the run instead of
// being cut into another path.
void copyArg(char* dst, std::size_t cap, const char* src, const char* sw) {
    copyOrStop(dst, cap, src, "The value of %s is longer than %zu characters.", sw, cap - 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (signal(SIGSEGV, onSegfault) == SIG_ERR) {
        fprintf(stderr, "\nSignal handle could not be installed.\n");
        exit(1);
    }
    if (atexit(closingBanner) != 0) {
        fprintf(stderr, "\nQ U A N D R E L T O O L ends because of problems with the ExitHandle\n");
        exit(1);
    }
    std::strcpy(INI_PATH, "qdltool.ini");

    for (int i = 1; i < argc; ++i) {
        if (i + 1 < argc && is(argv[i], "-INIPfad")) {
            ++i;
            copyArg(INI_PATH, sizeof INI_PATH, argv[i], "-INIPfad");
        }
    }
    for (int i = 1; i < argc; ++i) {
        if (is(argv[i], "-Version")) {
            printf("Versions Id: ''%s''\n", VERSION_ID);
            return 0;
        }
        if (is(argv[i], "-help") || is(argv[i], "-h") || is(argv[i], "--help")) {
            fputs(USAGE, stdout);
            return 0;
        }
    }

    // the structure file and its data block are read when the object is made
    for (int i = 1; i < argc; ++i) {
        if (is(argv[i], "-input") || is(argv[i], "-block")) {
            if (i + 1 >= argc) fatal("The switch %s needs a value.", argv[i]);
            if (is(argv[i], "-input"))
                copyArg(INPUT_SWITCH, sizeof INPUT_SWITCH, argv[i + 1], "-input");
            else
                copyArg(BLOCK_SWITCH, sizeof BLOCK_SWITCH, argv[i + 1], "-block");
            ++i;
        }
    }
    std::unique_ptr<Quandrel> q(new Quandrel());
    q->planaris = 0.8;

    for (int i = 1; i < argc; ++i) {
        if (i + 1 < argc && is(argv[i], "-DBPfad")) {
            ++i;
            copyArg(q->databasePath, sizeof q->databasePath, argv[i], "-DBPfad");
        }
        if (i < argc && is(argv[i], "-findSymm")) {
            ++i;
            q->findSymm = 1;
            SYMMTOL = (i < argc) ? atof(argv[i]) : 0.01;
            printf("(main)SYMMTOL = %f\n", SYMMTOL);
        }
        if (i < argc && is(argv[i], "-planar")) {
            ++i;
            q->planaris = (i < argc) ? atof(argv[i]) : 0.8;
            printf("PLANARIS = %f\n", q->planaris);
        }
    }

    for (int i = 1; i < argc; ++i) {
        if (is(argv[i], "-symmBonds")) q->symmBonds = 1;
        if (is(argv[i], "-asymOnly")) q->asymOnly = 1;
    }

    q->findOutNames();

    for (int i = 1; i < argc; ++i) {
        if (is(argv[i], "-findSymm")) {
            printf("____________________________________\n");
            printf("Bond axis symmetry analysis is done.\n");
            printf("____________________________________\n");
            fflush(stdout);
            q.reset();
            return 0;
        }
    }

    q->findInDataBase();
    announceMissingAtoms(*q);
    q->setupNewInpAndMasFile();
    writeRunReport(*q);
    q.reset();
    return 0;
}
