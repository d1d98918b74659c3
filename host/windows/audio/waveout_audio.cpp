// Our audio library on Windows: streams decoded by the system's ACM MP3
// codec, played through waveOut. A feeder thread keeps a few buffers queued
// on the device; when the device finishes one, the next one starts playing,
// and the engine's clock learns so.
//
// Neither the feeder nor the position runs ahead of the system clock: the
// feeder keeps at most the queue's worth ahead of it, and the engine never
// reports a frame heard before its time. A real device plays in real time
// and never meets those limits; Wine's null ALSA output swallows audio about
// four times faster than real time, and without them the music (and with it
// the show) would be over in a quarter of its length.

// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include <array>
#include <atomic>
#include <string>
#include <type_traits>
#include <vector>

#include "host/common/audio/output_host.h"
#include "host/windows/audio/acm_decoder.h"

namespace audio {
namespace {

// Four buffers of 2048 frames: 186 ms queued at 44100 Hz. A device whose
// clock runs ahead of the system's by 100 ppm (a poor crystal) would eat
// into that queue by 6 ms a minute and empty it after half an hour; the show
// lasts two minutes.
constexpr uint32_t kBufferFrames = 2048;
constexpr size_t kBuffers = 4;

Nanoseconds query_time()
{
    static const LONGLONG frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return value.QuadPart;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    constexpr LONGLONG kSecond = 1'000'000'000;
    return counter.QuadPart / frequency * kSecond +
           counter.QuadPart % frequency * kSecond / frequency;
}

std::string wave_error(const char* call, MMRESULT result)
{
    char text[MAXERRORLENGTH] = "";
    waveOutGetErrorTextA(result, text, sizeof text);
    return std::string(call) + ": " + text + " (" + std::to_string(result) + ")";
}

class WaveOutBackend final : public DeviceOutput {
public:
    WaveOutBackend() { InitializeCriticalSection(&lock_); }
    ~WaveOutBackend() override { DeleteCriticalSection(&lock_); }
    WaveOutBackend(const WaveOutBackend&) = delete;
    WaveOutBackend& operator=(const WaveOutBackend&) = delete;

    Nanoseconds now() override { return query_time(); }
    void lock() override { EnterCriticalSection(&lock_); }
    void unlock() override { LeaveCriticalSection(&lock_); }

    bool open_output(uint32_t rate, std::string& why) override
    {
        rate_ = rate;
        wake_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        WAVEFORMATEX format{};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = 2;
        format.nSamplesPerSec = rate;
        format.wBitsPerSample = 16;
        format.nBlockAlign = 4;
        format.nAvgBytesPerSec = rate * 4;
        const MMRESULT opened = waveOutOpen(&device_, WAVE_MAPPER, &format,
                                            reinterpret_cast<DWORD_PTR>(wake_), 0, CALLBACK_EVENT);
        if (opened != MMSYSERR_NOERROR) {
            why = wave_error("waveOutOpen", opened);
            CloseHandle(wake_);
            wake_ = nullptr;
            device_ = nullptr;
            return false;
        }
        memory_.assign(kBuffers * kBufferFrames * 2, 0);
        for (size_t i = 0; i < kBuffers; ++i) {
            WAVEHDR& header = headers_[i];
            header = WAVEHDR{};
            header.lpData = reinterpret_cast<LPSTR>(&memory_[i * kBufferFrames * 2]);
            header.dwBufferLength = kBufferFrames * kBytesPerFrame;
            waveOutPrepareHeader(device_, &header, sizeof header);
        }
        oldest_ = 0;
        queued_ = 0;
        quit_ = false;
        flush_ = false;
        pace(now(), 0);
        // The thread starts in the system's convention (stdcall on x86).
        static_assert(std::is_same_v<decltype(&WaveOutBackend::feed), LPTHREAD_START_ROUTINE>);
        thread_ = CreateThread(nullptr, 0, &WaveOutBackend::feed, this, 0, nullptr);
        SetThreadPriority(thread_, THREAD_PRIORITY_HIGHEST);
        queue_frames_ = kBuffers * kBufferFrames;
        return true;
    }

