// MP3 decoding on Linux: libmpg123 with its default gapless trimming, then
// SDL's resampler when the stream's rate is not the output's.
#pragma once

#include <cstdint>
#include <span>

#include "host/common/audio/engine.h"

namespace audio {

// Decodes a whole MP3 file (held in memory) to 16-bit stereo at
// `output_rate`. Mono streams are doubled to both channels.
DecodeOutcome decode_mp3_mpg123(std::span<const uint8_t> file, uint32_t output_rate);

}  // namespace audio
