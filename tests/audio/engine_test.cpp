// The stream engine driven by hand: a fake backend supplies the time, the
// output and a decoder whose samples are known, and each test plays the
// output's part by rendering buffers at chosen moments.
#include "host/common/audio/engine.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <new>
#include <utility>

#include "tests/audio/mp3_fixture.h"
#include "tests/audio/mpeg_frames.h"
#include "tests/support/failing_allocation.h"

namespace {

using audio::Engine;
using audio::Nanoseconds;
using namespace audio_test;

constexpr Nanoseconds kMs = 1'000'000;
constexpr uint32_t kBuffer = 1024;

// Stream sample i of the fake decode: distinct, so a test can tell which
// frame it hears.
int16_t left_sample(uint64_t frame)
{
    return static_cast<int16_t>(frame % 30000);
}

class FakeBackend : public audio::Backend {
public:
    Nanoseconds time = 1000 * kMs;
    bool has_output = true;
    int opened = 0;
    int closed = 0;
    int flushes = 0;
    uint64_t decoded_frames = 44100;  // at the source rate
    uint32_t source_rate = 0;         // 0: the rate the scan found
    int decode_error = BASS_OK;
    bool decode_runs_out_of_memory = false;

    Nanoseconds now() override { return time; }
    void lock() override {}
    void unlock() override {}
    bool open_output(uint32_t, std::string& why) override
    {
        why = "no card in the test";
        opened += has_output ? 1 : 0;
        return has_output;
    }
    void close_output() override { ++closed; }
    void request_flush() override { ++flushes; }

    audio::DecodeOutcome decode(std::span<const uint8_t>, const audio::MpegStream& stream,
                                uint32_t output_rate) override
    {
        if (decode_runs_out_of_memory) {
            throw std::bad_alloc();
        }
        audio::DecodeOutcome outcome;
        if (decode_error != BASS_OK) {
            outcome.error = decode_error;
            outcome.reason = "the decoder gave up";
            return outcome;
        }
        audio::DecodedAudio audio;
        audio.source_rate = source_rate != 0 ? source_rate : stream.first.sample_rate;
        audio.source_frames = decoded_frames;
        // Resampling keeps the frame index in the left channel, scaled.
        const uint64_t frames = decoded_frames * output_rate / audio.source_rate;
        for (uint64_t i = 0; i < frames; ++i) {
            audio.samples.push_back(left_sample(i));
            audio.samples.push_back(static_cast<int16_t>(-left_sample(i)));
        }
        outcome.audio = std::move(audio);
        return outcome;
    }
};

class EngineTest : public testing::Test {
protected:
    FakeBackend backend;
    Engine engine{backend};
    std::vector<uint8_t> mp3 = silent_frames(kMpeg1Layer3Stereo128k, 10);

    HSTREAM make_stream(DWORD flags = 0)
    {
        return engine.create_stream(TRUE, mp3.data(), 0, mp3.size(), flags);
    }

    // The output takes one buffer now: renders it and starts playing it.
    std::vector<int16_t> output_buffer()
    {
        std::vector<int16_t> out(kBuffer * 2);
        const uint64_t first = engine.frames_rendered();
        engine.render(out.data(), kBuffer);
        engine.buffer_started(backend.time, first, kBuffer);
        return out;
    }

    // Advance the fake clock by a buffer's duration at 44100 Hz, plus `extra`.
    void wait_buffer(Nanoseconds extra = 0)
    {
        backend.time += Nanoseconds{kBuffer} * 1'000'000'000 / 44100 + extra;
    }

