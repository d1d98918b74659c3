#include "tests/audio/mpeg_frames.h"

#include <cstring>
#include <stdexcept>

#include "host/common/audio/mpeg_stream.h"

namespace audio_test {
namespace {

void put_be32(uint8_t* at, uint32_t value)
{
    at[0] = static_cast<uint8_t>(value >> 24);
    at[1] = static_cast<uint8_t>(value >> 16);
    at[2] = static_cast<uint8_t>(value >> 8);
    at[3] = static_cast<uint8_t>(value);
}

}  // namespace

std::vector<uint8_t> silent_frame(uint32_t header)
{
    uint8_t word[4];
    put_be32(word, header);
    const auto parsed = audio::parse_frame_header(word);
    if (!parsed) {
        throw std::invalid_argument("not a frame header");
    }
    std::vector<uint8_t> frame(parsed->frame_bytes, 0);
    std::memcpy(frame.data(), word, 4);
    return frame;
}

std::vector<uint8_t> silent_frames(uint32_t header, int count)
{
    std::vector<uint8_t> frames;
    for (int i = 0; i < count; ++i) {
        append(frames, silent_frame(header));
    }
    return frames;
}

std::vector<uint8_t> tag_frame(const TagValues& values, uint32_t header)
{
    std::vector<uint8_t> frame = silent_frame(header);
    uint8_t* at = frame.data() + 4 + 32;  // after the header and the stereo side information
    std::memcpy(at, values.magic, 4);
    at += 4;
    put_be32(at, values.with_frames ? 1u : 0u);
    at += 4;
    if (values.with_frames) {
        put_be32(at, values.frames);
        at += 4;
    }
    if (values.with_lame) {
        std::memcpy(at, values.encoder.data(), std::min<size_t>(values.encoder.size(), 9));
        uint8_t* delays = at + 21;
        delays[0] = static_cast<uint8_t>(values.delay >> 4);
        delays[1] = static_cast<uint8_t>(((values.delay & 15) << 4) | (values.padding >> 8));
        delays[2] = static_cast<uint8_t>(values.padding);
    }
    return frame;
}

std::vector<uint8_t> id3v2_tag(uint32_t body, bool footer)
{
    std::vector<uint8_t> tag = {'I', 'D', '3', 4, 0, static_cast<uint8_t>(footer ? 0x10 : 0)};
    for (int shift : {21, 14, 7, 0}) {
        tag.push_back(static_cast<uint8_t>((body >> shift) & 0x7F));
    }
    tag.resize(tag.size() + body, 0);
    if (footer) {
        const std::vector<uint8_t> tail = {'3',  'D',    'I',    4,      0,
                                           0x10, tag[6], tag[7], tag[8], tag[9]};
        append(tag, tail);
    }
    return tag;
}

}  // namespace audio_test
