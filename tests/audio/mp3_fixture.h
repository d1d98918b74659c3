// Test material for the audio library: PCM with a known shape, encoded to MP3
// by libmp3lame, so every test knows the signal its decoder should return.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace audio_test {

struct Pcm {
    std::vector<int16_t> samples;  // interleaved
    uint32_t rate = 44100;
    int channels = 2;

    size_t frames() const { return samples.size() / static_cast<size_t>(channels); }
};

// A quiet sine (different pitch per channel) with a full-scale click every
// `click_every` frames, the first at `click_every` / 2: the clicks mark
// positions that survive encoding, so a test can find how decoded audio is
// aligned with the original.
Pcm make_signal(uint32_t rate, int channels, double seconds, uint32_t click_every = 4410);

struct Mp3Options {
    int bitrate_kbps = 128;  // constant bitrate unless vbr
    bool vbr = false;
    bool lame_tag = true;  // the Xing/LAME frame that carries the encoder delay and padding
};

std::vector<uint8_t> encode_mp3(const Pcm& pcm, const Mp3Options& options = {});

// The same PCM as a 16-bit RIFF WAVE file.
std::vector<uint8_t> encode_wav(const Pcm& pcm);

// libmpg123's own decode of a file in memory, with its defaults (gapless),
// as 16-bit stereo at the stream's rate; the reference our decoders meet.
std::vector<int16_t> reference_decode(std::span<const uint8_t> mp3, uint32_t* rate = nullptr);

// Frame indices of the clicks in stereo PCM: peaks above half scale, at
// least `spacing` / 2 apart.
std::vector<size_t> find_clicks(std::span<const int16_t> stereo, uint32_t spacing = 4410);

void write_file(const std::filesystem::path& path, std::span<const uint8_t> bytes);
std::vector<uint8_t> read_file(const std::filesystem::path& path);

// A fresh directory for one test's files, removed again by the caller's
// TempDir.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace audio_test
