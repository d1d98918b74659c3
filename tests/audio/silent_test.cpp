// With no sound device the library plays on the system clock. These tests
// make SDL fail on purpose and live in their own program, because the
// library says once per process that it plays silently.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "host/common/audio/engine.h"
#include "platform/audio.h"
#include "tests/audio/mp3_fixture.h"
#include "tests/audio/transport_expect.h"

namespace {

using namespace audio_test;
using Clock = std::chrono::steady_clock;

constexpr double kBytesPerSecond = 44100.0 * 4;

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class SilentTest : public testing::Test {
protected:
    void TearDown() override { BASS_Free(); }

    HSTREAM open_stream(double seconds, DWORD flags)
    {
        const auto path = dir_ / "demo.mp3";
        write_file(path, encode_mp3(make_signal(44100, 2, seconds)));
        return BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, flags);
    }

    TempDir dir_;
};

TEST_F(SilentTest, AnUnknownDriverPlaysOnTheClockAndSaysSoOnce)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    ASSERT_TRUE(BASS_Free());
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(audio::host_engine().silent());
    EXPECT_EQ(audio::host_output_queue_frames(), 0u);
    EXPECT_EQ(said.find("audio: no sound output (SDL audio: "), 0u) << said;
    EXPECT_EQ(said.find('\n'), said.size() - 1) << said;  // one line, once

    const HSTREAM stream = open_stream(1.0, BASS_STREAM_PRESCAN | BASS_STREAM_AUTOFREE);
    ASSERT_NE(stream, 0u) << audio_error_text(BASS_ErrorGetCode());
    const auto started = Clock::now();
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    const QWORD moved = BASS_ChannelGetPosition(stream, BASS_POS_BYTE);
    EXPECT_GE(static_cast<double>(moved), 0.05 * kBytesPerSecond);
    EXPECT_LE(static_cast<double>(moved), seconds_since(started) * kBytesPerSecond + 4);

    // 80 ms before the end: it stops after that much time, and frees itself.
    // The upper limit only catches a stream that never stops: a loaded
    // machine may take long to get round to the readings.
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, (44100 - 3528) * 4, BASS_POS_BYTE));
    const auto moved_at = Clock::now();
    QWORD last = 0;
    while (BASS_ChannelIsActive(stream) == BASS_ACTIVE_PLAYING && seconds_since(moved_at) < 30) {
        const QWORD position = BASS_ChannelGetPosition(stream, BASS_POS_BYTE);
        if (position == ~QWORD{0}) {
            break;
        }
        EXPECT_GE(position, last);
        last = position;
    }
    EXPECT_GE(seconds_since(moved_at), 0.075);
    EXPECT_LT(seconds_since(moved_at), 30.0);
    EXPECT_EQ(BASS_ChannelIsActive(stream), DWORD{BASS_ACTIVE_STOPPED});
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

// ALSA with a configuration that names no device: SDL's driver starts but
// opening the output fails, as on a machine without a sound card.
TEST_F(SilentTest, AnOutputThatCannotOpenPlaysOnTheClock)
{
    const auto config = dir_ / "asound.conf";
    write_file(config, std::vector<uint8_t>{'#', '\n'});
    setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
    setenv("SDL_AUDIODRIVER", "alsa", 1);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    EXPECT_TRUE(audio::host_engine().silent());

    const HSTREAM stream = open_stream(0.2, 0);
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GT(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), 0u);
}

// Pause, resume and seeks on the clock: the checks every output of the
// library passes (transport_checks.h), with nothing held by an output.
TEST_F(SilentTest, PauseResumeAndSeeksKeepThePosition)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    ASSERT_TRUE(audio::host_engine().silent());
    const auto path = dir_ / "demo.mp3";
    write_file(path, encode_mp3(make_signal(44100, 2, 2.5)));
    expect_transport(path.string(), 0, "silent clock");
}

}  // namespace
