// What a recorded frame asked of the device, pulled out of its calls: the
// clear and fog arguments, the camera, the background elements and the tree.
#pragma once

#include <bit>
#include <cmath>
#include <string>
#include <vector>

#include "tests/support/device_calls.h"

struct FrameFacts {
    D3DCOLOR clear_color = 0;
    float fog_start = 0;
    float fog_end = 0;
    D3DCOLOR fog_color = 0;  // the first D3DRS_FOGCOLOR of the frame
    Mat4 view{};
    bool sky_dome = false;  // a point-list draw
    size_t ground_tiles = 0;
    Mat4 tree_base{};  // the world matrix of the first trunk segment
    std::vector<DWORD> leaf_factors;
};

inline FrameFacts read_frame(const std::vector<DeviceCall>& calls)
{
    FrameFacts facts;
    bool fog_color_seen = false;
    bool tree_seen = false;
    Mat4 last_world = identity_matrix();
    for (const DeviceCall& c : calls) {
        if (const auto* clear = std::get_if<call::Clear>(&c)) {
            facts.clear_color = clear->color;
        } else if (const auto* rs = std::get_if<call::RenderState>(&c)) {
            if (rs->state == D3DRS_FOGSTART) {
                facts.fog_start = std::bit_cast<float>(rs->value);
            } else if (rs->state == D3DRS_FOGEND) {
                facts.fog_end = std::bit_cast<float>(rs->value);
            } else if (rs->state == D3DRS_FOGCOLOR && !fog_color_seen) {
                facts.fog_color = rs->value;
                fog_color_seen = true;
            } else if (rs->state == D3DRS_BLENDFACTOR) {
                facts.leaf_factors.push_back(rs->value);
            }
        } else if (const auto* t = std::get_if<call::Transform>(&c)) {
            if (t->state == D3DTS_VIEW) {
                facts.view = unflat(t->matrix);
            } else if (t->state == D3DTS_WORLD) {
                last_world = unflat(t->matrix);
            }
        } else if (const auto* d = std::get_if<call::Draw>(&c)) {
            if (d->type == D3DPT_POINTLIST) {
                facts.sky_dome = true;
            } else if (d->type == D3DPT_TRIANGLESTRIP && d->record_count == 4) {
                ++facts.ground_tiles;
            } else if (d->type == D3DPT_TRIANGLESTRIP && d->record_count == 58 && !tree_seen) {
                facts.tree_base = last_world;
                tree_seen = true;
            }
        }
    }
    return facts;
}

// The frame's work in the order the device saw it, one word per element and
// runs of the same element merged: "projection", "clear", "fog", "view",
// "sky dome", "ground", "grass", "tree" (its segments and leaves).
inline std::vector<std::string> frame_outline(const std::vector<DeviceCall>& calls)
{
    std::vector<std::string> outline;
    const auto note = [&outline](const char* element) {
        if (outline.empty() || outline.back() != element) {
            outline.emplace_back(element);
        }
    };
    for (const DeviceCall& c : calls) {
        if (is<call::Clear>(c)) {
            note("clear");
        } else if (const auto* rs = std::get_if<call::RenderState>(&c)) {
            if (rs->state == D3DRS_FOGVERTEXMODE || rs->state == D3DRS_FOGSTART ||
                rs->state == D3DRS_FOGEND) {
                note("fog");
            }
        } else if (const auto* t = std::get_if<call::Transform>(&c)) {
            if (t->state == D3DTS_PROJECTION) {
                note("projection");
            } else if (t->state == D3DTS_VIEW) {
                note("view");
            }
        } else if (const auto* d = std::get_if<call::Draw>(&c)) {
            if (d->type == D3DPT_POINTLIST) {
                note("sky dome");
            } else if (d->type == D3DPT_TRIANGLESTRIP && d->record_count == 4) {
                note("ground");
            } else if (d->indexed && d->record_count == 16384) {
                note("grass");
            } else if (d->record_count == 58 || (d->indexed && d->record_count == 8)) {
                note("tree");
            } else {
                note("unknown draw");
            }
        }
    }
    return outline;
}

// The camera position a look-at view matrix was built from.
inline Vec3 eye_of(const Mat4& v)
{
    const float* m = &v.m[0][0];
    const Vec3 x{m[0], m[4], m[8]};
    const Vec3 y{m[1], m[5], m[9]};
    const Vec3 z{m[2], m[6], m[10]};
    const float a = m[12];
    const float b = m[13];
    const float c = m[14];
    return {-(a * x.x + b * y.x + c * z.x), -(a * x.y + b * y.y + c * z.y),
            -(a * x.z + b * y.z + c * z.z)};
}

// The height at which the view's line of sight crosses the vertical axis.
inline float target_height_of(const Mat4& v)
{
    const Vec3 eye = eye_of(v);
    const Vec3 back{v.m[0][2], v.m[1][2], v.m[2][2]};  // zaxis: from the target to the eye
    const float s = std::fabs(back.x) > std::fabs(back.z) ? eye.x / back.x : eye.z / back.z;
    return eye.y - s * back.y;
}

inline Mat4 diag(float k)
{
    return Mat4{{{k, 0, 0, 0}, {0, k, 0, 0}, {0, 0, k, 0}, {0, 0, 0, 1}}};
}
