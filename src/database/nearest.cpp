// Nearest database entries: names taken apart into terms, and the ranking.
#include "nearest.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "../core/text.h"
#include "../naming/ordering.h"
#include "database.h"

namespace {

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool isLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool isDescriptor(char c) { return isDigit(c) || c == '.' || c == '#' || c == '@'; }

// True when the first word of the line is a number (a population line). The line is a
// view into the file's text; the character behind it is its line end or the text's end.
bool isNumberLine(std::string_view line) {
    std::size_t at = 0;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    std::size_t wordEnd = at;
    while (wordEnd < line.size() && line[wordEnd] != ' ' && line[wordEnd] != '\t') ++wordEnd;
    if (wordEnd == at) return false;
    // A number begins with a digit, a sign, a point or the first letter of "inf" or "nan".
    if (std::strchr("0123456789+-.iInN", line[at]) == nullptr) return false;
    // strtod wants the word ended by a NUL: a copy, on the stack when it is short.
    char shortWord[64];
    std::string longWord;
    const char* word = shortWord;
    const std::size_t n = wordEnd - at;
    if (n < sizeof shortWord) {
        line.copy(shortWord, n, at);
        shortWord[n] = '\0';
    } else {
        longWord.assign(line.substr(at, n));
        word = longWord.c_str();
    }
    char* end = nullptr;
    std::strtod(word, &end);
    return end != word && *end == '\0';
}

}  // namespace

bool EntryNameScanner::feed(std::string_view line) {
    const bool number = isNumberLine(line);
    const bool entry = number && !previousIsNumber_ && !previous_.empty() && previous_[0] != '!' &&
                       previous_.find("Model Compound Name:") == std::string::npos;
    if (entry) name_ = previous_;
    previous_.assign(line);
    previousIsNumber_ = number;
    return entry;
}

namespace {

// Size of the intersection of two sorted id lists (as multisets).
int common(const int* a, const int* aEnd, const int* b, const int* bEnd) {
    int n = 0;
    while (a != aEnd && b != bEnd) {
        if (*a < *b) {
            ++a;
        } else if (*b < *a) {
            ++b;
        } else {
            ++n;
            ++a;
            ++b;
        }
    }
    return n;
}

// Edit distance over term ids (insert, delete, substitute one term).
int termEdits(const int* a, int m, const int* b, int n, std::vector<int>& row) {
    row.resize(static_cast<std::size_t>(n) + 1);
    for (int j = 0; j <= n; ++j) row[static_cast<std::size_t>(j)] = j;
    for (int i = 1; i <= m; ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= n; ++j) {
            const int above = row[static_cast<std::size_t>(j)];
            const int substitute = diagonal + (a[i - 1] == b[j - 1] ? 0 : 1);
            row[static_cast<std::size_t>(j)] = std::min({above + 1, row[static_cast<std::size_t>(j - 1)] + 1, substitute});
            diagonal = above;
        }
    }
    return row[static_cast<std::size_t>(n)];
}

// Start of the head's element symbol behind the stereo marks and the ring code.
std::size_t elementStart(const std::string& name, std::size_t& marksEnd) {
    const std::size_t n = name.size();
    std::size_t p = 0;
    while (p + 2 <= n && name[p + 1] == '-' && (name[p] == 'R' || name[p] == 'S' || name[p] == '=')) p += 2;
    marksEnd = p;
    std::size_t h = p;
    while (h < n && isDigit(name[h])) ++h;
    return (h > p && h < n && name[h] == '-') ? h + 1 : p;
}

// End of the element symbol that starts at h: a letter and the lower-case letters behind it.
std::size_t elementEnd(const std::string& name, std::size_t h) {
    std::size_t e = h;
    while (e < name.size() && isLetter(name[e]) && (e == h || std::islower(static_cast<unsigned char>(name[e])))) ++e;
    return e;
}

}  // namespace

std::string centralElement(const std::string& name) {
    std::size_t marks = 0;
    const std::size_t h = elementStart(name, marks);
    return name.substr(h, elementEnd(name, h) - h);
}

NameTerms splitName(const std::string& full) {
    NameTerms out;
    std::string name = full;
    const std::string suffix = splitChargeSuffix(name);
    const std::size_t n = name.size();

    // stereo marks ("R-", "S-", "=-"), then the head: an optional ring code with "-" and
    // the element symbol
    std::size_t p = 0;
    const std::size_t h = elementStart(name, p);
    for (std::size_t m = 0; m < p; m += 2) out.terms.push_back(name.substr(m, 2));
    const std::size_t e = elementEnd(name, h);
    out.element = name.substr(h, e - h);
    if (e > p) out.terms.push_back(name.substr(p, e - p));
    p = e;

    // neighbour terms: descriptor, element, optional second shell
    while (p < n) {
        const std::size_t start = p;
        while (p < n && isDescriptor(name[p])) ++p;
        const std::size_t letters = p;
        while (p < n && isLetter(name[p])) ++p;
        const bool element = p > letters;
        if (p == start) ++p;  // a character that belongs to no term stands alone
        const std::string firstShell = name.substr(start, p - start);
        if (p < n && name[p] == '[') {
            const std::size_t close = name.find(']', p);
            p = close == std::string::npos ? n : close + 1;
        }
        out.terms.push_back(name.substr(start, p - start));
        if (element) out.firstShell.push_back(firstShell);
    }
    if (!suffix.empty()) out.terms.push_back(suffix);
    return out;
}

