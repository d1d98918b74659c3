// Hand-made MPEG audio for tests that need exact control over the bytes:
// frames with valid headers and silent (all-zero) bodies, and Xing/LAME tag
// frames with chosen values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace audio_test {

// Headers as the four bytes read big-endian.
inline constexpr uint32_t kMpeg1Layer3Stereo128k = 0xFFFB9000;  // 44100 Hz, 417 bytes
inline constexpr uint32_t kMpeg1Layer3Mono64k = 0xFFFB50C0;     // 44100 Hz, 208 bytes
inline constexpr uint32_t kMpeg2Layer3Stereo64k = 0xFFF38000;   // 22050 Hz, 208 bytes
inline constexpr uint32_t kMpeg1Layer2Stereo128k = 0xFFFD8000;  // layer II, 417 bytes
inline constexpr uint32_t kPaddingBit = 0x200;

// One frame with the given header and a zero body, the length the header gives.
std::vector<uint8_t> silent_frame(uint32_t header);

// `count` silent frames in a row.
std::vector<uint8_t> silent_frames(uint32_t header, int count);

struct TagValues {
    const char* magic = "Info";
    bool with_frames = true;
    uint32_t frames = 0;
    bool with_lame = true;
    std::string encoder = "LAME3.100";
    uint32_t delay = 576;
    uint32_t padding = 1000;
};

// A tag frame for a stream of MPEG-1 layer III stereo frames.
std::vector<uint8_t> tag_frame(const TagValues& values, uint32_t header = kMpeg1Layer3Stereo128k);

// An ID3v2.4 tag with `body` bytes of zero content.
std::vector<uint8_t> id3v2_tag(uint32_t body, bool footer = false);

inline void append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes)
{
    to.insert(to.end(), bytes.begin(), bytes.end());
}

}  // namespace audio_test
