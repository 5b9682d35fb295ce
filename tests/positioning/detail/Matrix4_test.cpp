#include "positioning/detail/Matrix4.h"

#include <gtest/gtest.h>

using Positioning::detail::Matrix4;
using Positioning::detail::Vector4;

namespace {

Matrix4 fromRows(std::array<std::array<float, 4>, 4> rows) {
    Matrix4 r;
    r.m = rows;
    return r;
}

void expectNear(const Matrix4& a, const Matrix4& b, float tolerance) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_NEAR(a(i, j), b(i, j), tolerance) << "entry " << i << "," << j;
}

} // namespace

TEST(Matrix4, ProductsSumsAndTranspose) {
    const Matrix4 a = fromRows({{{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}}});
    const Matrix4 f = Matrix4::transition(0.5f);
    EXPECT_EQ(f, fromRows({{{1, 0, 0, 0}, {0, 1, 0, 0}, {0.5f, 0, 1, 0}, {0, 0.5f, 0, 1}}}));
    // F a adds half of rows 0 and 1 to rows 2 and 3.
    EXPECT_EQ(f * a, fromRows({{{1, 2, 3, 4}, {5, 6, 7, 8}, {9.5f, 11, 12.5f, 14}, {15.5f, 17, 18.5f, 20}}}));
    EXPECT_EQ(a.transposed()(0, 3), 13.0f);
    EXPECT_EQ(a.transposed().transposed(), a);
    EXPECT_EQ((a + a) - a, a);
    EXPECT_EQ(a * Matrix4::identity(), a);
    const Vector4 v = f * Vector4{2, 4, 10, 20};
    EXPECT_EQ(v, (Vector4{2, 4, 11, 22}));
}

TEST(Matrix4, InverseNeedsPivotingAndRefusesSingular) {
    // A zero on the first diagonal entry makes elimination take a later row.
    const Matrix4 a = fromRows({{{0, 2, 0, 0}, {3, 0, 0, 1}, {0, 0, 4, 0}, {1, 0, 0, 2}}});
    const auto inv = a.inverse();
    ASSERT_TRUE(inv);
    expectNear(a * *inv, Matrix4::identity(), 1e-6f);

    // Tiny but well-conditioned matrices stay invertible: the threshold is
    // relative to the entries, not absolute.
    const auto tiny = Matrix4::diagonal(2e-11f, 2e-11f, 3e-9f, 3e-9f).inverse();
    ASSERT_TRUE(tiny);
    EXPECT_FLOAT_EQ((*tiny)(0, 0), 5e10f);

    EXPECT_FALSE(Matrix4{}.inverse());
    EXPECT_FALSE(Matrix4::diagonal(1, 1, 0, 1).inverse());
    const Matrix4 rankThree = fromRows({{{1, 2, 3, 4}, {2, 4, 6, 8}, {0, 1, 0, 0}, {0, 0, 1, 0}}});
    EXPECT_FALSE(rankThree.inverse());
    Matrix4 withNan = Matrix4::identity();
    withNan(1, 2) = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(withNan.inverse());
    EXPECT_FALSE(withNan.finite());
    EXPECT_TRUE(Matrix4::identity().finite());
}
