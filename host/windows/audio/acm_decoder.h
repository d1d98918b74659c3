// MP3 decoding on Windows through the Audio Compression Manager: the
// system's MPEG layer III codec turns the audio frames into PCM, and the
// PCM is then trimmed as libmpg123's gapless decoding trims it, so both
// builds hear the same sample at the same byte position.
#pragma once

#include <cstdint>
#include <span>

#include "host/common/audio/engine.h"

namespace audio {

// Decodes the frames that scan_mpeg_stream found to 16-bit stereo at
// `output_rate`. The tag frame is not given to the codec (a codec that does
// not know it decodes it as a frame of silence); the codec's raw output then
// loses the encoder delay plus the 529-sample decoder delay at the start and
// the padding less 529 at the end, as the LAME tag announces. Mono and other
// rates go through ACM's own PCM converter.
DecodeOutcome decode_mp3_acm(std::span<const uint8_t> file, const MpegStream& stream,
                             uint32_t output_rate);

}  // namespace audio
