// From a crystallographic file to the structure model: the input selection (settings
// value and switches), the loader that gives the atoms, scattering table and kappa sets an
// XD parameter file would have given, and the master-file template built in memory.
#include "../core/stage.h"
#include "crystal.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gemmi/fprime.hpp>
#include <gemmi/neutron92.hpp>

#include "../chem/bonds.h"
#include "../chem/elements.h"
#include "../core/atomtable.h"
#include "../core/failure.h"
#include "../core/text.h"
#include "../geometry/cell.h"
#include "../geometry/geometry.h"
#include "../geometry/grid.h"
#include "../symmetry/spacegroup.h"


namespace {

constexpr double HC_KEV_A = 12.398419843;   // h c in keV A: photon energy of a wavelength
constexpr double DEFAULT_WAVELENGTH = 0.71073;  // Mo K-alpha, written when the file states none
constexpr double COLLINEAR_DEGREES = 5.0;   // frame atoms closer to a line than this are not taken

// ---------------------------------------------------------------------------------
// Electron configurations: the 18 subshells of a scattering-table row, in the row's order.
// ---------------------------------------------------------------------------------
enum Column { S1, S2, S3, S4, P2, P3, P4, D3, D4, F4, S5, P5, S6, P6, D5, S7, D6, F5 };

struct Subshell {
    int n;
    char l;
    Column column;
    int capacity;
};

// Filling order of the neutral atoms.
const Subshell FILLING[] = {
    {1, 's', S1, 2},  {2, 's', S2, 2},  {2, 'p', P2, 6},  {3, 's', S3, 2},  {3, 'p', P3, 6},  {4, 's', S4, 2},
    {3, 'd', D3, 10}, {4, 'p', P4, 6},  {5, 's', S5, 2},  {4, 'd', D4, 10}, {5, 'p', P5, 6},  {6, 's', S6, 2},
    {4, 'f', F4, 14}, {5, 'd', D5, 10}, {6, 'p', P6, 6},  {7, 's', S7, 2},  {5, 'f', F5, 14}, {6, 'd', D6, 10},
};

// Ground states that differ from the filling order: electrons moved between two subshells.
struct Exception {
    int z;
    Column from, to;
    int count;
};
const Exception EXCEPTIONS[] = {
    {24, S4, D3, 1}, {29, S4, D3, 1}, {41, S5, D4, 1}, {42, S5, D4, 1}, {44, S5, D4, 1},
    {45, S5, D4, 1}, {46, S5, D4, 2}, {47, S5, D4, 1}, {57, F4, D5, 1}, {58, F4, D5, 1},
    {64, F4, D5, 1}, {78, S6, D5, 1}, {79, S6, D5, 1}, {89, F5, D6, 1}, {90, F5, D6, 2},
    {91, F5, D6, 1}, {92, F5, D6, 1}, {93, F5, D6, 1}, {96, F5, D6, 1},
};

int periodOf(int z) {
    const int ends[] = {2, 10, 18, 36, 54, 86};
    int n = 1;
    for (int e : ends)
        if (z > e) ++n;
    return n;
}

bool inRange(int z, int lo, int hi) { return z >= lo && z <= hi; }

}  // namespace

void groundStateOccupations(int element, int (&occupations)[18]) {
    std::fill(occupations, occupations + 18, 0);
    const int z = element + 1;
    int left = z;
    int shellOf[18] = {}, kindOf[18] = {};
    for (const Subshell& s : FILLING) {
        shellOf[s.column] = s.n;
        kindOf[s.column] = s.l;
        const int put = std::min(left, s.capacity);
        occupations[s.column] = put;
        left -= put;
    }
    for (const Exception& e : EXCEPTIONS)
        if (e.z == z) {
            occupations[e.from] -= e.count;
            occupations[e.to] += e.count;
        }
    // Valence: the outermost s and p subshells; for d-block elements the outermost s and the
    // (n-1)d subshell, for f-block elements also the (n-2)f subshell. Everything else is core.
    const int n = periodOf(z);
    const bool dBlock = inRange(z, 21, 30) || inRange(z, 39, 48) || inRange(z, 71, 80) || inRange(z, 103, 112);
    const bool fBlock = inRange(z, 57, 70) || inRange(z, 89, 102);
    for (int c = 0; c < 18; ++c) {
        const int shell = shellOf[c];
        const char kind = static_cast<char>(kindOf[c]);
        bool valence = kind == 's' && shell == n;
        if (!dBlock && !fBlock) valence = valence || (kind == 'p' && shell == n);
        if (dBlock || fBlock) valence = valence || (kind == 'd' && shell == n - 1);
        if (fBlock) valence = valence || (kind == 'f' && shell == n - 2);
        if (valence) occupations[c] = -occupations[c];
    }
}

