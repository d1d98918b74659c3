// audio_probe.exe: drives our Windows audio library under Wine for the
// native build's tests (tests/audio/wine_check.sh). Not shipped.
//
//   audio_probe decode <in.mp3> <out.pcm>   ACM-decode to 16-bit stereo PCM at 44100 Hz
//   audio_probe play <in.mp3> [--silent]     play through the BASS calls, checking the clock
//   audio_probe open <file> <code>           expect BASS_StreamCreateFile to fail with code
//                                            (0: to succeed)
//   audio_probe transport <in.mp3> [--silent] pause, resume and seeks (transport_checks.h)
// Exit status: 0 when the checks pass, 1 when one fails, 2 for bad usage.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/common/audio/engine.h"
#include "host/common/audio/mpeg_stream.h"
#include "host/windows/audio/acm_decoder.h"
#include "platform/audio.h"
#include "tests/audio/line_fit.h"
#include "tests/audio/transport_checks.h"

namespace {

constexpr const char* kUsage =
    "usage: audio_probe decode <in.mp3> <out.pcm>\n"
    "       audio_probe play <in.mp3> [--silent]\n"
    "       audio_probe open <file> <expected error code, 0 for success>\n"
    "       audio_probe transport <in.mp3> [--silent]\n";

double seconds_now()
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool read_all(const char* path, std::vector<uint8_t>& data)
{
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        std::fprintf(stderr, "audio_probe: cannot open %s\n", path);
        return false;
    }
    uint8_t chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        data.insert(data.end(), chunk, chunk + got);
    }
    std::fclose(file);
    return true;
}

int decode(const char* in, const char* out)
{
    std::vector<uint8_t> data;
    if (!read_all(in, data)) {
        return 1;
    }
    const audio::ScanResult scan = audio::scan_mpeg_stream(data);
    if (!scan.stream) {
        std::fprintf(stderr, "audio_probe: %s: %s\n", in, scan.error.c_str());
        return 1;
    }
    const double start = seconds_now();
    const audio::DecodeOutcome outcome = audio::decode_mp3_acm(data, *scan.stream, 44100);
    const double took = seconds_now() - start;
    if (!outcome.audio) {
        std::fprintf(stderr, "audio_probe: %s: %s\n", in, outcome.reason.c_str());
        return 1;
    }
    const auto& samples = outcome.audio->samples;
    std::FILE* file = std::fopen(out, "wb");
    if (file == nullptr ||
        std::fwrite(samples.data(), sizeof(int16_t), samples.size(), file) != samples.size()) {
        std::fprintf(stderr, "audio_probe: cannot write %s\n", out);
        return 1;
    }
    std::fclose(file);
    std::printf("%s: %llu frames at %u Hz decoded by ACM in %.1f ms\n", in,
                static_cast<unsigned long long>(outcome.audio->source_frames),
                outcome.audio->source_rate, took * 1000.0);
    return 0;
}