    uint64_t position(HSTREAM stream) { return engine.get_position(stream, BASS_POS_BYTE); }
};

TEST_F(EngineTest, StartsOnceAndStopsOnce)
{
    EXPECT_FALSE(engine.free());
    EXPECT_EQ(audio::last_error(), BASS_ERROR_INIT);
    EXPECT_FALSE(engine.create_stream(TRUE, mp3.data(), 0, mp3.size(), 0));
    EXPECT_EQ(audio::last_error(), BASS_ERROR_INIT);

    EXPECT_FALSE(engine.init(5, 44100));
    EXPECT_EQ(audio::last_error(), BASS_ERROR_DEVICE);
    EXPECT_FALSE(engine.init(-1, 1000));
    EXPECT_EQ(audio::last_error(), BASS_ERROR_ILLPARAM);

    ASSERT_TRUE(engine.init(-1, 44100));
    EXPECT_EQ(audio::last_error(), BASS_OK);
    EXPECT_EQ(backend.opened, 1);
    EXPECT_FALSE(engine.init(-1, 44100));
    EXPECT_EQ(audio::last_error(), BASS_ERROR_ALREADY);

    const HSTREAM stream = make_stream();
    ASSERT_NE(stream, 0u);
    EXPECT_TRUE(engine.free());
    EXPECT_EQ(backend.closed, 1);
    // Freeing the library frees its streams.
    ASSERT_TRUE(engine.init(-1, 44100));
    EXPECT_EQ(engine.is_active(stream), DWORD{BASS_ACTIVE_STOPPED});
    EXPECT_EQ(audio::last_error(), BASS_ERROR_HANDLE);
}

TEST_F(EngineTest, RefusesFilesWithACodeAndAReason)
{
    ASSERT_TRUE(engine.init(-1, 44100));
    TempDir dir;

    const auto missing = (dir / "missing.mp3").string();
    EXPECT_EQ(engine.create_stream(FALSE, missing.c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(audio::last_error(), BASS_ERROR_FILEOPEN);
    EXPECT_NE(std::string(audio::error_text(BASS_ERROR_FILEOPEN)).find("missing.mp3"),
              std::string::npos);
    EXPECT_NE(std::string(audio::error_text(BASS_ERROR_FILEOPEN)).find("No such file"),
              std::string::npos);

    const auto wav_path = dir / "music.mp3";
    write_file(wav_path, encode_wav(make_signal(44100, 2, 0.2)));
    EXPECT_EQ(engine.create_stream(FALSE, wav_path.string().c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(audio::last_error(), BASS_ERROR_FILEFORM);
    EXPECT_EQ(
        std::string(audio::error_text(BASS_ERROR_FILEFORM)),
        "unsupported file format: " + wav_path.string() + ": a RIFF (WAVE) file, not MPEG audio");
    // The cause belongs to the last error only.
    EXPECT_EQ(std::string(audio::error_text(BASS_ERROR_FILEOPEN)), "cannot open the file");

    EXPECT_EQ(engine.create_stream(TRUE, mp3.data(), 0, 0, 0), 0u);
    EXPECT_EQ(audio::last_error(), BASS_ERROR_ILLPARAM);
    EXPECT_EQ(engine.create_stream(TRUE, mp3.data(), 0, mp3.size(), 0x100), 0u);
    EXPECT_EQ(audio::last_error(), BASS_ERROR_ILLPARAM);
    EXPECT_NE(std::string(audio::error_text(BASS_ERROR_ILLPARAM)).find("0x100"), std::string::npos);

    backend.decode_error = BASS_ERROR_CODEC;
    EXPECT_EQ(make_stream(), 0u);
    EXPECT_EQ(audio::last_error(), BASS_ERROR_CODEC);
    EXPECT_NE(std::string(audio::error_text(BASS_ERROR_CODEC)).find("the decoder gave up"),
              std::string::npos);
    backend.decode_error = BASS_OK;
    backend.decoded_frames = 0;
    EXPECT_EQ(make_stream(), 0u);
    EXPECT_EQ(audio::last_error(), BASS_ERROR_FILEFORM);

    // A file read from an offset: the frames start 100 bytes in.
    backend.decoded_frames = 1000;
    std::vector<uint8_t> shifted(100, 0x42);
    append(shifted, mp3);
    const auto shifted_path = dir / "shifted.bin";
    write_file(shifted_path, shifted);
    EXPECT_EQ(engine.create_stream(FALSE, shifted_path.string().c_str(), 0, 0, 0), 0u);
    EXPECT_NE(engine.create_stream(FALSE, shifted_path.string().c_str(), 100, 0, 0), 0u);
    EXPECT_EQ(engine.create_stream(FALSE, shifted_path.string().c_str(), 1u << 20, 0, 0), 0u);
    EXPECT_EQ(audio::last_error(), BASS_ERROR_FILEOPEN);
    EXPECT_STREQ(audio::error_text(BASS_OK), "no error");
}

TEST_F(EngineTest, RefusesWhatIsNotAFileAndSaysWhatItIs)
{
    ASSERT_TRUE(engine.init(-1, 44100));
    TempDir dir;
    const auto directory = dir / "directory.mp3";
    std::filesystem::create_directory(directory);
    const auto fifo = dir / "fifo.mp3";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto device = dir / "device.mp3";
    std::filesystem::create_symlink("/dev/zero", device);

    const std::pair<std::filesystem::path, const char*> cases[] = {
        {directory, "a directory, not a file"},
        {fifo, "a FIFO (named pipe), not a file"},
        {device, "a character device, not a file"},
    };
    for (const auto& [path, said] : cases) {
        EXPECT_EQ(engine.create_stream(FALSE, path.c_str(), 0, 0, 0), 0u) << path;
        EXPECT_EQ(audio::last_error(), BASS_ERROR_FILEOPEN) << path;
        EXPECT_EQ(std::string(audio::error_text(BASS_ERROR_FILEOPEN)),
                  "cannot open the file: " + path.string() + ": " + said);
    }

    // A link to a file is the file.
    const auto file = dir / "music.mp3";
    write_file(file, mp3);
    const auto link = dir / "link.mp3";
    std::filesystem::create_symlink(file, link);
    const HSTREAM stream = engine.create_stream(FALSE, link.c_str(), 0, 0, 0);
    EXPECT_NE(stream, 0u) << audio::error_text(audio::last_error());
}

TEST_F(EngineTest, NoRoomIsTheMemoryErrorNotACrash)
{
    ASSERT_TRUE(engine.init(-1, 44100));
    TempDir dir;

    // Longer than the library holds in memory: refused before a byte of it
    // is read (a sparse file takes no room on the disk).
    const auto huge = dir / "huge.mp3";
    write_file(huge, mp3);
    std::filesystem::resize_file(huge, Engine::kMaxFileBytes + 1);
    EXPECT_EQ(engine.create_stream(FALSE, huge.c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(audio::last_error(), BASS_ERROR_MEM);
    EXPECT_NE(std::string(audio::error_text(BASS_ERROR_MEM)).find("huge.mp3: the file is"),
              std::string::npos)
        << audio::error_text(BASS_ERROR_MEM);
    // The same length in memory is not read at all.
    EXPECT_EQ(engine.create_stream(TRUE, mp3.data(), 0, Engine::kMaxFileBytes + 1, 0), 0u);
    EXPECT_EQ(audio::last_error(), BASS_ERROR_MEM);

    // No room for the file's bytes.
    const auto file = dir / "music.mp3";
    write_file(file, mp3);
    {
        test_support::FailingAllocations no_room(mp3.size());
        EXPECT_EQ(engine.create_stream(FALSE, file.c_str(), 0, 0, 0), 0u);
        EXPECT_EQ(audio::last_error(), BASS_ERROR_MEM);
        EXPECT_GE(no_room.refused(), 1u);
    }
    EXPECT_EQ(std::string(audio::error_text(BASS_ERROR_MEM)),
              "out of memory: " + file.string() + ": no room in memory for its " +
                  std::to_string(mp3.size()) + " bytes");

    // No room for the decoded samples.
    backend.decode_runs_out_of_memory = true;
    EXPECT_EQ(engine.create_stream(FALSE, file.c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(audio::last_error(), BASS_ERROR_MEM);
    EXPECT_EQ(std::string(audio::error_text(BASS_ERROR_MEM)),
              "out of memory: " + file.string() +
                  ": no room for the stream's data or its decoded samples");
    EXPECT_EQ(make_stream(), 0u);
    EXPECT_EQ(audio::last_error(), BASS_ERROR_MEM);
}

TEST_F(EngineTest, AnInvalidHandleFailsEveryCall)
{
    ASSERT_TRUE(engine.init(-1, 44100));
    for (DWORD handle : {0u, 1u, 0x12345678u}) {
        EXPECT_FALSE(engine.play(handle, FALSE));
        EXPECT_EQ(audio::last_error(), BASS_ERROR_HANDLE);
        EXPECT_FALSE(engine.set_position(handle, 0, BASS_POS_BYTE));
        EXPECT_EQ(audio::last_error(), BASS_ERROR_HANDLE);
        EXPECT_EQ(engine.is_active(handle), DWORD{BASS_ACTIVE_STOPPED});
        EXPECT_EQ(audio::last_error(), BASS_ERROR_HANDLE);
        EXPECT_EQ(engine.get_position(handle, BASS_POS_BYTE), ~QWORD{0});
        EXPECT_EQ(audio::last_error(), BASS_ERROR_HANDLE);
    }
}

TEST_F(EngineTest, PositionIsWhatIsHeardWithinOneBufferOfWhatWasHanded)
{
    ASSERT_TRUE(engine.init(-1, 44100));
    const HSTREAM stream = make_stream();
    ASSERT_TRUE(engine.play(stream, FALSE));
    EXPECT_EQ(engine.is_active(stream), DWORD{BASS_ACTIVE_PLAYING});
    EXPECT_EQ(position(stream), 0u);  // nothing has reached the output yet

    uint64_t last = 0;
    for (int buffer = 0; buffer < 20; ++buffer) {
        output_buffer();
        // Readings a few milliseconds apart between two buffers.
        for (int step = 0; step < 6; ++step) {
            const auto probe = engine.probe(stream);
            ASSERT_TRUE(probe);
            EXPECT_LE(probe->heard_bytes, probe->handed_bytes);
            EXPECT_GE(probe->heard_bytes + kBuffer * 4, probe->handed_bytes);
            EXPECT_GE(probe->heard_bytes, last);
            EXPECT_EQ(position(stream), probe->heard_bytes);
            last = probe->heard_bytes;
            backend.time += 4 * kMs;
        }
        wait_buffer(-24 * kMs);
    }
    // Between buffers the position moved in steps of 4 ms, not of a buffer.
    EXPECT_EQ(last, (19u * kBuffer + 882) * 4);
}

TEST_F(EngineTest, SettingThePositionIsExactToTheSample)
{
    ASSERT_TRUE(engine.init(-1, 44100));
    const HSTREAM stream = make_stream();
    ASSERT_TRUE(engine.set_position(stream, 12345 * 4 + 3, BASS_POS_BYTE));  // rounds down
    EXPECT_EQ(position(stream), 12345u * 4);
    ASSERT_TRUE(engine.play(stream, FALSE));
    EXPECT_EQ(backend.flushes, 1);
    const auto out = output_buffer();
    for (uint64_t i = 0; i < kBuffer; ++i) {
        ASSERT_EQ(out[i * 2], left_sample(12345 + i)) << i;
    }

    // Moving while playing: the next buffer starts at the new place.
    ASSERT_TRUE(engine.set_position(stream, 30000 * 4, BASS_POS_BYTE));
    EXPECT_EQ(backend.flushes, 2);
    EXPECT_EQ(position(stream), 30000u * 4);
    wait_buffer();
    const auto moved = output_buffer();
    EXPECT_EQ(moved[0], left_sample(30000));
    backend.time += 10 * kMs;
    EXPECT_EQ(position(stream), (30000u + 441) * 4);

    EXPECT_FALSE(engine.set_position(stream, 44101 * 4, BASS_POS_BYTE));
    EXPECT_EQ(audio::last_error(), BASS_ERROR_POSITION);
    EXPECT_FALSE(engine.set_position(stream, 0, 1));
    EXPECT_EQ(audio::last_error(), BASS_ERROR_NOTAVAIL);
    EXPECT_EQ(engine.get_position(stream, 1), ~QWORD{0});
}

TEST_F(EngineTest, StopsOnceTheLastSampleIsHeardAndAutoFreeReleasesTheHandle)
{
    ASSERT_TRUE(engine.init(-1, 44100));
    backend.decoded_frames = 3000;  // two buffers and a bit
    const HSTREAM kept = make_stream();
    const HSTREAM freed = make_stream(BASS_STREAM_PRESCAN | BASS_STREAM_AUTOFREE);
    ASSERT_TRUE(engine.play(kept, FALSE));
    ASSERT_TRUE(engine.play(freed, FALSE));

    output_buffer();
    wait_buffer();
    output_buffer();
    wait_buffer();
    output_buffer();
    // All 3000 frames are handed; 2048 + 926 of them are heard after 21 ms.
    backend.time += 21 * kMs;
    EXPECT_EQ(engine.is_active(kept), DWORD{BASS_ACTIVE_PLAYING});
    EXPECT_EQ(engine.is_active(freed), DWORD{BASS_ACTIVE_PLAYING});
    backend.time += 1 * kMs;
    EXPECT_EQ(engine.is_active(kept), DWORD{BASS_ACTIVE_STOPPED});
    EXPECT_EQ(audio::last_error(), BASS_OK);
    EXPECT_EQ(position(kept), 3000u * 4);

    EXPECT_EQ(engine.is_active(freed), DWORD{BASS_ACTIVE_STOPPED});
    EXPECT_EQ(audio::last_error(), BASS_ERROR_HANDLE);
    // A new stream in the freed slot does not revive the old handle.
    const HSTREAM next = make_stream();
    EXPECT_NE(next, freed);
    EXPECT_EQ(position(freed), ~QWORD{0});

    // Playing an ended stream starts it again from the beginning.
    ASSERT_TRUE(engine.play(kept, FALSE));
    EXPECT_EQ(position(kept), 0u);
    EXPECT_EQ(output_buffer()[2], left_sample(1));
}

TEST_F(EngineTest, StreamsMixWithSaturation)
{
    ASSERT_TRUE(engine.init(-1, 44100));
    backend.decoded_frames = 40000;
    const HSTREAM a = make_stream();
    const HSTREAM b = make_stream();
    ASSERT_TRUE(engine.set_position(b, 29990 * 4, BASS_POS_BYTE));
    ASSERT_TRUE(engine.play(a, FALSE));
    ASSERT_TRUE(engine.set_position(a, 29990 * 4, BASS_POS_BYTE));
    ASSERT_TRUE(engine.play(b, FALSE));
    const auto out = output_buffer();
    EXPECT_EQ(out[0], 32767);  // 29990 + 29990 saturates
    EXPECT_EQ(out[1], -32768);
    EXPECT_EQ(out[20], 0);  // frame 30000 is 0 in both
}

TEST_F(EngineTest, DroppedQueueResumesFromWhatWasHeard)
{
    ASSERT_TRUE(engine.init(-1, 44100));
    const HSTREAM stream = make_stream();
    ASSERT_TRUE(engine.play(stream, FALSE));
    output_buffer();
    std::vector<int16_t> queued(kBuffer * 2);  // rendered, waiting behind the first
    engine.render(queued.data(), kBuffer);
    backend.time += 10 * kMs;
    engine.queue_dropped(backend.time);
    EXPECT_EQ(position(stream), 441u * 4);
    backend.time += 50 * kMs;
    EXPECT_EQ(position(stream), 441u * 4);  // nothing plays until the output restarts
    const auto out = output_buffer();
    EXPECT_EQ(out[0], left_sample(441));
}

// Wine's null output takes each buffer the moment it is queued.
TEST_F(EngineTest, AnOutputFasterThanRealTimeIsHeardAtRealTime)
{
    ASSERT_TRUE(engine.init(-1, 44100));
    engine.limit_to_real_time(backend.time, 0);
    const HSTREAM stream = make_stream();
    ASSERT_TRUE(engine.play(stream, FALSE));
    for (int i = 0; i < 4; ++i) {
        output_buffer();
    }
    backend.time += 10 * kMs;
    EXPECT_EQ(position(stream), 441u * 4);
    backend.time += 1000 * kMs;
    EXPECT_EQ(position(stream), 4u * kBuffer * 4);  // never past what was handed

    // A dropped queue starts the limit again from where the output resumes.
    engine.queue_dropped(backend.time);
    engine.limit_to_real_time(backend.time, engine.frames_rendered());
    output_buffer();
    backend.time += 10 * kMs;
    EXPECT_EQ(position(stream), (4u * kBuffer + 441) * 4);
}

TEST_F(EngineTest, PositionsCountAtTheStreamsOwnRate)
{
    ASSERT_TRUE(engine.init(-1, 44100));
    backend.source_rate = 48000;
    backend.decoded_frames = 48000;  // one second
    const HSTREAM stream = make_stream();
    ASSERT_TRUE(engine.set_position(stream, 24000 * 4, BASS_POS_BYTE));
    EXPECT_EQ(position(stream), 24000u * 4);
    ASSERT_TRUE(engine.play(stream, FALSE));
    output_buffer();
    backend.time += 100 * kMs;
    EXPECT_EQ(position(stream), (22050u + 1024) * 48000 / 44100 * 4);  // the buffer's end
    for (int i = 0; i < 30; ++i) {
        wait_buffer();
        output_buffer();
    }
    backend.time += 1000 * kMs;
    EXPECT_EQ(engine.is_active(stream), DWORD{BASS_ACTIVE_STOPPED});
    EXPECT_EQ(position(stream), 48000u * 4);
}

TEST_F(EngineTest, WithoutAnOutputTheClockPlaysSilentlyAndSaysSoOnce)
{
    backend.has_output = false;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(engine.init(-1, 44100));
    EXPECT_TRUE(engine.silent());
    const HSTREAM stream = make_stream(BASS_STREAM_AUTOFREE);
    ASSERT_TRUE(engine.play(stream, FALSE));
    backend.time += 250 * kMs;
    EXPECT_EQ(position(stream), 11025u * 4);
    ASSERT_TRUE(engine.set_position(stream, 40000 * 4, BASS_POS_BYTE));
    backend.time += 50 * kMs;
    EXPECT_EQ(position(stream), (40000u + 2205) * 4);
    backend.time += 100 * kMs;  // 44410 frames: past the end
    EXPECT_EQ(engine.is_active(stream), DWORD{BASS_ACTIVE_STOPPED});
    EXPECT_EQ(audio::last_error(), BASS_ERROR_HANDLE);
    EXPECT_EQ(backend.flushes, 0);

    ASSERT_TRUE(engine.free());
    ASSERT_TRUE(engine.init(-1, 44100));
    ASSERT_TRUE(engine.free());
    EXPECT_EQ(backend.closed, 0);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "audio: no sound output (no card in the test); the music plays silently\n");
}

TEST_F(EngineTest, TheNoSoundDeviceIsSilentWithoutAWord)
{
    testing::internal::CaptureStderr();
    ASSERT_TRUE(engine.init(0, 44100));
    EXPECT_TRUE(engine.silent());
    EXPECT_EQ(backend.opened, 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
