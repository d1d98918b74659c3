#include "tests/audio/transport_checks.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>

#include "platform/audio.h"

namespace audio_test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr double kBytesPerSecond = 44100.0 * 4;
constexpr QWORD kNoPosition = ~QWORD{0};
// The library's clock and the test's are read at slightly different moments
// (and on Windows are not the same clock): 2 ms of sound.
constexpr uint64_t kClockMargin = 352;
// Long enough for any output to play on, however loaded the machine.
constexpr auto kMovesOnWithin = std::chrono::seconds(20);

class Checker {
public:
    Checker(const TransportSetup& setup, TransportResult& result) : setup_(setup), result_(result)
    {
    }

    void fail(const char* format, ...)
    {
        char text[256];
        va_list arguments;
        va_start(arguments, format);
        std::vsnprintf(text, sizeof text, format, arguments);
        va_end(arguments);
        result_.failures.emplace_back(text);
    }

    HSTREAM open(DWORD flags)
    {
        const HSTREAM stream = BASS_StreamCreateFile(FALSE, setup_.mp3_path.c_str(), 0, 0,
                                                     BASS_STREAM_PRESCAN | flags);
        if (stream == 0) {
            fail("cannot open %s: error %d", setup_.mp3_path.c_str(), BASS_ErrorGetCode());
        }
        return stream;
    }

    static uint64_t position(HSTREAM stream)
    {
        return BASS_ChannelGetPosition(stream, BASS_POS_BYTE);
    }

    // The most sound that may have been heard since `since`, with the output's slack.
    uint64_t allowed_since(Clock::time_point since) const
    {
        const double seconds = std::chrono::duration<double>(Clock::now() - since).count();
        return static_cast<uint64_t>(seconds * kBytesPerSecond) + setup_.slack_bytes + kClockMargin;
    }

    // The position read right after `from` was set (or resumed) at `since`:
    // never before it, at most what was heard since plus the slack.
    uint64_t expect_starts_at(HSTREAM stream, uint64_t from, Clock::time_point since,
                              const char* what)
    {
        const uint64_t read = position(stream);
        const uint64_t allowed = allowed_since(since);
        if (read == kNoPosition || read < from || read - from > allowed) {
            fail("%s: position %llu, expected %llu to %llu", what,
                 static_cast<unsigned long long>(read), static_cast<unsigned long long>(from),
                 static_cast<unsigned long long>(from + allowed));
            return read;
        }
        result_.seek_errors.push_back(read - from);
        return read;
    }

    // Playing goes on: the position grows past `from`, never going back.
    void expect_moves_on(HSTREAM stream, uint64_t from, const char* what)
    {
        const auto give_up = Clock::now() + kMovesOnWithin;
        uint64_t last = from;
        while (Clock::now() < give_up) {
            const uint64_t read = position(stream);
            if (read == kNoPosition || read < last) {
                fail("%s: position went from %llu to %llu", what,
                     static_cast<unsigned long long>(last), static_cast<unsigned long long>(read));
                return;
            }
            if (read > from) {
                return;
            }
            setup_.sleep_ms(5);
        }
        fail("%s: the position stayed at %llu", what, static_cast<unsigned long long>(from));
    }

    void expect_active(HSTREAM stream, DWORD expected, const char* what)
    {
        const DWORD active = BASS_ChannelIsActive(stream);
        if (active != expected) {
            fail("%s: BASS_ChannelIsActive gave %lu, expected %lu", what,
                 static_cast<unsigned long>(active), static_cast<unsigned long>(expected));
        }
    }

    void expect_error(BOOL done, int code, const char* what)
    {
        const int error = BASS_ErrorGetCode();
        if (done || error != code) {
            fail("%s: returned %d with error %d, expected FALSE with error %d", what, done ? 1 : 0,
                 error, code);
        }
    }

    void expect_done(BOOL done, const char* what)
    {
        if (!done) {
            fail("%s failed with error %d", what, BASS_ErrorGetCode());
        }
    }

    void expect_position(HSTREAM stream, uint64_t expected, const char* what)
    {
        const uint64_t read = position(stream);
        if (read != expected) {
            fail("%s: position %llu, expected %llu", what, static_cast<unsigned long long>(read),
                 static_cast<unsigned long long>(expected));
        }
    }

    const TransportSetup& setup() const { return setup_; }

private:
    const TransportSetup& setup_;
    TransportResult& result_;
};

