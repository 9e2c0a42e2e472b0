// The run: its report files, and the stages called on its records.
#include "Quandrel.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "../database/database.h"
#include "../input/input.h"
#include "../output/writer.h"
#include "../core/failure.h"
#include "../naming/naming.h"


namespace {

// Opens a report file for writing, or warns and hands back the standard stream in its place.
FILE* openReport(const char* name, FILE* fallback) {
    // The log of a large structure runs to many megabytes: it is written in large blocks.
    constexpr std::size_t REPORT_BUFFER = std::size_t(1) << 20;
    FILE* file = fopen(name, "wt");
    if (file == nullptr) {
        warnCannotOpen("%s", name);
        return fallback;
    }
    setvbuf(file, nullptr, _IOFBF, REPORT_BUFFER);
    return file;
}

}  // namespace

void Quandrel::openReports() {
    outFile = openReport("Quandrele.out", stdout);
    logFile = openReport("Quandrele.log", stderr);
}

Quandrel::Quandrel(const Options& options) : opt(options) { openReports(); }

void Quandrel::readStructure() { structure = ::readStructure(opt); }

void Quandrel::findOutNames() {
    perception = perceive(structure, opt, outFile, logFile);
    warningLog.adopt(perception.warnings);  // already on standard error, in the order they arose
}

void Quandrel::setupNewInpAndMasFile() { ::setupNewInpAndMasFile(records()); }

void Quandrel::huconstrain() { ::huconstrain(records()); }

int Quandrel::insertFiles() { return ::insertFiles(records()); }

void Quandrel::findInDataBase() { ::findInDataBase(std::exchange(structure, Structure()), records()); }

Quandrel::Quandrel(NoInput) { openReports(); }

Quandrel::~Quandrel() {
    if (outFile != nullptr) fclose(outFile);
    if (logFile != nullptr) fclose(logFile);
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

