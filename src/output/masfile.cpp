// The new master files "xd.mas.quandreltool" and "xd.mas.HasSameSymm", copied from
// "xd.mas" with the sections that the transfer changes replaced.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "../core/atomtable.h"
#include "../core/failure.h"
#include "../core/text.h"
#include "keytable.h"
#include "writer.h"

namespace {

const char* const ATOM_HEADER =
    "ATOM     ATOM0    AX1 ATOM1    ATOM2   AX2 R/L TP TBL KAP LMX SITESYM  CHEMCON";

// The two master files are composed in memory and written only once every section of
// "xd.mas" has been found, so a faulty input leaves no half-written master file behind.
// Per-atom records are put together in a reused text and added whole.
class MasterText {
public:
    MasterText(bool withSecond, std::size_t expectedSize) : withSecond_(withSecond) {
        first_.reserve(expectedSize);
        if (withSecond_) second_.reserve(expectedSize);
    }

    void both(const char* fmt, ...) __attribute__((format(printf, 2, 3))) {
        va_list args;
        va_start(args, fmt);
        scratch_.clear();
        vappendf(scratch_, fmt, args);
        va_end(args);
        addFirst(scratch_);
        addSecond(scratch_);
    }
    void addFirst(const std::string& text) { first_.append(text.data(), text.size()); }
    void addSecond(const std::string& text) {
        if (withSecond_) second_.append(text.data(), text.size());
    }
    // Lines as "%s\n" writes them (a line holding a NUL byte ends there).
    void copy(const std::vector<std::string_view>& lines, std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to; ++k) {
            const std::string_view line = lines[k].substr(0, lines[k].find('\0'));
            first_.append(line.data(), line.size()).push_back('\n');
            if (withSecond_) second_.append(line.data(), line.size()).push_back('\n');
        }
    }

    bool withSecond() const { return withSecond_; }
    const LargeText& firstText() const { return first_; }
    const LargeText& secondText() const { return second_; }

private:
    bool withSecond_;
    LargeText first_, second_;
    std::string scratch_;
};

// The lines of "xd.mas" (or of the template), as views into text or into the template.
std::vector<std::string_view> readMasterLines(const TransferRecords& run, LargeText& text, bool& fromXdMas) {
    FILE* f = fopen("xd.mas", "r");
    fromXdMas = f != nullptr;
    if (f == nullptr && !run.model.masTemplate.empty()) {
        printf("There is no xd.mas: the master file built from %s is the template.\n", run.opt.inputFile);
        return std::vector<std::string_view>(run.model.masTemplate.begin(), run.model.masTemplate.end());
    }
    if (f == nullptr) {
        warnCannotOpen("xd.mas");
        fatal("A master file \"xd.mas\" in the working directory is needed for the new master files; "
              "xd.res.quandreltool has been written, xd.mas.quandreltool has not.");
    }
    // read whole and split: the lines are the ones the line reader would return
    text = readRest(f);
    fclose(f);
    return splitLines(text);
}

[[noreturn]] void missingSection(const char* what) {
    fatal("xd.mas has no %s: the new master files are not written.", what);
}

std::size_t findEqual(const std::vector<std::string_view>& lines, std::size_t from, const char* text) {
    for (std::size_t k = from; k < lines.size(); ++k)
        if (lines[k] == text) return k;
    return std::string::npos;
}

std::size_t findContaining(const std::vector<std::string_view>& lines, std::size_t from, const char* text) {
    for (std::size_t k = from; k < lines.size(); ++k)
        if (lines[k].find(text) != std::string::npos) return k;
    return std::string::npos;
}

// True when the first word of line is word (an empty word stands for a line without one).
// Words are separated as atomTableFields separates them.
bool firstWordIs(std::string_view line, const char* word) {
    const char* const blanks = " \t\r\n\v\f";
    line = line.substr(0, line.find('\0'));
    const std::size_t start = line.find_first_not_of(blanks);
    if (start == std::string_view::npos) return word[0] == '\0';
    const std::size_t end = line.find_first_of(blanks, start);
    return line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start) == word;
}

std::string firstWord(const std::string& line) {
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos) return "";
    std::size_t end = line.find_first_of(" \t", start);
    return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// The coordinate-system table the database stage wrote to the log and kept for this writer:
// the master files are written only beside a log that holds it.
const std::vector<std::string>& frameTable(const TransferRecords& run) {
    if (run.log == nullptr || run.log == stderr || run.log == stdout)
        fatal("Quandrele.log could not be written, so it holds no coordinate-system table: the new master "
              "files are not written.");
    if (run.t.frameTable.empty() || run.t.frameTable.back() != "END ATOM")
        fatal("Quandrele.log holds no complete coordinate-system table (\"%s\" ... \"END ATOM\"): the new "
              "master files are not written.",
              ATOM_HEADER);
    return run.t.frameTable;
}