    void close_output() override
    {
        quit_ = true;
        SetEvent(wake_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        waveOutReset(device_);
        for (WAVEHDR& header : headers_) {
            waveOutUnprepareHeader(device_, &header, sizeof header);
        }
        waveOutClose(device_);
        CloseHandle(wake_);
        thread_ = nullptr;
        device_ = nullptr;
        wake_ = nullptr;
        queue_frames_ = 0;
    }

    void request_flush() override
    {
        flush_ = true;
        SetEvent(wake_);
    }

    DecodeOutcome decode(std::span<const uint8_t> file, const MpegStream& stream,
                         uint32_t output_rate) override
    {
        return decode_mp3_acm(file, stream, output_rate);
    }

private:
    static DWORD WINAPI feed(void* self)
    {
        static_cast<WaveOutBackend*>(self)->feed_loop();
        return 0;
    }

    void feed_loop()
    {
        lock();
        while (!quit_) {
            const Nanoseconds time = now();
            if (flush_) {
                drop_queue(time);
            }
            retire_finished(time);
            queue_more(time);
            const DWORD wait = milliseconds_until_next_write(now());
            unlock();
            WaitForSingleObject(wake_, wait);
            lock();
        }
        unlock();
    }

    // The device gives back every queued buffer; playback continues from
    // what was heard, at once.
    void drop_queue(Nanoseconds time)
    {
        flush_ = false;
        waveOutReset(device_);
        queued_ = 0;
        engine_->queue_dropped(time);
        pace(time, engine_->frames_rendered());
    }

    // The system clock's count of frames from `frame` at `time` paces both
    // the feeder and what the engine reports as heard.
    void pace(Nanoseconds time, uint64_t frame)
    {
        pace_time_ = time;
        pace_frame_ = frame;
        engine_->limit_to_real_time(time, frame);
    }

    // Buffers come back in the order they went out; the one after a
    // finished buffer is the one playing now.
    void retire_finished(Nanoseconds time)
    {
        while (queued_ > 0 && (headers_[oldest_].dwFlags & WHDR_DONE) != 0) {
            oldest_ = (oldest_ + 1) % kBuffers;
            --queued_;
            if (queued_ > 0) {
                engine_->buffer_started(time, first_frames_[oldest_], kBufferFrames);
            }
        }
    }

    // The feeder stays at most a queue's worth ahead of the system clock.
    uint64_t frames_allowed(Nanoseconds time) const
    {
        return pace_frame_ + frames_in(time - pace_time_, rate_) + kBuffers * kBufferFrames;
    }

    void queue_more(Nanoseconds time)
    {
        while (queued_ < kBuffers &&
               engine_->frames_rendered() + kBufferFrames <= frames_allowed(time)) {
            const size_t index = (oldest_ + queued_) % kBuffers;
            WAVEHDR& header = headers_[index];
            const uint64_t first = engine_->frames_rendered();
            engine_->render(reinterpret_cast<int16_t*>(header.lpData), kBufferFrames);
            first_frames_[index] = first;
            header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
            waveOutWrite(device_, &header, sizeof header);
            if (queued_ == 0) {
                engine_->buffer_started(time, first,
                                        kBufferFrames);  // an idle device starts at once
            }
            ++queued_;
        }
    }

    DWORD milliseconds_until_next_write(Nanoseconds time) const
    {
        if (queued_ == kBuffers) {
            return INFINITE;  // the device will signal
        }
        const uint64_t needed = engine_->frames_rendered() + kBufferFrames;
        const uint64_t allowed = frames_allowed(time);
        const uint64_t short_by = needed > allowed ? needed - allowed : 0;
        return static_cast<DWORD>(short_by * 1000 / rate_ + 1);
    }

    CRITICAL_SECTION lock_;
    uint32_t rate_ = 44100;
    HWAVEOUT device_ = nullptr;
    HANDLE wake_ = nullptr;
    HANDLE thread_ = nullptr;
    std::atomic<bool> quit_{false};
    std::atomic<bool> flush_{false};
    std::vector<int16_t> memory_;
    std::array<WAVEHDR, kBuffers> headers_{};
    std::array<uint64_t, kBuffers> first_frames_{};
    size_t oldest_ = 0;
    size_t queued_ = 0;
    Nanoseconds pace_time_ = 0;
    uint64_t pace_frame_ = 0;
};

}  // namespace

DeviceOutput& (*const host_output)() = &lasting_output<WaveOutBackend>;

}  // namespace audio
