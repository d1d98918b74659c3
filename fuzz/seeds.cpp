// fuzz-seeds: small starting inputs for the fuzzers. A fuzzer starting from
// valid files reaches the decoders at once instead of spending its time
// finding a header; small files keep every run fast. Written at run time, so
// no binary seed is kept in the repository.
//
//   fuzz-seeds dds OUTDIR [TEXTURE.dds...]
//     one small file per pixel format (an 8 x 8 chain and a lone 5 x 3
//     level), and of each texture given, its mip chain from 32 pixels down
//   fuzz-seeds mp3 OUTDIR [TRACK.mp3...]
//     quarter-second MP3s of every MPEG version, mono and stereo, CBR and
//     VBR, with and without tags, and of each track given, its first frames
#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "dds_files.h"
#include "host/common/audio/mpeg_stream.h"
#include "host/common/dds/dds.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr const char* kUsage =
    "usage: fuzz-seeds dds OUTDIR [TEXTURE.dds...]\n"
    "       fuzz-seeds mp3 OUTDIR [TRACK.mp3...]\n"
    "       fuzz-seeds --help\n";

constexpr const char* kHelp =
    "\n"
    "Writes small starting inputs for the fuzzers into OUTDIR (made if missing):\n"
    "  dds   one file per pixel format (an 8 x 8 mip chain and a lone 5 x 3\n"
    "        level); of each TEXTURE.dds, its mip chain from 32 pixels down\n"
    "  mp3   quarter-second MP3s of MPEG-1, 2 and 2.5, mono and stereo, CBR and\n"
    "        VBR, with and without Xing/LAME and ID3 tags; of each TRACK.mp3,\n"
    "        its first six audio frames, its tag's frame count cut to match\n"
    "The same bytes on every run.\n"
    "Exit status: 0 done, 1 a file could not be read or written, 2 bad usage.\n";

// A failure naming the file and the cause.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

Bytes read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw Failure(path.string() + ": cannot open: " + std::strerror(errno));
    }
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        throw Failure(path.string() + ": cannot read");
    }
    return bytes;
}

void write_file(const fs::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        throw Failure(path.string() + ": cannot write");
    }
}

// Deterministic filler bytes, different for each seed.
Bytes noise(size_t count, uint32_t seed)
{
    Bytes bytes(count);
    uint32_t state = seed * 2654435761u + 1;
    for (uint8_t& byte : bytes) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(state >> 24);
    }
    return bytes;
}

// ---------------------------------------------------------------------------
// DDS

struct DdsFormat {
    const char* name;
    dds::Format format;
    dds_files::PixelFormat pixel_format;
};

constexpr DdsFormat kDdsFormats[] = {
    {"dxt1", dds::Format::dxt1, dds_files::kDxt1},
    {"dxt3", dds::Format::dxt3, dds_files::kDxt3},
    {"dxt5", dds::Format::dxt5, dds_files::kDxt5},
    {"a8r8g8b8", dds::Format::a8r8g8b8, dds_files::kA8R8G8B8},
    {"x8r8g8b8", dds::Format::x8r8g8b8, dds_files::kX8R8G8B8},
    {"a8b8g8r8", dds::Format::a8b8g8r8, dds_files::kA8B8G8R8},
    {"x8b8g8r8", dds::Format::x8b8g8r8, dds_files::kX8B8G8R8},
    {"r8g8b8", dds::Format::r8g8b8, dds_files::kR8G8B8},
    {"r5g6b5", dds::Format::r5g6b5, dds_files::kR5G6B5},
    {"a1r5g5b5", dds::Format::a1r5g5b5, dds_files::kA1R5G5B5},
    {"x1r5g5b5", dds::Format::x1r5g5b5, dds_files::kX1R5G5B5},
    {"a4r4g4b4", dds::Format::a4r4g4b4, dds_files::kA4R4G4B4},
    {"x4r4g4b4", dds::Format::x4r4g4b4, dds_files::kX4R4G4B4},
    {"l8", dds::Format::l8, dds_files::kL8},
    {"a8l8", dds::Format::a8l8, dds_files::kA8L8},
    {"a8", dds::Format::a8, dds_files::kA8},
};

// A file of the given shape: mip_count 0 writes one level without the
// mip-count flag.
Bytes dds_file(const DdsFormat& format, uint32_t width, uint32_t height, uint32_t mip_count,
               uint32_t seed)
{
    size_t data_bytes = 0;
    for (uint32_t i = 0; i < std::max(mip_count, 1u); ++i) {
        data_bytes += static_cast<size_t>(dds::level_size(
            format.format, dds::mip_dimension(width, i), dds::mip_dimension(height, i)));
    }
    return dds_files::file(width, height, mip_count, format.pixel_format, noise(data_bytes, seed));
}

