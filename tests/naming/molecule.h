// A structure for the naming and chirality tests, with the bond list and the ring fields set
// by hand, so the tests need neither the bond search nor ring perception; the nodes come
// from the bond list through the real node stage.
#pragma once

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "testutil.h"

class Molecule {
public:
    int add(const std::string& label, const std::string& symbol, double x = 0, double y = 0, double z = 0) {
        // distinct positions, so the degree of planarity stays defined
        int n = static_cast<int>(labels_.size());
        labels_.push_back(label);
        if (x == 0 && y == 0 && z == 0) {
            x = 10.0 + 1.3 * n;
            y = 10.0 + 0.7 * (n % 3);
            z = 10.0 + 0.4 * (n % 5);
        }
        return builder_.add(label, symbol, x, y, z);
    }

    // A bond with its margin (reference length minus distance).
    void bond(int a, int b, double margin) {
        Bond r;
        r.first = std::min(a, b);
        r.second = std::max(a, b);
        r.margin = margin;
        bonds_.push_back(r);
    }

    void ring(int atomIndex, int code, int mask) { rings_.push_back({atomIndex, code, mask}); }

    // Builds the object: the bond list in pair order, then the neighbour nodes as the node
    // stage builds them from it (neighbours sorted by margin, largest first).
    Quandrel& build() {
        q_ = builder_.build();
        std::stable_sort(bonds_.begin(), bonds_.end(), [](const Bond& a, const Bond& b) {
            return a.first != b.first ? a.first < b.first : a.second < b.second;
        });
        q_->perception.bonds = bonds_;
        verknopfung(perceiving(*q_), bondCount());
        for (const RingEntry& r : rings_) {
            q_->perception.ringCode[r.atom] = r.code;
            q_->perception.ringMask[r.atom] = r.mask;
        }
        return *q_;
    }

    int bondCount() const { return static_cast<int>(bonds_.size()); }

    // Builds the object and its names.
    Quandrel& named() {
        build();
        getNames(perceiving(*q_), bondCount());
        return *q_;
    }

    std::string name(int atomIndex) const { return q_->perception.quandrelName[atomIndex]; }
    Quandrel& q() { return *q_; }

private:
    struct RingEntry {
        int atom, code, mask;
    };
    StructureBuilder builder_;
    std::unique_ptr<Quandrel> q_;
    std::vector<Bond> bonds_;
    std::vector<RingEntry> rings_;
    std::vector<std::string> labels_;
};

// Benzene: C1..C6 are atoms 0..5 around the ring, H1..H6 atoms 6..11, H(k) on C(k).
// Aromatic C-C margins 0.15, C-H margins 0.03. With rings, every carbon has ring code 6
// and ring bit 1.
inline void benzene(Molecule& m, bool withRing) {
    for (int k = 0; k < 6; ++k) {
        double a = k * 3.14159265358979 / 3.0;
        m.add("C" + std::to_string(k + 1), "C", 10 + 1.39 * std::cos(a), 10 + 1.39 * std::sin(a), 10);
    }
    for (int k = 0; k < 6; ++k) {
        double a = k * 3.14159265358979 / 3.0;
        m.add("H" + std::to_string(k + 1), "H", 10 + 2.47 * std::cos(a), 10 + 2.47 * std::sin(a), 10);
    }
    for (int k = 0; k < 6; ++k) {
        m.bond(k, (k + 1) % 6, 0.15);
        m.bond(k, k + 6, 0.03);
        if (withRing) m.ring(k, 6, 1);
    }
}
