#pragma once
// MPEG-1 Layer III encoding with libmp3lame: 192 kbit/s constant bit rate,
// joint stereo, and the LAME/Info tag in the first frame. The tag records the
// encoder delay and padding, so a gapless decoder (libmpg123 by default)
// gives back exactly the samples that went in, starting at sample 0.

#include <cstdint>
#include <span>
#include <vector>

#include "song.h"

namespace assets {

inline constexpr int kMp3Kbps = 192;

// `interleaved` holds left/right pairs at 44.1 kHz. Throws std::runtime_error
// if the encoder fails.
std::vector<uint8_t> encode_mp3(std::span<const int16_t> interleaved,
                                const Progress& progress = {});

}  // namespace assets
