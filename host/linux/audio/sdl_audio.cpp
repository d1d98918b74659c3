// Our audio library on Linux: streams decoded by libmpg123, played through
// an SDL2 audio device. SDL asks for one buffer at a time from its own
// thread; the callback mixes the playing streams into it and tells the
// engine's clock that the buffer starts playing now.
#include <SDL2/SDL.h>

#include <chrono>
#include <string>

#include "host/common/audio/output_host.h"
#include "host/linux/audio/mpg123_decoder.h"

namespace audio {
namespace {

// 1024 frames: 23 ms at 44100 Hz, SDL's usual buffer.
constexpr Uint16 kBufferFrames = 1024;

class SdlBackend final : public DeviceOutput {
public:
    Nanoseconds now() override
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    // SDL holds the device lock while the callback runs.
    void lock() override
    {
        if (device_ != 0) {
            SDL_LockAudioDevice(device_);
        }
    }
    void unlock() override
    {
        if (device_ != 0) {
            SDL_UnlockAudioDevice(device_);
        }
    }

    bool open_output(uint32_t rate, std::string& why) override
    {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            why = std::string("SDL audio: ") + SDL_GetError();
            return false;
        }
        SDL_AudioSpec wanted{};
        wanted.freq = static_cast<int>(rate);
        wanted.format = AUDIO_S16SYS;
        wanted.channels = 2;
        wanted.samples = kBufferFrames;
        wanted.callback = &SdlBackend::fill;
        wanted.userdata = this;
        SDL_AudioSpec obtained{};
        // No changes allowed: SDL converts to whatever the hardware takes.
        const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
        if (device == 0) {
            const char* driver = SDL_GetCurrentAudioDriver();
            why = std::string("SDL ") + (driver != nullptr ? driver : "audio") +
                  " device: " + SDL_GetError();
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        device_ = device;
        queue_frames_ = obtained.samples;
        SDL_PauseAudioDevice(device_, 0);
        return true;
    }

    void close_output() override
    {
        SDL_CloseAudioDevice(device_);
        device_ = 0;
        queue_frames_ = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    DecodeOutcome decode(std::span<const uint8_t> file, const MpegStream&,
                         uint32_t output_rate) override
    {
        return decode_mp3_mpg123(file, output_rate);
    }

private:
    static void SDLCALL fill(void* self, Uint8* bytes, int length)
    {
        auto* backend = static_cast<SdlBackend*>(self);
        const Nanoseconds started = backend->now();
        Engine& engine = *backend->engine_;
        const auto frames = static_cast<uint32_t>(length / static_cast<int>(kBytesPerFrame));
        const uint64_t first = engine.frames_rendered();
        engine.render(reinterpret_cast<int16_t*>(bytes), frames);
        engine.buffer_started(started, first, frames);
    }

    SDL_AudioDeviceID device_ = 0;
};

}  // namespace

DeviceOutput& (*const host_output)() = &lasting_output<SdlBackend>;

}  // namespace audio
