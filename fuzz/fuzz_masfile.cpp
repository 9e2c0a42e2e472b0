// The master-file writer on a fuzzed "xd.mas": the example's structure is read and taken
// through perception and the database stage once; every input is the master file the writer
// copies, its ATOM table read by fields and by label. A master file written must hold a line
// for every atom, in its ATOM table, that begins with the atom's label.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/atomtable.h"
#include "core/text.h"
#include "input/input.h"
#include "output/writer.h"
#include "harness.h"

namespace {

// The structure, read once: the example's files stay in the scratch directory beside the
// fuzzed "xd.mas".
Quandrel& prepared() {
    static fuzz::Object q = [] {
        fuzz::copySource("examples/l_alanine/xd.mas", "xd.mas");
        fuzz::copySource("examples/l_alanine/xd.res", "xd.res");
        fuzz::copySource("examples/l_alanine/DABA.txt", "DABA.txt");
        fuzz::Object object = fuzz::freshObject();
        std::strcpy(object->opt.databasePath, "DABA.txt");
        readMasterFile(object->structure);
        readParameterFile(object->structure);
        object->findOutNames();
        object->findInDataBase();
        return object;
    }();
    return *q;
}

// The writer puts the new atom lines right behind the ATOM table header it found: some
// header of the file must be followed by one line per atom, in atom order, that begins
// with the atom's label.
void requireEveryAtomLine(const Quandrel& q, const char* name) {
    FILE* f = std::fopen(name, "rb");
    if (f == nullptr) return;
    const LargeText text = readRest(f);
    std::fclose(f);
    const std::vector<std::string_view> lines = splitLines(text);
    for (std::size_t h = 0; h < lines.size(); ++h) {
        if (lines[h].rfind("ATOM     ATOM0", 0) != 0) continue;
        int i = 0;
        for (; i < q.transfer.model.nAtoms && h + 1 + static_cast<std::size_t>(i) < lines.size(); ++i) {
            const std::vector<std::string_view> fields = atomTableFields(lines[h + 1 + static_cast<std::size_t>(i)]);
            if (fields.empty() || fields[0] != q.transfer.model.atom[i].label) break;
        }
        if (i == q.transfer.model.nAtoms) return;
    }
    fprintf(stderr, "fuzz: %s has no ATOM table with a line for every atom\n", name);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    Quandrel& q = prepared();
    fuzz::writeFile("xd.mas", data, size);
    fuzz::removeFile("xd.mas.quandreltool");
    fuzz::removeFile("xd.mas.HasSameSymm");
    bool written = false;
    fuzz::guarded([&] {
        writeMasterFiles(q.records(), 1);
        written = true;
    });
    if (written) {
        requireEveryAtomLine(q, "xd.mas.quandreltool");
        requireEveryAtomLine(q, "xd.mas.HasSameSymm");
    }
    return 0;
}