const char* xdElementSymbol(int element) {
    if (element == 52) return "I";  // the program's own tables call iodine "J"
    return elementSymbol(element, "X");
}

namespace {

// Anomalous dispersion of an element for the file's wavelength: the values the file states
// for its atom type, else the Cromer-Liberman values for the wavelength, else none.
void dispersionOf(const CrystalInput& in, int element, double& fp, double& fpp) {
    fp = fpp = 0;
    for (const CrystalAtomType& t : in.atomTypes)
        if (t.element == element && std::isfinite(t.fp) && std::isfinite(t.fpp)) {
            fp = t.fp;
            fpp = t.fpp;
            return;
        }
    if (in.wavelength > 0) fp = gemmi::cromer_liberman(element + 1, 1000.0 * HC_KEV_A / in.wavelength, &fpp);
}

// Bound coherent neutron scattering length in 10^-12 cm.
double neutronLength(int element) {
    const int z = element + 1;
    return z >= 1 && z <= 118 ? gemmi::Neutron92<double>::data[z] / 10.0 : 0.0;
}

// Where the default frames look for the nearest atoms: a cell list of every atom, and the
// distance within which every atom lies.
struct NearbyAtoms {
    // First reach of the search, and the cell edge: a few bond lengths hold eight atoms in
    // any structure of molecules.
    static constexpr double FIRST_REACH = 3.5;

    explicit NearbyAtoms(const Structure& s)
        : grid(s.nAtoms, [&s](int i) { return s.atom[static_cast<std::size_t>(i)].cart; }, FIRST_REACH) {
        double low[3], high[3];
        for (int k = 0; k < 3; ++k) low[k] = high[k] = s.nAtoms > 0 ? s.atom[0].cart[k] : 0.0;
        for (int i = 0; i < s.nAtoms; ++i)
            for (int k = 0; k < 3; ++k) {
                low[k] = std::min(low[k], s.atom[static_cast<std::size_t>(i)].cart[k]);
                high[k] = std::max(high[k], s.atom[static_cast<std::size_t>(i)].cart[k]);
            }
        span = std::sqrt((high[0] - low[0]) * (high[0] - low[0]) + (high[1] - low[1]) * (high[1] - low[1]) +
                         (high[2] - low[2]) * (high[2] - low[2]));
    }

    PointGrid grid;
    double span = 0;  // no two atoms are farther apart
};

// Two atoms of the default frame of atom i: the nearest atom, and the next nearest that
// does not lie on the line through both. Atoms of two different non-zero parts are
// never taken together. -1 where the structure has no such atom.
void defaultFrame(const Structure& s, const NearbyAtoms& nearby, int i, int& atom0, int& atom2) {
    struct Near {
        double d;
        int j;
    };
    // the few nearest atoms are enough: a frame atom is a neighbour or a second neighbour
    constexpr std::size_t FEW = 8;
    std::vector<Near> near;
    const AtomRecord& a = s.atom[i];
    // The reach grows until it holds the few nearest atoms (every atom outside it is farther
    // than every atom inside) or every atom of the structure.
    for (double reach = NearbyAtoms::FIRST_REACH;; reach *= 2) {
        near.clear();
        const double reach2 = reach * reach;
        nearby.grid.within(a.cart, reach * 1.001 + 1e-6, [&](int j) {
            const AtomRecord& b = s.atom[static_cast<std::size_t>(j)];
            if (j == i || !partsMayBond(a.part, b.part)) return;
            const double dx = b.cart[0] - a.cart[0], dy = b.cart[1] - a.cart[1], dz = b.cart[2] - a.cart[2];
            const double d = dx * dx + dy * dy + dz * dz;
            if (d <= reach2) near.push_back({d, j});
        });
        if (near.size() >= FEW || reach >= nearby.span) break;
    }
    const std::size_t keep = std::min<std::size_t>(near.size(), FEW);
    std::partial_sort(near.begin(), near.begin() + static_cast<std::ptrdiff_t>(keep), near.end(),
                      [](const Near& x, const Near& y) { return x.d < y.d || (x.d == y.d && x.j < y.j); });
    atom0 = atom2 = -1;
    if (keep == 0) return;
    atom0 = near[0].j;
    const double* c = a.cart;
    const double* p = s.atom[atom0].cart;
    const double u[3] = {p[0] - c[0], p[1] - c[1], p[2] - c[2]};
    const double uu = u[0] * u[0] + u[1] * u[1] + u[2] * u[2];
    for (std::size_t k = 1; k < keep; ++k) {
        const double* r = s.atom[near[k].j].cart;
        const double v[3] = {r[0] - c[0], r[1] - c[1], r[2] - c[2]};
        const double uv = u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
        const double product = uu * near[k].d;
        if (product > 0 && std::fabs(uv) / std::sqrt(product) < std::cos(COLLINEAR_DEGREES * PI / 180.0)) {
            atom2 = near[k].j;
            return;
        }
    }
    if (near.size() > 1) atom2 = near[1].j;
}

const char* const BANGS = "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!";
const char* const DASHES = "!------------------------------------------------------------------------------";

}  // namespace

