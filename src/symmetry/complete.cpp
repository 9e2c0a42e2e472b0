// Completing molecules across symmetry: the images of input atoms that are bonded to an
// atom already present are added, layer by layer, up to six bonds from an input atom.
// Perception then sees whole molecules; everything written stays about the input atoms.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "../core/stage.h"
#include "../core/text.h"
#include "../chem/bonds.h"
#include "../chem/perception.h"
#include "../geometry/cell.h"
#include "../core/failure.h"
#include "completion.h"
#include "spacegroup.h"

namespace {

// Images closer than this to an atom already present are that atom (special positions).
constexpr double COINCIDENT = 0.2;
// Chains and networks end this many bonds away from the nearest input atom.
constexpr int MAX_DEPTH = 6;

struct Candidate {
    int origin;
    int op;
    int shift[3];
    double frac[3];
    bool operator<(const Candidate& o) const {
        if (origin != o.origin) return origin < o.origin;
        if (op != o.op) return op < o.op;
        return std::lexicographical_compare(shift, shift + 3, o.shift, o.shift + 3);
    }
};

long floorDiv(long a, long n) { return a >= 0 ? a / n : -((-a + n - 1) / n); }

// The search: every operator image of every input atom, binned over the unit cell, and
// the atoms present, binned over space; both with bins at least one bond search radius wide.
class ImageSearch {
public:
    explicit ImageSearch(const PerceptionRun& run) : run_(run) {
        ops_ = symmetryOperators(run.s.symmetry, inputName(run.opt));
        for (const SymOp& op : ops_) {
            bool identity = op.tran[0] == 0 && op.tran[1] == 0 && op.tran[2] == 0;
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c) identity = identity && op.rot[r][c] == (r == c ? 1 : 0);
            identity_.push_back(identity);
        }
        nInput_ = run.s.nAtoms;

        // The longest possible bond between the elements present.
        std::vector<int> elements;
        for (int i = 0; i < nInput_; ++i) elements.push_back(run.elementOf(i));
        std::sort(elements.begin(), elements.end());
        elements.erase(std::unique(elements.begin(), elements.end()), elements.end());
        double cutoff = COINCIDENT;
        for (int a : elements)
            for (int b : elements) cutoff = std::max(cutoff, longestBond(a, b, run.opt.metalBondsOn()));
        cutoff_ = cutoff * 1.0001 + 1e-6;

        // Perpendicular widths of the cell give the bin counts and the search extent.
        double axis[3][3];
        for (int k = 0; k < 3; ++k) {
            double f[3] = {0, 0, 0};
            f[k] = 1.0;
            run.cell.toCartesian(f, axis[k]);
        }
        auto cross = [](const double* u, const double* v, double (&w)[3]) {
            w[0] = u[1] * v[2] - u[2] * v[1];
            w[1] = u[2] * v[0] - u[0] * v[2];
            w[2] = u[0] * v[1] - u[1] * v[0];
        };
        requireOperatorsKeepCell(axis);
        double bc[3];
        cross(axis[1], axis[2], bc);
        const double volume = std::fabs(bc[0] * axis[0][0] + bc[1] * axis[0][1] + bc[2] * axis[0][2]);
        for (int k = 0; k < 3; ++k) {
            double w[3];
            cross(axis[(k + 1) % 3], axis[(k + 2) % 3], w);
            const double width = volume / std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
            bins_[k] = std::max(1, std::min(48, static_cast<int>(width / cutoff_)));
            reach_[k] = cutoff_ / width;
        }
        // A cell far thinner than a bond would make every atom visit an endless row of cells.
        double visits = 1;
        for (int k = 0; k < 3; ++k) visits *= 2.0 * reach_[k] * bins_[k] + 2.0;
        usable_ = visits <= 20000.0;
        if (!usable_) return;

        binImages();
    }

