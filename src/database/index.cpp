// The database index and the parsers of an entry's lines.
#include <cstdlib>
#include <cstring>
#include <unordered_set>

#include "../driver/text.h"
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

void DatabaseIndex::build(FILE* file, const std::vector<std::string>& wanted) {
    entries_.clear();
    modelLines_.clear();
    end_ = ScanState();
    for (const std::string& name : wanted) entries_.emplace(name, IndexedEntry());

    LineReader reader(file);
    ScanState state;
    std::string line;
    EntryNameScanner scanner;
    std::unordered_set<std::string> seen;
    std::string model;
    names_.clear();
    while (reader.next(line)) {
        if (scanner.feed(line) && seen.insert(scanner.name()).second) names_.emplace_back(scanner.name(), model);
        if (line.find(MODEL_MARK) != std::string::npos) {
            model = modelCompoundName(line.c_str());
            modelLines_.push_back(line.substr(0, MODEL_LINE_CAP));
            state.modelLine = static_cast<int>(modelLines_.size()) - 1;
        }
        if (line.find(PLANARITY_MARK) != std::string::npos) {
            double value;
            if (std::sscanf(line.c_str(), PLANARITY_FORMAT, &value) == 1) {
                state.hasPlanarity = true;
                state.planarity = value;
            }
        }
        if (reader.atEnd()) break;  // the last line of the file never matches
        auto it = entries_.find(line);
        if (it != entries_.end() && it->second.dataOffset < 0) {
            it->second.dataOffset = std::ftell(file);
            it->second.state = state;
        }
    }
    end_ = state;
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
