// Our audio library in the browser, on Web Audio.
//
// The engine of host/common/audio keeps the streams, handles, errors and
// positions as on the other builds; what the browser changes is who plays
// the sound. Web Audio plays a decoded AudioBuffer by itself, exactly and
// off the page's thread, so the engine runs on its clock path (the one the
// other builds use without an output device) with the clock being the audio
// context's: the context time of the sample heard now (the output's latency
// taken into account), carried forward between the context's steps by the
// page's clock and never going backwards. Whenever a stream starts or
// moves, an AudioBufferSourceNode is started a moment ahead, from the
// stream's position, and the position holds until that moment: the sample
// the engine names is the one heard, whatever the output's latency.
//
// A stream is checked by our own MPEG scan first (the same refusals and
// messages as on the other builds), then decoded by the browser
// (decodeAudioData, at the stream's own rate, which trims encoder delay and
// padding as libmpg123 does). Without an audio context that runs (no
// output, or a page that may not start sound) the show runs silently on
// the page's clock, and says so once.
#include <emscripten/emscripten.h>

#include <cstdio>
#include <span>
#include <string>

#include "host/common/audio/engine.h"
#include "platform/audio.h"

namespace audio {
namespace {

// Opens the audio context, or gives the reason there is none. The page
// makes one inside the click on Play (the only place where Safari lets a
// page start sound) and hands it over as Module.audioContext.
// clang-format off
EM_ASYNC_JS(int, open_audio_context, (int rate, char* why, int why_size), {
    var A = Module.demoAudio = Module.demoAudio || { sources: {}, buffers: {} };
    var fail = function(text) { stringToUTF8(text, why, why_size); return 0; };
    var context = Module.audioContext;
    Module.audioContext = null;
    if (!context) {
        var Context = (typeof AudioContext !== 'undefined') ? AudioContext
                    : (typeof webkitAudioContext !== 'undefined') ? webkitAudioContext : null;
        if (!Context) return fail('this browser has no Web Audio');
        try {
            context = new Context({ sampleRate: rate });
        } catch (error) {
            return fail('cannot open an audio context: ' + error.message);
        }
    }
    if (context.state !== 'running') {
        // A page may start sound only after a click; wait a little for it.
        var timeout = new Promise(function(resolve) { setTimeout(resolve, 1000); });
        await Promise.race([context.resume().catch(function() {}), timeout]);
    }
    if (context.state !== 'running') {
        context.close().catch(function() {});
        return fail('the browser did not let the page start sound');
    }
    A.context = context;
    A.lastContextTime = -1;
    A.seenAt = 0;
    A.heard = 0;
    return 1;
});
// clang-format on

// clang-format off
EM_JS(void, close_audio_context, (), {
    var A = Module.demoAudio;
    if (!A) return;
    for (var handle in A.sources) {
        try { A.sources[handle].stop(); } catch (error) {}
    }
    A.sources = {};
    A.buffers = {};
    A.pending = null;
    if (A.context) A.context.close().catch(function() {});
    A.context = null;
});
// clang-format on

// Seconds on the clock the positions follow: the audio context's time of
// the sample heard now, or the page's clock without a context. The context
// says which of its samples the output plays at which moment of the page's
// clock (getOutputTimestamp, the output's latency included); the page's
// clock carries that on between the context's steps. A browser without it
// gives the time rendered now less the output latency, and so does one whose
// stamps are not on the page's clock: WebKitGTK's performanceTime runs ahead
// of it by the context's own time, while the stamp of a sample the output
// plays now lies no more than a moment in the page's future. Never backwards.
// clang-format off
EM_JS(double, heard_seconds, (), {
    var A = Module.demoAudio;
    var now = (typeof performance !== 'undefined' ? performance.now() : Date.now()) / 1000;
    if (!A || !A.context) return now;
    var context = A.context;
    var heard;
    var stamp = context.getOutputTimestamp ? context.getOutputTimestamp() : null;
    if (stamp && stamp.performanceTime > 0 && stamp.performanceTime / 1000 - now < 0.25) {
        heard = stamp.contextTime + Math.min(now - stamp.performanceTime / 1000, 0.05);
    } else {
        var time = context.currentTime;
        if (time !== A.lastContextTime) {
            A.lastContextTime = time;
            A.seenAt = now;
        }
        heard = time - (context.outputLatency || context.baseLatency || 0) +
                Math.min(now - A.seenAt, 0.05);
    }
    if (heard < A.heard) heard = A.heard;
    A.heard = heard;
    return heard;
});
// clang-format on

// Decodes the file's bytes at the stream's rate: the frame count, or -1 with
// the reason. The decoded buffer waits in A.pending for its handle.
// clang-format off
EM_ASYNC_JS(double, decode_mp3, (const uint8_t* bytes, int length, int rate, char* why,
                                 int why_size), {
    var A = Module.demoAudio = Module.demoAudio || { sources: {}, buffers: {} };
    A.pending = null;
    var fail = function(text) { stringToUTF8(text, why, why_size); return -1; };
    var Offline = (typeof OfflineAudioContext !== 'undefined') ? OfflineAudioContext : null;
    if (!Offline) return fail('this browser cannot decode audio');
    var data = HEAPU8.slice(bytes, bytes + length).buffer;
    try {
        var decoder = new Offline(2, 1, rate);
        A.pending = await decoder.decodeAudioData(data);
    } catch (error) {
        return fail('the browser cannot decode it: ' + (error && error.message ? error.message : error));
    }
    return A.pending.length;
});
// clang-format on

// clang-format off
EM_JS(void, keep_decoded, (int handle), {
    var A = Module.demoAudio;
    A.buffers[handle] = A.pending;
    A.pending = null;
});
// clang-format on

// Plays the stream's buffer from its byte `position` (4 bytes a frame at the
// buffer's own rate), or nothing when playing is false. Gives the clock's
// reading when the first sample will be heard (the clock is the context time
// of the sample heard, so it is the time the source starts at), or -1.
// clang-format off
EM_JS(double, schedule_source, (int handle, int playing, double position), {
    var A = Module.demoAudio;
    if (!A) return -1;
    var old = A.sources[handle];
    if (old) {
        try { old.stop(); } catch (error) {}
        delete A.sources[handle];
    }
    var buffer = A.buffers[handle];
    if (!A.context || !buffer || !playing) return -1;
    var offset = position / (4 * buffer.sampleRate);
    if (offset >= buffer.duration) return -1;
    // Started a little ahead of the context's rendering, so that the start
    // is exact rather than "as soon as possible".
    var start = A.context.currentTime + 0.05;
    var source = A.context.createBufferSource();
    source.buffer = buffer;
    source.connect(A.context.destination);
    source.start(start, offset);
    A.sources[handle] = source;
    return start;
});
// clang-format on

// clang-format off
EM_JS(void, forget_stream, (int handle), {
    var A = Module.demoAudio;
    if (!A) return;
    if (A.sources[handle]) {
        try { A.sources[handle].stop(); } catch (error) {}
    }
    delete A.sources[handle];
    delete A.buffers[handle];
});
// clang-format on

Nanoseconds clock_now()
{
    return static_cast<Nanoseconds>(heard_seconds() * 1e9);
}

class WebBackend final : public Backend {
public:
    Nanoseconds now() override { return clock_now(); }
    void lock() override {}
    void unlock() override {}

