// XD's ATOM table: a line read by fields and written in the table's column layout.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/atomtable.h"

namespace {

std::string columns(const std::string& line) {
    std::string text;
    appendAtomColumnsToTbl(text, atomTableFields(line));
    return text;
}

}  // namespace

TEST(AtomTable, FieldsAreSeparatedByAnyWhiteSpaceAndEndAtANul) {
    const struct Row {
        std::string line;
        std::vector<std::string> fields;
    } rows[] = {
        {"C(1)     C(2)      Z  C(1)", {"C(1)", "C(2)", "Z", "C(1)"}},
        {"  C(1)\tC(2) \t Z\r", {"C(1)", "C(2)", "Z"}},
        {std::string("C1 C2\0 Z X", 10), {"C1", "C2"}},
        {"", {}},
        {" \t ", {}},
    };
    for (const Row& row : rows) {
        std::vector<std::string> got;
        for (std::string_view f : atomTableFields(row.line)) got.emplace_back(f);
        EXPECT_EQ(got, row.fields) << row.line;
    }
}

TEST(AtomTable, ColumnsToTblInTheTableLayoutWhateverTheSpacing) {
    const std::string layout = "C(1)     C(2)      Z  C(1)     H(1B)    Y   R   2  1";
    const struct Row {
        const char* what;
        std::string line;
        std::string want;
    } rows[] = {
        {"a line of the layout is kept byte for byte", layout + "   1   4  NO", layout},
        {"freely spaced, as users edit it", "C(1)  C(2)  Z  C(1)  H(1B)  Y  R  2  1  1  4  NO", layout},
        {"tabs and leading blanks", "\t C(1)\tC(2)\tZ C(1)\tH(1B) Y\tR 2 1", layout},
        {"two-digit TBL ends in col 52", "H(2) C(2) Z H(2) C(1) X R 2 14 10 2 NO",
         "H(2)     C(2)      Z  H(2)     C(1)     X   R   2 14"},
        {"dummies as ATOM0 and ATOM2", "O1 DUM12 Z O1 DUM3 X R 2 1",
         "O1       DUM12     Z  O1       DUM3     X   R   2  1"},
        {"a short line is filled to col 52", "C(1)     C(2)      X", "C(1)     C(2)      X" + std::string(32, ' ')},
        {"labels of 8 characters still fit", "ABCDEFGH ABCDEFGH Z ABCDEFGH ABCDEFGH Y R 2 1",
         "ABCDEFGH ABCDEFGH  Z  ABCDEFGH ABCDEFGH Y   R   2  1"},
        {"a label of 9 characters moves the rest one column", "ABCDEFGHI C2 Z ABCDEFGHI C3 Y R 2 1",
         "ABCDEFGHI C2       Z  ABCDEFGHI C3      Y   R   2  1"},
        {"ATOM0 and ATOM2 of 9 characters keep a blank before the axis", "C1 ABCDEFGHI Z C1 ABCDEFGHI Y R 2 1",
         "C1       ABCDEFGHI Z  C1       ABCDEFGHI Y  R   2  1"},
        {"labels of 19 characters", "ABCDEFGHIJKLMNOPQRS C2 Z ABCDEFGHIJKLMNOPQRS C3 Y R 2 1",
         "ABCDEFGHIJKLMNOPQRS C2 Z ABCDEFGHIJKLMNOPQRS C3 Y R 2 1"},
    };
    for (const Row& row : rows) EXPECT_EQ(columns(row.line), row.want) << row.what;
}

TEST(AtomTable, EveryFieldSurvivesAReadAfterTheWrite) {
    // whatever the lengths, reading the written columns gives the fields back
    for (const std::string& line :
         {std::string("ABCDEFGHIJKLMNOPQRS ABCDEFGHIJKLMNOPQRS XY ABCDEFGHIJKLMNOPQRS DUM123 YZ R -12 123"),
          std::string("C1 DUM100 Z C1 DUM101 X R 2 1")}) {
        std::vector<std::string_view> in = atomTableFields(line);
        const std::string written = columns(line);
        std::vector<std::string_view> out = atomTableFields(written);
        EXPECT_EQ(out, in) << written;
    }
}

TEST(AtomTable, ColumnsStandBehindWhatTheTextAlreadyHolds) {
    std::string text = "prefix";
    appendAtomColumnsToTbl(text, atomTableFields("C1 C2 Z C1 C3 Y R 2 1"));
    EXPECT_EQ(text, "prefixC1       C2        Z  C1       C3       Y   R   2  1");
}
