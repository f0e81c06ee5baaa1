#pragma once
// Transform3D: a 4 x 4 matrix of doubles, held row by row (m11, m12, ... m44).
//
// A plain value; any thread may use its own copy. Points are row vectors
// multiplied on the left, (x, y, z, 1) * M, so the translation sits in
// m41 ... m43, as the transform filter expects.

#include <array>

namespace tintreel {

struct Transform3D {
    std::array<double, 16> m{};

    static Transform3D identity() {
        Transform3D t;
        t.m[0] = t.m[5] = t.m[10] = t.m[15] = 1.0;
        return t;
    }

    // Cell in row r, column c, both counted from 1 as in m11 ... m44.
    double& at(int r, int c) { return m[static_cast<std::size_t>((r - 1) * 4 + (c - 1))]; }
    double at(int r, int c) const { return m[static_cast<std::size_t>((r - 1) * 4 + (c - 1))]; }

    bool operator==(const Transform3D&) const = default;
};

}  // namespace tintreel
