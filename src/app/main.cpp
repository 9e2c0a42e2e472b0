// Entry point: installs the crash handler, takes the switches, runs the stages of the
// run in their fixed order, and ends every run with the closing banner. A
// failure of a stage ends up here: its message and the error banner come first.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "../atoms/atoms.h"
#include "../input/crystal.h"
#include "../report/report.h"
#include "Quandrel.h"
#include "../core/failure.h"
#include "../core/stage.h"
#include "../core/text.h"
#include "options.h"
#include "run.h"
#include "structurefactors.h"

namespace {

const char* const VERSION_ID = "QuandrelTool 1.0 (multipole parameter transfer for XD)";

// No exception can leave a signal handler: this is the one place that ends the process
// itself, with both banners written first.
void onSegfault(int) {
    signal(SIGSEGV, SIG_IGN);
    reportSystemError("SIGSEGV");
    fprintf(stderr, "A segmentation fault was detected. \n");
    errorBanner(currentStage());
    closingBanner();
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
    "  -atom <el>        print the spherical core and valence form factors of element <el>\n"
    "                    (H to Xe; sin(theta)/lambda 0 to 1.95) and its total energy, and stop\n"
    "  -functional <PBE|LDA>  exchange-correlation functional of the spherical atoms (PBE)\n"
    "  -nonrelativistic  spherical atoms without the scalar-relativistic (ZORA) correction\n"
    "  -wavefunctions <dir>  spherical atoms from Slater-type orbital tables <dir>/<el>.slater\n"
    "  -fcalc <hkl file> structure factors of the model as read against the reflections (SHELX\n"
    "                    HKLF 4 or XD .hkl): writes Quandrele.fco, prints the R-values and stops\n"
    "  -hkl <hkl file>   after the transfer: structure factors of the written model and of\n"
    "                    spherical atoms (Quandrele.fco) and its form factors (Quandrele.tsc)\n"
    "  -radial <file>    deformation radial functions: lines <element> <zeta 1/A> <n0> .. <n4>\n"
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
    "  Inputtype[XD|MOPRO]= (XD, MOPRO, CIF, SHELX)  Inputfile(empty for XD)=  Path_to_mopro.tab=\n"
    "  MetalBonds[0|1]=            metal-ligand bonds by coordination radii (CIF, SHELX: 1)\n";

// The run after the crash handler is in place: the options and the stages. Returns the
// exit code of a run that ends normally; a failure leaves it as an exception. The object
// belongs to the caller, so that its report files stay open until the failure is reported
// (a report file may fall back on a standard stream).
int run(int argc, char** argv, std::unique_ptr<Quandrel>& q) {
    const CommandLine command = parseCommandLine(argc, argv);
    if (command.action == Action::Version) {
        printf("Versions Id: ''%s''\n", VERSION_ID);
        return 0;
    }
    if (command.action == Action::Help) {
        fputs(USAGE, stdout);
        return 0;
    }
    if (command.action == Action::Atom)
        return atoms::printAtomTables(command.options.atomElement, atomSettings(command.options), stdout);

    removeRunReport();  // a run that fails leaves no report of an earlier run
    q = openRun(command.options, command.warnings);
    // reference output: the switch values confirmed once the structure is read
    for (const std::string& echo : command.echoes) fputs(echo.c_str(), stdout);
    if (!q->opt.fcalcFile.empty()) return runFcalc(q->structure, q->opt);

    q->findOutNames();
    if (q->opt.findSymm != 0) {
        printf("____________________________________\n");
        printf("Bond axis symmetry analysis is done.\n");
        printf("____________________________________\n");
        fflush(stdout);
        q.reset();
        return 0;
    }

    q->findInDataBase();
    announceMissingAtoms(q->records());
    q->setupNewInpAndMasFile();
    // the structure factors first: the report shows their fit, and a run they stop leaves no report
    std::optional<scattering::FitToData> fit;
    if (!q->opt.hklFile.empty()) fit = runHkl(q->transfer.model, q->opt, q->warningLog);
    writeRunReport(q->records(), Provenance{VERSION_ID, std::vector<std::string>(argv + 1, argv + argc), reportTime()},
                   fit ? &*fit : nullptr);
    q.reset();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (signal(SIGSEGV, onSegfault) == SIG_ERR) {
        fprintf(stderr, "\nSignal handle could not be installed.\n");
        return 1;
    }
    std::unique_ptr<Quandrel> q;
    int code = 0;
    try {
        code = run(argc, argv, q);
    } catch (const Failure& failure) {
        reportFailure(failure);
        code = failure.code();
    } catch (const std::bad_alloc&) {
        const Failure failure = outOfMemory();
        reportFailure(failure);
        code = failure.code();
    }
    closingBanner();
    return code;
}