std::vector<std::string> buildMasterTemplate(const Structure& s, const CrystalInput& in) {
    std::vector<std::string> t;
    t.push_back(BANGS);
    t.push_back(format("%-78s!", "! <<< X D MASTER FILE >>> built by QuandrelTool from a crystal file"));
    t.push_back(BANGS);
    t.push_back(format("TITLE %s", s.title));
    t.push_back(format("CELL   %9.4f %9.4f %9.4f %9.4f %9.4f %9.4f", in.cell[0], in.cell[1], in.cell[2],
                           in.cell[3], in.cell[4], in.cell[5]));
    t.push_back(format("CELLSD %9.4f %9.4f %9.4f %9.4f %9.4f %9.4f", in.cellSd[0], in.cellSd[1], in.cellSd[2],
                           in.cellSd[3], in.cellSd[4], in.cellSd[5]));
    t.push_back(format("WAVE   %9.5f", in.wavelength > 0 ? in.wavelength : DEFAULT_WAVELENGTH));
    t.push_back(format("LATT  %c %c", s.symmetry.centric, s.symmetry.lattice));
    for (const std::string& s : s.symmetry.symm) t.push_back("SYMM     " + s);
    t.push_back("BANK   CR");
    t.push_back(BANGS);
    t.push_back("MODULE *XDLSM");
    t.push_back("SELECT  *model 4 2 1 0 based_on F^2 test verbose 1");
    t.push_back("SELECT  cycle 40 dampk 1. cmin 0.6 cmax 1. eigcut 1.d-09 convcrit 1.d-05");
    t.push_back("SAVE    deriv lsqmat *cormat");
    t.push_back("SOLVE   *inv diag *cond");
    t.push_back(DASHES);
    t.push_back("SCAT CORE SPHV DEFV   1S  2S  3S  4S  2P  3P  4P  3D  4D  4F  5S  5P  6S  6P  5D  7S  6D  5F  "
                "DELF'   DELF''  NSCTL");
    // SCAT row: cols 1-5 the symbol (left-justified), the three words with a blank behind
    // each, 18 orbital occupations of 4 columns, then DELF' and DELF'' (%8.4f) and NSCTL (%7.3f)
    for (int k = 0; k < s.nScat; ++k) {
        const ScatEntry& e = s.scatTable[k];
        std::string row = format("%-5s%s %s %s ", e.symbol, e.word2, e.word3, e.word4);
        for (int o : e.occupations) row += format("%4d", o);
        row += format("%8.4f%8.4f%7.3f", e.values[0], e.values[1], e.values[2]);
        t.push_back(row);
    }
    t.push_back("END SCAT");
    t.push_back(DASHES);
    t.push_back("ATOM     ATOM0    AX1 ATOM1    ATOM2   AX2 R/L TP TBL KAP LMX SITESYM  CHEMCON");
    // ATOM row: the columns of the coordinate-system table (core/atomtable.h: cols 1-9 ATOM,
    // 10-18 ATOM0, 19-20 AX1, 23-31 ATOM1, 32-39 ATOM2, 40-41 AX2, 45 "R", 47-49 TP, 50-52 TBL;
    // a long label moves the fields behind it to the right), KAP and LMX in 4 columns each,
    // SITESYM "NO" two blanks behind
    for (int i = 0; i < s.nAtoms; ++i) {
        const AtomRecord& a = s.atom[i];
        const int lmx = s.isHydrogen(i) ? 2 : 4;
        const std::string tp = std::to_string(a.tp), tbl = std::to_string(a.tbl);
        std::string row;
        appendAtomColumnsToTbl(row, {a.label, s.atom[a.atom0 - 1].label, "Z", a.label, s.atom[a.atom2 - 1].label, "Y",
                                     "R", tp, tbl});
        appendf(row, "%4d%4d  NO", a.kap, lmx);
        t.push_back(row);
    }
    t.push_back("END ATOM");
    t.push_back(DASHES);
    t.push_back("!KEEP     charge group1");
    t.push_back("WEIGHT   -2.0 .0 .0 .0 .0 0.3333");
    t.push_back("SKIP     obs 0. 1.d10 *sigobs 3. 1.d06 sinthl 0. 2.");
    t.push_back("PRINT    sinthl .0 2. obs 0. 15. delta 0. 10. *del% 80 100 *abssc");
    t.push_back("!DMSDA    1.1  1.8");
    t.push_back("!FOUR     fmod1 4 2 0 0  fmod2 -1 2 0 0");
    t.push_back(DASHES);
    t.push_back("KEY     XYZ --U2-- ----U3---- ------U4------- M- -D- --Q-- ---O--- ----H----");
    // KEY row: cols 1-8 the label, then the refinement flags, laid out as the KEY header
    for (int i = 0; i < s.nAtoms; ++i)
        t.push_back(format("%-8s111 111111 0000000000 000000000000000 00 000 00000 0000000 000000000",
                               s.atom[i].label));
    for (int k = 0; k < s.nKappa; ++k) t.push_back("KAPPA   000000");
    t.push_back("EXTCN   0000000");
    t.push_back("OVTHP   0");
    t.push_back("SCALE   1");
    t.push_back("END KEY");
    t.push_back(DASHES);
    t.push_back("END XDLSM");
    t.push_back(BANGS);
    t.push_back("MODULE XDFOUR");
    t.push_back("SELECT  *fmod1 4 2 0 0 *fmod2 -1 2 0 0 *snlmax 1.1 print 0");
    t.push_back("GRID    3-points *cryst");
    t.push_back("END XDFOUR");
    t.push_back(BANGS);
    t.push_back("MODULE XDPROP");
    t.push_back("SELECT  *fmod1 4 2 0 0 *fmod2 -1 2 0 0 *snlmax 1.1 print 0");
    t.push_back("CRIPOI  *bond atom1 atom2 *dmax 2.0");
    t.push_back("END XDPROP");
    return t;
}

