// Feeds arbitrary bytes to the Linux audio library as the demo opens its
// music: BASS_StreamCreateFile, which scans the MPEG frames
// (host/common/audio/mpeg_stream.h), decodes the whole stream with
// libmpg123 from memory and resamples it with SDL to the output rate
// (host/linux/audio/mpg123_decoder.cpp). A stream that opens is then played,
// positioned and read as the demo does. The library runs on device 0, "no
// sound": the same engine and decoder without an output thread.
//
// The input is handed over as a stream in memory (mem = TRUE): from the
// bytes read on, a file by name takes the same path, and libmpg123 already
// reads from memory through its reader callbacks, so no file is written per
// run. Decoding is whole, as the library does it; libFuzzer's -max_len keeps
// each run to a second or so of audio (scripts/fuzz.sh).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "host/common/audio/mpeg_stream.h"
#include "platform/audio.h"

namespace {

// The demo's output rate and stream flags (app/app.cpp), less
// BASS_STREAM_AUTOFREE: it changes nothing until playback ends, and a stream
// that decodes to a few samples would end, and vanish, between two calls.
constexpr DWORD kOutputRate = 44100;
constexpr DWORD kStreamFlags = BASS_STREAM_PRESCAN;
constexpr int kNoSound = 0;

void require(bool holds, const char* promise)
{
    if (!holds) {
        std::fprintf(stderr, "mp3_fuzzer: broken promise: %s (error %d: %s)\n", promise,
                     BASS_ErrorGetCode(), audio_error_text(BASS_ErrorGetCode()));
        std::abort();
    }
}

// What the scan found must be usable by the Windows decoder's trimming too.
void check_scan(const audio::ScanResult& scan, size_t size)
{
    if (!scan.stream) {
        require(!scan.error.empty(), "a refused stream has a reason");
        return;
    }
    const audio::MpegStream& stream = *scan.stream;
    require(stream.audio_begin < stream.audio_end && stream.audio_end <= size,
            "the audio frames lie inside the data");
    require(stream.audio_frames > 0, "an accepted stream has audio frames");
    const audio::GaplessWindow window = audio::gapless_window(stream);
    require(window.begin <= window.end, "the gapless window is not reversed");
    const uint64_t raw = uint64_t{stream.audio_frames} * stream.first.samples_per_frame;
    const audio::GaplessWindow clamped = window.clamped(raw);
    require(clamped.begin <= clamped.end && clamped.end <= raw,
            "the clamped window lies inside the decoded samples");
}

// Plays the stream and moves it about as the demo's shell does.
void use_stream(HSTREAM stream)
{
    require(BASS_ChannelIsActive(stream) == BASS_ACTIVE_STOPPED, "a new stream is stopped");
    require(BASS_ChannelPlay(stream, FALSE) != FALSE, "a new stream plays");
    require(BASS_ChannelSetPosition(stream, 0, BASS_POS_BYTE) != FALSE,
            "position 0 is inside every stream");
    require(BASS_ChannelGetPosition(stream, BASS_POS_BYTE) != ~QWORD{0},
            "a playing stream has a position");
    require(BASS_ChannelSetPosition(stream, ~QWORD{0} - 3, BASS_POS_BYTE) == FALSE &&
                BASS_ErrorGetCode() == BASS_ERROR_POSITION,
            "a position past the end is refused");
    require(BASS_ChannelPlay(stream, TRUE) != FALSE, "a stream restarts");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> bytes(data, size);
    const audio::ScanResult scan = audio::scan_mpeg_stream(bytes);
    check_scan(scan, size);

    require(BASS_Init(kNoSound, kOutputRate, 0, nullptr, nullptr) != FALSE,
            "the library starts without sound");
    const HSTREAM stream = BASS_StreamCreateFile(TRUE, data, 0, size, kStreamFlags);
    if (stream == 0) {
        const int error = BASS_ErrorGetCode();
        require(error != BASS_OK, "a stream that did not open has an error code");
        require(scan.stream || size == 0 || error == BASS_ERROR_FILEFORM,
                "what the scan refuses is not MPEG audio");
    } else {
        require(scan.stream.has_value(), "only what the scan accepts opens");
        use_stream(stream);
    }
    require(BASS_Free() != FALSE, "the library stops");
    return 0;
}