// The show's sequence: play, read the position as fast as frames come, stop
// at the end. Checks that the position never goes back, stays within the
// output's queue of what it was handed, that the music takes its own length
// to play (not less: Wine's null output would take it four times faster),
// and that the stream frees itself.
int play(const char* in, bool expect_silent)
{
    if (!BASS_Init(-1, 44100, 0, nullptr, nullptr)) {
        std::fprintf(stderr, "audio_probe: BASS_Init: %s\n", audio_error_text(BASS_ErrorGetCode()));
        return 1;
    }
    audio::Engine& engine = audio::host_engine();
    if (engine.silent() != expect_silent) {
        std::fprintf(stderr, "audio_probe: the output is %s, expected %s\n",
                     engine.silent() ? "silent" : "waveOut", expect_silent ? "silent" : "waveOut");
        return 1;
    }
    const HSTREAM stream =
        BASS_StreamCreateFile(FALSE, in, 0, 0, BASS_STREAM_PRESCAN | BASS_STREAM_AUTOFREE);
    if (stream == 0) {
        std::fprintf(stderr, "audio_probe: %s\n", audio_error_text(BASS_ErrorGetCode()));
        return 1;
    }
    const uint64_t queue_bytes = uint64_t{audio::host_output_queue_frames()} * 4;
    int failures = 0;
    // A position past the end is refused, and ends the stream it is set on:
    // a stream of its own.
    const HSTREAM moved = BASS_StreamCreateFile(FALSE, in, 0, 0, 0);
    if (moved == 0 || BASS_ChannelSetPosition(moved, QWORD{1} << 40, BASS_POS_BYTE) ||
        BASS_ErrorGetCode() != BASS_ERROR_POSITION) {
        std::fprintf(stderr, "audio_probe: a position past the end was not refused\n");
        ++failures;
    }
    const QWORD length = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
    BASS_ChannelPlay(stream, FALSE);
    BASS_ChannelSetPosition(stream, 0, BASS_POS_BYTE);
    const double start = seconds_now();

    uint64_t last = 0;
    // Position against time, for the jitter: deviation from the straight line.
    std::vector<double> times;
    std::vector<double> positions;
    while (BASS_ChannelIsActive(stream) == BASS_ACTIVE_PLAYING && seconds_now() - start < 60) {
        const auto probe = engine.probe(stream);
        if (!probe) {
            break;
        }
        if (probe->heard_bytes < last) {
            std::fprintf(stderr, "audio_probe: the position went back from %llu to %llu\n",
                         static_cast<unsigned long long>(last),
                         static_cast<unsigned long long>(probe->heard_bytes));
            ++failures;
        }
        if (!expect_silent && (probe->heard_bytes > probe->handed_bytes ||
                               probe->handed_bytes - probe->heard_bytes > queue_bytes)) {
            std::fprintf(stderr,
                         "audio_probe: heard %llu is not within the output queue of handed %llu\n",
                         static_cast<unsigned long long>(probe->heard_bytes),
                         static_cast<unsigned long long>(probe->handed_bytes));
            ++failures;
        }
        last = probe->heard_bytes;
        times.push_back(seconds_now() - start);
        positions.push_back(static_cast<double>(last));
        Sleep(1);
    }
    const double took = seconds_now() - start;
    const bool stopped = BASS_ChannelIsActive(stream) == BASS_ACTIVE_STOPPED;
    const bool freed = BASS_ErrorGetCode() == BASS_ERROR_HANDLE;
    BASS_Free();

    // Least-squares line through the readings, and the largest distance from it.
    double jitter = 0;
    if (times.size() > 2) {
        const LineFit fit = fit_line(times, positions);
        for (size_t i = 0; i < times.size(); ++i) {
            jitter = std::max(jitter, fit.distance(times[i], positions[i]));
        }
    }
    const double seconds = static_cast<double>(last) / (44100.0 * 4);
    std::printf(
        "%s output: %.3f s of music played in %.3f s, %zu readings, "
        "largest jitter %.2f ms\n",
        expect_silent ? "silent" : "waveOut", seconds, took, times.size(),
        jitter / (44100.0 * 4) * 1000.0);
    if (!stopped || !freed) {
        std::fprintf(stderr, "audio_probe: the stream did not stop and free itself\n");
        ++failures;
    }
    // The last reading comes a poll before the end, however long a loaded
    // machine makes that; half the music read shows that it was played.
    if (last < length / 2) {
        std::fprintf(stderr, "audio_probe: the position stopped at %llu of %llu bytes\n",
                     static_cast<unsigned long long>(last),
                     static_cast<unsigned long long>(length));
        ++failures;
    }
    if (took < seconds * 0.95) {
        std::fprintf(stderr, "audio_probe: %.3f s of music went by in %.3f s\n", seconds, took);
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}

void sleep_ms(unsigned milliseconds)
{
    Sleep(milliseconds);
}

// The pause, resume and set-position checks every output of the library
// passes, here on waveOut (its whole queue as slack) or the silent clock.
int transport(const char* in, bool expect_silent)
{
    if (!BASS_Init(-1, 44100, 0, nullptr, nullptr)) {
        std::fprintf(stderr, "audio_probe: BASS_Init: %s\n", audio_error_text(BASS_ErrorGetCode()));
        return 1;
    }
    if (audio::host_engine().silent() != expect_silent) {
        std::fprintf(stderr, "audio_probe: the output is not the one expected\n");
        BASS_Free();
        return 1;
    }
    const uint64_t slack = uint64_t{audio::host_output_queue_frames()} * 4;
    const audio_test::TransportResult result = audio_test::check_transport({in, slack, &sleep_ms});
    BASS_Free();
    for (const std::string& failure : result.failures) {
        std::fprintf(stderr, "audio_probe: %s\n", failure.c_str());
    }
    std::printf("%s output: %s\n", expect_silent ? "silent" : "waveOut", result.summary().c_str());
    return result.failures.empty() && result.seek_errors.size() == 5 ? 0 : 1;
}

int open(const char* path, int expected)
{
    BASS_Init(0, 44100, 0, nullptr, nullptr);
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, path, 0, 0, 0);
    const int code = stream != 0 ? BASS_OK : BASS_ErrorGetCode();
    std::printf("%s: %s\n", path, audio_error_text(code));
    BASS_Free();
    return code == expected ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "decode" && argc == 4) {
        return decode(argv[2], argv[3]);
    }
    if (command == "play" && (argc == 3 || (argc == 4 && std::strcmp(argv[3], "--silent") == 0))) {
        return play(argv[2], argc == 4);
    }
    if (command == "transport" &&
        (argc == 3 || (argc == 4 && std::strcmp(argv[3], "--silent") == 0))) {
        return transport(argv[2], argc == 4);
    }
    if (command == "open" && argc == 4) {
        return open(argv[2], std::atoi(argv[3]));
    }
    std::fputs(kUsage, stderr);
    return 2;
}