namespace {

// Title, cell and symmetry of the structure.
void loadHeader(Structure& s, const CrystalInput& in) {
    const char* file = in.source.c_str();
    // the title is one word, as a master file's TITLE card gives it
    std::string title = in.title.substr(0, in.title.find_first_of(" \t"));
    if (title.size() > sizeof s.title - 1) {
        s.readerWarnings.warnLine("title cut", {},
                                  format("%s: the title \"%s\" is cut to %zu characters.", file, title.c_str(),
                                         sizeof s.title - 1));
        title.resize(sizeof s.title - 1);
    }
    std::strcpy(s.title, title.empty() ? "STRUCTURE" : title.c_str());
    std::copy(in.cell, in.cell + 6, s.cell);
    requireNumbers(s.cell, 6, file, "the cell");
    if (!validCell(s.cell)) fatal("%s: the cell is no cell (edges, angles or volume).", file);
    if (!in.symmetry.known) fatal("%s: the symmetry is unknown.", file);
    s.symmetry = in.symmetry;
}

// Scattering table: one entry per element, in order of first appearance. Returns the entry
// index of each element (-1 for elements the structure does not hold).
std::vector<int> buildScatteringTable(Structure& s, const CrystalInput& in) {
    const char* file = in.source.c_str();
    s.nScat = 0;
    std::vector<int> entryOf(N_SYMBOLS, -1);
    for (const CrystalSite& site : in.sites) {
        if (site.element < 0 || site.element >= N_SYMBOLS)
            fatal("%s: atom %s has no element the program knows.", file, site.label.c_str());
        if (entryOf[site.element] >= 0) continue;
        if (s.nScat == MAX_SCAT)
            fatal("%s: the structure holds more than %d elements; the scattering table holds at most %d.", file,
                  MAX_SCAT, MAX_SCAT);
        ScatEntry& e = s.scatTable[s.nScat];
        e = ScatEntry();
        e.number = s.nScat + 1;
        std::strcpy(e.symbol, xdElementSymbol(site.element));
        e.element = site.element;
        std::strcpy(e.word2, "CHFW");
        std::strcpy(e.word3, "CHFW");
        std::strcpy(e.word4, "CSZD");
        groundStateOccupations(site.element, e.occupations);
        for (int o : e.occupations) {
            e.electrons += std::abs(o);
            if (o < 0) e.valenceElectrons -= o;
        }
        dispersionOf(in, site.element, e.values[0], e.values[1]);
        e.values[2] = neutronLength(site.element);
        requireNumbers(e.values, 3, file, std::string("the dispersion and scattering length of ") + e.symbol);
        entryOf[site.element] = s.nScat++;
    }
    return entryOf;
}

// One kappa set per entry, every kappa 1; the USAGE values and the last parameter line of
// a new parameter file.
void setParameterDefaults(Structure& s) {
    s.nKappa = s.nScat;
    for (int k = 0; k < s.nKappa; ++k) {
        s.kappaNo[k] = k + 1;
        for (int v = 0; v < 6; ++v) s.kappaSet[v][k] = 1.0;
    }
    s.multipoleLevel = 4;
    const int usage[10] = {2, 0, 1, 0, 0, s.nScat, 2, 0, 1, 40};
    std::copy(usage, usage + 10, s.usageRest);
    s.nTrailing = 1;
    s.trailingValues[0] = 1.0;  // scale factor
}

// The displacement tensor of an isotropic atom, from the cosines of the reciprocal angles.
struct IsotropicTensor {
    double cosAlphaStar, cosBetaStar, cosGammaStar;

