// The five scene scripts. Each turns the bytes since its scene began into
// its clock t and from t alone (scene 2 also reads the music position)
// computes a plan: the clear and fog call, the camera on its orbit, whether
// the stars show, and the tree's base matrix and five parameters. Every
// scene then draws its plan in the same order.
#pragma once

#include <cstdint>

#include "math/matrix.h"
#include "platform/platform.h"

// One unit of scene clock is 75540 bytes of music.
inline constexpr float kSceneClock = 0.000013238019f;

// The scene clock for a byte count, as a 32-bit float.
float scene_clock(int32_t bytes);

struct FogAndClear {
    D3DCOLOR color;
    float start;
    float end;
};

struct TreePose {
    Mat4 base;
    float twist;
    float lean;
    float spread;
    float shrink;
    int32_t leaf_gray;
};

struct ScenePlan {
    FogAndClear fog;
    // The orbit every scene shares: eye (2.5 cos 2u, 1.6, -2.5 sin 2u),
    // looking at (0, 1.6 + 0.5 sin(0.2 u) + lift, 0).
    float orbit_u;
    float lift;
    bool sky_dome;
    TreePose tree;
};

ScenePlan plan_scene_1(float t);
ScenePlan plan_scene_2(float t, int32_t music_position);
ScenePlan plan_scene_3(float t);
ScenePlan plan_scene_4(float t);
ScenePlan plan_scene_5(float t);

// Clear and fog, the view, the stars (if planned), ground, grass, the tree.
void draw_scene(const ScenePlan& plan);

// One frame of each scene, given the bytes since the scene began.
void scene_1(int32_t bytes);
void scene_2(int32_t bytes);
void scene_3(int32_t bytes);
void scene_4(int32_t bytes);
void scene_5(int32_t bytes);