    // Every operator must map the cell onto itself: its rotation keeps the metric.
    void requireOperatorsKeepCell(const double (&axis)[3][3]) const {
        double metric[3][3];
        double largest = 0;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                metric[i][j] = axis[i][0] * axis[j][0] + axis[i][1] * axis[j][1] + axis[i][2] * axis[j][2];
                largest = std::max(largest, std::fabs(metric[i][j]));
            }
        for (const SymOp& op : ops_)
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) {
                    double mapped = 0;
                    for (int k = 0; k < 3; ++k)
                        for (int l = 0; l < 3; ++l) mapped += op.rot[k][i] * metric[k][l] * op.rot[l][j];
                    if (std::fabs(mapped - metric[i][j]) > 0.01 * largest)
                        fatal("%s: the symmetry operator %s does not map the cell %g %g %g %g %g %g onto itself: the "
                              "cell and the symmetry do not belong together.",
                              inputName(run_.opt), op.text.c_str(), run_.s.cell[0], run_.s.cell[1],
                              run_.s.cell[2], run_.s.cell[3], run_.s.cell[4], run_.s.cell[5]);
                }
    }

    // The images binned over the unit cell: the bin of each image first, then each bin's
    // images one after another (binStart_), in the order the images were made; then the
    // input atoms as the first atoms present.
    void binImages() {
        std::vector<std::size_t> binOf;
        binOf.reserve(static_cast<std::size_t>(nInput_) * ops_.size());
        wrapped_.reserve(static_cast<std::size_t>(nInput_) * ops_.size());
        for (int j = 0; j < nInput_; ++j) {
            for (int s = 0; s < static_cast<int>(ops_.size()); ++s) {
                Wrapped w;
                w.origin = j;
                w.op = s;
                double p[3];
                ops_[s].apply(run_.site(j).frac, p);
                int b[3];
                for (int k = 0; k < 3; ++k) {
                    const double fl = std::floor(p[k]);
                    w.frac[k] = p[k] - fl;
                    w.base[k] = static_cast<int>(fl);
                    b[k] = std::min(bins_[k] - 1, static_cast<int>(w.frac[k] * bins_[k]));
                }
                binOf.push_back(flat(b));
                wrapped_.push_back(w);
            }
        }
        binStart_.assign(static_cast<std::size_t>(bins_[0]) * bins_[1] * bins_[2] + 1, 0);
        for (std::size_t bin : binOf) ++binStart_[bin + 1];
        for (std::size_t k = 1; k < binStart_.size(); ++k) binStart_[k] += binStart_[k - 1];
        binned_.resize(wrapped_.size());
        std::vector<int> filled(binStart_.begin(), binStart_.end() - 1);
        for (std::size_t k = 0; k < binOf.size(); ++k)
            binned_[static_cast<std::size_t>(filled[binOf[k]]++)] = static_cast<int>(k);
        present_.reserve(static_cast<std::size_t>(nInput_));
        for (int i = 0; i < nInput_; ++i) addPresent(run_.site(i).frac, i);
    }

    const std::vector<SymOp>& ops() const { return ops_; }
    bool usable() const { return usable_; }

    // Images bonded to the atom at frac (element, part) that coincide with no atom present.
    std::vector<Candidate> bondedTo(const double (&frac)[3], int element, int part) const {
        std::vector<Candidate> found;
        long lo[3], hi[3];
        for (int k = 0; k < 3; ++k) {
            lo[k] = static_cast<long>(std::floor((frac[k] - reach_[k]) * bins_[k]));
            hi[k] = static_cast<long>(std::floor((frac[k] + reach_[k]) * bins_[k]));
        }
        for (long x = lo[0]; x <= hi[0]; ++x)
            for (long y = lo[1]; y <= hi[1]; ++y)
                for (long z = lo[2]; z <= hi[2]; ++z) {
                    const long u[3] = {x, y, z};
                    int b[3];
                    long cellShift[3];
                    for (int k = 0; k < 3; ++k) {
                        cellShift[k] = floorDiv(u[k], bins_[k]);
                        b[k] = static_cast<int>(u[k] - cellShift[k] * bins_[k]);
                    }
                    const std::size_t bin = flat(b);
                    for (int at = binStart_[bin]; at < binStart_[bin + 1]; ++at) {
                        const Wrapped& w = wrapped_[static_cast<std::size_t>(binned_[static_cast<std::size_t>(at)])];
                        // An input atom where it stands is present: it is no image to add.
                        if (identity_[static_cast<std::size_t>(w.op)] && cellShift[0] == w.base[0] &&
                            cellShift[1] == w.base[1] && cellShift[2] == w.base[2])
                            continue;
                        const int originElement = run_.elementOf(w.origin);
                        if (!partsMayBond(part, run_.site(w.origin).part)) continue;
                        Candidate c;
                        for (int k = 0; k < 3; ++k) c.frac[k] = w.frac[k] + static_cast<double>(cellShift[k]);
                        const double d =
                            run_.distance(frac, c.frac);
                        if (!elementsBondedAt(element, originElement, d, run_.opt.metalBondsOn())) continue;
                        if (coincides(c.frac)) continue;
                        c.origin = w.origin;
                        c.op = w.op;
                        for (int k = 0; k < 3; ++k) c.shift[k] = static_cast<int>(cellShift[k]) - w.base[k];
                        found.push_back(c);
                    }
                }
        std::sort(found.begin(), found.end());
        return found;
    }

    // Visits the atoms present in the bins around frac; stops when visit returns true.
    template <class Visit>
    bool anyPresentNear(const double (&frac)[3], Visit visit) const {
        long b[3];
        for (int k = 0; k < 3; ++k) b[k] = static_cast<long>(std::floor(frac[k] * bins_[k]));
        for (long x = b[0] - 1; x <= b[0] + 1; ++x)
            for (long y = b[1] - 1; y <= b[1] + 1; ++y)
                for (long z = b[2] - 1; z <= b[2] + 1; ++z) {
                    auto it = present_.find(key(x, y, z));
                    if (it == present_.end()) continue;
                    for (const auto& p : it->second)
                        if (visit(p)) return true;
                }
        return false;
    }

    bool coincides(const double (&frac)[3]) const {
        return anyPresentNear(frac, [&](const auto& p) {
            return run_.distance(frac, p.frac) < COINCIDENT;
        });
    }

    // Whether an atom present of the part lies within bond distance of the atom at frac.
    bool presentBondedOfPart(const double (&frac)[3], int element, int part, int self) const {
        return anyPresentNear(frac, [&](const auto& p) {
            if (p.index == self || run_.site(p.index).part != part) return false;
            const double d = run_.distance(frac, p.frac);
            return elementsBondedAt(element, run_.elementOf(p.index), d, run_.opt.metalBondsOn());
        });
    }

    // The candidates that stay in the conformer of the atom at frac (index self, copy
    // selfCopy): an atom of a negative part takes no other copy of its own part; an atom
    // of no part takes the images of a negative part only where no atom of that part
    // present is bonded to it, and then one copy only (the first by operator and translation).
    std::vector<Candidate> sameConformer(std::vector<Candidate> found, const double (&frac)[3], int element,
                                         int part, int self, const SymmetryCopy& selfCopy) const {
        std::vector<Candidate> kept;
        std::vector<std::pair<int, SymmetryCopy>> copyOfPart;  // negative part -> the copy taken
        for (const Candidate& c : found) {
            const int other = run_.site(c.origin).part;
            if (other >= 0 || (part != 0 && part != other)) {
                kept.push_back(c);
                continue;
            }
            SymmetryCopy copy;
            copy.op = c.op;
            std::copy(c.shift, c.shift + 3, copy.shift);
            if (part < 0) {
                if (copy == selfCopy) kept.push_back(c);
                continue;
            }
            auto at = std::find_if(copyOfPart.begin(), copyOfPart.end(),
                                   [other](const std::pair<int, SymmetryCopy>& e) { return e.first == other; });
            if (at == copyOfPart.end()) {
                if (presentBondedOfPart(frac, element, other, self)) {
                    copyOfPart.push_back({other, SymmetryCopy{-1, {0, 0, 0}}});  // the copy present is taken
                    continue;
                }
                copyOfPart.push_back({other, copy});
                at = copyOfPart.end() - 1;
            }
            if (at->second == copy) kept.push_back(c);
        }
        return kept;
    }

    void addPresent(const double* frac, int index) {
        long b[3];
        for (int k = 0; k < 3; ++k) b[k] = static_cast<long>(std::floor(frac[k] * bins_[k]));
        Present p;
        std::memcpy(p.frac, frac, sizeof p.frac);
        p.index = index;
        present_[key(b[0], b[1], b[2])].push_back(p);
    }