    explicit IsotropicTensor(const double* cell) {
        const CellGeometry geometry(cell);
        cosAlphaStar = geometry.cosAlphaStar();
        cosBetaStar = geometry.cosBetaStar();
        cosGammaStar = geometry.cosGammaStar();
    }

    void fill(double u, double (&out)[6]) const {
        const double tensor[6] = {u, u, u, u * cosGammaStar, u * cosBetaStar, u * cosAlphaStar};
        std::copy(tensor, tensor + 6, out);
        // right angles leave rounding noise in the cosines; it would print as -0.000000
        for (double& v : out)
            if (std::fabs(v) < 1e-12) v = 0.0;
    }
};

// Atom i as the parameter file of XD would give it.
void loadAtom(Structure& s, const CrystalInput& in, int i, int entry, const IsotropicTensor& isotropic) {
    const char* file = in.source.c_str();
    const CrystalSite& site = in.sites[static_cast<std::size_t>(i)];
    AtomRecord& a = s.atom[static_cast<std::size_t>(i)];
    for (char c : site.label)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            std::string shown;
            for (char d : site.label) shown += (static_cast<unsigned char>(d) < 0x20 || d == 0x7f) ? '?' : d;
            fatal("%s: the atom label \"%s\" (atom %d) holds a control character (byte %d); labels are printable text.",
                  file, shown.c_str(), i + 1, static_cast<unsigned char>(c));
        }
    copyOrStop(a.label, sizeof a.label, site.label.c_str(), "%s: the atom label %s is longer than %d characters.", file,
               site.label.c_str(), LABEL_CAP - 1);
    const std::string what = "atom " + site.label;
    if (!(site.occupancy > 0 && site.occupancy <= 1))
        fatal("%s: atom %s has the occupancy %g; an occupancy must lie in (0, 1].", file, site.label.c_str(),
              site.occupancy);
    a.tbl = entry + 1;
    a.kap = a.tbl;
    a.tp = 2;
    a.lmx = 4;
    std::copy(site.frac, site.frac + 3, a.frac);
    requireNumbers(a.frac, 3, file, what + ", coordinates");
    a.occupancy = site.occupancy;
    if (site.aniso)
        std::copy(site.u, site.u + 6, a.u);
    else
        isotropic.fill(site.uiso, a.u);
    requireNumbers(a.u, 6, file, what + ", displacement parameters");
    for (int v = 0; v < 6; ++v) a.kappa[v] = 1.0;
    a.multipole[0] = s.scatTable[a.tbl - 1].valenceElectrons;
    a.part = site.part;
    cellGeometry(s.cell).toCartesian(a.frac, a.cart);
    requireNumbers(a.cart, 3, file, what + ", Cartesian coordinates");
}

