// 4x4 matrices and 3-vectors in Direct3D's conventions: row-major, points
// are row vectors (p' = p x M), the translation sits in row 3. Every
// composition is new = X x old, which applies X to a point before the old
// matrix. All arithmetic is in 32-bit floats.
#pragma once

struct Mat4 {
    float m[4][4];
};

struct Vec3 {
    float x, y, z;
};

// dst = b x a; dst may alias a or b.
void mat_multiply(Mat4* dst, const Mat4* a, const Mat4* b);
// m = T(x, y, z) x m.
void mat_translate(Mat4* m, float x, float y, float z);
// m = diag(s, s, s, 1) x m.
void mat_scale(Mat4* m, float s);
// m = Rz(roll) x Ry(yaw) x m, then the upper-left 3x3 block times s.
void mat_rotate_y_z_scale(Mat4* m, float yaw, float roll, float s);
// dst = src / |src|; no guard against a zero vector. Returns dst.
Vec3* vec3_normalize(Vec3* dst, const Vec3* src);
// Right-handed view matrix looking from eye at target.
void mat_look_at(Mat4* m, const Vec3* eye, const Vec3* target, const Vec3* up);
// Right-handed perspective projection, depth mapped to 0..1.
void mat_perspective(Mat4* m, float fovy_degrees, float aspect, float near_z, float far_z);