private:
    struct Wrapped {
        int origin;
        int op;
        double frac[3];  // image position moved into the unit cell
        int base[3];     // the whole cells it was moved by (subtracted)
    };
    struct Present {
        double frac[3];
        int index;
    };

    static const char* inputName(const Options& opt) {
        return opt.crystalInput != 0 ? opt.inputFile : (opt.moproInput != 0 ? "the MoPro parameter file" : "xd.mas");
    }
    std::size_t flat(const int (&b)[3]) const {
        return (static_cast<std::size_t>(b[0]) * bins_[1] + b[1]) * bins_[2] + b[2];
    }
    static long long key(long x, long y, long z) {
        return ((static_cast<long long>(x) & 0x1FFFFF) << 42) | ((static_cast<long long>(y) & 0x1FFFFF) << 21) |
               (static_cast<long long>(z) & 0x1FFFFF);
    }

    const PerceptionRun& run_;
    std::vector<SymOp> ops_;
    std::vector<bool> identity_;  // per operator: it leaves every point where it is
    int nInput_ = 0;
    double cutoff_ = 0;
    int bins_[3] = {1, 1, 1};
    double reach_[3] = {0, 0, 0};
    bool usable_ = true;
    std::vector<Wrapped> wrapped_;
    std::vector<int> binStart_;  // bin k holds binned_[binStart_[k], binStart_[k + 1])
    std::vector<int> binned_;    // indices into wrapped_, bin by bin
    std::unordered_map<long long, std::vector<Present>> present_;
};