// Every atom's frame: Z towards the nearest atom, Y towards the next one off that line.
void setDefaultFrames(Structure& s) {
    const NearbyAtoms nearby(s);
    for (int i = 0; i < s.nAtoms; ++i) {
        AtomRecord& a = s.atom[static_cast<std::size_t>(i)];
        int atom0, atom2;
        defaultFrame(s, nearby, i, atom0, atom2);
        if (atom0 < 0) atom0 = i;
        if (atom2 < 0) atom2 = atom0;
        a.ax1 = 3;
        a.ax2 = 2;
        a.atom0 = atom0 + 1;
        a.atom1 = i + 1;
        a.atom2 = atom2 + 1;
        a.axisChars[0] = 'Z';
        a.axisChars[1] = 'Y';
        a.axisChars[2] = 'X';
    }
}

// Order of the site symmetry of a position: the operators that map it onto itself within
// 0.1 A, lattice translations included.
int siteOrder(const std::vector<SymOp>& ops, const CellGeometry& geometry, const double (&frac)[3]) {
    int order = 0;
    for (const SymOp& op : ops) {
        double image[3];
        op.apply(frac, image);
        double d[3], c[3];
        for (int k = 0; k < 3; ++k) d[k] = image[k] - frac[k] - std::round(image[k] - frac[k]);
        geometry.toCartesian(d, c);
        if (c[0] * c[0] + c[1] * c[1] + c[2] * c[2] < 0.01) ++order;
    }
    return std::max(order, 1);
}

// Two partly occupied sites: alternatives of one atom, or bonded within one conformer.
struct Pair {
    int a, b;
    double d;
    int relation;  // 1: alternatives, 0: bonded within one conformer
    int rank;      // 0: far too close, 1: occupancies adding to at most 1, 2: bonded
};

// A warning for every pair of alternative sites: the parts they were put in, or that the
// disorder around them could not be split.
void warnAlternativeSites(Structure& s, const char* file, const std::vector<Pair>& alternatives,
                          const std::vector<double>& occupancy) {
    for (const Pair& p : alternatives) {
        const AtomRecord& a = s.atom[static_cast<std::size_t>(p.a)];
        const AtomRecord& b = s.atom[static_cast<std::size_t>(p.b)];
        if (a.part == b.part)
            s.readerWarnings.warn(
                "alternative sites without a disorder group", {a.label, b.label},
                format("%s: atoms %s and %s (occupancies %.3f and %.3f, %.3f A apart) look like alternative "
                       "sites, but the disorder around them cannot be split in two parts; give them disorder groups.",
                       file, a.label, b.label, occupancy[static_cast<std::size_t>(p.a)],
                       occupancy[static_cast<std::size_t>(p.b)], p.d));
        else
            s.readerWarnings.warn(
                "alternative sites without a disorder group", {a.label, b.label},
                format("%s: atoms %s and %s (occupancies %.3f and %.3f, %.3f A apart) are alternative sites "
                       "without a disorder group: they are put in parts %d and %d and never bonded.",
                       file, a.label, b.label, occupancy[static_cast<std::size_t>(p.a)],
                       occupancy[static_cast<std::size_t>(p.b)], p.d, a.part, b.part));
    }
}