int NameCatalogue::idOf(const std::string& term) {
    return termIds_.emplace(term, static_cast<int>(termIds_.size())).first->second;
}

NameCatalogue::Coded NameCatalogue::encode(const NameTerms& split) {
    Coded c;
    for (const std::string& t : split.terms) c.terms.push_back(idOf(t));
    // first-shell terms get ids of their own kind, apart from whole terms
    for (const std::string& t : split.firstShell) c.shell.push_back(idOf("\x01" + t));
    c.sorted = c.terms;
    std::sort(c.sorted.begin(), c.sorted.end());
    std::sort(c.shell.begin(), c.shell.end());
    return c;
}

void NameCatalogue::add(const std::string& name, const std::string& modelCompound) {
    if (!seen_.insert(name).second) return;
    Entry entry;
    entry.name = name;
    entry.modelCompound = modelCompound;
    Bucket& bucket = byElement_[centralElement(name)];
    bucket.members.push_back(entries_.size());
    if (bucket.coded) bucket.coded = false;  // the new member is coded with the next question
    entries_.push_back(std::move(entry));
    if (!cache_.empty()) cache_.clear();
}

void NameCatalogue::code(Bucket& bucket) {
    for (std::size_t k : bucket.members) {
        Entry& entry = entries_[k];
        if (entry.coded) continue;
        const Coded c = encode(splitName(entry.name));
        entry.terms = ids_.size();
        ids_.insert(ids_.end(), c.terms.begin(), c.terms.end());
        entry.termsEnd = entry.sorted = ids_.size();
        ids_.insert(ids_.end(), c.sorted.begin(), c.sorted.end());
        entry.sortedEnd = entry.shell = ids_.size();
        ids_.insert(ids_.end(), c.shell.begin(), c.shell.end());
        entry.shellEnd = ids_.size();
        entry.coded = true;
    }
    bucket.coded = true;
}

void NameCatalogue::read(FILE* file) {
    clearerr(file);
    std::rewind(file);
    LineReader reader(file);
    EntryNameScanner scanner;
    std::string line, model;
    while (reader.next(line)) {
        if (scanner.feed(line)) add(scanner.name(), model);
        if (line.find("Model Compound Name:") != std::string::npos) model = modelCompoundName(line.c_str());
    }
}

const std::vector<NearEntry>& NameCatalogue::nearest(const std::string& name, std::size_t count) {
    const std::string key = name + '\n' + std::to_string(count);
    auto cached = cache_.find(key);
    if (cached != cache_.end()) return cached->second;

    const NameTerms split = splitName(name);
    const Coded want = encode(split);
    struct Ranked {
        std::size_t entry;
        int shared, edits;
    };
    std::vector<Ranked> best;  // kept sorted, at most count long
    auto worse = [](const Ranked& a, const Ranked& b) {
        if (a.shared != b.shared) return a.shared < b.shared;
        if (a.edits != b.edits) return a.edits > b.edits;
        return a.entry > b.entry;
    };
    std::vector<int> row;
    auto bucket = byElement_.find(split.element);
    if (bucket != byElement_.end() && count > 0) {
        if (!bucket->second.coded) code(bucket->second);
        const int* w = want.terms.data();
        const int m = static_cast<int>(want.terms.size());
        for (std::size_t k : bucket->second.members) {
            const Entry& e = entries_[k];
            const int* ids = ids_.data();
            const int shared = common(want.shell.data(), want.shell.data() + want.shell.size(), ids + e.shell,
                                      ids + e.shellEnd);
            const bool full = best.size() == count;
            if (full && shared < best.back().shared) continue;
            const int n = static_cast<int>(e.termsEnd - e.terms);
            if (full && shared == best.back().shared) {
                // entries come in file order, so an equal score never displaces: skip what
                // cannot be better than the last one kept
                const int lower = std::max(m, n) - common(want.sorted.data(), want.sorted.data() + want.sorted.size(),
                                                          ids + e.sorted, ids + e.sortedEnd);
                if (lower >= best.back().edits) continue;
            }
            Ranked r{k, shared, termEdits(w, m, ids + e.terms, n, row)};
            if (full && !worse(best.back(), r)) continue;
            if (full) best.pop_back();
            best.insert(std::upper_bound(best.begin(), best.end(), r, [&](const Ranked& a, const Ranked& b) {
                            return worse(b, a);
                        }),
                        r);
        }
    }
    std::vector<NearEntry> result;
    for (const Ranked& r : best) {
        const Entry& e = entries_[r.entry];
        result.push_back({e.name, e.modelCompound, r.shared, r.edits});
    }
    return cache_[key] = std::move(result);
}
