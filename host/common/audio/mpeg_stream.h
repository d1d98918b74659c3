// MPEG audio as it sits in an .mp3 file: frame headers, the tags around the
// frames, and the Xing/LAME tag that tells a gapless decoder how much of the
// decoded signal is encoder delay and padding. No decoding happens here; the
// scan decides whether a file is MPEG audio at all before a decoder sees it
// (a WAV file fed to a decoder yields a few kilobytes of noise before the
// decoder gives up) and where the audio frames lie.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace audio {

enum class MpegVersion : uint8_t { mpeg1, mpeg2, mpeg25 };

struct FrameHeader {
    MpegVersion version = MpegVersion::mpeg1;
    int layer = 3;                   // 1, 2 or 3
    uint32_t bitrate = 0;            // bits per second
    uint32_t sample_rate = 0;        // Hz
    int channels = 2;                // 1 or 2
    uint32_t frame_bytes = 0;        // the whole frame, header included
    uint32_t samples_per_frame = 0;  // per channel
    uint32_t side_info_bytes = 0;    // layer III side information after the header
};

// The four bytes at p as a frame header, or nothing when they are not one
// (no sync, a reserved field, or a free-format bitrate, whose frame length
// cannot be known from the header).
std::optional<FrameHeader> parse_frame_header(const uint8_t* p);

// The Xing ("Xing" for VBR, "Info" for CBR) tag in the first frame, and the
// LAME extension that follows it.
struct XingTag {
    uint32_t frames = 0;  // audio frames after the tag frame; 0 when not given
    bool has_lame = false;
    uint32_t encoder_delay = 0;    // samples the encoder put before the signal
    uint32_t encoder_padding = 0;  // samples it appended after the signal
};

// The tag inside a whole first frame, read as libmpg123 reads it: the bytes
// between the header and the tag are zero (a CRC may occupy the first two),
// the LAME extension counts when its first byte is not zero (any encoder
// name: "LAME", "Lavc", ...).
std::optional<XingTag> parse_xing_tag(std::span<const uint8_t> frame, const FrameHeader& header);

// Where the audio frames of a file lie and what they hold.
struct MpegStream {
    FrameHeader first;           // header of the first audio frame
    size_t audio_begin = 0;      // byte offset of the first audio frame
    size_t audio_end = 0;        // one past the last complete audio frame
    uint32_t audio_frames = 0;   // complete audio frames, the tag frame excluded
    std::optional<XingTag> tag;  // from the frame before audio_begin
};

struct ScanResult {
    std::optional<MpegStream> stream;
    std::string error;  // why the data are not MPEG audio, when stream is empty
};

// Checks that data are an MPEG-1/2/2.5 layer III stream and walks its frames.
// Accepted: ID3v2 tags and zero bytes before the first frame, frames that all
// share version, layer, sample rate and channel count, and anything after the
// last complete frame (ID3v1 or APE tags, a truncated frame, junk). Refused:
// a stream whose first frame is not at the start of the data, other layers,
// free-format bitrates, a tag frame with no audio after it, and a stream with
// fewer frames than its tag counts (less one: the last may be cut), which is
// a file cut short.
ScanResult scan_mpeg_stream(std::span<const uint8_t> data);

// The decoder delay of the layer III synthesis filter bank, in samples: a
// decoder's output lags its input by this much (libmpg123's GAPLESS_DELAY).
inline constexpr uint64_t kDecoderDelay = 529;

// The part of a decoder's raw output (every sample of every audio frame,
// the tag frame not included) that a gapless decoder keeps: [begin, end).
struct GaplessWindow {
    uint64_t begin = 0;
    uint64_t end = UINT64_MAX;

    // The window applied to a raw output of raw_samples samples.
    GaplessWindow clamped(uint64_t raw_samples) const;
    uint64_t length() const { return end - begin; }
};

// The window libmpg123 keeps with its default gapless setting. Without a
// frame count in the tag nothing is cut; with one but no LAME extension only
// the decoder delay is; with both, the encoder delay plus the decoder delay at
// the start and the padding less the decoder delay at the end.
GaplessWindow gapless_window(const MpegStream& stream);

}  // namespace audio