// Partly occupied atoms of no disorder part that cannot both be there: closer than 0.6
// times the sum of their covalent radii, or closer than a bond while their occupancies add
// to at most 1. Each such pair goes into two different new parts (atoms of a connected
// disorder keep together: bonded partial atoms share a part), so they are never bonded;
// a warning names both. Occupancies are the site's own, the site-symmetry order taken back
// out, so an atom on a symmetry element does not count as partly occupied.
void separateAlternativeSites(Structure& s, const char* file) {
    s.symmetry.operators = expandSymmetry(s.symmetry, file);
    const std::vector<SymOp>& ops = s.symmetry.operators;
    const CellGeometry geometry(s.cell);
    std::vector<int> partial;
    std::vector<double> occupancy(static_cast<std::size_t>(s.nAtoms), 1.0);
    int highestPart = 0;
    for (int i = 0; i < s.nAtoms; ++i) {
        const AtomRecord& a = s.atom[static_cast<std::size_t>(i)];
        highestPart = std::max(highestPart, a.part);
        if (a.part != 0 || a.occupancy >= 1.0) continue;
        occupancy[static_cast<std::size_t>(i)] = a.occupancy * siteOrder(ops, geometry, a.frac);
        if (occupancy[static_cast<std::size_t>(i)] < 0.999) partial.push_back(i);
    }
    if (partial.size() < 2) return;
    // union-find with parity: parity 1 between alternatives, 0 between bonded partial atoms
    std::vector<int> parent(static_cast<std::size_t>(s.nAtoms)), parity(static_cast<std::size_t>(s.nAtoms), 0);
    for (int i = 0; i < s.nAtoms; ++i) parent[static_cast<std::size_t>(i)] = i;
    std::function<int(int, int&)> root = [&](int i, int& p) {
        p = 0;
        while (parent[static_cast<std::size_t>(i)] != i) {
            p ^= parity[static_cast<std::size_t>(i)];
            i = parent[static_cast<std::size_t>(i)];
        }
        return i;
    };
    // a relation that contradicts the ones already taken is dropped; it returns false then
    auto join = [&](int a, int b, int relation) {
        int pa, pb;
        const int ra = root(a, pa), rb = root(b, pb);
        if (ra == rb) return (pa ^ pb) == relation;
        parent[static_cast<std::size_t>(rb)] = ra;
        parity[static_cast<std::size_t>(rb)] = pa ^ pb ^ relation;
        return true;
    };
    std::vector<Pair> pairs;
    for (std::size_t x = 0; x < partial.size(); ++x)
        for (std::size_t y = x + 1; y < partial.size(); ++y) {
            const int i = partial[x], j = partial[y];
            const AtomRecord& a = s.atom[static_cast<std::size_t>(i)];
            const AtomRecord& b = s.atom[static_cast<std::size_t>(j)];
            const double dx = a.cart[0] - b.cart[0], dy = a.cart[1] - b.cart[1], dz = a.cart[2] - b.cart[2];
            const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
            const int ea = s.elementOf(i), eb = s.elementOf(j);
            const double radii = (radiusOf(ea) + radiusOf(eb)) / 100.0;
            const bool bond = bondedAt(bondReferenceLength(ea, eb), d);
            const double oa = occupancy[static_cast<std::size_t>(i)], ob = occupancy[static_cast<std::size_t>(j)];
            // equal occupancies are one conformer's (a 50:50 disorder has bonds of 0.5 + 0.5)
            if (d < 0.6 * radii)
                pairs.push_back({i, j, d, 1, 0});
            else if (bond && oa + ob <= 1.001 && std::fabs(oa - ob) > 0.001)
                pairs.push_back({i, j, d, 1, 1});
            else if (bond)
                pairs.push_back({i, j, d, 0, 2});
        }
    // the surest relations first, the shortest distances first among equals
    std::stable_sort(pairs.begin(), pairs.end(), [](const Pair& p, const Pair& q) {
        return p.rank != q.rank ? p.rank < q.rank : p.d < q.d;
    });
    std::vector<Pair> alternatives;
    for (const Pair& p : pairs) {
        const bool taken = join(p.a, p.b, p.relation);
        if (p.relation == 1 && (taken || p.rank == 0)) alternatives.push_back(p);
    }
    if (alternatives.empty()) return;
    // two new parts per connected disorder, in the order of the atoms
    std::vector<int> firstPart(static_cast<std::size_t>(s.nAtoms), 0);  // per component root; -1: split
    for (const Pair& p : alternatives) {
        int parityOf;
        firstPart[static_cast<std::size_t>(root(p.a, parityOf))] = -1;
    }
    for (int i : partial) {
        int parityOf;
        const std::size_t r = static_cast<std::size_t>(root(i, parityOf));
        if (firstPart[r] == 0) continue;
        if (firstPart[r] < 0) {
            firstPart[r] = highestPart + 1;
            highestPart += 2;
        }
        // the conformer of the first atom gets the lower part
        int firstParity = 0;
        for (int j : partial) {
            int pj;
            if (static_cast<std::size_t>(root(j, pj)) == r) {
                firstParity = pj;
                break;
            }
        }
        s.atom[static_cast<std::size_t>(i)].part = firstPart[r] + (parityOf ^ firstParity);
    }
    warnAlternativeSites(s, file, alternatives, occupancy);
}

