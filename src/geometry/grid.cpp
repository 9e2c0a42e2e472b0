#include "grid.h"

#include <cmath>

namespace {

// Cell coordinates beyond this are not formed (far beyond any coordinate a reader accepts).
constexpr double KEY_LIMIT = 1e15;

}  // namespace

std::size_t PointGrid::KeyHash::operator()(const Key& k) const {
    std::uint64_t h = static_cast<std::uint64_t>(k.x) * 0x9E3779B97F4A7C15ULL;
    h ^= static_cast<std::uint64_t>(k.y) * 0xC2B2AE3D27D4EB4FULL + (h << 6) + (h >> 2);
    h ^= static_cast<std::uint64_t>(k.z) * 0x165667B19E3779F9ULL + (h << 6) + (h >> 2);
    return static_cast<std::size_t>(h);
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

PointGrid::PointGrid(const std::vector<int>& points, const std::function<const double*(int)>& position, double edge)
    : edge_(edge > 0 && std::isfinite(edge) ? edge : 1.0) {
    cells_.reserve(points.size());
    for (int i : points) {
        Key key;
        if (!keyOf(position(i), key)) continue;
        cells_[key].push_back(i);
        all_.push_back(i);
    }
}

void PointGrid::within(const double* centre, double radius, const std::function<void(int)>& visit) const {
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
                const auto cell = cells_.find({x, y, z});
                if (cell == cells_.end()) continue;
                for (int i : cell->second) visit(i);
            }
}
