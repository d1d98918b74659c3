#pragma once
// The track as 16-bit stereo samples at 44.1 kHz.

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "score.h"

namespace assets {

// Reports a stage of a long job and how far it is, 0..1.
using Progress = std::function<void(std::string_view stage, double fraction)>;

// The first `frames` frames of the track (at most kTrackFrames), interleaved
// left/right. A shorter render is exactly the start of the full one.
std::vector<int16_t> render_song(int64_t frames, const Progress& progress = {});

// The first `frames` frames with a short fade at the end, for tests that need
// the show to end soon.
std::vector<int16_t> render_short_track(int64_t frames, const Progress& progress = {});

// Length of the fade at the end of a short track.
inline constexpr int64_t kShortTrackFadeFrames = 2205;

}  // namespace assets
