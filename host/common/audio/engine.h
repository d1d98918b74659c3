// The audio library's behaviour, whichever system stands behind it: the
// stream table and handles, the play/seek/end state of each stream, the
// byte positions, the error codes and their reasons. A Backend supplies what
// differs between systems: the clock, the lock, the output device and the
// MP3 decoder. Each build defines the BASS_* calls of platform/audio.h as
// one-line calls into its Engine.
//
// Streams are decoded whole when they are created (a 112 s track is about
// 20 MB of PCM and takes about 0.1 s with libmpg123), so playing is copying
// and seeking is indexing: every position is exact to the sample, and
// neither output thread nor caller decodes or allocates while the music
// plays. A stream at another rate than the output's is resampled then (SDL's
// resampler on Linux, ACM's PCM converter on Windows); its positions still
// count at its own rate, as BASS counts them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/common/audio/clock.h"
#include "host/common/audio/mpeg_stream.h"
#include "platform/audio.h"

namespace audio {

// Every stream plays as 16-bit stereo; positions count 4 bytes per frame.
inline constexpr uint32_t kBytesPerFrame = 4;

// A decoded stream, converted to the output's rate. A backend whose system
// plays the sound itself (Web Audio) leaves the samples empty and gives
// their count in output_frames; the engine then only keeps the time.
struct DecodedAudio {
    std::vector<int16_t> samples;  // interleaved left, right at the output rate
    uint64_t output_frames = 0;    // the length at the output rate, when samples is empty
    uint32_t source_rate = 0;      // the stream's own rate: positions count at it
    uint64_t source_frames = 0;    // the decoded length at that rate
};

struct DecodeOutcome {
    std::optional<DecodedAudio> audio;
    int error = BASS_OK;  // when audio is empty
    std::string reason;
};

class Backend {
public:
    virtual ~Backend() = default;

    // The monotonic clock.
    virtual Nanoseconds now() = 0;

    // Keeps the output thread out while the caller's thread changes streams.
    virtual void lock() = 0;
    virtual void unlock() = 0;

    // Opens the default output, 16-bit stereo at `rate`, and starts it: from
    // then on its thread calls Engine::render and Engine::buffer_started.
    // False, with the cause in `why`, when there is no output to open.
    virtual bool open_output(uint32_t rate, std::string& why) = 0;
    // Stops the output; no render call follows.
    virtual void close_output() = 0;
    // Asks the output to drop what it has queued and not played (then call
    // Engine::queue_dropped), so that a stream just started or moved is heard
    // at once. An output that holds no more than a buffer may ignore it.
    virtual void request_flush() {}

    // Decodes the MPEG stream that scan_mpeg_stream found in `file` to
    // 16-bit stereo at `output_rate`, trimmed as libmpg123's gapless
    // decoding trims it.
    virtual DecodeOutcome decode(std::span<const uint8_t> file, const MpegStream& stream,
                                 uint32_t output_rate) = 0;
};

// The calling thread's last error and its cause.
int last_error();
// The description of `code`, followed by the cause when `code` is the
// calling thread's last error ("unsupported file format: demo.mp3: a RIFF
// (WAVE) file, not MPEG audio"). Never null; valid until the next call.
const char* error_text(int code);

class Engine {
public:
    static constexpr size_t kMaxStreams = 16;
    // The longest file a stream is made from: a file, and its samples, are
    // held whole in memory (256 MB of MP3 at 128 kbit/s is four and a half
    // hours, 2.9 GB of samples). A longer one is refused with BASS_ERROR_MEM
    // before anything is allocated for it.
    static constexpr uint64_t kMaxFileBytes = uint64_t{256} << 20;

    explicit Engine(Backend& backend) : backend_(backend) {}
    // Stops the output and frees every stream if the library is still started.
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // The calls of platform/audio.h, with the same arguments and results;
    // each sets the calling thread's error code.
    BOOL init(int device, DWORD freq);
    BOOL free();
    HSTREAM create_stream(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);
    BOOL play(DWORD handle, BOOL restart);
    BOOL pause(DWORD handle);
    BOOL set_position(DWORD handle, QWORD pos, DWORD mode);
    DWORD is_active(DWORD handle);
    QWORD get_position(DWORD handle, DWORD mode);
    QWORD get_length(DWORD handle, DWORD mode);

