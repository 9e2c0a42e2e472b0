#include "harness.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <sstream>

#include "driver/failure.h"

namespace fuzz {

namespace {

std::string scratch;

[[noreturn]] void throwStop(int code) { throw Stop{code}; }

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
    stopHook = throwStop;
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
    std::strcpy(funkNam, "main");
    std::strcpy(INI_PATH, "qdltool.ini");
    SYMMTOL = 0.01;
    totalOxi = 0.0;
    Modn[0] = '\0';
    PLAN = 0.0;
    return Object(new (storage) Quandrel(Quandrel::NoInput{}));
}

int openFiles() {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++n;
    }
    return n;
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

void releaseProcessState() {
    std::vector<Bond>().swap(bnd);
    std::vector<int>().swap(gut);
}

}  // namespace fuzz
