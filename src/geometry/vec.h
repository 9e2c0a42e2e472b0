// The small 3-vector of the geometry stages and its operations. Each operation keeps one
// fixed order of floating-point operations, so results stay the same to the last bit.
#pragma once

#include <cmath>

// A plain 3-vector, passed by value; zero unless given.
struct vec {
    double x = 0, y = 0, z = 0;
};

inline vec toVec(const double* p) { return {p[0], p[1], p[2]}; }
inline vec operator+(vec a, vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline vec operator-(vec a, vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline vec operator*(double s, vec a) { return {s * a.x, s * a.y, s * a.z}; }
inline double dot(vec a, vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline vec cross(vec a, vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline double norm(vec a) { return std::sqrt(dot(a, a)); }
inline double distance(vec a, vec b) { return norm(a - b); }

// The unit vector along a; a vector without length has no direction and is returned as it is.
inline vec normalised(vec a) {
    const double length = norm(a);
    if (length > 0) return {a.x / length, a.y / length, a.z / length};
    return a;
}
