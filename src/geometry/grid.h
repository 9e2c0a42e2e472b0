// A cell list over Cartesian positions: finds the points near a place without looking at
// every point. Cubic cells of a given edge; only the cells that hold points are kept (in a
// hash table), so that a sparse structure in a huge cell costs no more than a dense one.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class PointGrid {
public:
    // points: the indices to file; position(i): the Cartesian position of point i (three
    // doubles); edge: the cell edge in angstrom. Points at a position that is not finite are
    // filed nowhere: no distance to them compares as near.
    PointGrid(const std::vector<int>& points, const std::function<const double*(int)>& position, double edge);
    // The points 0 .. count-1.
    PointGrid(int count, const std::function<const double*(int)>& position, double edge);

    // Calls visit(i) for every filed point that may lie within radius of centre (every point
    // that does, and some that do not; the caller decides on the exact distance). The order
    // of the calls is unspecified.
    template <class Visit>
    void within(const double* centre, double radius, Visit&& visit) const;

private:
    struct Key {
        std::int64_t x, y, z;
        bool operator==(const Key& o) const { return x == o.x && y == o.y && z == o.z; }
    };
    // A cell: its key and its points, points_[begin, end).
    struct Cell {
        Key key;
        std::uint32_t begin = 0, end = 0;
    };
    static std::size_t hashOf(const Key& k);
    bool keyOf(const double* p, Key& key) const;
    // The cell of a key, or nullptr when no point lies in it.
    const Cell* find(const Key& key) const;

    double edge_;
    std::vector<int> all_;      // every filed point, in filing order
    std::vector<int> points_;   // every filed point, cell by cell, in filing order within a cell
    std::vector<Cell> table_;   // open addressing; a slot with begin == end is free
    std::size_t mask_ = 0;
};

template <class Visit>
void PointGrid::within(const double* centre, double radius, Visit&& visit) const {
    if (!(radius >= 0) || !std::isfinite(radius)) return;
    const double low[3] = {centre[0] - radius, centre[1] - radius, centre[2] - radius};
    const double high[3] = {centre[0] + radius, centre[1] + radius, centre[2] + radius};
    Key from, to;
    if (!keyOf(low, from) || !keyOf(high, to)) return;
    // A reach over more cells than there are points: looking at every point is cheaper.
    const double cells = (static_cast<double>(to.x - from.x) + 1) * (static_cast<double>(to.y - from.y) + 1) *
                         (static_cast<double>(to.z - from.z) + 1);
    if (cells > static_cast<double>(all_.size())) {
        for (int i : all_) visit(i);
        return;
    }
    for (std::int64_t x = from.x; x <= to.x; ++x)
        for (std::int64_t y = from.y; y <= to.y; ++y)
            for (std::int64_t z = from.z; z <= to.z; ++z) {
                const Cell* cell = find({x, y, z});
                if (cell == nullptr) continue;
                for (std::uint32_t k = cell->begin; k < cell->end; ++k) visit(points_[k]);
            }
}
