// Plays a track through the web build's audio library against the stand-in
// audio context of stand_in_audio.js, moving its clock by hand, and checks
// at every step that the sample the output plays into the ear is the one
// the library's position names: after the start, after a seek, across a
// pause and its resume, a seek while paused, up to the end, and after
// playing again from the start as the show's loop does. Until a source's
// first sample is heard the position must hold where it was set; while
// paused it must not move, and nothing more is played.
//
//     node audio-schedule.js TRACK.mp3 TOLERANCE_SECONDS
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/audio.h"

namespace {

// clang-format off
EM_JS(void, advance_clock, (double seconds), { Module.standIn.advance(seconds); });
EM_JS(double, heard_seconds_of, (int handle), {
    return Module.standIn.heard(Module.demoAudio.sources[handle]);
});
EM_JS(double, buffer_rate_of, (int handle), {
    return Module.standIn.rate(Module.demoAudio.sources[handle]);
});
// clang-format on

constexpr double kStep = 0.0037;  // not a multiple of the render quantum
constexpr double kLongest = 30;   // seconds of clock any track here has ended by
double tolerance = 0.001;
int failures = 0;

void fail(const char* stage, double elapsed, const char* what, double reported, double heard)
{
    if (++failures <= 5) {
        std::printf("%s, %.4f s in: %s (position %.4f s, heard %.4f s)\n", stage, elapsed, what,
                    reported, heard);
    }
}

// Follows the stream for `seconds` (or to its end when seconds < 0) after
// it was started or moved to `target` seconds.
void follow(HSTREAM stream, const char* stage, double target, double seconds)
{
    bool heard_any = false;
    double worst = 0;
    struct Report {
        const char* stage;
        const double& worst;
        ~Report() { std::printf("%s: sound and position at most %.6f s apart\n", stage, worst); }
    } report{stage, worst};
    for (double elapsed = kStep; seconds < 0 || elapsed <= seconds; elapsed += kStep) {
        if (elapsed > kLongest) {
            fail(stage, elapsed, "the stream did not end", 0, 0);
            return;
        }
        advance_clock(kStep);
        if (BASS_ChannelIsActive(stream) == BASS_ACTIVE_STOPPED) {
            if (seconds >= 0) {
                fail(stage, elapsed, "the stream stopped", 0, 0);
            }
            return;
        }
        const double rate = buffer_rate_of(static_cast<int>(stream));
        const double reported =
            static_cast<double>(BASS_ChannelGetPosition(stream, BASS_POS_BYTE)) / (4 * rate);
        const double heard = heard_seconds_of(static_cast<int>(stream));
        if (reported < target - 1 / rate) {
            fail(stage, elapsed, "the position is before the one set", reported, heard);
        }
        if (heard < 0) {
            // Silence is right only before the source's first sample (the
            // position holds at the target meanwhile) or after its last
            // (the position then within the tolerance of the end).
            const double length =
                static_cast<double>(BASS_ChannelGetLength(stream, BASS_POS_BYTE)) / (4 * rate);
            const bool before_first = !heard_any && std::fabs(reported - target) <= 1 / rate;
            const bool after_last = heard_any && reported >= length - tolerance;
            if (!before_first && !after_last) {
                fail(stage, elapsed, "the position moves on in silence", reported, heard);
            }
        } else {
            heard_any = true;
            worst = std::max(worst, std::fabs(heard - reported));
            if (std::fabs(heard - reported) > tolerance) {
                fail(stage, elapsed, "the sound and the position disagree", reported, heard);
            }
        }
    }
}

// Paused at `target`: for `seconds` of clock the position stays there, the
// stream stays paused, and no source plays.
void follow_paused(HSTREAM stream, const char* stage, double target, double seconds)
{
    for (double elapsed = kStep; elapsed <= seconds; elapsed += kStep) {
        advance_clock(kStep);
        const double rate = buffer_rate_of(static_cast<int>(stream));
        const double reported =
            static_cast<double>(BASS_ChannelGetPosition(stream, BASS_POS_BYTE)) / (4 * rate);
        const double heard = heard_seconds_of(static_cast<int>(stream));
        if (BASS_ChannelIsActive(stream) != BASS_ACTIVE_PAUSED) {
            fail(stage, elapsed, "the stream is not paused", reported, heard);
        }
        if (std::fabs(reported - target) > 0.5 / rate) {
            fail(stage, elapsed, "the position moves while paused", reported, heard);
        }
        if (heard >= 0) {
            fail(stage, elapsed, "a source plays while paused", reported, heard);
        }
    }
}

double seconds_of(HSTREAM stream, double rate)
{
    return static_cast<double>(BASS_ChannelGetPosition(stream, BASS_POS_BYTE)) / (4 * rate);
}

// Pause, resume, a pause twice, a seek while paused and the resume after it.
void pause_and_resume(HSTREAM stream, double rate)
{
    const double paused_at = seconds_of(stream, rate);
    if (!BASS_ChannelPause(stream)) {
        std::printf("pause failed: %s\n", audio_error_text(BASS_ErrorGetCode()));
        ++failures;
    }
    if (BASS_ChannelPause(stream) || BASS_ErrorGetCode() != BASS_ERROR_ALREADY) {
        std::printf("a second pause did not fail with BASS_ERROR_ALREADY\n");
        ++failures;
    }
    follow_paused(stream, "pause", paused_at, 0.4);
    BASS_ChannelPlay(stream, FALSE);
    follow(stream, "resume", paused_at, 0.4);

    // Back to half a second and 5 frames while paused; then on from there.
    const QWORD frame = static_cast<QWORD>(rate) / 2 + 5;
    BASS_ChannelPause(stream);
    BASS_ChannelSetPosition(stream, frame * 4, BASS_POS_BYTE);
    const double target = static_cast<double>(frame) / rate;
    std::printf("seek while paused: the position read right after is %+.6f s from the one set\n",
                seconds_of(stream, rate) - target);
    follow_paused(stream, "seek while paused", target, 0.2);
    BASS_ChannelPlay(stream, FALSE);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: audio-schedule TRACK.mp3 TOLERANCE_SECONDS\n");
        return 2;
    }
    tolerance = std::atof(argv[2]);
    if (!BASS_Init(-1, 44100, 0, nullptr, nullptr)) {
        std::printf("cannot start the library: %s\n", audio_error_text(BASS_ErrorGetCode()));
        return 1;
    }
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, argv[1], 0, 0, BASS_STREAM_PRESCAN);
    if (stream == 0) {
        std::printf("cannot open %s: %s\n", argv[1], audio_error_text(BASS_ErrorGetCode()));
        return 1;
    }
    // As the show starts: play, then set the starting position.
    BASS_ChannelPlay(stream, FALSE);
    BASS_ChannelSetPosition(stream, 0, BASS_POS_BYTE);
    follow(stream, "start", 0, 0.6);

    // A seek a second into the track, at an odd frame.
    const double track_rate = buffer_rate_of(static_cast<int>(stream));
    const QWORD seek_frame = static_cast<QWORD>(track_rate) + 3;
    BASS_ChannelSetPosition(stream, seek_frame * 4, BASS_POS_BYTE);
    const double seek_target = static_cast<double>(seek_frame) / track_rate;
    std::printf("seek: the position read right after is %+.6f s from the one set\n",
                seconds_of(stream, track_rate) - seek_target);
    follow(stream, "seek", seek_target, 0.5);

    pause_and_resume(stream, track_rate);
    follow(stream, "resume after a seek while paused",
           static_cast<double>(static_cast<QWORD>(track_rate) / 2 + 5) / track_rate, -1);

    // The end: the position never passes the track's length.
    const QWORD end = BASS_ChannelGetPosition(stream, BASS_POS_BYTE);
    if (BASS_ChannelIsActive(stream) != BASS_ACTIVE_STOPPED) {
        std::printf("the stream did not end\n");
        ++failures;
    }

    // The loop: played again from the start.
    BASS_ChannelPlay(stream, TRUE);
    follow(stream, "loop", 0, 0.5);

    // Moved to its end, the stream ends as at its last sample, and its
    // sound with it; past the end is refused.
    BASS_ChannelSetPosition(stream, BASS_ChannelGetLength(stream, BASS_POS_BYTE), BASS_POS_BYTE);
    advance_clock(kStep);
    if (BASS_ChannelIsActive(stream) != BASS_ACTIVE_STOPPED ||
        heard_seconds_of(static_cast<int>(stream)) >= 0) {
        std::printf("moved to its end, the stream did not stop\n");
        ++failures;
    }
    BASS_ChannelPlay(stream, TRUE);
    if (BASS_ChannelSetPosition(stream, end + 4, BASS_POS_BYTE) ||
        BASS_ErrorGetCode() != BASS_ERROR_POSITION ||
        BASS_ChannelIsActive(stream) != BASS_ACTIVE_STOPPED) {
        std::printf("a position past the end was not refused, or did not end the stream\n");
        ++failures;
    }
    BASS_Free();

    std::printf("%d Hz track, %.3f s long: %s\n", static_cast<int>(track_rate),
                static_cast<double>(end) / (4 * track_rate), failures == 0 ? "in step" : "FAILED");
    return failures == 0 ? 0 : 1;
}
