// Damaged input on the real program: every input file cut after each of its lines, empty,
// with CRLF line ends, with a NUL byte, with absurd counts and with numbers that are NaN or
// out of range. Every run must end within its time with exit 0 (the input is still usable,
// or the damage is of the kind the program passes over with a warning), 1 with a message
// naming the damaged file (3 for an unusable "Quandrele.in"), never with a crash or a hang;
// a finished run writes no NaN or infinity; and no input file is changed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdlib>
#include <stdexcept>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "testutil.h"

namespace {

// The complete working directory of a run: file name and content.
using Files = std::map<std::string, std::string>;

Files folder(const std::string& base, const std::vector<std::string>& names) {
    Files files;
    for (const std::string& name : names) files[name] = slurp(base + "/" + name);
    return files;
}

// The XD example with every optional input file present.
Files xdCase() {
    Files files = folder(examplePath("l_alanine"), {"qdltool.ini", "xd.mas", "xd.res", "DABA.txt"});
    for (const auto& [name, content] : folder(dataPath("damaged"), {"xd_part.aux", "Quandrele.in", "Molecule-Charges.in"}))
        files[name] = content;
    return files;
}

// The MoPro example.
Files moproCase() {
    return folder(examplePath("mopro_glycine"), {"qdltool.ini", "mopro_glycine.01", "mopro.tab", "DABA.txt", "xd.mas"});
}

struct Outcome {
    int code = -1;  // exit code, 128 + signal, 124 after the time limit
    std::string err;
    Files after;    // the input files after the run
    std::string newParameterFile;
    std::string newMasterFile;
};

// Runs the program in a scratch directory holding the files, standard input empty, within
// a time limit.
Outcome runOn(const Files& files) {
    ScratchDir dir;
    for (const auto& [name, content] : files) dir.write(name, content);
    const std::string cmd = std::string("timeout 60 ") + QUANDRELTOOL_BIN + " </dev/null >stdout.txt 2>stderr.txt";
    const int status = std::system(cmd.c_str());
    Outcome o;
    if (WIFEXITED(status))
        o.code = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        o.code = 128 + WTERMSIG(status);
    o.err = dir.read("stderr.txt");
    for (const auto& entry : files) o.after[entry.first] = dir.read(entry.first);
    o.newParameterFile = dir.read("xd.res.quandreltool");
    o.newMasterFile = dir.read("xd.mas.quandreltool");
    return o;
}

bool holdsNoNumber(const std::string& text) {
    return text.find("nan") == std::string::npos && text.find("inf") == std::string::npos &&
           text.find("NAN") == std::string::npos && text.find("INF") == std::string::npos;
}

// The rules every run obeys; names are the files an error message may name for this damage
// (the damaged file itself, or a file the damaged one points to).
void expectSound(const Outcome& o, const Files& before, const std::vector<std::string>& names, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_NE(o.code, 124) << "the run did not end within its time\n" << o.err;
    EXPECT_LT(o.code, 128) << "the run crashed\n" << o.err;
    EXPECT_TRUE(o.code == 0 || o.code == 1 || o.code == 3) << "exit " << o.code << "\n" << o.err;
    for (const auto& [name, content] : before) EXPECT_TRUE(o.after.at(name) == content) << name << " was changed";
    if (o.code == 0) {
        EXPECT_FALSE(o.newParameterFile.empty()) << "exit 0 without xd.res.quandreltool\n" << o.err;
        EXPECT_TRUE(holdsNoNumber(o.newParameterFile)) << "NaN or infinity written:\n" << o.newParameterFile;
        EXPECT_TRUE(holdsNoNumber(o.newMasterFile)) << "NaN or infinity written:\n" << o.newMasterFile;
    } else {
        EXPECT_NE(o.err.find("The Programm ends with an Error Code!"), std::string::npos) << o.err;
        bool named = false;
        for (const std::string& name : names) named = named || o.err.find(name) != std::string::npos;
        EXPECT_TRUE(named) << "the message names none of the files it should:\n" << o.err;
    }
}

// The files an error message may name when the given file is damaged.
std::vector<std::string> namesFor(const std::string& file) {
    if (file == "qdltool.ini")  // settings cut short fall back to their defaults
        return {"qdltool.ini", "DABA.txt", "xd.mas", "xd.res", "xd.inp", "mopro", "can't open"};
    if (file == "Quandrele.in") return {"Quandrele.in"};
    return {file};
}

// The first lines of a text, each with its line end.
std::string firstLines(const std::string& text, std::size_t count) {
    std::size_t end = 0;
    for (std::size_t k = 0; k < count && end < text.size(); ++k) {
        std::size_t nl = text.find('\n', end);
        end = nl == std::string::npos ? text.size() : nl + 1;
    }
    return text.substr(0, end);
}

std::size_t lineCount(const std::string& text) {
    std::size_t n = 0;
    for (char c : text) n += c == '\n';
    return n + (!text.empty() && text.back() != '\n');
}

std::string withCrlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// Replaces the first occurrence of from (which must be there) by to.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    if (at == std::string::npos) throw std::runtime_error("fixture text not found: " + from);
    return text.replace(at, from.size(), to);
}