    // Reached only when there is no audio context: see BASS_Init.
    bool open_output(uint32_t, std::string& why) override
    {
        why = no_output_reason;
        return false;
    }
    void close_output() override {}

    DecodeOutcome decode(std::span<const uint8_t> file, const MpegStream& stream,
                         uint32_t output_rate) override
    {
        DecodeOutcome outcome;
        char why[256] = "";
        const uint32_t rate = stream.first.sample_rate;
        const double frames = decode_mp3(file.data(), static_cast<int>(file.size()),
                                         static_cast<int>(rate), why, sizeof why);
        if (frames < 0) {
            outcome.error = BASS_ERROR_CODEC;
            outcome.reason = why;
            return outcome;
        }
        // Web Audio plays the decoded buffer itself: the engine keeps only
        // the time, so no samples are copied out of it.
        DecodedAudio audio;
        audio.source_rate = rate;
        audio.source_frames = static_cast<uint64_t>(frames);
        audio.output_frames =
            (audio.source_frames * output_rate + rate - 1) / (rate != 0 ? rate : 1);
        outcome.audio = std::move(audio);
        return outcome;
    }

    std::string no_output_reason;
};

WebBackend backend;
Engine engine(backend);
bool context_open = false;
DWORD last_stream = 0;  // for the page's position read-out

// After a stream starts, stops or moves: the sound follows the engine.
void follow(DWORD handle)
{
    if (!context_open) {
        return;
    }
    const bool playing = engine.is_active(handle) == BASS_ACTIVE_PLAYING;
    const QWORD position = engine.get_position(handle, BASS_POS_BYTE);
    const double start =
        schedule_source(static_cast<int>(handle), playing ? 1 : 0, static_cast<double>(position));
    if (start >= 0) {
        // The picture waits for the sound: the position holds until then.
        engine.hold_until(handle, static_cast<Nanoseconds>(start * 1e9));
    }
}

}  // namespace

Engine& host_engine()
{
    return engine;
}

uint32_t host_output_queue_frames()
{
    return 0;  // Web Audio holds no queue of ours
}

}  // namespace audio

