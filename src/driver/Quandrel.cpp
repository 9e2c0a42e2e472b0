// Construction, destruction and the process-wide values of the central object.
#include "Quandrel.h"

#include <cstring>

#include "../input/crystal.h"

char funkNam[32] = "main";
char INI_PATH[220] = "qdltool.ini";
double SYMMTOL = 0.01;
std::vector<Bond> bnd;
double totalOxi = 0.0;
std::vector<int> gut;
char Modn[512] = "";
double PLAN = 0.0;

StageName::StageName(Quandrel& q, const char* name) : q_(q) {
    std::memcpy(q_.prevFunkNam, funkNam, sizeof funkNam);
    std::strncpy(funkNam, name, sizeof funkNam - 1);
    funkNam[sizeof funkNam - 1] = '\0';
}

StageName::~StageName() { std::memcpy(funkNam, q_.prevFunkNam, sizeof funkNam); }

void Quandrel::openReports() {
    outFile = fopen("Quandrele.out", "wt");
    if (outFile == nullptr) {
        fprintf(stderr, "can't open Quandrele.out");
        perror(" ");
        outFile = stdout;
    }
    logFile = fopen("Quandrele.log", "wt");
    if (logFile == nullptr) {
        fprintf(stderr, "can't open Quandrele.log");
        perror(" ");
        logFile = stderr;
    }
}

Quandrel::Quandrel() {
    openReports();
    qdlexp = 1;
    ions = 0;
    moproInput = 0;
    readIni();
    if (crystalInput != 0) {
        readCrystalInput(*this);
    } else if (moproInput == 0) {
        readMas();
        readInp();
    } else {
        readMoProParam();
    }
    findSymm = 0;
}

Quandrel::Quandrel(NoInput) { openReports(); }

Quandrel::~Quandrel() {
    if (outFile != nullptr) fclose(outFile);
    if (logFile != nullptr) fclose(logFile);
}

int Quandrel::elementOf(int atomIndex) const {
    if (atomIndex < 0 || atomIndex >= static_cast<int>(atom.size())) return -1;
    int t = atom[atomIndex].tbl;
    if (t < 1 || t > MAX_SCAT) return -1;
    return scatTable[t - 1].element;
}
