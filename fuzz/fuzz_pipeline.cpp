// The whole run on a fuzzed "xd.res", with the example's "xd.mas" and database: reading,
// perception, names, database transfer and the new input files. A run that ends normally
// must leave no number that is no number (NaN, infinity) for the new parameter file.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "input/input.h"
#include "harness.h"

namespace {

// Every word of the file but the first of each line (a label or title, which the input
// chose) that reads as a number must be a finite one.
void requireNoNaNWritten(const char* name) {
    std::ifstream in(name);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string word;
        words >> word;
        while (words >> word) {
            char* end = nullptr;
            const double value = std::strtod(word.c_str(), &end);
            if (end != word.c_str() && *end == '\0' && !std::isfinite(value)) {
                fprintf(stderr, "fuzz: %s holds \"%s\" in: %s\n", name, word.c_str(), line.c_str());
                std::abort();
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    static const bool ready = (fuzz::copySource("examples/l_alanine/xd.mas", "xd.mas"),
                               fuzz::copySource("examples/l_alanine/DABA.txt", "DABA.txt"), true);
    (void)ready;
    fuzz::writeFile("xd.res", data, size);
    fuzz::removeFile("xd.res.quandreltool");
    auto q = fuzz::freshObject();
    bool finished = false;
    fuzz::guarded([&] {
        q->opt.ions = 1;
        std::strcpy(q->opt.databasePath, "DABA.txt");
        std::strcpy(q->opt.hydrogenConstrain, "both");
        q->opt.uisoConstrain = true;
        q->opt.ridingConstrain = true;
        readMasterFile(q->structure);
        readParameterFile(q->structure);
        q->findOutNames();
        q->findInDataBase();
        q->setupNewInpAndMasFile();
        finished = true;
    });
    if (finished) {
        fuzz::requireFinite(*q);
        requireNoNaNWritten("xd.res.quandreltool");
    }
    return 0;
}
