// The Linux library through its BASS_* calls, headless: SDL's dummy driver
// consumes audio in real time (for the clock), its disk driver writes what
// it is handed to a file, fast (for the samples).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>

#include "host/common/audio/engine.h"
#include "host/linux/audio/mpg123_decoder.h"
#include "platform/audio.h"
#include "tests/audio/mp3_fixture.h"
#include "tests/audio/mpeg_frames.h"
#include "tests/audio/transport_expect.h"

namespace {

using namespace audio_test;
using Clock = std::chrono::steady_clock;

class SdlAudioTest : public testing::Test {
protected:
    void TearDown() override { BASS_Free(); }

    std::string write_mp3(const std::string& name, double seconds)
    {
        mp3_ = encode_mp3(make_signal(44100, 2, seconds));
        const auto path = dir_ / name;
        write_file(path, mp3_);
        return path.string();
    }

    // What the library decodes the file to.
    std::vector<int16_t> decoded() const
    {
        return audio::decode_mp3_mpg123(mp3_, 44100).audio->samples;
    }

    // Polls until the stream stops, for at most `limit`.
    static bool wait_until_stopped(HSTREAM stream, std::chrono::milliseconds limit)
    {
        const auto give_up = Clock::now() + limit;
        while (BASS_ChannelIsActive(stream) != BASS_ACTIVE_STOPPED) {
            if (Clock::now() > give_up) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    TempDir dir_;
    std::vector<uint8_t> mp3_;
};

// The show's own sequence on the dummy driver: the position stays behind
// what the output was handed, by less than one buffer, never goes back,
// moves between buffers, and the stream stops and frees itself when the
// music is over, not before it could have been heard. How often the loop
// reads depends on the machine and its load, so nothing here counts readings
// or times them closely (the clock's steps are tested in clock_test.cpp).
TEST_F(SdlAudioTest, ThePositionFollowsTheOutputSteadilyUntilTheEnd)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr)) << audio_error_text(BASS_ErrorGetCode());
    ASSERT_FALSE(audio::host_engine().silent());
    const uint64_t queue_bytes = uint64_t{audio::host_output_queue_frames()} * 4;
    ASSERT_GT(queue_bytes, 0u);

    const std::string file = write_mp3("demo.mp3", 0.5);
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, file.c_str(), 0, 0,
                                                 BASS_STREAM_PRESCAN | BASS_STREAM_AUTOFREE);
    ASSERT_NE(stream, 0u) << audio_error_text(BASS_ErrorGetCode());
    const auto started = Clock::now();
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, 0, BASS_POS_BYTE));

    uint64_t last = 0;
    bool between_buffers = false;
    const auto give_up = started + std::chrono::seconds(60);
    while (BASS_ChannelIsActive(stream) == BASS_ACTIVE_PLAYING && Clock::now() < give_up) {
        const auto probe = audio::host_engine().probe(stream);
        if (!probe) {
            break;  // freed between the two calls
        }
        ASSERT_LE(probe->heard_bytes, probe->handed_bytes);
        ASSERT_LE(probe->handed_bytes - probe->heard_bytes, queue_bytes);
        ASSERT_GE(probe->heard_bytes, last);
        last = probe->heard_bytes;
        // Buffer steps alone would only ever give whole buffers from 0.
        between_buffers = between_buffers || last % queue_bytes != 0;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    const std::chrono::duration<double> played = Clock::now() - started;
    const uint64_t length = decoded().size() * 2;
    EXPECT_LE(last, length);
    EXPECT_TRUE(between_buffers) << "every reading was a whole number of buffers";
    // The dummy driver takes the music in real time, one buffer at a time:
    // however slow the machine, the stream cannot stop sooner.
    const double queue_seconds = static_cast<double>(queue_bytes) / (44100.0 * 4);
    EXPECT_GE(played.count(), static_cast<double>(length) / (44100.0 * 4) - queue_seconds);

    EXPECT_EQ(BASS_ChannelIsActive(stream), DWORD{BASS_ACTIVE_STOPPED});
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), ~QWORD{0});
}

