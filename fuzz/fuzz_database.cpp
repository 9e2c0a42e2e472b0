// Parameter database: the fuzzed bytes are the database, searched for the names of the
// example structure; then the run report reads its names and ranks the nearest entries.
#include <cstring>

#include "input/input.h"
#include "database/nearest.h"
#include "core/text.h"
#include "harness.h"
#include "output/writer.h"
#include "report/report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    static const bool ready = (fuzz::copySource("examples/l_alanine/xd.mas", "xd.mas"),
                               fuzz::copySource("examples/l_alanine/xd.res", "xd.res"), true);
    (void)ready;
    fuzz::writeFile("DABA.txt", data, size);
    auto q = fuzz::freshObject();
    fuzz::guarded([&] {
        q->opt.ions = 1;
        std::strcpy(q->opt.databasePath, "DABA.txt");
        readMasterFile(q->structure);
        readParameterFile(q->structure);
        q->findOutNames();
        q->findInDataBase();
        fuzz::requireFinite(*q);
        NameCatalogue catalogue;
        if (FileHandle db = openFile("DABA.txt", "r")) catalogue.read(db.get());
        const auto run = runReport(q->records(), catalogue, catalogue.size(), MonopoleCorrection());
        if (jsonText(run).empty() || reportPage(run).empty()) __builtin_trap();
    });
    return 0;
}
