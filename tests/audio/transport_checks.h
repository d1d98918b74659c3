// Pause, resume and set-position through the BASS_* calls, the same checks
// for every output the library has: SDL's dummy driver and the silent clock
// (tests/audio), waveOut under Wine (audio_probe.exe). Written without a test
// framework so that the Windows probe runs them as they are.
//
// The output's clock runs in real time, so no check depends on how fast the
// machine is: every upper bound on a position is the time the test itself
// saw go by (taken around the calls) plus the output's slack, the sound it
// holds handed but not yet heard.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace audio_test {

struct TransportResult {
    std::vector<std::string> failures;
    // How far each position read right after a set-position (playing, or
    // resumed) was past the target, in bytes: the seek accuracy.
    std::vector<uint64_t> seek_errors;
    uint64_t worst_seek_error() const;
    // "seeks: 6, position past the target: 0 to 4096 bytes (0 to 23.2 ms)"
    std::string summary() const;
};

struct TransportSetup {
    // The library is started (BASS_Init) and this MP3, 44100 Hz stereo and at
    // least 2 s long, is where it can open it.
    std::string mp3_path;
    // The most sound, in bytes of the stream, the output holds handed but not
    // heard (one buffer for SDL, the queue for waveOut, 0 on the silent clock).
    uint64_t slack_bytes = 0;
    // Sleeps about that many milliseconds.
    void (*sleep_ms)(unsigned milliseconds) = nullptr;
};

TransportResult check_transport(const TransportSetup& setup);

}  // namespace audio_test
