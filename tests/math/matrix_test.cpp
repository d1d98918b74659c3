// Matrix and vector operations in Direct3D's row-vector convention.
#include "math/matrix.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

Mat4 identity()
{
    return Mat4{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
}

Mat4 translation(float x, float y, float z)
{
    Mat4 m = identity();
    m.m[3][0] = x;
    m.m[3][1] = y;
    m.m[3][2] = z;
    return m;
}

// An asymmetric matrix with no particular structure.
Mat4 sample()
{
    Mat4 m;
    for (int i = 0; i < 16; ++i) {
        m.m[i / 4][i % 4] = static_cast<float>((i * 7) % 11) - 4.0f;
    }
    return m;
}

struct Point {
    float x, y, z, w;
};

// p x M, the way Direct3D transforms a point.
Point apply(Point p, const Mat4& m)
{
    const float in[4] = {p.x, p.y, p.z, p.w};
    float out[4];
    for (int k = 0; k < 4; ++k) {
        out[k] = in[0] * m.m[0][k] + in[1] * m.m[1][k] + in[2] * m.m[2][k] + in[3] * m.m[3][k];
    }
    return {out[0], out[1], out[2], out[3]};
}

void expect_point_near(Point actual, Point expected)
{
    EXPECT_NEAR(actual.x, expected.x, 1e-6f);
    EXPECT_NEAR(actual.y, expected.y, 1e-6f);
    EXPECT_NEAR(actual.z, expected.z, 1e-6f);
    EXPECT_NEAR(actual.w, expected.w, 1e-6f);
}

void expect_matrix_eq(const Mat4& actual, const Mat4& expected)
{
    for (int r = 0; r < 4; ++r) {
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(actual.m[r][k], expected.m[r][k]) << "element [" << r << "][" << k << "]";
        }
    }
}

}  // namespace

// ---- composition ----

TEST(MatMultiply, AppliesBToAPointBeforeA)
{
    // A world that turns a quarter about y and moves one unit along x, and the
    // camera of the demo's first frame (eye (2.5, 1.6, 0) looking at the axis).
    const Mat4 world{{{0, 0, -1, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}, {1, 0, 0, 1}}};
    const Mat4 view{{{0, 0, 1, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}, {0, -1.6f, -2.5f, 1}}};
    Mat4 world_view;
    mat_multiply(&world_view, &view, &world);  // world first, then the camera
    // (0, 0, 1) -> world: row 2 + row 3 = (2, 0, 0) -> view: 2 row 0 + row 3 = (0, -1.6, -0.5).
    // The other order would give (-1.5, -1.6, 1).
    const Point p = apply({0, 0, 1, 1}, world_view);
    EXPECT_EQ(p.x, 0.0f);
    EXPECT_EQ(p.y, -1.6f);
    EXPECT_EQ(p.z, -0.5f);
    EXPECT_EQ(p.w, 1.0f);
}

TEST(MatMultiply, SumsRowOfBTimesColumnOfA)
{
    const Mat4 a = sample();
    const Mat4 b = translation(2, -3, 5);
    Mat4 dst;
    mat_multiply(&dst, &a, &b);
    // b's rows 0..2 are unit rows: they pick a's rows; row 3 mixes them.
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(dst.m[0][k], a.m[0][k]);
        EXPECT_EQ(dst.m[1][k], a.m[1][k]);
        EXPECT_EQ(dst.m[2][k], a.m[2][k]);
        EXPECT_EQ(dst.m[3][k], 2 * a.m[0][k] - 3 * a.m[1][k] + 5 * a.m[2][k] + a.m[3][k]);
    }
}

TEST(MatMultiply, DestinationMayBeEitherOperand)
{
    const Mat4 a = sample();
    const Mat4 b = translation(0.5f, 1.5f, -2.0f);
    Mat4 expected;
    mat_multiply(&expected, &a, &b);

    Mat4 alias_a = a;
    mat_multiply(&alias_a, &alias_a, &b);
    expect_matrix_eq(alias_a, expected);

    Mat4 alias_b = b;
    mat_multiply(&alias_b, &a, &alias_b);
    expect_matrix_eq(alias_b, expected);

    Mat4 both = a;
    Mat4 squared;
    mat_multiply(&squared, &a, &a);
    mat_multiply(&both, &both, &both);
    expect_matrix_eq(both, squared);
}

TEST(MatTranslate, KeepsTheUpperBlockAndAddsTheMovedRowsToRowThree)
{
    const Mat4 before = sample();
    Mat4 m = before;
    mat_translate(&m, 2, 3, -1);
    for (int r = 0; r < 3; ++r) {
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(m.m[r][k], before.m[r][k]);
        }
    }
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(m.m[3][k],
                  2 * before.m[0][k] + 3 * before.m[1][k] - 1 * before.m[2][k] + before.m[3][k]);
    }
}

TEST(MatScale, ScalesRowsZeroToTwoOnly)
{
    const Mat4 before = sample();
    Mat4 m = before;
    mat_scale(&m, 5.0f);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(m.m[0][k], 5 * before.m[0][k]);
        EXPECT_EQ(m.m[2][k], 5 * before.m[2][k]);
        EXPECT_EQ(m.m[3][k], before.m[3][k]);
    }
}

// ---- rotation and scale ----

TEST(MatRotateYZScale, OnTheIdentityWithNoTurnIsAUniformScale)
{
    Mat4 m = identity();
    mat_rotate_y_z_scale(&m, 0, 0, 0.625f);
    Mat4 expected = identity();
    expected.m[0][0] = expected.m[1][1] = expected.m[2][2] = 0.625f;
    expect_matrix_eq(m, expected);
}

