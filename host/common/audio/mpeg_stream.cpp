#include "host/common/audio/mpeg_stream.h"

#include <algorithm>
#include <cstring>

namespace audio {
namespace {

// Bitrates in kbit/s by bitrate index; index 0 is free format, 15 is invalid.
constexpr uint16_t kBitratesMpeg1[3][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
};
constexpr uint16_t kBitratesMpeg2[3][16] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
};
// Sample rates by sample-rate index, per version.
constexpr uint32_t kSampleRates[3][3] = {
    {44100, 48000, 32000},  // MPEG-1
    {22050, 24000, 16000},  // MPEG-2
    {11025, 12000, 8000},   // MPEG-2.5
};

uint32_t read_be32(const uint8_t* p)
{
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// The size of an ID3v2 tag at p (header, body and footer), or 0 when there is none.
size_t id3v2_size(std::span<const uint8_t> rest)
{
    if (rest.size() < 10 || std::memcmp(rest.data(), "ID3", 3) != 0) {
        return 0;
    }
    const uint8_t* p = rest.data();
    if (((p[6] | p[7] | p[8] | p[9]) & 0x80) != 0) {
        return 0;  // not a syncsafe size: not a tag
    }
    const size_t body = (size_t{p[6]} << 21) | (size_t{p[7]} << 14) | (size_t{p[8]} << 7) | p[9];
    const bool footer = (p[5] & 0x10) != 0;
    return 10 + body + (footer ? 10 : 0);
}

// Names the formats most often mistaken for MP3, for the refusal message.
std::string describe_foreign_data(std::span<const uint8_t> rest, size_t offset)
{
    struct Signature {
        const char* magic;
        const char* name;
    };
    static constexpr Signature kSignatures[] = {
        {"RIFF", "a RIFF (WAVE) file"}, {"OggS", "an Ogg file"},         {"fLaC", "a FLAC file"},
        {"FORM", "an AIFF file"},       {"MThd", "a MIDI file"},         {"\x89PNG", "a PNG image"},
        {"DDS ", "a DDS image"},        {"PK\x03\x04", "a ZIP archive"},
    };
    for (const Signature& signature : kSignatures) {
        if (rest.size() >= 4 && std::memcmp(rest.data(), signature.magic, 4) == 0) {
            return std::string(signature.name) + ", not MPEG audio";
        }
    }
    return "not MPEG audio (no MPEG audio frame at byte " + std::to_string(offset) + ")";
}

bool same_stream(const FrameHeader& a, const FrameHeader& b)
{
    return a.version == b.version && a.layer == b.layer && a.sample_rate == b.sample_rate &&
           a.channels == b.channels;
}

// Trailing data that ends a stream without making it suspect.
bool is_trailing_tag(std::span<const uint8_t> rest)
{
    return (rest.size() >= 3 && std::memcmp(rest.data(), "TAG", 3) == 0) ||
           (rest.size() >= 8 && std::memcmp(rest.data(), "APETAGEX", 8) == 0) ||
           (rest.size() >= 6 && std::memcmp(rest.data(), "LYRICS", 6) == 0);
}

}  // namespace

std::optional<FrameHeader> parse_frame_header(const uint8_t* p)
{
    const uint32_t word = read_be32(p);
    if ((word & 0xFFE00000u) != 0xFFE00000u) {
        return std::nullopt;
    }
    const uint32_t version_bits = (word >> 19) & 3;
    const uint32_t layer_bits = (word >> 17) & 3;
    const uint32_t bitrate_index = (word >> 12) & 15;
    const uint32_t rate_index = (word >> 10) & 3;
    const uint32_t padding = (word >> 9) & 1;
    const uint32_t mode = (word >> 6) & 3;
    if (version_bits == 1 || layer_bits == 0 || bitrate_index == 0 || bitrate_index == 15 ||
        rate_index == 3) {
        return std::nullopt;
    }

    FrameHeader header;
    header.version = version_bits == 3   ? MpegVersion::mpeg1
                     : version_bits == 2 ? MpegVersion::mpeg2
                                         : MpegVersion::mpeg25;
    header.layer = 4 - static_cast<int>(layer_bits);
    const bool mpeg1 = header.version == MpegVersion::mpeg1;
    const auto& bitrates = mpeg1 ? kBitratesMpeg1 : kBitratesMpeg2;
    header.bitrate = uint32_t{bitrates[header.layer - 1][bitrate_index]} * 1000;
    header.sample_rate = kSampleRates[static_cast<int>(header.version)][rate_index];
    header.channels = mode == 3 ? 1 : 2;

    switch (header.layer) {
    case 1:
        header.samples_per_frame = 384;
        header.frame_bytes = (12 * header.bitrate / header.sample_rate + padding) * 4;
        break;
    case 2:
        header.samples_per_frame = 1152;
        header.frame_bytes = 144 * header.bitrate / header.sample_rate + padding;
        break;
    default:
        header.samples_per_frame = mpeg1 ? 1152 : 576;
        header.frame_bytes = (mpeg1 ? 144 : 72) * header.bitrate / header.sample_rate + padding;
        header.side_info_bytes =
            mpeg1 ? (header.channels == 1 ? 17 : 32) : (header.channels == 1 ? 9 : 17);
        break;
    }
    return header;
}

std::optional<XingTag> parse_xing_tag(std::span<const uint8_t> frame, const FrameHeader& header)
{
    if (header.layer != 3 || frame.size() < header.frame_bytes) {
        return std::nullopt;
    }
    // Offsets count from the end of the four header bytes, as libmpg123's do.
    const std::span<const uint8_t> body = frame.subspan(4, header.frame_bytes - 4);
    size_t at = header.side_info_bytes;
    if (body.size() < at + 8) {
        return std::nullopt;
    }
    for (size_t i = 2; i < at; ++i) {
        if (body[i] != 0) {
            return std::nullopt;
        }
    }
    if (std::memcmp(&body[at], "Xing", 4) != 0 && std::memcmp(&body[at], "Info", 4) != 0) {
        return std::nullopt;
    }
    at += 4;
    const uint32_t flags = read_be32(&body[at]);
    at += 4;

    // Every announced field must fit; a tag cut short still marks the frame
    // as a tag frame but stops being read there.
    XingTag tag;
    auto take = [&](size_t bytes) { return body.size() >= at + bytes; };
    if ((flags & 1) != 0) {
        if (!take(4)) {
            return tag;
        }
        tag.frames = read_be32(&body[at]);
        at += 4;
    }
    if ((flags & 2) != 0) {  // stream bytes
        if (!take(4)) {
            return tag;
        }
        at += 4;
    }
    if ((flags & 4) != 0) {  // seek table
        if (!take(100)) {
            return tag;
        }
        at += 100;
    }
    if ((flags & 8) != 0) {  // VBR quality
        if (!take(4)) {
            return tag;
        }
        at += 4;
    }
    // The LAME extension: encoder name (9), revision (1), lowpass (1), peak (4),
    // gains (4), flags (1), ABR rate (1), then two 12-bit delays.
    if (!take(24) || body[at] == 0) {
        return tag;
    }
    const uint8_t* delays = &body[at + 21];
    tag.has_lame = true;
    tag.encoder_delay = (uint32_t{delays[0]} << 4) | (delays[1] >> 4);
    tag.encoder_padding = ((uint32_t{delays[1]} << 8) | delays[2]) & 0xFFF;
    return tag;
}

namespace {

// A frame of the same stream that the data cut short (a truncated file).
bool starts_cut_frame(std::span<const uint8_t> rest, const FrameHeader& first)
{
    const std::optional<FrameHeader> header = parse_frame_header(rest.data());
    return header && same_stream(*header, first) && rest.size() < header->frame_bytes;
}

}  // namespace

ScanResult scan_mpeg_stream(std::span<const uint8_t> data)
{
    ScanResult result;
    if (data.empty()) {
        result.error = "the file is empty";
        return result;
    }

    size_t at = 0;
    while (size_t tag = id3v2_size(data.subspan(at))) {
        if (tag > data.size() - at) {
            result.error = "the file ends inside its ID3v2 tag";
            return result;
        }
        at += tag;
    }
    while (at < data.size() && data[at] == 0) {
        ++at;
    }
    if (data.size() - at < 4) {
        result.error = "the file holds no MPEG audio";
        return result;
    }

    const std::optional<FrameHeader> first = parse_frame_header(&data[at]);
    if (!first) {
        result.error = describe_foreign_data(data.subspan(at), at);
        return result;
    }
    if (first->layer != 3) {
        result.error =
            "MPEG layer " + std::to_string(first->layer) + " audio; only layer III (MP3) is played";
        return result;
    }

    MpegStream stream;
    stream.first = *first;
    if (data.size() - at >= first->frame_bytes) {
        stream.tag = parse_xing_tag(data.subspan(at, first->frame_bytes), *first);
    }
    const size_t stream_start = at;
    if (stream.tag) {
        at += first->frame_bytes;
    }
    stream.audio_begin = at;

    // Walk the chain of frames; it ends at the first byte that does not start
    // a frame of the same stream, or at a frame the data cut short.
    while (data.size() - at >= 4) {
        const std::optional<FrameHeader> header = parse_frame_header(&data[at]);
        if (!header || !same_stream(*header, *first) || data.size() - at < header->frame_bytes) {
            break;
        }
        if (stream.audio_frames == 0) {
            stream.first = *header;
        }
        at += header->frame_bytes;
        ++stream.audio_frames;
    }
    stream.audio_end = at;

    if (stream.audio_frames == 0) {
        result.error = stream.tag ? "the file holds an MPEG tag frame but no audio frames"
                                  : "the file ends inside its first MPEG audio frame";
        return result;
    }
    // A tag that counts more frames than the file holds marks a file cut
    // short (a download broken off, a copy interrupted); playing the rest
    // would end the show early as if nothing were wrong. One frame of slack
    // covers a last frame cut by a few bytes, and encoders that count the
    // tag frame itself.
    if (stream.tag && stream.tag->frames > uint64_t{stream.audio_frames} + 1) {
        result.error = "the file is cut short: it holds " + std::to_string(stream.audio_frames) +
                       " of the " + std::to_string(stream.tag->frames) +
                       " audio frames its tag announces";
        return result;
    }
    // A lone frame followed by something that is neither a tag nor the end
    // is a chance match of four bytes, not a stream.
    const bool lone = stream.audio_frames == 1 && !stream.tag;
    const std::span<const uint8_t> after = data.subspan(at);
    if (lone && after.size() >= 4 && !is_trailing_tag(after) && !starts_cut_frame(after, *first)) {
        result.error = "not MPEG audio (a lone frame header at byte " +
                       std::to_string(stream_start) + ", then other data)";
        return result;
    }
    result.stream = stream;
    return result;
}

GaplessWindow GaplessWindow::clamped(uint64_t raw_samples) const
{
    GaplessWindow window;
    window.begin = std::min(begin, raw_samples);
    window.end = std::max(window.begin, std::min(end, raw_samples));
    return window;
}

GaplessWindow gapless_window(const MpegStream& stream)
{
    GaplessWindow window;
    if (!stream.tag || stream.tag->frames == 0) {
        return window;
    }
    const XingTag& tag = *stream.tag;
    const uint64_t total = uint64_t{tag.frames} * stream.first.samples_per_frame;
    const uint64_t delay = tag.has_lame ? tag.encoder_delay : 0;
    const uint64_t padding = tag.has_lame ? tag.encoder_padding : 0;
    window.begin = delay + kDecoderDelay;
    // libmpg123 computes total - padding + 529 in signed arithmetic; a padding
    // larger than the whole track leaves nothing.
    window.end = total + kDecoderDelay > padding ? total + kDecoderDelay - padding : 0;
    window.end = std::max(window.end, window.begin);
    return window;
}

}  // namespace audio