// Two atoms of one part closer than 0.1 A are one atom given twice: refused with both labels.
void refuseOverlappingAtoms(const Structure& s, const char* file) {
    constexpr double TOO_CLOSE = 0.1;
    const PointGrid grid(s.nAtoms, [&s](int i) { return s.atom[static_cast<std::size_t>(i)].cart; }, 1.0);
    for (int i = 0; i < s.nAtoms; ++i) {
        const AtomRecord& a = s.atom[static_cast<std::size_t>(i)];
        int closest = -1;
        double best = TOO_CLOSE;
        grid.within(a.cart, TOO_CLOSE, [&](int j) {
            const AtomRecord& b = s.atom[static_cast<std::size_t>(j)];
            if (j <= i || b.part != a.part) return;
            const double dx = a.cart[0] - b.cart[0], dy = a.cart[1] - b.cart[1], dz = a.cart[2] - b.cart[2];
            const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
            if (d < best || (d == best && closest >= 0 && j < closest)) {
                best = d;
                closest = j;
            }
        });
        if (closest >= 0)
            fatal("%s: atoms %s and %s lie %.3f A apart in the same disorder part; one atom cannot be given twice "
                  "(alternative sites belong in different disorder groups).",
                  file, a.label, s.atom[static_cast<std::size_t>(closest)].label, best);
    }
}

}  // namespace

void loadCrystal(Structure& s, const CrystalInput& in) {
    Stage stage("loadCrystal");
    s.readerWarnings.adopt(in.warnings);
    s.source = in.source;
    const char* file = in.source.c_str();
    const int n = static_cast<int>(in.sites.size());
    if (n == 0) fatal("%s: the structure holds no atoms.", file);
    // the dummy atom DUM0 behind the atoms needs a record too
    if (n + 1 > MAX_ATOMS)
        fatal("%s: the structure holds %d atoms; at most %d can be handled (%d records, one kept for the dummy "
              "atom DUM0).",
              file, n, MAX_ATOMS - 1, MAX_ATOMS);
    for (int k = 0; k < 6; ++k)
        if (!std::isfinite(in.cellSd[k]))
            fatal("%s: the standard uncertainty of cell parameter %d (%g) is not a finite number.", file, k + 1,
                  in.cellSd[k]);
    if (!std::isfinite(in.wavelength) || in.wavelength < 0 || (in.wavelength > 0 && in.wavelength < 0.01))
        fatal("%s: the wavelength %g A is no X-ray wavelength.", file, in.wavelength);

    loadHeader(s, in);
    const std::vector<int> entryOf = buildScatteringTable(s, in);
    setParameterDefaults(s);

    s.nAtoms = n;
    s.nDummy = 0;
    s.makeRoomForAtoms(n, 0);
    const IsotropicTensor isotropic(s.cell);
    bool hydrogen = false;
    for (int i = 0; i < n; ++i) {
        const int element = in.sites[static_cast<std::size_t>(i)].element;
        loadAtom(s, in, i, entryOf[element], isotropic);
        hydrogen = hydrogen || element == 0;
    }
    separateAlternativeSites(s, file);
    refuseOverlappingAtoms(s, file);
    setDefaultFrames(s);
    if (!hydrogen)
        s.readerWarnings.warn("no hydrogen atoms", {},
                              format("%s holds no hydrogen atoms; quandrel names of atoms without their hydrogen "
                                     "atoms will rarely be in the database.",
                                     file));

    s.masTemplate = buildMasterTemplate(s, in);
    // reference output: "successfull", as the XD readers write it
    fprintf(stderr, "\nReading %s was successfull!\n%d Atoms, %d scattering types\n\n", file, n, s.nScat);
}

void readCrystalFile(Structure& s, const Options& o) {
    Stage stage("readCrystalInput");
    const CrystalInput in = o.crystalInput == 1 ? readCifInput(o.inputFile, o.block) : readShelxInput(o.inputFile);
    loadCrystal(s, in);
}
