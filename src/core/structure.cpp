#include "structure.h"

#include <algorithm>

int Structure::elementOf(int atomIndex) const {
    if (atomIndex < 0 || atomIndex >= static_cast<int>(atom.size())) return -1;
    int t = atom[atomIndex].tbl;
    if (t < 1 || t > MAX_SCAT) return -1;
    return scatTable[t - 1].element;
}

// ---- the rings of an atom ----

RingSet::RingSet(int mask) {
    const unsigned int bitsSet = static_cast<unsigned int>(mask);
    for (int k = 0; k < 32; ++k)
        if ((bitsSet >> k) & 1u) add(k);
}

bool RingSet::add(int r) {
    int k = 0;
    while (k < count_ && rings_[k] < r) ++k;
    if (k < count_ && rings_[k] == r) return true;
    if (count_ == MAX_RINGS_PER_ATOM) return false;
    for (int m = count_; m > k; --m) rings_[m] = rings_[m - 1];
    rings_[k] = r;
    ++count_;
    return true;
}

bool RingSet::shares(const RingSet& other) const {
    int a = 0, b = 0;
    while (a < count_ && b < other.count_) {
        if (rings_[a] == other.rings_[b]) return true;
        if (rings_[a] < other.rings_[b])
            ++a;
        else
            ++b;
    }
    return false;
}

int RingSet::bits() const {
    unsigned int mask = 0;
    for (int k = 0; k < count_; ++k)
        if (rings_[k] < 32) mask |= 1u << rings_[k];
    return static_cast<int>(mask);
}

bool operator==(const RingSet& a, const RingSet& b) {
    if (a.count_ != b.count_) return false;
    for (int k = 0; k < a.count_; ++k)
        if (a.rings_[k] != b.rings_[k]) return false;
    return true;
}

void Structure::makeRoomForAtoms(int atoms, int dummies) {
    const std::size_t records = static_cast<std::size_t>(atoms) + static_cast<std::size_t>(dummies) + 1;
    const std::size_t room = std::max(records, 2 * static_cast<std::size_t>(atoms) + 1);
    if (atom.capacity() < room) atom.reserve(room);
    if (atom.size() < records) atom.resize(records);
}
