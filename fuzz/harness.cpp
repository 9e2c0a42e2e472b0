#include "harness.h"
#include "core/stage.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>

namespace fuzz {

namespace {

std::string scratch;

void removeScratch() {
    std::error_code ignored;
    if (!scratch.empty()) std::filesystem::remove_all(scratch, ignored);
}

}  // namespace

void setUp() {
    if (!scratch.empty()) return;
    char tmpl[] = "/tmp/qdlfuzz.XXXXXX";
    if (mkdtemp(tmpl) == nullptr || chdir(tmpl) != 0) {
        perror("fuzz scratch directory");
        std::abort();
    }
    scratch = tmpl;
    std::atexit(removeScratch);
}

void writeFile(const char* name, const std::uint8_t* data, std::size_t size) {
    FILE* f = std::fopen(name, "wb");
    if (f == nullptr) {
        perror(name);
        std::abort();
    }
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

void writeFile(const char* name, const std::string& text) {
    writeFile(name, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void copySource(const char* relativePath, const char* name) {
    std::ifstream in(std::string(QDL_SOURCE_DIR) + "/" + relativePath, std::ios::binary);
    if (!in) {
        fprintf(stderr, "fuzz: missing source file %s\n", relativePath);
        std::abort();
    }
    std::ostringstream text;
    text << in.rdbuf();
    writeFile(name, text.str());
}

void removeFile(const char* name) { std::remove(name); }

Object freshObject() {
    alignas(Quandrel) static unsigned char storage[sizeof(Quandrel)];
    resetStages();
    return Object(new (storage) Quandrel(Quandrel::NoInput{}));
}

void checkNoFileLeft(int before) {
    if (openFiles() <= before) return;
    fprintf(stderr, "fuzz: the step left files open:\n");
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ignored;
        fprintf(stderr, "  fd %s -> %s\n", entry.path().filename().c_str(),
                std::filesystem::read_symlink(entry.path(), ignored).c_str());
    }
    std::abort();
}

void requireFinite(const Quandrel& q) {
    auto finite = [](const double* v, int n, const char* what, int i) {
        for (int k = 0; k < n; ++k)
            if (!std::isfinite(v[k])) {
                fprintf(stderr, "fuzz: %s %d of record %d is %g\n", what, k, i, v[k]);
                std::abort();
            }
    };
    const int records = q.structure.nAtoms + q.structure.nDummy;
    for (int i = 0; i < records && i < static_cast<int>(q.structure.atom.size()); ++i) {
        const AtomRecord& a = q.structure.atom[i];
        finite(a.frac, 3, "coordinate", i);
        finite(a.cart, 3, "Cartesian coordinate", i);
        if (i >= q.structure.nAtoms) continue;
        finite(a.u, 6, "displacement parameter", i);
        finite(a.c3, 10, "third-order parameter", i);
        finite(a.d4, 15, "fourth-order parameter", i);
        finite(a.multipole, 26, "population", i);
        finite(a.kappa, 6, "kappa", i);
        finite(&a.occupancy, 1, "occupancy", i);
    }
    finite(q.structure.trailingValues, q.structure.nTrailing, "trailing value", 0);
}

}  // namespace fuzz
