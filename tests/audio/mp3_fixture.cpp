#include "tests/audio/mp3_fixture.h"

#include <lame/lame.h>
#include <mpg123.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace audio_test {

Pcm make_signal(uint32_t rate, int channels, double seconds, uint32_t click_every)
{
    Pcm pcm;
    pcm.rate = rate;
    pcm.channels = channels;
    const auto frames = static_cast<size_t>(seconds * rate);
    pcm.samples.resize(frames * static_cast<size_t>(channels));
    constexpr double kTwoPi = 6.283185307179586;
    for (size_t i = 0; i < frames; ++i) {
        const bool click = i % click_every == click_every / 2;
        for (int c = 0; c < channels; ++c) {
            const double pitch = 220.0 * (c + 1);
            const double tone = 3000.0 * std::sin(kTwoPi * pitch * static_cast<double>(i) / rate);
            pcm.samples[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
                static_cast<int16_t>(click ? 30000.0 : tone);
        }
    }
    return pcm;
}

std::vector<uint8_t> encode_mp3(const Pcm& pcm, const Mp3Options& options)
{
    std::unique_ptr<lame_global_flags, int (*)(lame_global_flags*)> lame(lame_init(), lame_close);
    lame_set_in_samplerate(lame.get(), static_cast<int>(pcm.rate));
    lame_set_out_samplerate(lame.get(), static_cast<int>(pcm.rate));
    lame_set_num_channels(lame.get(), pcm.channels);
    lame_set_mode(lame.get(), pcm.channels == 1 ? MONO : JOINT_STEREO);
    lame_set_quality(lame.get(), 7);
    lame_set_bWriteVbrTag(lame.get(), options.lame_tag ? 1 : 0);
    if (options.vbr) {
        lame_set_VBR(lame.get(), vbr_default);
        lame_set_VBR_quality(lame.get(), 4.0f);
    } else {
        lame_set_VBR(lame.get(), vbr_off);
        lame_set_brate(lame.get(), options.bitrate_kbps);
    }
    if (lame_init_params(lame.get()) < 0) {
        throw std::runtime_error("lame_init_params refused the settings");
    }

    const int frames = static_cast<int>(pcm.frames());
    std::vector<uint8_t> out(static_cast<size_t>(frames) * 5 / 4 + 7200 + 16384);
    int written = 0;
    if (pcm.channels == 2) {
        written = lame_encode_buffer_interleaved(lame.get(), const_cast<short*>(pcm.samples.data()),
                                                 frames, out.data(), static_cast<int>(out.size()));
    } else {
        written = lame_encode_buffer(lame.get(), pcm.samples.data(), nullptr, frames, out.data(),
                                     static_cast<int>(out.size()));
    }
    if (written < 0) {
        throw std::runtime_error("lame_encode_buffer failed");
    }
    const int flushed =
        lame_encode_flush(lame.get(), out.data() + written, static_cast<int>(out.size()) - written);
    out.resize(static_cast<size_t>(written + std::max(flushed, 0)));
    if (options.lame_tag) {
        // The stream starts with a placeholder frame; the finished tag goes over it.
        uint8_t tag[2880];
        const size_t tag_bytes = lame_get_lametag_frame(lame.get(), tag, sizeof tag);
        std::memcpy(out.data(), tag, std::min(tag_bytes, out.size()));
    }
    return out;
}

std::vector<uint8_t> encode_wav(const Pcm& pcm)
{
    const auto data_bytes = static_cast<uint32_t>(pcm.samples.size() * 2);
    const auto channels = static_cast<uint32_t>(pcm.channels);
    std::vector<uint8_t> out(44 + data_bytes);
    size_t at = 0;
    auto put = [&](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out[at++] = static_cast<uint8_t>(value >> (8 * i));
        }
    };
    auto text = [&](const char* chars) {
        std::memcpy(&out[at], chars, 4);
        at += 4;
    };
    text("RIFF");
    put(36 + data_bytes, 4);
    text("WAVE");
    text("fmt ");
    put(16, 4);
    put(1, 2);  // PCM
    put(channels, 2);
    put(pcm.rate, 4);
    put(pcm.rate * channels * 2, 4);
    put(channels * 2, 2);
    put(16, 2);
    text("data");
    put(data_bytes, 4);
    for (int16_t sample : pcm.samples) {
        put(static_cast<uint16_t>(sample), 2);
    }
    return out;
}

std::vector<int16_t> reference_decode(std::span<const uint8_t> mp3, uint32_t* rate)
{
    int error = 0;
    std::unique_ptr<mpg123_handle, void (*)(mpg123_handle*)> handle(mpg123_new(nullptr, &error),
                                                                    mpg123_delete);
    mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_FORCE_STEREO | MPG123_QUIET, 0);
    mpg123_format_none(handle.get());
    for (long r : {8000L, 11025L, 12000L, 16000L, 22050L, 24000L, 32000L, 44100L, 48000L}) {
        mpg123_format(handle.get(), r, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    }
    // The feed reader needs no callbacks; libmpg123 still trims gaplessly
    // because the LAME tag gives the frame count.
    mpg123_open_feed(handle.get());
    mpg123_feed(handle.get(), mp3.data(), mp3.size());
    std::vector<int16_t> out;
    unsigned char chunk[16384];
    for (;;) {
        size_t got = 0;
        const int status = mpg123_read(handle.get(), chunk, sizeof chunk, &got);
        // Reads that bring no samples leave an empty vector's data() null,
        // and memcpy from or to null is undefined even for zero bytes.
        if (got >= 2) {
            const size_t at = out.size();
            out.resize(at + got / 2);
            std::memcpy(out.data() + at, chunk, got / 2 * 2);
        }
        if (status != MPG123_OK && status != MPG123_NEW_FORMAT) {
            break;
        }
    }
    if (rate != nullptr) {
        long r = 0;
        int channels = 0;
        int encoding = 0;
        mpg123_getformat(handle.get(), &r, &channels, &encoding);
        *rate = static_cast<uint32_t>(r);
    }
    return out;
}

std::vector<size_t> find_clicks(std::span<const int16_t> stereo, uint32_t spacing)
{
    std::vector<size_t> clicks;
    const size_t frames = stereo.size() / 2;
    size_t i = 0;
    while (i < frames) {
        if (std::abs(stereo[i * 2]) < 16000) {
            ++i;
            continue;
        }
        // The peak of this click.
        size_t best = i;
        const size_t end = std::min(frames, i + spacing / 2);
        for (size_t j = i; j < end; ++j) {
            if (std::abs(stereo[j * 2]) > std::abs(stereo[best * 2])) {
                best = j;
            }
        }
        clicks.push_back(best);
        i = end;
    }
    return clicks;
}

void write_file(const std::filesystem::path& path, std::span<const uint8_t> bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::vector<uint8_t> read_file(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "audio-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary directory");
    }
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace audio_test