// Where the sections of "xd.mas" stand, each searched behind the one before.
struct MasSections {
    std::size_t module, atomHeader, endAtom, keyHeader, extcn;
};

MasSections findSections(const std::vector<std::string_view>& mas, int nAtoms) {
    const std::size_t npos = std::string::npos;
    MasSections at;
    at.module = findEqual(mas, 0, "MODULE *XDLSM");
    if (at.module == npos) missingSection("line \"MODULE *XDLSM\"");
    at.atomHeader = findEqual(mas, at.module + 2, ATOM_HEADER);
    if (at.atomHeader == npos) missingSection("ATOM table header behind \"MODULE *XDLSM\"");
    at.endAtom = findEqual(mas, at.atomHeader + 1, "END ATOM");
    if (at.endAtom == npos) missingSection("line \"END ATOM\" behind the ATOM table header");
    at.keyHeader = findContaining(mas, at.endAtom + 1, "KEY     XYZ");
    if (at.keyHeader == npos) missingSection("line containing \"KEY     XYZ\" behind \"END ATOM\"");
    const std::size_t oldKeysEnd = std::min(mas.size(), at.keyHeader + 1 + static_cast<std::size_t>(nAtoms));
    at.extcn = findContaining(mas, oldKeysEnd, "EXTCN");
    if (at.extcn == npos) missingSection("line containing \"EXTCN\" behind the KEY table");
    return at;
}

// Atom lines of an ATOM table by their label (the first field; the first of equal labels).
class AtomLinesByLabel {
public:
    // The lines from..to-1.
    void build(const std::vector<std::string_view>& lines, std::size_t from, std::size_t to) {
        for (std::size_t k = to; k-- > from;) {
            const std::vector<std::string_view> fields = atomTableFields(lines[k]);
            if (!fields.empty()) line_[fields[0]] = lines[k];
        }
    }
    const std::string_view* find(const char* label) const {
        const auto found = line_.find(label);
        return found == line_.end() ? nullptr : &found->second;
    }

private:
    std::unordered_map<std::string_view, std::string_view> line_;
};

// The old lines of the atoms the database gave no frame: their lines in the ATOM table of
// "xd.mas". For a crystal file read with an "xd.mas" of its own beside it, an atom that table
// does not list takes its line of the template built from the crystal file (its default frame).
class OldAtomLines {
public:
    OldAtomLines(const TransferRecords& run, const std::vector<std::string_view>& mas, const MasSections& at, bool fromXdMas)
        : run_(run), mas_(mas), first_(at.atomHeader + 1), count_(at.endAtom - at.atomHeader - 1),
          withTemplate_(fromXdMas && !run.model.masTemplate.empty()) {}

    // The line of atom j (0-based) with the label: the j-th line of the table when it is the
    // atom's, else the first line that begins with the label. Stops the run when there is none.
    std::string_view of(int j, const char* label) {
        const std::size_t at = static_cast<std::size_t>(j);
        if (at < count_ && firstWordIs(mas_[first_ + at], label)) return mas_[first_ + at];
        if (!masIndexed_) {
            byLabel_.build(mas_, first_, first_ + count_);
            masIndexed_ = true;
        }
        if (const std::string_view* line = byLabel_.find(label)) return *line;
        if (withTemplate_) {
            if (!templateIndexed_) indexTemplate();
            if (const std::string_view* line = templateLines_.find(label)) {
                if (fromTemplate_.size() < 5) fromTemplate_.push_back(label);
                ++templateCount_;
                return *line;
            }
        }
        fatal("The ATOM table of xd.mas has no line for atom %s (number %d): the new master files are "
              "not written.",
              label, j + 1);
    }

    // Says which atoms took the line of the template.
    void tell(WarningLog& warnings) const {
        if (templateCount_ == 0) return;
        std::string some;
        for (const std::string& label : fromTemplate_) some += " " + label;
        if (templateCount_ > static_cast<int>(fromTemplate_.size())) some += " ...";
        warnings.warnLine("default frames for atoms xd.mas lacks", fromTemplate_,
                          format("The ATOM table of xd.mas has no line for %d atom%s of %s (%s): the new master "
                                 "files give %s default frame%s.",
                                 templateCount_, templateCount_ == 1 ? "" : "s", run_.model.source.c_str(), some.c_str() + 1,
                                 templateCount_ == 1 ? "it its" : "them their", templateCount_ == 1 ? "" : "s"));
    }

private:
    void indexTemplate() {
        templateViews_.assign(run_.model.masTemplate.begin(), run_.model.masTemplate.end());
        const MasSections at = findSections(templateViews_, run_.model.nAtoms);
        templateLines_.build(templateViews_, at.atomHeader + 1, at.endAtom);
        templateIndexed_ = true;
    }