// Seeks forward and back while playing, pause, resume, seeks while paused.
void check_pause_and_seeks(Checker& check, HSTREAM stream)
{
    check.expect_error(BASS_ChannelPause(stream), BASS_ERROR_NOPLAY, "pause before playing");
    check.expect_done(BASS_ChannelPlay(stream, FALSE), "play");
    check.setup().sleep_ms(30);

    constexpr uint64_t kForward = 176400;  // 1 s
    auto since = Clock::now();
    check.expect_done(BASS_ChannelSetPosition(stream, kForward, BASS_POS_BYTE), "seek forward");
    uint64_t read = check.expect_starts_at(stream, kForward, since, "seek forward");
    check.expect_moves_on(stream, read, "playing after a seek forward");

    constexpr uint64_t kBack = 44100;  // 0.25 s
    since = Clock::now();
    check.expect_done(BASS_ChannelSetPosition(stream, kBack, BASS_POS_BYTE), "seek back");
    read = check.expect_starts_at(stream, kBack, since, "seek back");
    check.expect_moves_on(stream, read, "playing after a seek back");

    const uint64_t before_pause = Checker::position(stream);
    check.expect_done(BASS_ChannelPause(stream), "pause");
    const uint64_t paused_at = Checker::position(stream);
    if (paused_at < before_pause) {
        check.fail("pause moved the position back from %llu to %llu",
                   static_cast<unsigned long long>(before_pause),
                   static_cast<unsigned long long>(paused_at));
    }
    check.expect_active(stream, BASS_ACTIVE_PAUSED, "paused");
    check.setup().sleep_ms(150);
    check.expect_position(stream, paused_at, "150 ms into the pause");
    check.expect_error(BASS_ChannelPause(stream), BASS_ERROR_ALREADY, "pause twice");
    check.expect_active(stream, BASS_ACTIVE_PAUSED, "paused twice");

    since = Clock::now();
    check.expect_done(BASS_ChannelPlay(stream, FALSE), "resume");
    check.expect_active(stream, BASS_ACTIVE_PLAYING, "resumed");
    read = check.expect_starts_at(stream, paused_at, since, "resume");
    check.expect_moves_on(stream, read, "playing after resume");

    // A seek while paused stays paused, at the new place.
    constexpr uint64_t kWhilePaused = 264600;  // 1.5 s
    check.expect_done(BASS_ChannelPause(stream), "pause again");
    check.expect_done(BASS_ChannelSetPosition(stream, kWhilePaused, BASS_POS_BYTE),
                      "seek while paused");
    check.expect_active(stream, BASS_ACTIVE_PAUSED, "seek while paused");
    check.expect_position(stream, kWhilePaused, "seek while paused");
    check.setup().sleep_ms(100);
    check.expect_position(stream, kWhilePaused, "100 ms after a seek while paused");
    since = Clock::now();
    check.expect_done(BASS_ChannelPlay(stream, FALSE), "resume after a seek");
    read = check.expect_starts_at(stream, kWhilePaused, since, "resume after a seek");
    check.expect_moves_on(stream, read, "playing after a paused seek");
}

// A set-position at the end, or past it, ends the stream as its last sample
// does; an auto-free stream is freed then.
void check_ends(Checker& check, HSTREAM stream)
{
    const uint64_t length = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
    check.expect_done(BASS_ChannelSetPosition(stream, length, BASS_POS_BYTE), "seek to the end");
    check.expect_active(stream, BASS_ACTIVE_STOPPED, "at the end");
    check.expect_position(stream, length, "at the end");
    check.expect_error(BASS_ChannelPause(stream), BASS_ERROR_NOPLAY, "pause at the end");

    // Played again, as after the music's end, it starts from the beginning.
    const auto since = Clock::now();
    check.expect_done(BASS_ChannelPlay(stream, FALSE), "play after the end");
    check.expect_starts_at(stream, 0, since, "play after the end");

    check.expect_error(BASS_ChannelSetPosition(stream, length + 4, BASS_POS_BYTE),
                       BASS_ERROR_POSITION, "seek past the end");
    check.expect_active(stream, BASS_ACTIVE_STOPPED, "past the end");

    check.expect_done(BASS_ChannelPlay(stream, FALSE), "play after past the end");
    check.expect_done(BASS_ChannelPause(stream), "pause before the end");
    check.expect_done(BASS_ChannelSetPosition(stream, length, BASS_POS_BYTE),
                      "seek to the end while paused");
    check.expect_active(stream, BASS_ACTIVE_STOPPED, "paused, then at the end");
}

void check_freed_at(Checker& check, uint64_t past, const char* what)
{
    const HSTREAM stream = check.open(BASS_STREAM_AUTOFREE);
    if (stream == 0) {
        return;
    }
    check.expect_done(BASS_ChannelPlay(stream, FALSE), what);
    const uint64_t target = BASS_ChannelGetLength(stream, BASS_POS_BYTE) + past;
    const BOOL done = BASS_ChannelSetPosition(stream, target, BASS_POS_BYTE);
    if (past == 0) {
        check.expect_done(done, what);
    } else {
        check.expect_error(done, BASS_ERROR_POSITION, what);
    }
    check.expect_active(stream, BASS_ACTIVE_STOPPED, what);
    if (BASS_ErrorGetCode() != BASS_ERROR_HANDLE ||
        BASS_ChannelGetPosition(stream, BASS_POS_BYTE) != kNoPosition) {
        check.fail("%s: the auto-free stream's handle is still valid", what);
    }
}

}  // namespace

uint64_t TransportResult::worst_seek_error() const
{
    return seek_errors.empty() ? 0 : *std::max_element(seek_errors.begin(), seek_errors.end());
}

std::string TransportResult::summary() const
{
    const uint64_t best =
        seek_errors.empty() ? 0 : *std::min_element(seek_errors.begin(), seek_errors.end());
    const uint64_t worst = worst_seek_error();
    char text[160];
    std::snprintf(text, sizeof text,
                  "seeks and resumes: %zu, position read right after, past the target: "
                  "%llu to %llu bytes (%.1f to %.1f ms)",
                  seek_errors.size(), static_cast<unsigned long long>(best),
                  static_cast<unsigned long long>(worst),
                  static_cast<double>(best) / kBytesPerSecond * 1000.0,
                  static_cast<double>(worst) / kBytesPerSecond * 1000.0);
    return text;
}

TransportResult check_transport(const TransportSetup& setup)
{
    TransportResult result;
    Checker check(setup, result);
    const HSTREAM stream = check.open(0);
    if (stream == 0) {
        return result;
    }
    check_pause_and_seeks(check, stream);
    check_ends(check, stream);
    check_freed_at(check, 0, "auto-free stream moved to its end");
    check_freed_at(check, 4, "auto-free stream moved past its end");
    return result;
}

}  // namespace audio_test