// The texture's levels from the first whose longer side is at most 32 pixels,
// under the texture's own header with the dimensions and count changed.
Bytes mip_tail(const fs::path& path)
{
    const Bytes file = read_file(path);
    const dds::ParseResult parsed = dds::parse(file);
    if (!parsed.ok) {
        throw Failure(path.string() + ": not a texture the loader accepts: " + parsed.error);
    }
    const dds::Image& image = parsed.image;
    uint32_t first = 0;
    while (first + 1 < image.level_count &&
           std::max(image.levels[first].width, image.levels[first].height) > 32) {
        ++first;
    }
    const uint32_t count = image.level_count - first;
    Bytes tail(file.begin(), file.begin() + dds::kHeaderBytes);
    dds_files::put_u32(tail, dds_files::kHeightOffset, image.levels[first].height);
    dds_files::put_u32(tail, dds_files::kWidthOffset, image.levels[first].width);
    dds_files::put_u32(tail, dds_files::kMipCountOffset, count);
    for (uint32_t i = first; i < image.level_count; ++i) {
        tail.insert(tail.end(), image.levels[i].bytes.begin(), image.levels[i].bytes.end());
    }
    return tail;
}

void write_dds_seeds(const fs::path& directory, const std::vector<fs::path>& textures)
{
    uint32_t seed = 1;
    for (const DdsFormat& format : kDdsFormats) {
        const std::string name = format.name;
        write_file(directory / (name + "-8x8-chain.dds"), dds_file(format, 8, 8, 4, seed++));
        write_file(directory / (name + "-5x3.dds"), dds_file(format, 5, 3, 0, seed++));
    }
    for (const fs::path& texture : textures) {
        write_file(directory / (texture.stem().string() + "-tail.dds"), mip_tail(texture));
    }
}

// ---------------------------------------------------------------------------
// MP3

struct Clip {
    const char* name;
    int rate;
    int channels;
    MPEG_mode mode;
    bool vbr;
    int kbps;  // the bit rate when not VBR
    bool lame_tag;
    bool id3_tags;  // an ID3v2 tag before the frames and an ID3v1 tag after them
};

// MPEG-1 for 32-48 kHz, MPEG-2 for 16-24 kHz, MPEG-2.5 for 8-12 kHz.
constexpr Clip kClips[] = {
    {"mpeg1-44k-joint-128k", 44100, 2, JOINT_STEREO, false, 128, true, false},
    {"mpeg1-48k-stereo-vbr", 48000, 2, STEREO, true, 0, true, false},
    {"mpeg1-32k-mono-untagged", 32000, 1, MONO, false, 48, false, false},
    {"mpeg2-22k-mono-64k", 22050, 1, MONO, false, 64, true, false},
    {"mpeg2-24k-joint-vbr-id3", 24000, 2, JOINT_STEREO, true, 0, true, true},
    {"mpeg25-8k-mono-8k-untagged", 8000, 1, MONO, false, 8, false, false},
    {"mpeg25-12k-stereo-16k-id3", 12000, 2, STEREO, false, 16, false, true},
};

struct LameCloser {
    void operator()(lame_global_flags* flags) const { lame_close(flags); }
};

void check(int status, const char* call, const Clip& clip)
{
    if (status < 0) {
        throw Failure(std::string(clip.name) + ": libmp3lame: " + call + " failed (" +
                      std::to_string(status) + ")");
    }
}

// A quarter second of two tones and a click, interleaved.
std::vector<short> clip_signal(const Clip& clip)
{
    const size_t frames = static_cast<size_t>(clip.rate) / 4;
    std::vector<short> samples(frames * static_cast<size_t>(clip.channels));
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / clip.rate;
        for (int c = 0; c < clip.channels; ++c) {
            const double tone = std::sin(2 * M_PI * (330.0 + 110.0 * c) * t) +
                                0.5 * std::sin(2 * M_PI * 1250.0 * t);
            const double click = i == frames / 2 ? 2.0 : 0.0;
            samples[i * static_cast<size_t>(clip.channels) + static_cast<size_t>(c)] =
                static_cast<short>(std::clamp(8000.0 * tone + 12000.0 * click, -32768.0, 32767.0));
        }
    }
    return samples;
}

