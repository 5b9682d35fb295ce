#pragma once
// Small fixed-size single-precision linear algebra for the car position
// filter: 4x4 matrices and 4-vectors, row-major.

#include <array>
#include <optional>

namespace Positioning::detail {

using Vector4 = std::array<float, 4>;

struct Matrix4 {
    std::array<std::array<float, 4>, 4> m{}; // m[row][column]; all zero

    static Matrix4 identity();
    static Matrix4 diagonal(float a, float b, float c, float d);
    // The constant-velocity transition of the state (vx, vy, x, y): the
    // identity with x' = x + dt vx and y' = y + dt vy.
    static Matrix4 transition(float dt);

    Matrix4 transposed() const;
    // Gauss-Jordan elimination with partial pivoting, starting from the
    // identity. Empty when the matrix is singular: a best pivot below 1e-9
    // of the largest absolute entry (the threshold is relative, so that
    // scaling every entry by the same factor never changes the verdict).
    std::optional<Matrix4> inverse() const;
    // True when every entry is a finite number.
    bool finite() const;

    float operator()(int row, int column) const { return m[row][column]; }
    float& operator()(int row, int column) { return m[row][column]; }
    friend bool operator==(const Matrix4&, const Matrix4&) = default;
};

Matrix4 operator*(const Matrix4& a, const Matrix4& b);
Matrix4 operator+(const Matrix4& a, const Matrix4& b);
Matrix4 operator-(const Matrix4& a, const Matrix4& b);
Vector4 operator*(const Matrix4& a, const Vector4& v);

} // namespace Positioning::detail
