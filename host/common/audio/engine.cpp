#include "host/common/audio/engine.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <new>
#include <stdexcept>

#include "host/common/files/input_file.h"

namespace audio {
namespace {

// The calling thread's last error, as BASS keeps it per thread.
thread_local int tls_error = BASS_OK;
thread_local char tls_reason[256] = "";
thread_local char tls_text[320] = "";

struct ErrorName {
    int code;
    const char* text;
};
constexpr ErrorName kErrorNames[] = {
    {BASS_OK, "no error"},
    {BASS_ERROR_MEM, "out of memory"},
    {BASS_ERROR_FILEOPEN, "cannot open the file"},
    {BASS_ERROR_DRIVER, "no usable output driver"},
    {BASS_ERROR_HANDLE, "invalid handle"},
    {BASS_ERROR_FORMAT, "unsupported sample format"},
    {BASS_ERROR_POSITION, "position out of range"},
    {BASS_ERROR_INIT, "the audio library is not started"},
    {BASS_ERROR_ALREADY, "already done (started, or paused)"},
    {BASS_ERROR_NOTAUDIO, "not an audio stream"},
    {BASS_ERROR_ILLPARAM, "invalid parameter"},
    {BASS_ERROR_DEVICE, "no such output device"},
    {BASS_ERROR_NOPLAY, "the stream is not playing"},
    {BASS_ERROR_NOTAVAIL, "not available"},
    {BASS_ERROR_FILEFORM, "unsupported file format"},
    {BASS_ERROR_CODEC, "no decoder for the stream"},
    {BASS_ERROR_UNKNOWN, "unknown problem"},
};

const char* error_name(int code)
{
    for (const ErrorName& name : kErrorNames) {
        if (name.code == code) {
            return name.text;
        }
    }
    return "unknown error code";
}

bool succeed()
{
    tls_error = BASS_OK;
    tls_reason[0] = '\0';
    return true;
}

// Records a failure; the reason may be empty.
bool fail(int code, const std::string& reason = {})
{
    tls_error = code;
    std::snprintf(tls_reason, sizeof tls_reason, "%s", reason.c_str());
    return false;
}

// A failure whose reason, "name: cause", must not allocate.
bool fail_in_place(int code, const char* name, const char* cause)
{
    tls_error = code;
    std::snprintf(tls_reason, sizeof tls_reason, "%s: %s", name, cause);
    return false;
}

constexpr DWORD kSupportedFlags = BASS_STREAM_PRESCAN | BASS_STREAM_AUTOFREE;
constexpr QWORD kNoPosition = std::numeric_limits<QWORD>::max();
// Output rates the library accepts, as BASS documents for BASS_Init.
constexpr DWORD kMinRate = 8000;
constexpr DWORD kMaxRate = 192000;

}  // namespace

int last_error()
{
    return tls_error;
}

const char* error_text(int code)
{
    if (code == tls_error && tls_reason[0] != '\0') {
        std::snprintf(tls_text, sizeof tls_text, "%s: %s", error_name(code), tls_reason);
    } else {
        std::snprintf(tls_text, sizeof tls_text, "%s", error_name(code));
    }
    return tls_text;
}

class Engine::Guard {
public:
    explicit Guard(Backend& backend) : backend_(backend) { backend_.lock(); }
    ~Guard() { backend_.unlock(); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

private:
    Backend& backend_;
};

Engine::~Engine()
{
    if (initialised_) {
        free();
    }
}

BOOL Engine::init(int device, DWORD freq)
{
    if (initialised_) {
        return fail(BASS_ERROR_ALREADY);
    }
    // -1 and 1 name the default output; 0 is BASS's "no sound" device.
    if (device < -1 || device > 1) {
        return fail(BASS_ERROR_DEVICE, "device " + std::to_string(device) +
                                           "; only the default output (-1) and no sound (0)");
    }
    if (freq < kMinRate || freq > kMaxRate) {
        return fail(BASS_ERROR_ILLPARAM, "output rate " + std::to_string(freq) + " Hz");
    }

    output_rate_ = freq;
    output_clock_ = BufferClock(freq);
    wall_clock_ = WallClock(freq);
    real_time_ = WallClock(freq);
    real_time_limit_ = false;
    frames_rendered_ = 0;
    silent_ = true;
    initialised_ = true;
    wall_clock_.set(backend_.now(), 0);

    std::string why;
    if (device != 0) {
        silent_ = !backend_.open_output(freq, why);
    }
    if (silent_ && device != 0 && !said_silent_) {
        std::fprintf(stderr, "audio: no sound output (%s); the music plays silently\n",
                     why.c_str());
        said_silent_ = true;
    }
    return succeed();
}

BOOL Engine::free()
{
    if (!initialised_) {
        return fail(BASS_ERROR_INIT);
    }
    if (!silent_) {
        backend_.close_output();
    }
    for (Slot& slot : slots_) {
        release(slot);
    }
    initialised_ = false;
    return succeed();
}

std::optional<std::vector<uint8_t>> Engine::read_input(BOOL mem, const void* file, QWORD offset,
                                                       QWORD length, std::string& name)
{
    if (file == nullptr) {
        fail(BASS_ERROR_ILLPARAM, "no file given");
        return std::nullopt;
    }
    if (mem) {
        name = "memory";
        if (length == 0) {
            fail(BASS_ERROR_ILLPARAM, "a stream in memory needs its length");
            return std::nullopt;
        }
        if (length > kMaxFileBytes) {
            fail(BASS_ERROR_MEM, "memory: " + std::to_string(length) + " bytes; at most " +
                                     std::to_string(kMaxFileBytes) + " are read");
            return std::nullopt;
        }
        const auto* bytes = static_cast<const uint8_t*>(file) + offset;
        return std::vector<uint8_t>(bytes, bytes + length);
    }

    name = static_cast<const char*>(file);
    files::Contents contents = files::read_file(name.c_str(), kMaxFileBytes, offset, length);
    switch (contents.failure) {
    case files::Failure::none:
        return std::move(contents.bytes);
    case files::Failure::too_large:
    case files::Failure::out_of_memory:
        // The whole file is held, and decoded, in memory.
        fail(BASS_ERROR_MEM, name + ": " + contents.reason);
        break;
    case files::Failure::cannot_open:
    case files::Failure::not_a_file:
    case files::Failure::cannot_read:
        fail(BASS_ERROR_FILEOPEN, name + ": " + contents.reason);
        break;
    }
    return std::nullopt;
}

HSTREAM Engine::create_stream(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags)
{
    // A file or a decode too large for memory gives the memory error, as
    // BASS does, and takes nothing with it: what was made is unwound.
    try {
        return open_stream(mem, file, offset, length, flags);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    // Nothing may allocate here: the reason is formatted in place.
    const char* name = mem || file == nullptr ? "memory" : static_cast<const char*>(file);
    fail_in_place(BASS_ERROR_MEM, name, "no room for the stream's data or its decoded samples");
    return 0;
}

HSTREAM Engine::open_stream(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags)
{
    if (!initialised_) {
        fail(BASS_ERROR_INIT);
        return 0;
    }
    if ((flags & ~kSupportedFlags) != 0) {
        char reason[64];
        std::snprintf(reason, sizeof reason, "stream flags 0x%X are not supported",
                      static_cast<unsigned>(flags & ~kSupportedFlags));
        fail(BASS_ERROR_ILLPARAM, reason);
        return 0;
    }
    std::string name;
    const std::optional<std::vector<uint8_t>> data = read_input(mem, file, offset, length, name);
    if (!data) {
        return 0;
    }
    const ScanResult scan = scan_mpeg_stream(*data);
    if (!scan.stream) {
        fail(BASS_ERROR_FILEFORM, name + ": " + scan.error);
        return 0;
    }

    // Decoding takes a while (0.1 s with libmpg123 for the two-minute show,
    // about 0.5 s with ACM under Wine), so it runs outside the lock and the
    // output keeps playing meanwhile.
    DecodeOutcome decoded = backend_.decode(*data, *scan.stream, output_rate_);
    if (!decoded.audio) {
        fail(decoded.error, name + ": " + decoded.reason);
        return 0;
    }
    const uint64_t frames = decoded.audio->samples.empty() ? decoded.audio->output_frames
                                                           : decoded.audio->samples.size() / 2;
    if (frames == 0 || decoded.audio->source_frames == 0) {
        fail(BASS_ERROR_FILEFORM, name + ": the stream decodes to no audio");
        return 0;
    }

    Guard guard(backend_);
    reap(backend_.now());
    for (size_t index = 0; index < slots_.size(); ++index) {
        Slot& slot = slots_[index];
        if (slot.handle != 0) {
            continue;
        }
        // The low byte names the slot, the rest counts streams made, so a
        // freed handle is never taken for a later stream in the same slot.
        slot.handle = (next_generation_++ << 8) | static_cast<DWORD>(index + 1);
        slot.stream = Stream{};
        slot.stream.audio = std::move(*decoded.audio);
        slot.stream.frames = frames;
        slot.stream.autofree = (flags & BASS_STREAM_AUTOFREE) != 0;
        succeed();
        return slot.handle;
    }
    fail(BASS_ERROR_MEM, "no room for more than " + std::to_string(kMaxStreams) + " streams");
    return 0;
}

BOOL Engine::play(DWORD handle, BOOL restart)
{
    Guard guard(backend_);
    const Nanoseconds now = backend_.now();
    Stream* stream = find_live(handle, now);
    if (stream == nullptr) {
        return FALSE;
    }
    if (stream->playing && !restart) {
        return succeed();
    }
    // A stream that played to its end starts again from the beginning; a
    // paused one goes on from where it stood.
    const uint64_t from = restart || stream->ended ? 0 : heard_frame(*stream, now);
    stream->playing = true;
    stream->ended = false;
    stream->paused = false;
    move_to(*stream, from, now);
    return succeed();
}

BOOL Engine::pause(DWORD handle)
{
    Guard guard(backend_);
    const Nanoseconds now = backend_.now();
    Stream* stream = find_live(handle, now);
    if (stream == nullptr) {
        return FALSE;
    }
    if (stream->paused) {
        return fail(BASS_ERROR_ALREADY, "the stream is paused");
    }
    if (!stream->playing) {
        return fail(BASS_ERROR_NOPLAY);
    }
    // The position stays at the frame heard now; what the output holds of
    // the stream beyond it is dropped, so the sound stops at once too.
    const uint64_t heard = heard_frame(*stream, now);
    stream->playing = false;
    stream->paused = true;
    move_to(*stream, heard, now);
    if (!silent_) {
        backend_.request_flush();
    }
    return succeed();
}

BOOL Engine::set_position(DWORD handle, QWORD pos, DWORD mode)
{
    Guard guard(backend_);
    const Nanoseconds now = backend_.now();
    Stream* stream = find_live(handle, now);
    if (stream == nullptr) {
        return FALSE;
    }
    if (mode != BASS_POS_BYTE) {
        return fail(BASS_ERROR_NOTAVAIL, "only byte positions are supported");
    }
    const uint64_t source_frame = pos / kBytesPerFrame;
    if (source_frame >= stream->audio.source_frames) {
        // The end, or past it: the stream ends as its last sample does
        // (a paused one too), and a position past the end is an error.
        const uint64_t frames = stream->audio.source_frames;
        const uint64_t length = frames * kBytesPerFrame;
        if (stream->playing && !silent_) {
            backend_.request_flush();
        }
        end(slots_[(handle & 0xFF) - 1]);
        if (source_frame > frames) {
            return fail(BASS_ERROR_POSITION,
                        "byte " + std::to_string(pos) + " of " + std::to_string(length));
        }
        return succeed();
    }
    stream->ended = false;
    move_to(*stream, to_output(*stream, source_frame), now);
    return succeed();
}

DWORD Engine::is_active(DWORD handle)
{
    Guard guard(backend_);
    const Stream* stream = find_live(handle, backend_.now());
    if (stream == nullptr) {
        return BASS_ACTIVE_STOPPED;
    }
    succeed();
    if (stream->paused) {
        return BASS_ACTIVE_PAUSED;
    }
    return stream->playing ? BASS_ACTIVE_PLAYING : BASS_ACTIVE_STOPPED;
}

// The stream a byte count is asked of, after the stream ends that are due;
// null, with the error set, for an invalid handle or another mode.
const Engine::Stream* Engine::find_for_bytes(DWORD handle, DWORD mode, Nanoseconds now)
{
    const Stream* stream = find_live(handle, now);
    if (stream == nullptr) {
        return nullptr;
    }
    if (mode != BASS_POS_BYTE) {
        fail(BASS_ERROR_NOTAVAIL, "only byte positions are supported");
        return nullptr;
    }
    succeed();
    return stream;
}

QWORD Engine::get_position(DWORD handle, DWORD mode)
{
    Guard guard(backend_);
    const Nanoseconds now = backend_.now();
    const Stream* stream = find_for_bytes(handle, mode, now);
    return stream != nullptr ? to_source(*stream, heard_frame(*stream, now)) * kBytesPerFrame
                             : kNoPosition;
}

QWORD Engine::get_length(DWORD handle, DWORD mode)
{
    Guard guard(backend_);
    const Stream* stream = find_for_bytes(handle, mode, backend_.now());
    return stream != nullptr ? stream->audio.source_frames * kBytesPerFrame : kNoPosition;
}

std::optional<Engine::Probe> Engine::probe(DWORD handle)
{
    Guard guard(backend_);
    const Nanoseconds now = backend_.now();
    const Stream* stream = find(handle);
    if (stream == nullptr) {
        return std::nullopt;
    }
    return Probe{stream->cursor * kBytesPerFrame, heard_frame(*stream, now) * kBytesPerFrame};
}

void Engine::render(int16_t* out, uint32_t frames)
{
    std::fill(out, out + size_t{frames} * 2, int16_t{0});
    for (Slot& slot : slots_) {
        Stream& stream = slot.stream;
        if (slot.handle == 0 || !stream.playing) {
            continue;
        }
        if (!stream.segment_placed) {
            stream.segment_placed = true;
            stream.segment_output = frames_rendered_;
        }
        const uint64_t count = std::min<uint64_t>(frames, stream.frames - stream.cursor);
        const int16_t* source = stream.audio.samples.data() + stream.cursor * 2;
        for (size_t i = 0; i < count * 2; ++i) {
            const int mixed = out[i] + source[i];
            out[i] = static_cast<int16_t>(std::clamp(mixed, -32768, 32767));
        }
        stream.cursor += count;
    }
    frames_rendered_ += frames;
}

void Engine::buffer_started(Nanoseconds now, uint64_t first, uint32_t frames)
{
    output_clock_.buffer_started(now, first, frames);
}

void Engine::limit_to_real_time(Nanoseconds time, uint64_t frame)
{
    real_time_limit_ = true;
    real_time_.set(time, frame);
}

void Engine::queue_dropped(Nanoseconds now)
{
    for (Slot& slot : slots_) {
        Stream& stream = slot.stream;
        if (slot.handle != 0 && stream.playing) {
            const uint64_t heard = heard_frame(stream, now);
            stream.segment_frame = heard;
            stream.cursor = heard;
            stream.segment_placed = false;
        }
    }
    output_clock_.hold(now);
}

// The output frame heard now. Both clocks only move forward, so their lower
// one does too.
void Engine::hold_until(DWORD handle, Nanoseconds start)
{
    Guard guard(backend_);
    Stream* stream = find(handle);
    if (stream != nullptr && stream->playing && stream->segment_placed && silent_) {
        stream->segment_output = std::max(stream->segment_output, heard_output(start));
    }
}

uint64_t Engine::heard_output(Nanoseconds now) const
{
    if (silent_) {
        return wall_clock_.frame_at(now);
    }
    const uint64_t heard = output_clock_.heard(now);
    return real_time_limit_ ? std::min(heard, real_time_.frame_at(now)) : heard;
}

Engine::Stream* Engine::find(DWORD handle)
{
    const DWORD index = (handle & 0xFF) - 1;
    if (handle == 0 || index >= slots_.size() || slots_[index].handle != handle) {
        return nullptr;
    }
    return &slots_[index].stream;
}

void Engine::release(Slot& slot)
{
    slot.handle = 0;
    slot.stream = Stream{};  // gives the decoded samples back
}

// Streams whose last frame has been heard stop; those made with
// BASS_STREAM_AUTOFREE are freed then. Done at each call rather than on the
// output thread, which must not free memory.
void Engine::reap(Nanoseconds now)
{
    for (Slot& slot : slots_) {
        Stream& stream = slot.stream;
        if (slot.handle != 0 && stream.playing && heard_frame(stream, now) >= stream.frames) {
            end(slot);
        }
    }
}

// The stream of a handle after the stream ends that are due (a stream
// freed at its end is gone); null, with the error set, if there is none.
Engine::Stream* Engine::find_live(DWORD handle, Nanoseconds now)
{
    reap(now);
    Stream* stream = find(handle);
    if (stream == nullptr) {
        fail(BASS_ERROR_HANDLE);
    }
    return stream;
}

// A stream at its end: stopped there, and freed if it was made to be.
void Engine::end(Slot& slot)
{
    Stream& stream = slot.stream;
    stream.playing = false;
    stream.paused = false;
    stream.ended = true;
    stream.segment_frame = stream.frames;
    stream.cursor = stream.frames;
    stream.segment_placed = false;
    if (stream.autofree) {
        release(slot);
    }
}

uint64_t Engine::heard_frame(const Stream& stream, Nanoseconds now) const
{
    if (!stream.playing || !stream.segment_placed) {
        return stream.segment_frame;
    }
    const uint64_t output = heard_output(now);
    const uint64_t played = output > stream.segment_output ? output - stream.segment_output : 0;
    // Silent playback has no cursor: nothing is rendered.
    const uint64_t limit = silent_ ? stream.frames : stream.cursor;
    return std::min(stream.segment_frame + played, std::max(limit, stream.segment_frame));
}

// Starts a new stretch of playback at `frame`. An output places it at the
// first frame it renders from the stream; the silent clock places it now.
void Engine::move_to(Stream& stream, uint64_t frame, Nanoseconds now)
{
    stream.segment_frame = frame;
    stream.cursor = frame;
    stream.segment_placed = silent_ && stream.playing;
    stream.segment_output = silent_ ? heard_output(now) : 0;
    if (stream.playing && !silent_) {
        backend_.request_flush();
    }
}

uint64_t Engine::to_source(const Stream& stream, uint64_t frame) const
{
    const uint32_t source_rate = stream.audio.source_rate;
    if (source_rate == output_rate_) {
        return frame;
    }
    if (frame >= stream.frames) {
        return stream.audio.source_frames;
    }
    return std::min(stream.audio.source_frames, frame * source_rate / output_rate_);
}

uint64_t Engine::to_output(const Stream& stream, uint64_t source_frame) const
{
    const uint32_t source_rate = stream.audio.source_rate;
    if (source_rate == output_rate_) {
        return source_frame;
    }
    if (source_frame >= stream.audio.source_frames) {
        return stream.frames;
    }
    // Rounded up, so that the position read back is the one set whenever the
    // output rate is the higher.
    const uint64_t frame = (source_frame * output_rate_ + source_rate - 1) / source_rate;
    return std::min(frame, stream.frames);
}

}  // namespace audio
