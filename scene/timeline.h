// Which scene a music position shows. The position is the only clock: any
// frame can be reproduced from it, and seeking the music seeks the picture.
#pragma once

#include <cstdint>

// The first music byte of scenes 2 to 5; scene 1 takes every position below
// the first of them, negative ones included.
inline constexpr int32_t kScene2Start = 6648556;
inline constexpr int32_t kScene3Start = 9977248;
inline constexpr int32_t kScene4Start = 13303876;
inline constexpr int32_t kScene5Start = 16631032;

// The scenes by number, 1 to 5, as the show's transport and tools name them:
// where each starts (scene 1 at the music's start) and which one a position
// shows.
inline constexpr int kSceneCount = 5;
inline constexpr int32_t kSceneStarts[kSceneCount] = {0, kScene2Start, kScene3Start, kScene4Start,
                                                      kScene5Start};
constexpr int scene_number(int32_t position)
{
    int number = 1;
    while (number < kSceneCount && position >= kSceneStarts[number]) {
        ++number;
    }
    return number;
}

// The projection every frame loads: 75 degrees, 16:9, depth 0.5..100.
inline constexpr float kFieldOfViewDegrees = 75.0f;
inline constexpr float kAspect = 1.7777778f;
inline constexpr float kNear = 0.5f;
inline constexpr float kFar = 100.0f;
