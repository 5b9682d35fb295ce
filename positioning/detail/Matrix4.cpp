#include "positioning/detail/Matrix4.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace Positioning::detail {

Matrix4 Matrix4::identity() {
    return diagonal(1.0f, 1.0f, 1.0f, 1.0f);
}

Matrix4 Matrix4::diagonal(float a, float b, float c, float d) {
    Matrix4 r;
    r.m[0][0] = a;
    r.m[1][1] = b;
    r.m[2][2] = c;
    r.m[3][3] = d;
    return r;
}

Matrix4 Matrix4::transition(float dt) {
    Matrix4 r = identity();
    r.m[2][0] = dt;
    r.m[3][1] = dt;
    return r;
}

Matrix4 Matrix4::transposed() const {
    Matrix4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = m[j][i];
    return r;
}

std::optional<Matrix4> Matrix4::inverse() const {
    Matrix4 a = *this;
    Matrix4 inv = identity();
    float largest = 0.0f;
    for (const auto& row : m)
        for (float v : row) {
            if (!std::isfinite(v)) return std::nullopt;
            largest = std::max(largest, std::fabs(v));
        }
    if (largest == 0.0f) return std::nullopt;
    const float threshold = largest * 1e-9f;

    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int row = col + 1; row < 4; ++row)
            if (std::fabs(a.m[row][col]) > std::fabs(a.m[pivot][col])) pivot = row;
        if (!(std::fabs(a.m[pivot][col]) >= threshold)) return std::nullopt;
        std::swap(a.m[pivot], a.m[col]);
        std::swap(inv.m[pivot], inv.m[col]);

        const float p = a.m[col][col];
        for (int j = 0; j < 4; ++j) {
            a.m[col][j] /= p;
            inv.m[col][j] /= p;
        }
        for (int row = 0; row < 4; ++row) {
            if (row == col) continue;
            const float f = a.m[row][col];
            if (f == 0.0f) continue;
            for (int j = 0; j < 4; ++j) {
                a.m[row][j] -= f * a.m[col][j];
                inv.m[row][j] -= f * inv.m[col][j];
            }
        }
    }
    return inv;
}

bool Matrix4::finite() const {
    for (const auto& row : m)
        for (float v : row)
            if (!std::isfinite(v)) return false;
    return true;
}

Matrix4 operator*(const Matrix4& a, const Matrix4& b) {
    Matrix4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a.m[i][k] * b.m[k][j];
            r.m[i][j] = sum;
        }
    return r;
}

Matrix4 operator+(const Matrix4& a, const Matrix4& b) {
    Matrix4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][j] + b.m[i][j];
    return r;
}

Matrix4 operator-(const Matrix4& a, const Matrix4& b) {
    Matrix4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][j] - b.m[i][j];
    return r;
}

Vector4 operator*(const Matrix4& a, const Vector4& v) {
    Vector4 r{};
    for (int i = 0; i < 4; ++i) {
        float sum = 0.0f;
        for (int k = 0; k < 4; ++k)
            sum += a.m[i][k] * v[k];
        r[i] = sum;
    }
    return r;
}

} // namespace Positioning::detail
