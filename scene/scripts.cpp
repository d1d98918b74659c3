// The choreography. Every number here is a 32-bit float computed from the
// scene clock t; colour channels are truncated toward zero, and where a
// formula can pass 255 the truncated value is lowered to 255, so a channel
// never wraps to a small byte.
#include "scene/scripts.h"

#include <algorithm>
#include <cmath>

#include "gu/gu.h"
#include "math/trig.h"
#include "scene/elements.h"
#include "scene/scene.h"
#include "scene/tree.h"

namespace {

constexpr D3DCOLOR kDayColor = 0xFF64C8DC;    // red 100, green 200, blue 220
constexpr D3DCOLOR kNightColor = 0xFF040810;  // red 4, green 8, blue 16
constexpr float kFogStart = 2.5f;
constexpr float kFogEnd = 5.0f;

// Scene 2's leaves stay dark until the music passes this absolute byte.
constexpr int32_t kLeafPulseAfter = 8464680;

int32_t truncated(float value)
{
    return static_cast<int32_t>(value);
}

// Truncated first, then held at 255: 256 or more never wraps.
int32_t capped(float value)
{
    return std::min(truncated(value), 255);
}

D3DCOLOR opaque(int32_t red, int32_t green, int32_t blue)
{
    return 0xFF000000u + ((static_cast<uint32_t>(red) & 0xFF) << 16) +
           ((static_cast<uint32_t>(green) & 0xFF) << 8) + (static_cast<uint32_t>(blue) & 0xFF);
}

// A fade in from white: the channels fall from (held) white to base - 255
// while the fog distances grow from 0 to 2.5 and 5.
FogAndClear fade_in_from_white(float s, float red, float green, float blue)
{
    const float p = 255.0f * s;
    return {opaque(capped(red - p), capped(green - p), capped(blue - p)), kFogStart * s,
            kFogEnd * s};
}

Mat4 uniform_scale(float k)
{
    return {{
        {k, 0.0f, 0.0f, 0.0f},
        {0.0f, k, 0.0f, 0.0f},
        {0.0f, 0.0f, k, 0.0f},
        {0.0f, 0.0f, 0.0f, 1.0f},
    }};
}

// Rz(a) of the matrix library, written out.
Mat4 rotation_z(float a)
{
    const float c = portable_cos(a);
    const float s = portable_sin(a);
    return {{
        {c, s, 0.0f, 0.0f},
        {-s, c, 0.0f, 0.0f},
        {0.0f, 0.0f, 1.0f, 0.0f},
        {0.0f, 0.0f, 0.0f, 1.0f},
    }};
}

// A falling sawtooth: 255 where steps_per_unit * t is a multiple of 256,
// one step lower every 1 / steps_per_unit clock units, 0 just before the
// next multiple.
int32_t sawtooth(float t, float steps_per_unit)
{
    return 255 - (truncated(steps_per_unit * t) & 255);
}

// ---- scene 1: fade in, the tree grows, the crown opens, fade to black ----

FogAndClear scene_1_fog(float t)
{
    if (t < 2.0f) {
        return fade_in_from_white(portable_sin(t * 0.78539819f), 355.0f, 455.0f, 475.0f);
    }
    if (t <= 86.0f) {
        return {kDayColor, kFogStart, kFogEnd};
    }
    const float k = std::max(1.0f - (t - 86.0f) * 0.5f, 0.0f);
    // k never exceeds 1 here, so no channel needs holding at 255.
    return {opaque(truncated(100.0f * k), truncated(200.0f * k), truncated(220.0f * k)),
            kFogStart * k, kFogEnd * k};
}

float scene_1_size(float t)
{
    if (t < 24.0f) {
        return 0.0f;  // collapsed to the origin; the draws are made all the same
    }
    if (t < 64.0f) {
        return portable_sin((t - 24.0f) * 0.039269909f);  // a quarter sine over 40 units
    }
    return 1.0f;
}

float scene_1_spread(float t)
{
    return t <= 80.0f ? 0.0f : 1.0f - portable_cos((t - 80.0f) * 0.15f);
}

// ---- scene 2: night, the camera circles and at the end looks up ----

float scene_2_lift(float t)
{
    return t <= 42.0f ? 0.0f : 20.0f * (1.0f - portable_cos((t - 42.0f) * 0.5f));
}

// Four pulses per clock unit, each a fall over a quarter unit: the third of
// every unit from 255, the other three from 63.
int32_t scene_2_leaf_gray(float t, int32_t music_position)
{
    if (music_position <= kLeafPulseAfter) {
        return 0;
    }
    const int32_t x = truncated(1024.0f * t) & 255;
    const int32_t quarter = truncated(4.0f * t) & 3;
    return quarter == 2 ? 255 - x : (255 - x) / 4;
}

// ---- scene 4: fade in from white, the tree rocks ----

FogAndClear scene_4_fog(float t)
{
    if (t < 1.0f) {
        return fade_in_from_white(portable_sin(t * 1.5707964f), 259.0f, 263.0f, 271.0f);
    }
    return {kNightColor, kFogStart, kFogEnd};
}

// ---- scene 5: day, the crown closes, the tree shrinks, white, then black ----

FogAndClear scene_5_fog(float t)
{
    if (t < 2.0f) {
        return fade_in_from_white(portable_sin(t * 0.7853982f), 355.0f, 455.0f, 475.0f);
    }
    if (t <= 31.0f) {
        return {kDayColor, kFogStart, kFogEnd};
    }
    if (t <= 32.0f) {
        const float s = portable_sin((t - 31.0f) * 1.5707964f);
        const float p = 255.0f * s;
        return {opaque(capped(100.0f + p), capped(200.0f + p), capped(p + 220.0f)),
                kFogStart * (1.0f - s), kFogEnd * (1.0f - s)};
    }
    const float g = std::max(1.0f - (t - 32.0f) * 0.2f, 0.0f);
    const int32_t v = truncated(255.0f * g) & 0xFF;
    return {opaque(v, v, v), 0.0f, 0.0f};
}

// No lower bound: after t = 32 the factor is negative and applied as it is.
float scene_5_size(float t)
{
    return t <= 24.0f ? 1.0f : portable_cos((t - 24.0f) * 0.19634955f);
}

float scene_5_spread(float t)
{
    return t <= 12.0f ? 0.9424779f : std::max(0.9424779f - (t - 12.0f) * 0.05f, 0.0f);
}

}  // namespace

