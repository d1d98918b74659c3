#include "tools/capture/music.h"

#include <mpg123.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "host/common/audio/mpeg_stream.h"

namespace capture {

namespace {

struct HandleDeleter {
    void operator()(mpg123_handle* handle) const { mpg123_delete(handle); }
};
using Handle = std::unique_ptr<mpg123_handle, HandleDeleter>;

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

// The whole file, or nothing with the system's reason in error.
std::optional<std::vector<uint8_t>> read_whole_file(const std::string& path, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    std::vector<uint8_t> data;
    uint8_t chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        data.insert(data.end(), chunk, chunk + got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        error = "read error";
        return std::nullopt;
    }
    return data;
}

}  // namespace

std::optional<std::vector<uint8_t>> decode_music(const std::string& path, std::string& error)
{
    // The demo's audio library scans a file before decoding it and refuses
    // what is not MPEG audio; libmpg123 alone decodes a WAV file or random
    // bytes into a few kilobytes of noise. The same scan makes the capture
    // refuse exactly the files the demo refuses, for the same reason.
    const std::optional<std::vector<uint8_t>> file = read_whole_file(path, error);
    if (!file) {
        return std::nullopt;
    }
    const audio::ScanResult scan = audio::scan_mpeg_stream(*file);
    if (!scan.stream) {
        error = scan.error;
        return std::nullopt;
    }

    int result = MPG123_OK;
    Handle handle(mpg123_new(nullptr, &result));
    if (!handle) {
        error = mpg123_plain_strerror(result);
        return std::nullopt;
    }
    // Only MPEG audio at the show's rate: no resampling, no format surprises.
    mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(handle.get());
    mpg123_format(handle.get(), 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open(handle.get(), path.c_str()) != MPG123_OK) {
        error = errno != 0 ? std::strerror(errno) : mpg123_strerror(handle.get());
        return std::nullopt;
    }

    std::vector<uint8_t> pcm;
    unsigned char chunk[65536];
    for (;;) {
        size_t done = 0;
        result = mpg123_read(handle.get(), chunk, sizeof chunk, &done);
        pcm.insert(pcm.end(), chunk, chunk + done);
        if (result == MPG123_DONE) {
            break;
        }
        if (result == MPG123_NEW_FORMAT || result == MPG123_OK) {
            continue;
        }
        error = std::string("not decodable MPEG audio at 44100 Hz stereo (") +
                mpg123_strerror(handle.get()) + ")";
        return std::nullopt;
    }
    if (pcm.empty()) {
        error = "no audio in the file";
        return std::nullopt;
    }
    return pcm;
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
