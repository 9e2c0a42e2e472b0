// XD's ATOM table: fields of a line and the column layout.
#include "atomtable.h"

#include <cstddef>

namespace {

struct Column {
    bool right;        // right-justified: ends at col; else left-justified from col
    std::size_t col;   // 1-based
};

// ATOM ATOM0 AX1 ATOM1 ATOM2 AX2 R/L TP TBL
constexpr Column LAYOUT[ATOM_COLUMNS_TO_TBL] = {{false, 1},  {false, 10}, {true, 20}, {false, 23}, {false, 32},
                                                {true, 41},  {false, 45}, {true, 49}, {true, 52}};
constexpr std::size_t TBL_END = 52;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

}  // namespace

std::vector<std::string_view> atomTableFields(std::string_view line) {
    line = line.substr(0, line.find('\0'));
    std::vector<std::string_view> fields;
    std::size_t k = 0;
    while (k < line.size()) {
        while (k < line.size() && isBlank(line[k])) ++k;
        const std::size_t start = k;
        while (k < line.size() && !isBlank(line[k])) ++k;
        if (k > start) fields.push_back(line.substr(start, k - start));
    }
    return fields;
}

void appendAtomColumnsToTbl(std::string& text, const std::vector<std::string_view>& fields) {
    const std::size_t base = text.size();
    const std::size_t count = fields.size() < ATOM_COLUMNS_TO_TBL ? fields.size() : ATOM_COLUMNS_TO_TBL;
    for (std::size_t k = 0; k < count; ++k) {
        const std::string_view field = fields[k];
        const std::size_t used = text.size() - base;
        // where the field starts (0-based, from base) when its columns are free
        const std::size_t start = LAYOUT[k].right ? (LAYOUT[k].col >= field.size() ? LAYOUT[k].col - field.size() : 0)
                                                  : LAYOUT[k].col - 1;
        if (k == 0) {
            // the label begins the line
        } else if (start > used) {
            text.append(start - used, ' ');
        } else {
            text.push_back(' ');
        }
        text.append(field.data(), field.size());
    }
    const std::size_t used = text.size() - base;
    if (used < TBL_END) text.append(TBL_END - used, ' ');
}