    const TransferRecords& run_;
    const std::vector<std::string_view>& mas_;
    std::size_t first_, count_;
    bool withTemplate_;
    bool masIndexed_ = false, templateIndexed_ = false;
    AtomLinesByLabel byLabel_, templateLines_;
    std::vector<std::string_view> templateViews_;
    std::vector<std::string> fromTemplate_;  // the first few atoms that took the template's line
    int templateCount_ = 0;
};

// ATOM table: the coordinate-system line of each atom, or its old line when the database
// gave none, then the dummy positions and "END ATOM". Both are read by fields and written in
// the table's column layout (core/atomtable.h), whatever their spacing. An atom's line:
//   cols  1-52  ATOM to TBL, filled with blanks to col 52 (a label longer than its columns
//               moves the fields behind it to the right)
//   then        KAP, LMX     right-justified integers in 4 columns each (LMX of a hydrogen
//                            is 2 in the second file)
//   then        two blanks, "_" and SITESYM; the second file adds a blank and the label of
//               the atom the atom is chemically constrained to (left-justified in 8 columns)
void writeAtomTable(MasterText& out, const TransferRecords& run, const std::vector<std::string_view>& mas,
                    const MasSections& at, bool fromXdMas) {
    std::string record, columns;
    const std::vector<std::string>& table = frameTable(run);
    OldAtomLines oldLines(run, mas, at, fromXdMas);
    std::size_t t = 0;
    for (int j = 0; j < run.model.nAtoms; ++j) {
        const AtomRecord& a = run.model.atom[j];
        std::string_view line;
        if (t < table.size() && firstWordIs(table[t], a.label))
            line = table[t++];
        else
            line = oldLines.of(j, a.label);
        columns.clear();
        appendAtomColumnsToTbl(columns, atomTableFields(line));
        // first file:  columns, KAP, LMX, "  _" SITESYM
        // second file: the same (LMX 2 for a hydrogen) and the label of the atom it is
        //              chemically constrained to
        std::string& first = record;
        first.clear();
        first.append(columns);
        appendInt(first, a.kap, 4);
        appendInt(first, a.lmx, 4);
        first.append("  _").append(a.siteSym).push_back('\n');
        out.addFirst(first);
        if (!out.withSecond()) continue;
        std::string& second = record;
        second.clear();
        second.append(columns);
        appendInt(second, a.kap, 4);
        appendInt(second, run.model.isHydrogen(j) ? 2 : a.lmx, 4);
        second.append("  _").append(a.siteSym).push_back(' ');
        appendLeft(second, run.p.sameNameAs[static_cast<std::size_t>(j)].c_str(), 8);
        second.push_back('\n');
        out.addSecond(second);
    }
    oldLines.tell(run.warnings);
    for (; t < table.size(); ++t) {
        // the dummy positions and "END ATOM"
        if (table[t] == "END ATOM" || firstWord(table[t]).compare(0, 3, "DUM") == 0)
            out.both("%s\n", table[t].c_str());
        else
            run.warnings.warnLine("frame dropped", {firstWord(table[t])},
                              format("Quandrele.log: the coordinate-system line \"%s\" belongs to no atom in this "
                                     "place; it is left out of the new master files.",
                                     table[t].c_str()));
    }
}

// KEY table, one line per atom:
//   cols  1-8   the label, left-justified
//   cols  9-11  XYZ "111";  13-18 U2 (hydrogen "100000", others "111111")
//   cols 20-29  U3, 31-45 U4: all "0"
//   cols 47-76  M, D, Q, O and H flags, blank-separated (47-48, 50-52, 54-58, 60-66,
//               68-76): all "0" in the first file; in the second those of the site
//               symmetry, a hydrogen's "10 001 ...", or all "0" and a "! chemically
//               constrained to" comment for an atom constrained to another
// then one "KAPPA   000000" line per kappa set.
void writeKeyTable(MasterText& out, const TransferRecords& run) {
    std::string record;
    std::string lookedUp;  // the flags of the last site symmetry looked up in the key table
    for (int i = 0; i < run.model.nAtoms; ++i) {
        const AtomRecord& a = run.model.atom[i];
        const bool hydrogen = run.model.isHydrogen(i);
        const char* six = hydrogen ? "100000" : "111111";
        // "%-8s111 %s 0000000000 000000000000000 00 000 00000 0000000 000000000\n"
        std::string& first = record;
        first.clear();
        appendLeft(first, a.label, 8);
        first.append("111 ").append(six).append(" 0000000000 000000000000000 00 000 00000 0000000 000000000\n");
        out.addFirst(first);
        if (run.opt.qdlexp == 0) continue;
        std::string flags;
        std::string comment;
        const std::string& sameNameAs = run.p.sameNameAs[static_cast<std::size_t>(i)];
        if (!sameNameAs.empty()) {
            flags = "00 000 00000 0000000 000000000";
            comment = "! chemically constrained to " + sameNameAs;
        } else if (hydrogen) {
            flags = "10 001 00000 0000000 000000000";
        } else {
            if (!isKeyTableName(a.siteSym))
                run.warnings.warnLine("key-table flags inherited", {a.label},
                                  format("The site symmetry \"%s\" of atom %s is not in the key table: its KEY line "
                                         "in xd.mas.HasSameSymm repeats the multipole flags last looked up.",
                                         a.siteSym, a.label));
            flags = lookedUp = symmName2DualString(a.siteSym, lookedUp);
        }
        // "%-8s111 %6s 0000000000 000000000000000 %s%s\n" (six has six characters)
        std::string& second = record;
        second.clear();
        appendLeft(second, a.label, 8);
        second.append("111 ").append(six).append(" 0000000000 000000000000000 ").append(flags);
        second.append(comment.c_str()).push_back('\n');
        out.addSecond(second);
    }
    for (int k = 0; k < run.model.nKappa; ++k) out.both("KAPPA   000000\n");
}