// Runs the case with one file changed and checks the rules.
Outcome runDamaged(const Files& base, const std::string& file, const std::string& content, const std::string& what) {
    Files files = base;
    files[file] = content;
    Outcome o = runOn(files);
    expectSound(o, files, namesFor(file), file + ": " + what);
    return o;
}

void cutAfterEveryLine(const Files& base, const std::string& file) {
    const std::string& text = base.at(file);
    for (std::size_t k = 0; k < lineCount(text); ++k)
        runDamaged(base, file, firstLines(text, k), "cut after line " + std::to_string(k));
}

// Test name of a file name: its letters and digits.
std::string testName(const testing::TestParamInfo<const char*>& info) {
    std::string name;
    for (const char* p = info.param; *p != '\0'; ++p)
        if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
    return name;
}

// ---- the intact cases ----

TEST(DamagedInput, IntactExamplesRunCleanly) {
    for (const Files& base : {xdCase(), moproCase()}) {
        Outcome o = runOn(base);
        ASSERT_EQ(o.code, 0) << o.err;
        expectSound(o, base, {}, "intact");
    }
}

// ---- cut after every line ----

class CutXd : public testing::TestWithParam<const char*> {};
TEST_P(CutXd, EveryLineEndsCleanly) { cutAfterEveryLine(xdCase(), GetParam()); }
INSTANTIATE_TEST_SUITE_P(DamagedInput, CutXd,
                         testing::Values("qdltool.ini", "xd.mas", "xd.res", "xd_part.aux", "DABA.txt", "Quandrele.in",
                                         "Molecule-Charges.in"),
                         testName);

class CutMoPro : public testing::TestWithParam<const char*> {};
TEST_P(CutMoPro, EveryLineEndsCleanly) { cutAfterEveryLine(moproCase(), GetParam()); }
INSTANTIATE_TEST_SUITE_P(DamagedInput, CutMoPro, testing::Values("qdltool.ini", "mopro_glycine.01", "mopro.tab", "DABA.txt"),
                         testName);

// ---- empty files, CRLF line ends, NUL bytes ----

TEST(DamagedInput, EmptyFilesEndCleanly) {
    for (const Files& base : {xdCase(), moproCase()})
        for (const auto& entry : base) runDamaged(base, entry.first, "", "empty");
}

TEST(DamagedInput, CrlfLineEndsReadLikeLf) {
    for (const Files& base : {xdCase(), moproCase()}) {
        const Outcome intact = runOn(base);
        for (const auto& entry : base) {
            Outcome o = runDamaged(base, entry.first, withCrlf(entry.second), "CRLF line ends");
            EXPECT_EQ(o.code, 0) << entry.first << "\n" << o.err;
            EXPECT_EQ(o.newParameterFile, intact.newParameterFile) << entry.first;
            EXPECT_EQ(o.newMasterFile, intact.newMasterFile) << entry.first;
        }
    }
}

TEST(DamagedInput, NulBytesEndCleanly) {
    for (const Files& base : {xdCase(), moproCase()})
        for (const auto& entry : base) {
            const std::string& text = entry.second;
            for (std::size_t at : {std::size_t(0), text.size() / 3, text.size() / 2, text.size() - 1}) {
                std::string damaged = text;
                damaged.insert(at, 1, '\0');
                runDamaged(base, entry.first, damaged, "NUL byte at " + std::to_string(at));
            }
        }
}

// ---- absurd counts and numbers ----

struct Edit {
    const char* file;
    const char* from;  // text of the example file
    const char* to;    // what replaces it
    int code;          // expected exit code
    const char* message;  // part of the expected message on standard error
};

void runEdits(const Files& base, const std::vector<Edit>& edits) {
    for (const Edit& e : edits) {
        const std::string what = std::string(e.from) + " -> " + e.to;
        Outcome o = runDamaged(base, e.file, replaced(base.at(e.file), e.from, e.to), what);
        EXPECT_EQ(o.code, e.code) << e.file << ": " << what << "\n" << o.err;
        EXPECT_NE(o.err.find(e.message), std::string::npos) << e.file << ": " << what << "\n" << o.err;
    }
}