// The label of an image: the input atom's label, the operator's number in the expanded
// list (1 = identity) and the lattice translation as three digits 5 + t ("C1_2_565"), or
// in brackets when a translation lies beyond 4 cells ("C1_1_[6,0,0]"). The input label is
// shortened when the whole would not fit a label field.
std::string imageLabel(const char* origin, const Candidate& c) {
    char suffix[64];
    bool small = true;
    for (int t : c.shift) small = small && t >= -4 && t <= 4;
    if (small)
        std::snprintf(suffix, sizeof suffix, "_%d_%d%d%d", c.op + 1, 5 + c.shift[0], 5 + c.shift[1], 5 + c.shift[2]);
    else
        std::snprintf(suffix, sizeof suffix, "_%d_[%d,%d,%d]", c.op + 1, c.shift[0], c.shift[1], c.shift[2]);
    std::string head = origin;
    const std::size_t room = LABEL_CAP - 1 - std::strlen(suffix);
    if (head.size() > room) head.resize(room);
    return head + suffix;
}

std::string operatorText(const SymOp& op, const int (&shift)[3]) {
    char text[96];
    std::snprintf(text, sizeof text, "%s with translation (%d,%d,%d)", op.text.c_str(), shift[0], shift[1], shift[2]);
    return text;
}

}  // namespace

bool completionWanted(const Structure&, const Options& opt) {
    if (opt.asymOnly != 0) return false;
    return opt.symmBonds != 0 || opt.crystalInput != 0;
}

