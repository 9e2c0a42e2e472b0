// The database index and the parsers of an entry's lines.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "../core/text.h"
#include "database.h"
#include "nearest.h"

namespace {

const char* const MODEL_MARK = "Model Compound Name:";
const char* const PLANARITY_MARK = "!Degree of planarity (1 is planar): ";
const char* const PLANARITY_FORMAT = "!Degree of planarity (1 is planar): %lf";
const char* const KS_FORMAT =
    "KS: %[XYZ]:%[^(0-9)]%[^XYZ] %[XYZ]:%[^(0-9)] %[^:]:%[^-0-9]%lf %*[^:\n]:%*[^-0-9\n]%lf\n";

// The model-compound part of a line starts at its 25th character.
constexpr std::size_t MODEL_NAME_COLUMN = 24;

}  // namespace

namespace {

// A set of texts (views that are never empty): open addressing, at most half full.
class ViewSet {
public:
    explicit ViewSet(std::size_t expected) { rehash(expected * 2); }

    // Adds text; false when it was there already.
    bool insert(std::string_view text) {
        if (2 * (count_ + 1) > slots_.size()) rehash(slots_.size() * 2);
        std::string_view& slot = slotOf(text);
        if (slot.data() != nullptr) return false;
        slot = text;
        ++count_;
        return true;
    }

private:
    std::string_view& slotOf(std::string_view text) {
        std::size_t at = std::hash<std::string_view>()(text) & (slots_.size() - 1);
        while (slots_[at].data() != nullptr && slots_[at] != text) at = (at + 1) & (slots_.size() - 1);
        return slots_[at];
    }
    void rehash(std::size_t wanted) {
        std::size_t size = 16;
        while (size < wanted) size *= 2;
        std::vector<std::string_view> old(size);
        old.swap(slots_);
        for (std::string_view text : old)
            if (text.data() != nullptr) slotOf(text) = text;
    }

    std::vector<std::string_view> slots_;
    std::size_t count_ = 0;
};

}  // namespace

void DatabaseIndex::build(FILE* file, const std::vector<std::string>& wanted) {
    entries_.clear();
    modelLines_.clear();
    end_ = ScanState();
    std::unordered_map<std::string_view, IndexedEntry*> lookup;
    std::vector<bool> wantedLength;  // lines of other lengths need no lookup
    for (const std::string& name : wanted) {
        lookup.emplace(name, &entries_[name]);
        if (wantedLength.size() <= name.size()) wantedLength.resize(name.size() + 1, false);
        wantedLength[name.size()] = true;
    }

    std::rewind(file);
    text_ = readRest(file);  // a database of 100,000 entries is some 40 MB
    const LargeText& text = text_;
    TextLines lines(std::string_view(text.data(), text.size()));
    ScanState state;
    std::string_view line;
    std::string planarityLine;
    EntryNameScanner scanner;
    ViewSet seen(text.size() / 256);  // an entry takes some 400 characters
    int model = -1;
    names_.clear();
    names_.reserve(text.size() / 256);
    models_.clear();
    std::string_view previous;  // the scanner's name line
    while (lines.next(line)) {
        if (scanner.feed(line) && seen.insert(previous)) names_.emplace_back(previous, model);
        previous = line;
        if (line.find(MODEL_MARK) != std::string_view::npos) {
            std::string whole(line);
            models_.push_back(modelCompoundName(whole.c_str()));
            model = static_cast<int>(models_.size()) - 1;
            whole.resize(std::min(whole.size(), MODEL_LINE_CAP));
            modelLines_.push_back(std::move(whole));
            state.modelLine = static_cast<int>(modelLines_.size()) - 1;
        }
        if (line.find(PLANARITY_MARK) != std::string_view::npos) {
            planarityLine.assign(line);
            double value;
            if (std::sscanf(planarityLine.c_str(), PLANARITY_FORMAT, &value) == 1) {
                state.hasPlanarity = true;
                state.planarity = value;
            }
        }
        if (lines.atEnd()) break;  // the last line of the file never matches
        if (line.size() >= wantedLength.size() || !wantedLength[line.size()]) continue;
        auto it = lookup.find(line);
        if (it != lookup.end() && it->second->dataOffset < 0) {
            it->second->dataOffset = static_cast<long>(lines.position());
            it->second->state = state;
        }
    }
    end_ = state;
}

std::vector<std::pair<std::string, std::string>> DatabaseIndex::entryNameList() const {
    std::vector<std::pair<std::string, std::string>> list;
    list.reserve(names_.size());
    for (const auto& entry : names_)
        list.emplace_back(std::string(entry.first),
                          entry.second >= 0 ? models_[static_cast<std::size_t>(entry.second)] : std::string());
    return list;
}

const IndexedEntry* DatabaseIndex::find(const std::string& name) const {
    auto it = entries_.find(name);
    if (it == entries_.end() || it->second.dataOffset < 0) return nullptr;
    return &it->second;
}

void applyScanState(const DatabaseIndex& index, const ScanState& state, DatabaseSeen& seen) {
    if (state.modelLine >= 0) seen.modelLine = index.modelLine(state.modelLine);
    if (state.hasPlanarity) seen.planarity = state.planarity;
}

KsLine parseKsLine(const std::string& line) {
    // Every text is at most as long as the line, so buffers of the line's size cannot overflow.
    const std::size_t cap = line.size() + 1;
    std::vector<char> t[7];
    for (auto& buffer : t) buffer.assign(cap, '\0');
    KsLine ks;
    int n = std::sscanf(line.c_str(), KS_FORMAT, t[0].data(), t[1].data(), t[2].data(), t[3].data(), t[4].data(),
                        t[5].data(), t[6].data(), &ks.number1, &ks.number2);
    ks.fields = n < 0 ? 0 : n;
    ks.axis1 = t[0].data();
    ks.element1 = t[1].data();
    ks.rest1 = t[2].data();
    ks.axis2 = t[3].data();
    ks.element2 = t[4].data();
    ks.text1 = t[5].data();
    ks.text2 = t[6].data();
    if (ks.fields < 8) ks.number1 = 0.0;
    if (ks.fields < 9) ks.number2 = 0.0;
    return ks;
}

int axisCode(const std::string& axis) {
    if (axis.empty()) return 0;
    switch (axis[0]) {
        case 'X': return 1;
        case 'Y': return 2;
        case 'Z': return 3;
        default: return 0;
    }
}

std::vector<double> kappaValues(const std::string& line) {
    // The pieces between "=" and ";" (empty pieces do not count); the first is the key word.
    std::vector<std::string> pieces;
    std::string piece;
    for (char c : line) {
        if (c == '=' || c == ';') {
            if (!piece.empty()) pieces.push_back(piece);
            piece.clear();
        } else {
            piece.push_back(c);
        }
    }
    if (!piece.empty()) pieces.push_back(piece);
    std::vector<double> values;
    for (std::size_t k = 1; k < pieces.size() && values.size() < 6; ++k) values.push_back(std::atof(pieces[k].c_str()));
    return values;
}

std::string modelCompoundName(const char* modelLine) {
    std::string name;
    if (std::strlen(modelLine) > MODEL_NAME_COLUMN) name = modelLine + MODEL_NAME_COLUMN;
    rtrim(name);
    return name;
}
