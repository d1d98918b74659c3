#include "host/linux/audio/mpg123_decoder.h"

#include <SDL2/SDL.h>
#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace audio {
namespace {

// libmpg123 reads the file from memory through these callbacks, so it can
// seek as it does in a file (its frame scan and gapless end need that).
struct MemoryReader {
    std::span<const uint8_t> data;
    size_t at = 0;
};

mpg123_ssize_t read_memory(void* handle, void* out, size_t bytes)
{
    auto* reader = static_cast<MemoryReader*>(handle);
    const size_t count = std::min(bytes, reader->data.size() - reader->at);
    std::memcpy(out, reader->data.data() + reader->at, count);
    reader->at += count;
    return static_cast<mpg123_ssize_t>(count);
}

off_t seek_memory(void* handle, off_t offset, int whence)
{
    auto* reader = static_cast<MemoryReader*>(handle);
    const off_t size = static_cast<off_t>(reader->data.size());
    const off_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? off_t(reader->at) : size;
    const off_t target = base + offset;
    if (target < 0 || target > size) {
        return -1;
    }
    reader->at = static_cast<size_t>(target);
    return target;
}

struct HandleDeleter {
    void operator()(mpg123_handle* handle) const
    {
        mpg123_close(handle);
        mpg123_delete(handle);
    }
};
using Handle = std::unique_ptr<mpg123_handle, HandleDeleter>;

DecodeOutcome failure(int error, std::string reason)
{
    DecodeOutcome outcome;
    outcome.error = error;
    outcome.reason = std::move(reason);
    return outcome;
}

// A handle that gives 16-bit stereo at the stream's own rate (no resampling
// inside libmpg123) and keeps its default gapless trimming.
Handle open_decoder(MemoryReader& reader, std::string& why)
{
    int error = MPG123_OK;
    Handle handle(mpg123_new(nullptr, &error));
    if (!handle) {
        why = std::string("libmpg123: ") + mpg123_plain_strerror(error);
        return nullptr;
    }
    mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_FORCE_STEREO | MPG123_QUIET, 0);
    mpg123_format_none(handle.get());
    const long* rates = nullptr;
    size_t rate_count = 0;
    mpg123_rates(&rates, &rate_count);
    for (size_t i = 0; i < rate_count; ++i) {
        mpg123_format(handle.get(), rates[i], MPG123_STEREO, MPG123_ENC_SIGNED_16);
    }
    if (mpg123_replace_reader_handle(handle.get(), read_memory, seek_memory, nullptr) !=
            MPG123_OK ||
        mpg123_open_handle(handle.get(), &reader) != MPG123_OK) {
        why = std::string("libmpg123: ") + mpg123_strerror(handle.get());
        return nullptr;
    }
    return handle;
}

// Converts interleaved 16-bit stereo from one rate to another with SDL's
// resampler; the same samples when the rates agree. Empty when SDL fails.
std::vector<int16_t> resample_stereo(std::vector<int16_t> samples, uint32_t from_rate,
                                     uint32_t to_rate)
{
    if (from_rate == to_rate) {
        return samples;
    }
    const uint64_t frames = samples.size() / 2;
    const uint64_t wanted = frames * to_rate / from_rate;
    // SDL 2.26's flush leaves the resampler's last ~1024 frames inside the
    // stream; a tenth of a second of silence behind the music pushes them out.
    samples.resize(samples.size() + from_rate / 10 * 2, 0);

    SDL_AudioStream* stream = SDL_NewAudioStream(AUDIO_S16SYS, 2, static_cast<int>(from_rate),
                                                 AUDIO_S16SYS, 2, static_cast<int>(to_rate));
    std::vector<int16_t> out;
    if (stream == nullptr) {
        return out;
    }
    const int bytes = static_cast<int>(samples.size() * sizeof(int16_t));
    if (SDL_AudioStreamPut(stream, samples.data(), bytes) == 0 &&
        SDL_AudioStreamFlush(stream) == 0) {
        out.resize(static_cast<size_t>(SDL_AudioStreamAvailable(stream)) / sizeof(int16_t));
        const int got =
            SDL_AudioStreamGet(stream, out.data(), static_cast<int>(out.size() * sizeof(int16_t)));
        const size_t got_frames = got > 0 ? static_cast<size_t>(got) / 4 : 0;
        out.resize(std::min<size_t>(got_frames, wanted) * 2);
    }
    SDL_FreeAudioStream(stream);
    return out;
}

}  // namespace

DecodeOutcome decode_mp3_mpg123(std::span<const uint8_t> file, uint32_t output_rate)
{
    MemoryReader reader{file, 0};
    std::string why;
    Handle handle = open_decoder(reader, why);
    if (!handle) {
        return failure(BASS_ERROR_FILEFORM, why);
    }

    // The scan reads every frame header (the exact positioning that
    // BASS_STREAM_PRESCAN asks for) and gives the decoded length in advance.
    // Only a length it counted is made room for: when the scan fails (it
    // seeks past the end of the data to skip an ID3v2 tag that claims more
    // bytes than are left), libmpg123 still reports the length the Xing tag
    // announced, and a tag may announce four billion frames.
    std::vector<int16_t> samples;
    if (mpg123_scan(handle.get()) == MPG123_OK) {
        const off_t expected = mpg123_length(handle.get());
        if (expected > 0) {
            samples.reserve(static_cast<size_t>(expected) * 2);
        }
    }

    // libmpg123's first read reports the format with no data; MPG123_DONE can
    // come with the last data.
    constexpr size_t kChunkSamples = 8192;
    int status = MPG123_OK;
    while (status == MPG123_OK || status == MPG123_NEW_FORMAT) {
        const size_t at = samples.size();
        samples.resize(at + kChunkSamples);
        size_t got = 0;
        status = mpg123_read(handle.get(), reinterpret_cast<unsigned char*>(samples.data() + at),
                             kChunkSamples * sizeof(int16_t), &got);
        samples.resize(at + got / sizeof(int16_t));
    }
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    mpg123_getformat(handle.get(), &rate, &channels, &encoding);
    if (status != MPG123_DONE && samples.empty()) {
        return failure(BASS_ERROR_FILEFORM,
                       std::string("libmpg123: ") + mpg123_strerror(handle.get()));
    }
    if (rate <= 0) {
        return failure(BASS_ERROR_FILEFORM, "libmpg123 found no audio format");
    }

    DecodedAudio audio;
    audio.source_rate = static_cast<uint32_t>(rate);
    audio.source_frames = samples.size() / 2;
    audio.samples = resample_stereo(std::move(samples), audio.source_rate, output_rate);
    if (audio.samples.empty() && audio.source_frames > 0) {
        return failure(BASS_ERROR_FORMAT, std::string("cannot resample from ") +
                                              std::to_string(rate) + " Hz: " + SDL_GetError());
    }
    DecodeOutcome outcome;
    outcome.audio = std::move(audio);
    return outcome;
}

}  // namespace audio
