#include "math/matrix.h"

#include <cmath>

#include "math/simd.h"
#include "math/trig.h"

namespace {

Mat4 identity()
{
    Mat4 m{};
    m.m[0][0] = m.m[1][1] = m.m[2][2] = m.m[3][3] = 1.0f;
    return m;
}

Vec3 cross(const Vec3& u, const Vec3& z)
{
    return {u.y * z.z - u.z * z.y, u.z * z.x - u.x * z.z, u.x * z.y - u.y * z.x};
}

float dot(const Vec3& a, const Vec3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

}  // namespace

void mat_multiply(Mat4* dst, const Mat4* a, const Mat4* b)
{
    // Accumulate into a temporary so dst may be a or b.
    Mat4 product;
    for (int r = 0; r < 4; ++r) {
        for (int k = 0; k < 4; ++k) {
            product.m[r][k] = b->m[r][0] * a->m[0][k] + b->m[r][1] * a->m[1][k] +
                              b->m[r][2] * a->m[2][k] + b->m[r][3] * a->m[3][k];
        }
    }
    *dst = product;
}

void mat_translate(Mat4* m, float x, float y, float z)
{
    Mat4 t = identity();
    t.m[3][0] = x;
    t.m[3][1] = y;
    t.m[3][2] = z;
    mat_multiply(m, m, &t);
}

void mat_scale(Mat4* m, float s)
{
    Mat4 scale = identity();
    scale.m[0][0] = scale.m[1][1] = scale.m[2][2] = s;
    mat_multiply(m, m, &scale);
}

void mat_rotate_y_z_scale(Mat4* m, float yaw, float roll, float s)
{
    const float cy = portable_cos(yaw);
    const float sy = portable_sin(yaw);
    Mat4 ry = identity();
    ry.m[0][0] = cy;
    ry.m[0][2] = -sy;
    ry.m[2][0] = sy;
    ry.m[2][2] = cy;

    const float cr = portable_cos(roll);
    const float sr = portable_sin(roll);
    Mat4 rz = identity();
    rz.m[0][0] = cr;
    rz.m[0][1] = sr;
    rz.m[1][0] = -sr;
    rz.m[1][1] = cr;

    mat_multiply(m, m, &ry);
    mat_multiply(m, m, &rz);
    // Only the rotation block is scaled: row 3 (translation) and column 3
    // keep their values. With SSE2, one vector multiply a row, column 3
    // times exactly 1 (which leaves every float as it was); the compiler
    // keeps this loop scalar, nine multiplies. Without, the same nine.
#if DEMO_CORE_SSE2
    const __m128 scale = _mm_set_ps(1.0f, s, s, s);
    for (int r = 0; r < 3; ++r) {
        _mm_storeu_ps(m->m[r], _mm_mul_ps(_mm_loadu_ps(m->m[r]), scale));
    }
#else
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            m->m[r][c] = m->m[r][c] * s;
        }
    }
#endif
}

Vec3* vec3_normalize(Vec3* dst, const Vec3* src)
{
    const float inv = 1.0f / std::sqrt(src->x * src->x + src->y * src->y + src->z * src->z);
    *dst = {src->x * inv, src->y * inv, src->z * inv};
    return dst;
}

void mat_look_at(Mat4* m, const Vec3* eye, const Vec3* target, const Vec3* up)
{
    Vec3 zaxis{eye->x - target->x, eye->y - target->y, eye->z - target->z};
    vec3_normalize(&zaxis, &zaxis);
    Vec3 xaxis = cross(*up, zaxis);
    vec3_normalize(&xaxis, &xaxis);
    const Vec3 yaxis = cross(zaxis, xaxis);  // unit length already; not normalised again

    *m = Mat4{{
        {xaxis.x, yaxis.x, zaxis.x, 0.0f},
        {xaxis.y, yaxis.y, zaxis.y, 0.0f},
        {xaxis.z, yaxis.z, zaxis.z, 0.0f},
        {-dot(xaxis, *eye), -dot(yaxis, *eye), -dot(zaxis, *eye), 1.0f},
    }};
}

void mat_perspective(Mat4* m, float fovy_degrees, float aspect, float near_z, float far_z)
{
    const float half = fovy_degrees * 0.5f * 0.017453292f;
    const float cot = portable_cos(half) / portable_sin(half);
    *m = Mat4{};
    m->m[0][0] = cot / aspect;
    m->m[1][1] = cot;
    m->m[2][2] = far_z / (near_z - far_z);
    m->m[2][3] = -1.0f;
    m->m[3][2] = near_z * far_z / (near_z - far_z);
}
