#include "tools/capture/music.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include "host/common/audio/engine.h"
#include "host/common/audio/mpeg_stream.h"
#include "host/common/files/input_file.h"
#include "host/linux/audio/mpg123_decoder.h"

namespace capture {

namespace {

constexpr uint32_t kShowRate = 44100;

void put_u32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void put_u16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

std::optional<std::vector<uint8_t>> decode_file(const std::string& path, std::string& error)
{
    // The demo's audio library reads the music: the same checks refuse the
    // same files for the same reasons (libmpg123 alone decodes a WAV file or
    // random bytes into a few kilobytes of noise), and the same decoder puts
    // the same samples at the same byte positions.
    const files::Contents file = files::read_file(path.c_str(), audio::Engine::kMaxFileBytes);
    if (!file.ok()) {
        error = file.reason;
        return std::nullopt;
    }
    const audio::ScanResult scan = audio::scan_mpeg_stream(file.bytes);
    if (!scan.stream) {
        error = scan.error;
        return std::nullopt;
    }
    const audio::DecodeOutcome decoded = audio::decode_mp3_mpg123(file.bytes, kShowRate);
    if (!decoded.audio) {
        error = decoded.reason;
        return std::nullopt;
    }
    // Positions count at the stream's own rate: any other would move the
    // pictures against the sound.
    if (decoded.audio->source_rate != kShowRate) {
        error = "the music is " + std::to_string(decoded.audio->source_rate) +
                " Hz; the show's clock counts at 44100 Hz";
        return std::nullopt;
    }
    const std::vector<int16_t>& samples = decoded.audio->samples;
    if (samples.empty()) {
        error = "no audio in the file";
        return std::nullopt;
    }
    std::vector<uint8_t> pcm(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        put_u16(&pcm[2 * i], static_cast<uint16_t>(samples[i]));
    }
    return pcm;
}

}  // namespace

std::optional<std::vector<uint8_t>> decode_music(const std::string& path, std::string& error)
{
    try {
        return decode_file(path, error);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    // As the demo's audio library words it (BASS_ERROR_MEM).
    error = "out of memory";
    return std::nullopt;
}

bool write_wav(const std::string& path, const uint8_t* pcm, size_t bytes, std::string& error)
{
    uint8_t header[44];
    std::memcpy(header, "RIFF", 4);
    put_u32(header + 4, static_cast<uint32_t>(36 + bytes));
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put_u32(header + 16, 16);      // fmt chunk size
    put_u16(header + 20, 1);       // PCM
    put_u16(header + 22, 2);       // channels
    put_u32(header + 24, 44100);   // sample rate
    put_u32(header + 28, 176400);  // bytes per second
    put_u16(header + 32, 4);       // block align
    put_u16(header + 34, 16);      // bits per sample
    std::memcpy(header + 36, "data", 4);
    put_u32(header + 40, static_cast<uint32_t>(bytes));

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(header, 1, sizeof header, file) == sizeof header &&
                         std::fwrite(pcm, 1, bytes, file) == bytes;
    const int saved_errno = errno;
    if (std::fclose(file) != 0 || !written) {
        error = std::strerror(written ? errno : saved_errno);
        return false;
    }
    return true;
}

}  // namespace capture
