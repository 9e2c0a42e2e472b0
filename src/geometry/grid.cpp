#include "grid.h"

#include <cmath>
#include <numeric>

namespace {

// Cell coordinates beyond this are not formed (far beyond any coordinate a reader accepts).
constexpr double KEY_LIMIT = 1e15;

}  // namespace

std::size_t PointGrid::hashOf(const Key& k) {
    std::uint64_t h = static_cast<std::uint64_t>(k.x) * 0x9E3779B97F4A7C15ULL;
    h ^= static_cast<std::uint64_t>(k.y) * 0xC2B2AE3D27D4EB4FULL + (h << 6) + (h >> 2);
    h ^= static_cast<std::uint64_t>(k.z) * 0x165667B19E3779F9ULL + (h << 6) + (h >> 2);
    return static_cast<std::size_t>(h ^ (h >> 29));
}

bool PointGrid::keyOf(const double* p, Key& key) const {
    double c[3];
    for (int k = 0; k < 3; ++k) {
        c[k] = std::floor(p[k] / edge_);
        if (!std::isfinite(c[k]) || std::fabs(c[k]) > KEY_LIMIT) return false;
    }
    key = {static_cast<std::int64_t>(c[0]), static_cast<std::int64_t>(c[1]), static_cast<std::int64_t>(c[2])};
    return true;
}

const PointGrid::Cell* PointGrid::find(const Key& key) const {
    for (std::size_t slot = hashOf(key) & mask_;; slot = (slot + 1) & mask_) {
        const Cell& cell = table_[slot];
        if (cell.begin == cell.end) return nullptr;
        if (cell.key == key) return &cell;
    }
}

namespace {

std::vector<int> firstPoints(int count) {
    std::vector<int> points(static_cast<std::size_t>(count > 0 ? count : 0));
    std::iota(points.begin(), points.end(), 0);
    return points;
}

}  // namespace

PointGrid::PointGrid(int count, const std::function<const double*(int)>& position, double edge)
    : PointGrid(firstPoints(count), position, edge) {}

PointGrid::PointGrid(const std::vector<int>& points, const std::function<const double*(int)>& position, double edge)
    : edge_(edge > 0 && std::isfinite(edge) ? edge : 1.0) {
    // The table holds at most one cell per point and stays at most half full.
    std::size_t size = 16;
    while (size < 2 * points.size()) size *= 2;
    table_.assign(size, Cell());
    mask_ = size - 1;

    // First the cells and how many points each gets (counted in end), then each cell's
    // range, then the points in filing order.
    std::vector<std::size_t> slotOf;
    slotOf.reserve(points.size());
    all_.reserve(points.size());
    for (int i : points) {
        Key key;
        if (!keyOf(position(i), key)) continue;
        std::size_t slot = hashOf(key) & mask_;
        while (table_[slot].end != 0 && !(table_[slot].key == key)) slot = (slot + 1) & mask_;
        table_[slot].key = key;
        ++table_[slot].end;
        slotOf.push_back(slot);
        all_.push_back(i);
    }
    std::uint32_t next = 0;
    for (Cell& cell : table_) {
        if (cell.end == 0) continue;
        cell.begin = next;
        next += cell.end;
        cell.end = cell.begin;
    }
    points_.resize(all_.size());
    for (std::size_t k = 0; k < all_.size(); ++k) points_[table_[slotOf[k]].end++] = all_[k];
}
