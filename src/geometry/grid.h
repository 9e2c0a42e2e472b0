// A cell list over Cartesian positions: finds the points near a place without looking at
// every point. Cubic cells of a given edge, kept in a hash map, so that a sparse structure
// in a huge cell costs no more than a dense one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

class PointGrid {
public:
    // points: the indices to file; position(i): the Cartesian position of point i (three
    // doubles); edge: the cell edge in angstrom. Points at a position that is not finite are
    // filed nowhere: no distance to them compares as near.
    PointGrid(const std::vector<int>& points, const std::function<const double*(int)>& position, double edge);

    // Calls visit(i) for every filed point that may lie within radius of centre (every point
    // that does, and some that do not; the caller decides on the exact distance). The order
    // of the calls is unspecified.
    void within(const double* centre, double radius, const std::function<void(int)>& visit) const;

private:
    struct Key {
        std::int64_t x, y, z;
        bool operator==(const Key& o) const { return x == o.x && y == o.y && z == o.z; }
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const;
    };
    bool keyOf(const double* p, Key& key) const;

    double edge_;
    std::vector<int> all_;  // every filed point
    std::unordered_map<Key, std::vector<int>, KeyHash> cells_;
};