Bytes encode_clip(const Clip& clip)
{
    std::unique_ptr<lame_global_flags, LameCloser> lame(lame_init());
    if (!lame) {
        throw Failure(std::string(clip.name) + ": libmp3lame: lame_init failed");
    }
    lame_global_flags* f = lame.get();
    check(lame_set_num_channels(f, clip.channels), "lame_set_num_channels", clip);
    check(lame_set_in_samplerate(f, clip.rate), "lame_set_in_samplerate", clip);
    check(lame_set_out_samplerate(f, clip.rate), "lame_set_out_samplerate", clip);
    check(lame_set_mode(f, clip.mode), "lame_set_mode", clip);
    check(lame_set_VBR(f, clip.vbr ? vbr_default : vbr_off), "lame_set_VBR", clip);
    if (!clip.vbr) {
        check(lame_set_brate(f, clip.kbps), "lame_set_brate", clip);
    }
    check(lame_set_quality(f, 7), "lame_set_quality", clip);
    check(lame_set_bWriteVbrTag(f, clip.lame_tag ? 1 : 0), "lame_set_bWriteVbrTag", clip);
    lame_set_write_id3tag_automatic(f, 0);
    check(lame_init_params(f), "lame_init_params", clip);

    std::vector<short> samples = clip_signal(clip);
    const int frames = static_cast<int>(samples.size()) / clip.channels;
    std::vector<unsigned char> buffer(samples.size() * 5 / 4 + 7200);
    const int size = static_cast<int>(buffer.size());
    const int bytes =
        clip.channels == 2
            ? lame_encode_buffer_interleaved(f, samples.data(), frames, buffer.data(), size)
            : lame_encode_buffer(f, samples.data(), samples.data(), frames, buffer.data(), size);
    check(bytes, "lame_encode_buffer", clip);
    const int tail = lame_encode_flush(f, buffer.data() + bytes, size - bytes);
    check(tail, "lame_encode_flush", clip);
    Bytes mp3(buffer.begin(), buffer.begin() + bytes + tail);
    if (clip.lame_tag) {
        // The first frame was left empty for the tag, known only now.
        const size_t tag = lame_get_lametag_frame(f, buffer.data(), buffer.size());
        if (tag == 0 || tag > mp3.size()) {
            throw Failure(std::string(clip.name) + ": libmp3lame wrote no tag frame");
        }
        std::copy_n(buffer.begin(), tag, mp3.begin());
    }
    return mp3;
}

// An ID3v2.4 tag holding a title, and a 128-byte ID3v1 tag.
Bytes id3v2_tag()
{
    const std::string title = "fuzz seed";
    const auto frame_body = static_cast<uint8_t>(1 + title.size());
    Bytes tag = {'I', 'D', '3', 4,   0, 0, 0, 0,          0, static_cast<uint8_t>(10 + frame_body),
                 'T', 'I', 'T', '2', 0, 0, 0, frame_body, 0, 0,
                 3};
    tag.insert(tag.end(), title.begin(), title.end());
    return tag;
}

Bytes id3v1_tag()
{
    Bytes tag(128, 0);
    std::memcpy(tag.data(), "TAGfuzz seed", 12);
    tag[127] = 255;  // no genre
    return tag;
}

// The track up to the end of its sixth audio frame, as a whole file: the
// frame count of its Xing tag, if it has one, cut to match (the library
// refuses a file holding fewer frames than its tag announces).
Bytes track_head(const fs::path& path)
{
    const Bytes file = read_file(path);
    const audio::ScanResult scan = audio::scan_mpeg_stream(file);
    if (!scan.stream) {
        throw Failure(path.string() + ": not an MP3 the library accepts: " + scan.error);
    }
    const audio::MpegStream& stream = *scan.stream;
    size_t end = stream.audio_begin;
    uint32_t frames = 0;
    for (; frames < 6 && end + 4 <= stream.audio_end; ++frames) {
        end += audio::parse_frame_header(&file[end])->frame_bytes;
    }
    Bytes head(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(end));
    if (stream.tag && stream.tag->frames != 0) {
        // The tag frame is the one before the audio: its "Xing" or "Info" is
        // the last before audio_begin, the flags follow, then the count.
        const auto tag_end = head.begin() + static_cast<std::ptrdiff_t>(stream.audio_begin);
        for (const char* magic : {"Xing", "Info"}) {
            const auto found = std::find_end(head.begin(), tag_end, magic, magic + 4);
            if (found != tag_end && found + 12 <= tag_end) {
                for (int i = 0; i < 4; ++i) {
                    found[8 + i] = static_cast<uint8_t>(frames >> (24 - 8 * i));
                }
                break;
            }
        }
    }
    return head;
}

void write_mp3_seeds(const fs::path& directory, const std::vector<fs::path>& tracks)
{
    for (const Clip& clip : kClips) {
        Bytes mp3 = encode_clip(clip);
        if (clip.id3_tags) {
            Bytes tagged = id3v2_tag();
            tagged.insert(tagged.end(), mp3.begin(), mp3.end());
            const Bytes v1 = id3v1_tag();
            tagged.insert(tagged.end(), v1.begin(), v1.end());
            mp3 = std::move(tagged);
        }
        write_file(directory / (std::string(clip.name) + ".mp3"), mp3);
    }
    for (const fs::path& track : tracks) {
        write_file(directory / (track.stem().string() + "-head.mp3"), track_head(track));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (args.size() < 2 || (args[0] != "dds" && args[0] != "mp3")) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const fs::path directory = args[1];
    const std::vector<fs::path> inputs(args.begin() + 2, args.end());
    try {
        std::error_code error;
        fs::create_directories(directory, error);
        if (error) {
            throw Failure(directory.string() + ": cannot make the directory: " + error.message());
        }
        if (args[0] == "dds") {
            write_dds_seeds(directory, inputs);
        } else {
            write_mp3_seeds(directory, inputs);
        }
    } catch (const Failure& failure) {
        std::fprintf(stderr, "fuzz-seeds: %s\n", failure.what());
        return 1;
    }
    return 0;
}
