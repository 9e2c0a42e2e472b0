// Construction, destruction and the process-wide values of the central object.
#include "Quandrel.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "../input/crystal.h"
#include "../core/failure.h"

std::vector<Bond> bnd;
double totalOxi = 0.0;
std::vector<int> gut;

void Quandrel::openReports() {
    // The log of a large structure runs to many megabytes: it is written in large blocks.
    constexpr std::size_t REPORT_BUFFER = std::size_t(1) << 20;
    outFile = fopen("Quandrele.out", "wt");
    if (outFile == nullptr) {
        warnCannotOpen("Quandrele.out");
        outFile = stdout;
    } else {
        setvbuf(outFile, nullptr, _IOFBF, REPORT_BUFFER);
    }
    logFile = fopen("Quandrele.log", "wt");
    if (logFile == nullptr) {
        warnCannotOpen("Quandrele.log");
        logFile = stderr;
    } else {
        setvbuf(logFile, nullptr, _IOFBF, REPORT_BUFFER);
    }
}

Quandrel::Quandrel(const Options& options) : opt(options) { openReports(); }

void Quandrel::readStructure() {
    if (opt.crystalInput != 0) {
        readCrystalInput(*this);
    } else if (opt.moproInput == 0) {
        readMas();
        readInp();
    } else {
        readMoProParam();
    }
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

// ---- the rings of an atom ----

RingSet::RingSet(int mask) {
    const unsigned int bitsSet = static_cast<unsigned int>(mask);
    for (int k = 0; k < 32; ++k)
        if ((bitsSet >> k) & 1u) add(k);
}

bool RingSet::add(int r) {
    int k = 0;
    while (k < count_ && rings_[k] < r) ++k;
    if (k < count_ && rings_[k] == r) return true;
    if (count_ == MAX_RINGS_PER_ATOM) return false;
    for (int m = count_; m > k; --m) rings_[m] = rings_[m - 1];
    rings_[k] = r;
    ++count_;
    return true;
}

bool RingSet::shares(const RingSet& other) const {
    int a = 0, b = 0;
    while (a < count_ && b < other.count_) {
        if (rings_[a] == other.rings_[b]) return true;
        if (rings_[a] < other.rings_[b])
            ++a;
        else
            ++b;
    }
    return false;
}

int RingSet::bits() const {
    unsigned int mask = 0;
    for (int k = 0; k < count_; ++k)
        if (rings_[k] < 32) mask |= 1u << rings_[k];
    return static_cast<int>(mask);
}

bool operator==(const RingSet& a, const RingSet& b) {
    if (a.count_ != b.count_) return false;
    for (int k = 0; k < a.count_; ++k)
        if (a.rings_[k] != b.rings_[k]) return false;
    return true;
}

// ---- the name table ----

char* NameTable::operator[](std::size_t i) {
    while (i >= rows()) blocks_.emplace_back((blocks_.empty() ? FIRST_ROWS : BLOCK_ROWS) * NAME_CAP, '\0');
    const std::pair<std::size_t, std::size_t> p = place(i);
    return blocks_[p.first].data() + p.second;
}

const char* NameTable::operator[](std::size_t i) const {
    if (i >= rows()) return "";
    const std::pair<std::size_t, std::size_t> p = place(i);
    return blocks_[p.first].data() + p.second;
}

std::pair<std::size_t, std::size_t> NameTable::place(std::size_t i) const {
    if (i < FIRST_ROWS) return {0, i * NAME_CAP};
    i -= FIRST_ROWS;
    return {1 + i / BLOCK_ROWS, (i % BLOCK_ROWS) * NAME_CAP};
}

void Quandrel::makeRoomForAtoms(int atoms, int dummies) {
    const std::size_t records = static_cast<std::size_t>(atoms) + static_cast<std::size_t>(dummies) + 1;
    const std::size_t room = std::max(records, 2 * static_cast<std::size_t>(atoms) + 1);
    if (atom.capacity() < room) atom.reserve(room);
    if (atom.size() < records) atom.resize(records);
}