TEST(MatRotateYZScale, LeavesColumnThreeAndRowThreeUnscaled)
{
    const Mat4 before = sample();
    Mat4 m = before;
    mat_rotate_y_z_scale(&m, 0, 0, 3.0f);
    for (int r = 0; r < 4; ++r) {
        for (int k = 0; k < 4; ++k) {
            const bool block = r < 3 && k < 3;
            EXPECT_EQ(m.m[r][k], block ? 3 * before.m[r][k] : before.m[r][k]);
        }
    }
}

TEST(MatRotateYZScale, RotationsFollowTheDirect3DSigns)
{
    // Ry(yaw) takes +x to (cos, 0, -sin); Rz(roll) takes +x to (cos, sin, 0).
    Mat4 yaw = identity();
    mat_rotate_y_z_scale(&yaw, 0.5f, 0, 1);
    expect_point_near(apply({1, 0, 0, 1}, yaw), {std::cos(0.5f), 0, -std::sin(0.5f), 1});
    expect_point_near(apply({0, 0, 1, 1}, yaw), {std::sin(0.5f), 0, std::cos(0.5f), 1});

    Mat4 roll = identity();
    mat_rotate_y_z_scale(&roll, 0, 0.5f, 1);
    expect_point_near(apply({1, 0, 0, 1}, roll), {std::cos(0.5f), std::sin(0.5f), 0, 1});
    expect_point_near(apply({0, 1, 0, 1}, roll), {-std::sin(0.5f), std::cos(0.5f), 0, 1});
}

TEST(MatRotateYZScale, ScalesThenRollsThenTurnsThenAppliesTheOldMatrix)
{
    Mat4 m = translation(10, 20, 30);
    mat_rotate_y_z_scale(&m, 1.5707964f, 1.5707964f, 2.0f);
    // +x: scaled to (2, 0, 0), rolled to (0, 2, 0), unmoved by the turn about y, then moved.
    const Point p = apply({1, 0, 0, 1}, m);
    expect_point_near(p, {10, 22, 30, 1});
}

// ---- vectors, camera, projection ----

TEST(Vec3Normalize, DividesByTheLengthAndReturnsTheDestination)
{
    const Vec3 v{3, 4, 0};
    Vec3 out;
    EXPECT_EQ(vec3_normalize(&out, &v), &out);
    EXPECT_FLOAT_EQ(out.x, 0.6f);
    EXPECT_FLOAT_EQ(out.y, 0.8f);
    EXPECT_EQ(out.z, 0.0f);
    Vec3 same{0, -2, 0};
    vec3_normalize(&same, &same);
    EXPECT_EQ(same.y, -1.0f);
}

TEST(MatLookAt, FromThePlusXAxisTowardsTheOrigin)
{
    const Vec3 eye{2.5f, 1.6f, 0};
    const Vec3 target{0, 1.6f, 0};
    const Vec3 up{0, 1, 0};
    Mat4 m;
    mat_look_at(&m, &eye, &target, &up);
    // Columns are xaxis (0, 0, -1), yaxis (0, 1, 0), zaxis (1, 0, 0).
    const Mat4 expected{{{0, 0, 1, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}, {0, -1.6f, -2.5f, 1}}};
    expect_matrix_eq(m, expected);
}

TEST(MatLookAt, PutsTheEyeAtTheOriginAndTheTargetOnTheMinusZAxis)
{
    const Vec3 eye{1.0f, 2.0f, 3.0f};
    const Vec3 target{-1.0f, 0.5f, 0.25f};
    const Vec3 up{0, 1, 0};
    Mat4 m;
    mat_look_at(&m, &eye, &target, &up);
    expect_point_near(apply({eye.x, eye.y, eye.z, 1}, m), {0, 0, 0, 1});
    const float distance = std::sqrt(2.0f * 2.0f + 1.5f * 1.5f + 2.75f * 2.75f);
    const Point t = apply({target.x, target.y, target.z, 1}, m);
    EXPECT_NEAR(t.x, 0, 1e-5f);
    EXPECT_NEAR(t.y, 0, 1e-5f);
    EXPECT_NEAR(t.z, -distance, 1e-5f);
}

TEST(MatPerspective, TheDemoProjection)
{
    Mat4 m;
    m.m[3][3] = 7.0f;  // every element is written
    mat_perspective(&m, 75.0f, 1.7777778f, 0.5f, 100.0f);
    // Closed forms in double precision: cot 37.5 degrees = 1.3032253728,
    // / (16 / 9) = 0.7330642722, 100 / -99.5 = -1.0050251256, 50 / -99.5 =
    // -0.5025125628. In floats the half angle, its sine and cosine and each
    // quotient round once: two units in the last place (2.4e-7 near 1.3) bound
    // the drift.
    EXPECT_NEAR(m.m[1][1], 1.3032253728, 2.4e-7);
    EXPECT_NEAR(m.m[0][0], 0.7330642722, 1.2e-7);
    EXPECT_NEAR(m.m[2][2], -1.0050251256, 1.2e-7);
    EXPECT_NEAR(m.m[3][2], -0.5025125628, 0.6e-7);
    EXPECT_EQ(m.m[2][3], -1.0f);
    EXPECT_EQ(m.m[3][3], 0.0f);
    for (int r = 0; r < 4; ++r) {
        for (int k = 0; k < 4; ++k) {
            const bool set = (r == k && r < 3) || (r == 2 && k == 3) || (r == 3 && k == 2);
            if (!set) {
                EXPECT_EQ(m.m[r][k], 0.0f) << "element [" << r << "][" << k << "]";
            }
        }
    }
}