FILE* createMasterFile(const char* name) {
    FILE* file = fopen(name, "w");
    if (file == nullptr) cannotOpen("%s", name);
    return file;
}

// The second file is created first: a run that cannot create it leaves no first file.
void writeBoth(const MasterText& out, bool withSecond) {
    FILE* second = withSecond ? createMasterFile("xd.mas.HasSameSymm") : nullptr;
    FILE* first = createMasterFile("xd.mas.quandreltool");
    fwrite(out.firstText().data(), 1, out.firstText().size(), first);
    closeWritten(first, "xd.mas.quandreltool");
    if (second != nullptr) {
        fwrite(out.secondText().data(), 1, out.secondText().size(), second);
        closeWritten(second, "xd.mas.HasSameSymm");
    }
}

}  // namespace

std::vector<std::vector<int>> atomsByMolecule(const TransferRecords& run, int molecules) {
    std::vector<std::vector<int>> members(static_cast<std::size_t>(molecules > 0 ? molecules : 0) + 1);
    for (int i = 0; i < run.model.nAtoms; ++i) {
        const int m = run.p.molecule[static_cast<std::size_t>(i)];
        if (m >= 0 && m <= molecules) members[static_cast<std::size_t>(m)].push_back(i);
    }
    return members;
}

std::string groupLines(const TransferRecords& run, int molecule) {
    std::vector<int> members;
    for (int i = 0; i < run.model.nAtoms; ++i)
        if (run.p.molecule[static_cast<std::size_t>(i)] == molecule) members.push_back(i);
    return groupLines(run, molecule, members);
}

std::string groupLines(const TransferRecords& run, int molecule, const std::vector<int>& members) {
    const int group = molecule + 1;
    std::string text;
    appendf(text, "GROUP%d ", group);
    int length = 7;
    for (int i : members) {
        text.push_back(' ');
        text.append(run.model.atom[i].label);
        length += static_cast<int>(std::strlen(run.model.atom[i].label)) + 1;
        if (length > 113) {
            appendf(text, "\nGROUP%d ", group);
            length = 7;
        }
    }
    appendf(text, "\nKEEP CHARGE GROUP%d\n", group);
    return text;
}

void writeMasterFiles(const TransferRecords& run, int molecules) {
    LargeText masText;
    bool fromXdMas = true;
    const std::vector<std::string_view> mas = readMasterLines(run, masText, fromXdMas);
    const MasSections at = findSections(mas, run.model.nAtoms);
    // room for the copied lines and some 100 bytes an atom in each of the three tables
    std::size_t expectedSize = 300 * static_cast<std::size_t>(run.model.nAtoms > 0 ? run.model.nAtoms : 0);
    for (std::string_view line : mas) expectedSize += line.size() + 1;
    MasterText out(run.opt.qdlexp != 0, expectedSize);

    out.copy(mas, 0, at.module + 1);
    out.both("SELECT  *model 4 2 1 0 based_on F test \n");
    out.copy(mas, at.module + 2, at.atomHeader + 1);
    writeAtomTable(out, run, mas, at, fromXdMas);
    const std::vector<std::vector<int>> members = atomsByMolecule(run, molecules);
    for (int m = 1; m <= molecules; ++m) out.both("%s", groupLines(run, m, members[static_cast<std::size_t>(m)]).c_str());
    out.copy(mas, at.endAtom + 1, at.keyHeader + 1);
    writeKeyTable(out, run);
    out.copy(mas, at.extcn, mas.size());
    writeBoth(out, run.opt.qdlexp != 0);
}