int completeMolecules(const PerceptionRun& run) {
    Stage stage("completeMolecules");
    const double* cell = run.s.cell;
    Perception& p = run.p;
    std::vector<ImageOrigin>& imageOrigin = p.imageOrigin;
    ImageSearch search(run);
    if (!search.usable())
        fatal("The cell %g %g %g %g %g %g%s%s is too thin for completing molecules across symmetry: a bond spans "
              "many cells. Run without -symmBonds (or with -asymOnly).",
              cell[0], cell[1], cell[2], cell[3], cell[4], cell[5], run.s.source.empty() ? "" : " of ",
              run.s.source.c_str());
    p.symmetryOps.clear();
    for (const SymOp& op : search.ops()) p.symmetryOps.push_back(op.text);
    const int input = run.s.nAtoms;
    imageOrigin.clear();
    p.imageAtom.clear();
    std::vector<int> depth(static_cast<std::size_t>(input), 0);

    for (std::size_t head = 0; head < depth.size(); ++head) {
        if (depth[head] >= MAX_DEPTH) continue;
        const AtomRecord here = run.site(static_cast<int>(head));
        const int element = run.elementOf(static_cast<int>(head));
        SymmetryCopy headCopy;
        if (static_cast<int>(head) >= input) {
            const ImageOrigin& o = imageOrigin[head - static_cast<std::size_t>(input)];
            headCopy.op = o.op;
            std::copy(o.shift, o.shift + 3, headCopy.shift);
        }
        const std::vector<Candidate> candidates = search.sameConformer(
            search.bondedTo(here.frac, element, here.part), here.frac, element, here.part, static_cast<int>(head),
            headCopy);
        for (const Candidate& c : candidates) {
            if (search.coincides(c.frac)) continue;  // added for an earlier candidate
            const int index = input + static_cast<int>(imageOrigin.size());
            if (static_cast<long>(imageOrigin.size()) >= 200L * input)
                fatal("Completing the molecules across symmetry adds more than 200 images per input atom (%d images "
                      "for %d input atoms) at the image of %s by %s: the symmetry or the structure cannot be right "
                      "(overlapping atoms, or operators that belong to another cell). Run with -asymOnly to name "
                      "the input atoms alone.",
                      static_cast<int>(imageOrigin.size()), input, run.s.atom[c.origin].label,
                      operatorText(search.ops()[c.op], c.shift).c_str());
            if (index >= MAX_ATOMS)
                fatal("Completing the molecules across symmetry needs more than %d atoms (%d input atoms and their "
                      "bonded symmetry images); at most %d atoms are handled. Run without -symmBonds (or with "
                      "-asymOnly) to name the input atoms alone.",
                      MAX_ATOMS, input, MAX_ATOMS);
            ImageOrigin origin;
            origin.atom = c.origin;
            origin.op = c.op;
            std::memcpy(origin.shift, c.shift, sizeof origin.shift);
            imageOrigin.push_back(origin);
            p.nInput = input;  // from here on indices at or above input are images

            AtomRecord image = run.s.atom[c.origin];
            std::memcpy(image.frac, c.frac, sizeof image.frac);
            run.cell.toCartesian(image.frac, image.cart);
            const std::string label = imageLabel(run.s.atom[c.origin].label, c);
            std::snprintf(image.label, sizeof image.label, "%s", label.c_str());
            p.imageAtom.push_back(image);
            depth.push_back(depth[head] + 1);
            search.addPresent(image.frac, index);
        }
    }
    p.growSites(run.sites());
    if (!imageOrigin.empty()) {
        printf("Completing molecules across symmetry: %d symmetry images added to the %d input atoms.\n",
               static_cast<int>(imageOrigin.size()), input);
        for (std::size_t s = 0; s < p.symmetryOps.size(); ++s)
            printf("Symmetry operator %d: %s\n", static_cast<int>(s) + 1, p.symmetryOps[s].c_str());
        for (std::size_t k = 0; k < imageOrigin.size(); ++k) {
            const ImageOrigin& o = imageOrigin[k];
            printf("Image %-19s of %-19s %s\n", p.imageAtom[k].label, run.s.atom[o.atom].label,
                   operatorText(search.ops()[o.op], o.shift).c_str());
        }
    }
    return static_cast<int>(imageOrigin.size());
}

void warnSymmetryBonds(const PerceptionRun& run) {
    const int nAtoms = run.s.nAtoms;
    if (nAtoms == 0) return;
    Stage stage("warnSymmetryBonds");
    ImageSearch search(run);
    if (!search.usable()) return;  // a cell far thinner than a bond: no warning is possible
    for (int i = 0; i < nAtoms; ++i) {
        const AtomRecord& a = run.s.atom[i];
        const int element = run.s.elementOf(i);
        for (const Candidate& c : search.sameConformer(search.bondedTo(a.frac, element, a.part), a.frac, element,
                                                       a.part, i, SymmetryCopy())) {
            const double d = run.distance(a.frac, c.frac);
            const std::string image = imageLabel(run.s.atom[c.origin].label, c);
            run.p.warnings.warn("bonded neighbour only by symmetry", {a.label, run.s.atom[c.origin].label},
                                format("atom %s has a bonded neighbour that only symmetry provides: %s at %.3f A, "
                                       "the image of %s by %s. -symmBonds completes the molecule.",
                                       a.label, image.c_str(), d, run.s.atom[c.origin].label,
                                       operatorText(search.ops()[c.op], c.shift).c_str()));
        }
    }
}
