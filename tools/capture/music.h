// The music as the show's clock sees it: decoded 16-bit stereo PCM at
// 44100 Hz, byte 0 being the first sample after the encoder's delay.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace capture {

// Decodes a whole MP3 file as the demo's audio library does (its scan, then
// libmpg123, gapless). Null with a reason in error when the file cannot be
// read (missing, a directory, a device, a FIFO, too large), is not MPEG audio
// by that scan, is not at 44100 Hz, or does not fit in memory.
std::optional<std::vector<uint8_t>> decode_music(const std::string& path, std::string& error);

// Writes pcm as a 44100 Hz stereo 16-bit WAV file. False with a reason on failure.
bool write_wav(const std::string& path, const uint8_t* pcm, size_t bytes, std::string& error);

}  // namespace capture