    // The output's side, called from its thread under the backend's lock.
    // Fills `out` with the next `frames` frames of every playing stream.
    void render(int16_t* out, uint32_t frames);
    // The output began playing output frames [first, first + frames).
    void buffer_started(Nanoseconds now, uint64_t first, uint32_t frames);
    // The output dropped everything it had not played: each playing stream
    // continues from what was heard.
    void queue_dropped(Nanoseconds now);
    // Output frames rendered since init.
    uint64_t frames_rendered() const { return frames_rendered_; }
    // From output frame `frame` at `time` on, the output is never heard ahead
    // of the system clock: an output that swallows audio faster than it can
    // play it (Wine's null device) is heard at the pace of real time.
    void limit_to_real_time(Nanoseconds time, uint64_t frame);

    // For a system that plays the sound itself (Web Audio), on the silent
    // clock: the stream just started or moved is heard from `start` on, a
    // moment after now, and until then its position stays where it was set.
    void hold_until(DWORD handle, Nanoseconds start);

    // For tests and tools: one stream's bytes handed to the output and bytes
    // heard, taken together under the lock. Empty for an invalid handle.
    struct Probe {
        uint64_t handed_bytes = 0;
        uint64_t heard_bytes = 0;
    };
    std::optional<Probe> probe(DWORD handle);
    // Whether the library plays on its silent clock (no output device).
    bool silent() const { return silent_; }
    uint32_t output_rate() const { return output_rate_; }

private:
    struct Stream {
        DecodedAudio audio;
        uint64_t frames = 0;  // at the output rate
        bool autofree = false;
        bool playing = false;
        bool ended = false;
        bool paused = false;         // stopped by pause, to resume where it stood
        uint64_t cursor = 0;         // next frame to render
        uint64_t segment_frame = 0;  // the stream frame heard at segment_output
        bool segment_placed = false;
        uint64_t segment_output = 0;  // the output frame segment_frame plays at
    };
    struct Slot {
        DWORD handle = 0;  // 0: free
        Stream stream;
    };
    class Guard;

    Stream* find(DWORD handle);
    Stream* find_live(DWORD handle, Nanoseconds now);
    const Stream* find_for_bytes(DWORD handle, DWORD mode, Nanoseconds now);
    void release(Slot& slot);
    void end(Slot& slot);
    void reap(Nanoseconds now);
    uint64_t heard_output(Nanoseconds now) const;
    uint64_t heard_frame(const Stream& stream, Nanoseconds now) const;
    void move_to(Stream& stream, uint64_t frame, Nanoseconds now);
    uint64_t to_source(const Stream& stream, uint64_t frame) const;
    uint64_t to_output(const Stream& stream, uint64_t source_frame) const;
    HSTREAM open_stream(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);
    std::optional<std::vector<uint8_t>> read_input(BOOL mem, const void* file, QWORD offset,
                                                   QWORD length, std::string& name);

    Backend& backend_;
    bool initialised_ = false;
    bool silent_ = false;
    bool said_silent_ = false;
    uint32_t output_rate_ = 44100;
    BufferClock output_clock_{44100};
    WallClock wall_clock_{44100};
    bool real_time_limit_ = false;
    WallClock real_time_{44100};
    uint64_t frames_rendered_ = 0;
    DWORD next_generation_ = 1;
    std::array<Slot, kMaxStreams> slots_{};
};

// Defined by each build's audio library (output_host.cpp where the output
// is a device of ours): the engine behind its BASS_* calls, and the most
// frames its output holds handed but not yet heard (0 when it plays
// silently): one buffer for SDL, the whole queue for waveOut.
Engine& host_engine();
uint32_t host_output_queue_frames();

}  // namespace audio