float scene_clock(int32_t bytes)
{
    return static_cast<float>(bytes) * kSceneClock;
}

ScenePlan plan_scene_1(float t)
{
    ScenePlan plan{};
    plan.fog = scene_1_fog(t);
    plan.orbit_u = 0.01f * t;
    plan.sky_dome = false;
    plan.tree = {uniform_scale(scene_1_size(t)), 0.0f, 0.0f, scene_1_spread(t), 0.0f, 0};
    return plan;
}

ScenePlan plan_scene_2(float t, int32_t music_position)
{
    const float u = 0.2f * t;
    ScenePlan plan{};
    plan.fog = {kNightColor, kFogStart, kFogEnd};
    plan.orbit_u = u;
    plan.lift = scene_2_lift(t);
    plan.sky_dome = true;
    // sin 2u is the value that also places the eye: the crown breathes with the orbit.
    plan.tree = {uniform_scale(1.0f),
                 u,
                 portable_cos(3.0f * u) * 0.7f * 0.39269909f,
                 (portable_sin(2.0f * u) * 0.3f + 0.9f) * 0.78539819f,
                 1.0f,
                 scene_2_leaf_gray(t, music_position)};
    return plan;
}

ScenePlan plan_scene_3(float t)
{
    const float h = t * 0.5f;
    ScenePlan plan{};
    plan.fog = {kNightColor, kFogStart, kFogEnd};
    plan.orbit_u = -h;  // against scene 4's sense, at half its speed
    plan.sky_dome = true;
    plan.tree = {uniform_scale(1.0f),
                 -3.0f * h,
                 portable_cos(2.0f * h) * 0.7f * 0.7853982f,
                 (portable_sin(4.0f * h) * 0.3f + 0.9f) * 0.7853982f,
                 0.5f,
                 sawtooth(t, 256.0f)};
    return plan;
}

ScenePlan plan_scene_4(float t)
{
    const float w = portable_sin(3.1415927f * t);
    ScenePlan plan{};
    plan.fog = scene_4_fog(t);
    plan.orbit_u = t;
    plan.sky_dome = true;
    // The whole tree rocks about the z axis, at most pi/8 either way.
    plan.tree = {rotation_z(0.3926991f * w), t, w * 1.5707964f, 0.7853982f, 0.0f,
                 sawtooth(t, 512.0f)};
    return plan;
}

ScenePlan plan_scene_5(float t)
{
    const float u = t * 0.03f;
    ScenePlan plan{};
    plan.fog = scene_5_fog(t);
    plan.orbit_u = u;
    plan.sky_dome = false;
    plan.tree = {
        uniform_scale(scene_5_size(t)), -2.0f * u, 0.31415927f, scene_5_spread(t), 0.0f, 0};
    return plan;
}

void draw_scene(const ScenePlan& plan)
{
    set_fog_and_clear(plan.fog.color, plan.fog.start, plan.fog.end);

    const float u = plan.orbit_u;
    const Vec3 eye = {2.5f * portable_cos(2.0f * u), 1.6f, -2.5f * portable_sin(2.0f * u)};
    const Vec3 target = {0.0f, 1.6f + 0.5f * portable_sin(0.2f * u) + plan.lift, 0.0f};
    const Vec3 up = {0.0f, 1.0f, 0.0f};
    Mat4 view;
    mat_look_at(&view, &eye, &target, &up);
    gu_load_matrix(GU_VIEW, &view);

    if (plan.sky_dome) {
        draw_sky_dome(&eye);
    }
    draw_ground(-4, 5, -4, 5);
    draw_grass();
    const TreePose& tree = plan.tree;
    draw_tree(&tree.base, tree.twist, tree.lean, tree.spread, tree.shrink, tree.leaf_gray);
}

void scene_1(int32_t bytes)
{
    draw_scene(plan_scene_1(scene_clock(bytes)));
}

void scene_2(int32_t bytes)
{
    draw_scene(plan_scene_2(scene_clock(bytes), music_pos));
}

void scene_3(int32_t bytes)
{
    draw_scene(plan_scene_3(scene_clock(bytes)));
}

void scene_4(int32_t bytes)
{
    draw_scene(plan_scene_4(scene_clock(bytes)));
}

void scene_5(int32_t bytes)
{
    draw_scene(plan_scene_5(scene_clock(bytes)));
}