// What the disk driver wrote is the decoded stream from the position set,
// sample for sample, starting at a buffer boundary.
TEST_F(SdlAudioTest, PlaysTheDecodedSamplesFromThePositionSet)
{
    const auto output = dir_ / "played.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr)) << audio_error_text(BASS_ErrorGetCode());

    const std::string file = write_mp3("demo.mp3", 1.0);
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, file.c_str(), 0, 0, BASS_STREAM_AUTOFREE);
    ASSERT_NE(stream, 0u);
    constexpr uint64_t kStart = 12345;  // frames
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, kStart * 4, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), kStart * 4);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    ASSERT_TRUE(wait_until_stopped(stream, std::chrono::seconds(20)));
    ASSERT_TRUE(BASS_Free());  // closes the file

    const std::vector<int16_t> whole = decoded();
    const std::vector<int16_t> expected(whole.begin() + kStart * 2, whole.end());
    const std::vector<uint8_t> bytes = read_file(output);
    std::vector<int16_t> played(bytes.size() / 2);
    std::memcpy(played.data(), bytes.data(), played.size() * 2);
    const size_t played_samples = played.size();
    const size_t buffer_samples = 1024 * 2;
    bool found = false;
    for (size_t at = 0; at + expected.size() <= played_samples && !found; at += buffer_samples) {
        found = std::equal(expected.begin(), expected.end(),
                           played.begin() + static_cast<std::ptrdiff_t>(at));
    }
    EXPECT_TRUE(found) << "the stream from frame " << kStart << " is not in the output";
}

// Pause, resume and seeks on the dummy driver, which plays in real time: the
// checks every output of the library passes (transport_checks.h).
TEST_F(SdlAudioTest, PauseResumeAndSeeksKeepThePosition)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr)) << audio_error_text(BASS_ErrorGetCode());
    ASSERT_FALSE(audio::host_engine().silent());
    const uint64_t buffer_bytes = uint64_t{audio::host_output_queue_frames()} * 4;
    ASSERT_GT(buffer_bytes, 0u);
    expect_transport(write_mp3("demo.mp3", 2.5), buffer_bytes, "SDL dummy driver");
}

TEST_F(SdlAudioTest, PlaysAStreamHeldInMemory)
{
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
    write_mp3("unused.mp3", 0.3);
    std::vector<uint8_t> padded(64, 0xEE);
    append(padded, mp3_);
    const HSTREAM stream = BASS_StreamCreateFile(TRUE, padded.data(), 64, mp3_.size(), 0);
    ASSERT_NE(stream, 0u) << audio_error_text(BASS_ErrorGetCode());
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, decoded().size() * 2, BASS_POS_BYTE));
    EXPECT_FALSE(BASS_ChannelSetPosition(stream, decoded().size() * 2 + 4, BASS_POS_BYTE));
}

TEST_F(SdlAudioTest, RefusesWhatIsNotAnMp3File)
{
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));

    const auto wav = dir_ / "renamed.mp3";
    write_file(wav, encode_wav(make_signal(44100, 2, 0.5)));
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, wav.c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    EXPECT_NE(std::string(audio_error_text(BASS_ERROR_FILEFORM)).find("RIFF"), std::string::npos);

    const auto missing = dir_ / "demo.mp3";
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, missing.c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
    EXPECT_NE(std::string(audio_error_text(BASS_ERROR_FILEOPEN)).find("demo.mp3"),
              std::string::npos);
}

// Cut, empty and random files: each gives a stream (a file cut inside its
// last frame still plays what it holds) or an error code with a reason, and
// never a crash; a file cut further short than its tag's frame count is
// refused.
TEST_F(SdlAudioTest, DamagedFilesGiveErrorsNotCrashes)
{
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
    write_mp3("whole.mp3", 0.5);

    std::vector<std::vector<uint8_t>> damaged;
    for (size_t cut : {size_t{0}, size_t{1}, size_t{3}, size_t{4}, size_t{100}, size_t{416},
                       size_t{417}, size_t{418}, size_t{1000}, mp3_.size() / 2, mp3_.size() - 1}) {
        damaged.emplace_back(mp3_.begin(), mp3_.begin() + static_cast<std::ptrdiff_t>(cut));
    }
    std::mt19937 random(5);
    for (size_t size : {size_t{10}, size_t{4096}, size_t{100000}}) {
        for (int i = 0; i < 5; ++i) {
            std::vector<uint8_t> bytes(size);
            for (uint8_t& byte : bytes) {
                byte = static_cast<uint8_t>(random());
            }
            damaged.push_back(bytes);
        }
    }
    std::vector<uint8_t> flipped = mp3_;  // bit errors all through the frames
    for (size_t i = 600; i < flipped.size(); i += 97) {
        flipped[i] ^= 0x5A;
    }
    damaged.push_back(flipped);

    int refused = 0;
    for (size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE(i);
        const auto path = dir_ / ("damaged" + std::to_string(i) + ".mp3");
        write_file(path, damaged[i]);
        const HSTREAM stream = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
        if (stream == 0) {
            ++refused;
            EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
            EXPECT_NE(std::string(audio_error_text(BASS_ERROR_FILEFORM)).find(path.string()),
                      std::string::npos);
        } else {
            EXPECT_TRUE(BASS_ChannelPlay(stream, FALSE));
            EXPECT_NE(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), ~QWORD{0});
        }
    }
    EXPECT_GE(refused, 20);  // all random data and the shortest cuts
}

}  // namespace