const char* const USAGE = "USAGE     13     2     4     4";
const char* const NOT_USABLE = "is no usable number";

TEST(DamagedInput, AbsurdCountsAndNumbersInXdFilesStopWithAMessage) {
    runEdits(xdCase(), {
        {"xd.res", USAGE, "USAGE     -1     2     4     4", 1, "announces -1 atoms"},
        {"xd.res", USAGE, "USAGE     99999999     2     4     4", 1, "announces 99999999 atoms"},
        {"xd.res", USAGE, "USAGE     13     2     4     -4", 1, "announces -4 kappa sets"},
        {"xd.res", USAGE, "USAGE     13     2     4     100000", 1, "announces 100000 kappa sets"},
        {"xd.res", USAGE, "USAGE   100000     2     4     4", 1, "announces 100000 atoms"},
        {"xd.res", "0.536955  0.253269", "nan  0.253269", 1, NOT_USABLE},
        {"xd.res", "0.536955  0.253269", "1e300  0.253269", 1, NOT_USABLE},
        {"xd.res", "0.014460  0.013653", "inf  0.013653", 1, NOT_USABLE},
        {"xd.res", "4.190714  0.000000", "-nan  0.000000", 1, NOT_USABLE},
        {"xd.res", "0.536955  0.253269  0.459459 1.0000", "0.536955  0.253269  0.459459 NaN", 1, NOT_USABLE},
        {"xd.mas", "CELL     8.7138", "CELL     nan", 1, NOT_USABLE},
        {"xd.mas", "CELL     8.7138", "CELL     -8.7138", 1, "gives no cell"},
        {"xd.mas", "CELL     8.7138   8.2089   6.7387   90.000", "CELL     8.7138   8.2089   6.7387   200.000", 1,
         "gives no cell"},
        {"xd.mas", "CELL     8.7138   8.2089   6.7387   90.000   90.000   90.000",
         "CELL     8.7138   8.2089   6.7387   120.000   120.000   120.000", 1, "gives no cell"},
        {"xd.mas", "CSZD    2  -2   0", "CSZD    2 -999  0", 1, "the occupation -999 is not between"},
        {"DABA.txt", "  4.1000   0.0000", "  nan   0.0000", 1, NOT_USABLE},
        {"DABA.txt", "KAPPA= 1.012;", "KAPPA= inf;", 1, NOT_USABLE},
        {"DABA.txt", "shift: 0.024 bond: 1.092", "shift: -inf bond: 1.092", 1, NOT_USABLE},
        {"qdltool.ini", "einfach_meso=0.0847", "einfach_meso=nan", 1, NOT_USABLE},
        {"Molecule-Charges.in", "36.000000", "nan", 1, "Molecule-Charges.in"},
        {"Molecule-Charges.in", "36.000000", "1e300", 1, "Molecule-Charges.in"},
        {"xd_part.aux", "H(1A) 2 0", "H(1A) 2 x", 1, "xd_part.aux"},
    });
}

TEST(DamagedInput, AbsurdCountsAndNumbersInMoProFilesStopWithAMessage) {
    const char* const param = "mopro_glycine.01";
    runEdits(moproCase(), {
        {param, "ATOMS 10", "ATOMS -1", 1, "ATOMS -1"},
        {param, "ATOMS 10", "ATOMS 2147483647", 1, "ATOMS 2147483647"},
        {param, "KAPPA 4", "KAPPA -4", 1, "KAPPA -4"},
        {param, "KAPPA 4", "KAPPA 99999", 1, "KAPPA 99999"},
        {param, "SYMM 2 P21/n", "SYMM 2147483647 P21/n", 1, "ends before"},
        {param, "CELL     6.9784", "CELL     nan", 1, NOT_USABLE},
        {param, "CELL     6.9784", "CELL     0", 1, "gives no cell"},
        {param, "0.409285   0.289019", "inf   0.289019", 1, NOT_USABLE},
        {param, "UANI   0.01596", "UANI   nan", 1, NOT_USABLE},
        {param, "4.7987   0.0000", "1e99   0.0000", 1, NOT_USABLE},
        {param, "  0.9882  0.9210", "  nan  0.9210", 1, NOT_USABLE},
        {"mopro.tab", "VALE WAVE  2s2 2p2", "VALE WAVE  2s2 2p999", 1, "more than 99 electrons"},
    });
}

}  // namespace
