// Error exits of the readers: a reader that stops the run leaves no file open (the fuzz
// targets take each stop over and go on with the next input, so a file left open there
// piles up), and the inputs the fuzz targets found keep ending with a clear message.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "input/input.h"
#include "core/failure.h"
#include "testutil.h"

namespace {

// Runs a reader that stops; returns the exit code it stopped with (-1 when it did not
// stop) and checks that it left no file open.
int stopCodeOf(const std::function<void()>& reader) {
    const int before = openFiles();
    const int code = failureOf(reader).code;
    EXPECT_EQ(openFiles(), before) << "the reader left a file open";
    return code;
}

std::string moproParam() { return slurp(examplePath("mopro_glycine/mopro_glycine.01")); }

// Reads the MoPro example with the parameter file and the table given.
void readMoPro(Quandrel& q, const ScratchDir& dir, const std::string& param, const std::string& table) {
    dir.write("param.01", param);
    dir.write("mopro.tab", table);
    q.opt.moproInput = 1;
    std::strcpy(q.opt.inputFile, "param.01");
    readMoProFiles(q.structure, q.opt);
}

TEST(ReaderErrorExits, MoProReadersCloseTheirFilesWhenTheyStop) {
    ScratchDir dir;
    const std::string table = slurp(examplePath("mopro_glycine/mopro.tab"));
    const std::string param = moproParam();
    struct Case {
        const char* what;
        std::string param, table;
    } cases[] = {
        {"empty parameter file", "", table},
        {"parameter file without STOP", param.substr(0, param.find("STOP")), table},
        {"kappa set that is no number", std::string(param).replace(param.find("0.9882"), 6, "nan   "), table},
        {"table without the entry", param, "CHEM H\n VALE WAVE  1s1\n"},
        {"table entry with an orbital of 999 electrons", param,
         std::string(table).replace(table.find("2s2 2p2"), 7, "2s999  ")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Quandrel q{Quandrel::NoInput{}};
        EXPECT_EQ(stopCodeOf([&] { readMoPro(q, dir, c.param, c.table); }), 1);
    }
}

TEST(ReaderErrorExits, XdReadersCloseTheirFilesWhenTheyStop) {
    ScratchDir dir;
    const std::string mas = slurp(examplePath("l_alanine/xd.mas"));
    const std::string res = slurp(examplePath("l_alanine/xd.res"));
    struct Case {
        const char* what;
        std::string mas, res;
    } cases[] = {
        {"master file without END SCAT", mas.substr(0, mas.find("END SCAT")), res},
        {"master file with a cell of no volume", std::string(mas).replace(mas.find("90.000   90.000   90.000"), 24,
                                                                         "120.000  120.000  120.000"),
         res},
        {"parameter file cut short", mas, res.substr(0, res.size() / 2)},
        {"parameter file with a NaN coordinate", mas, std::string(res).replace(res.find("0.536955"), 8, "     nan")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dir.write("xd.mas", c.mas);
        dir.write("xd.res", c.res);
        Quandrel q{Quandrel::NoInput{}};
        EXPECT_EQ(stopCodeOf([&] {
                      readMasterFile(q.structure);
                      readParameterFile(q.structure);
                  }),
                  1);
    }
}

// Found by the fuzz target of the whole run: a hexadecimal number beyond the range of a
// double ("0x1p9999000") read as infinity and reached the new parameter file.
TEST(ReaderErrorExits, HexadecimalInfinityInTheParameterFileStopsTheRun) {
    ScratchDir dir;
    for (const char* name : {"qdltool.ini", "xd.mas", "DABA.txt"}) dir.copyIn(examplePath(std::string("l_alanine/") + name), name);
    dir.copyIn("regressions/fuzz_pipeline/xd.res-hex-infinity", "xd.res");
    const RunResult r = runTool();
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.err.find("xd.res: atom 4 (H(1)), displacement parameters: inf is no usable number"), std::string::npos)
        << r.err;
    EXPECT_FALSE(dir.exists("xd.res.quandreltool"));
}

}  // namespace
