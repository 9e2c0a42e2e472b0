// Label override file: the fuzzed bytes are "Quandrele.in" and, behind a line "====",
// the answers to the yes/no questions.
#include <cstdio>
#include <string>

#include "input/input.h"
#include "naming/naming.h"
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    static const bool ready = (fuzz::copySource("examples/l_alanine/xd.mas", "xd.mas"),
                               fuzz::copySource("examples/l_alanine/xd.res", "xd.res"), true);
    (void)ready;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = input.find("\n====\n");
    fuzz::writeFile("answers.txt", cut == std::string::npos ? std::string() : input.substr(cut + 6));
    fuzz::removeFile("Quandrele.in");
    auto q = fuzz::freshObject();
    fuzz::guarded([&] {
        q->opt.ions = 1;
        readMasterFile(q->structure);
        readParameterFile(q->structure);
        q->findOutNames();  // no override file yet: the names of the structure
        fuzz::writeFile("Quandrele.in", input.substr(0, cut));
        std::unique_ptr<FILE, int (*)(FILE*)> answers(std::fopen("answers.txt", "r"), &std::fclose);
        if (answers) readOverrides(PerceptionRun{q->structure, q->opt, q->perception, q->outFile, q->logFile}, answers.get());
    });
    return 0;
}