// For the page and its tests: the byte position of the stream made last, as
// BASS_ChannelGetPosition gives it, or -1 when there is none (not made yet,
// or freed at its end).
extern "C" EMSCRIPTEN_KEEPALIVE double demo_audio_position()
{
    if (audio::last_stream == 0 ||
        audio::engine.is_active(audio::last_stream) == BASS_ACTIVE_STOPPED) {
        return -1.0;
    }
    return static_cast<double>(audio::engine.get_position(audio::last_stream, BASS_POS_BYTE));
}

// For the page's player: whether that stream is paused, and its length in
// bytes (-1 when there is none).
extern "C" EMSCRIPTEN_KEEPALIVE int demo_audio_paused()
{
    return audio::last_stream != 0 &&
           audio::engine.is_active(audio::last_stream) == BASS_ACTIVE_PAUSED;
}

extern "C" EMSCRIPTEN_KEEPALIVE double demo_audio_length()
{
    if (audio::last_stream == 0 ||
        audio::engine.is_active(audio::last_stream) == BASS_ACTIVE_STOPPED) {
        return -1.0;
    }
    return static_cast<double>(audio::engine.get_length(audio::last_stream, BASS_POS_BYTE));
}

// The engine plays on its clock in both cases (see the top of the file);
// with an audio context it does so without a word, since the sound is
// there, and without one it says that the music plays silently.
BOOL BASS_Init(int device, DWORD freq, DWORD, HWND, const GUID*)
{
    using audio::engine;
    if (device != 0 && !audio::context_open && freq >= 8000 && freq <= 192000) {
        char why[256] = "";
        audio::context_open =
            audio::open_audio_context(static_cast<int>(freq), why, sizeof why) != 0;
        audio::backend.no_output_reason = why;
    }
    const BOOL started = engine.init(audio::context_open ? 0 : device, freq);
    if (!started && audio::context_open && audio::last_error() != BASS_ERROR_ALREADY) {
        audio::close_audio_context();
        audio::context_open = false;
    }
    return started;
}

BOOL BASS_Free()
{
    const BOOL freed = audio::engine.free();
    if (freed && audio::context_open) {
        audio::close_audio_context();
        audio::context_open = false;
    }
    return freed;
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags)
{
    const HSTREAM handle = audio::engine.create_stream(mem, file, offset, length, flags);
    if (handle != 0) {
        audio::keep_decoded(static_cast<int>(handle));
        audio::last_stream = handle;
    }
    return handle;
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart)
{
    const BOOL played = audio::engine.play(handle, restart);
    if (played) {
        audio::follow(handle);
    }
    return played;
}

BOOL BASS_ChannelPause(DWORD handle)
{
    const BOOL paused = audio::engine.pause(handle);
    if (paused) {
        audio::follow(handle);
    }
    return paused;
}

// A position at or past the end ends the stream, and with it its sound.
BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode)
{
    const BOOL moved = audio::engine.set_position(handle, pos, mode);
    if (moved) {
        audio::follow(handle);
    } else if (audio::last_error() == BASS_ERROR_POSITION) {
        audio::schedule_source(static_cast<int>(handle), 0, 0.0);  // keeps the error code
    }
    return moved;
}

DWORD BASS_ChannelIsActive(DWORD handle)
{
    const DWORD active = audio::engine.is_active(handle);
    if (active == BASS_ACTIVE_STOPPED && audio::last_error() == BASS_ERROR_HANDLE) {
        audio::forget_stream(static_cast<int>(handle));  // freed at its end
    }
    return active;
}

QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode)
{
    return audio::engine.get_position(handle, mode);
}

QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode)
{
    return audio::engine.get_length(handle, mode);
}

int BASS_ErrorGetCode()
{
    return audio::last_error();
}

const char* audio_error_text(int code)
{
    return audio::error_text(code);
}
