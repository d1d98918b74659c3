// The capture tool's own logic: its command line, frame positions, the
// contact sheet's layout and shrinking, and the WAV it hands to ffmpeg.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/audio/mpeg_frames.h"
#include "tests/support/failing_allocation.h"
#include "tools/capture/music.h"
#include "tools/capture/options.h"
#include "tools/capture/sheet.h"

namespace {

using namespace capture;

std::optional<Options> parse(std::vector<const char*> args, std::string* error = nullptr)
{
    std::string message;
    auto options = parse_options(static_cast<int>(args.size()), args.data(), message);
    if (error != nullptr)
        *error = message;
    return options;
}

TEST(CaptureOptions, DefaultsToTheWholeShowAt60FpsIn1080p)
{
    const auto options = parse({"show.mp4"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->output, "show.mp4");
    EXPECT_EQ(options->fps, 60);
    EXPECT_EQ(options->width, 1920u);
    EXPECT_EQ(options->height, 1080u);
    EXPECT_FALSE(options->from);
    EXPECT_FALSE(options->to);
}

TEST(CaptureOptions, EveryAcceptedRateAdvancesAWholeNumberOfBytesPerFrame)
{
    for (const char* rate : {"24", "25", "30", "50", "60", "120"}) {
        const auto options = parse({"--fps", rate, "out.mp4"});
        ASSERT_TRUE(options) << rate;
        EXPECT_EQ(bytes_per_frame(options->fps) * options->fps, 176400) << rate;
    }
    EXPECT_EQ(bytes_per_frame(60), 2940);
    EXPECT_EQ(bytes_per_frame(24), 7350);
}

TEST(CaptureOptions, RefusesBadValuesWithAReason)
{
    std::string error;
    EXPECT_FALSE(parse({"--fps", "59", "out.mp4"}, &error));
    EXPECT_NE(error.find("--fps"), std::string::npos);
    EXPECT_FALSE(parse({"--size", "1919x1080", "out.mp4"}, &error));  // odd width
    EXPECT_FALSE(parse({"--size", "wide", "out.mp4"}, &error));
    EXPECT_FALSE(parse({"--from", "10s", "--to", "5s", "out.mp4"}, &error));
    EXPECT_NE(error.find("--to"), std::string::npos);
    EXPECT_FALSE(parse({"--sheet", "0", "s.png"}, &error));
    EXPECT_FALSE(parse({"--bogus", "out.mp4"}, &error));
    EXPECT_NE(error.find("--bogus"), std::string::npos);
    EXPECT_FALSE(parse({"a.mp4", "b.mp4"}, &error));
    EXPECT_FALSE(parse({}, &error));
    EXPECT_NE(error.find("no output"), std::string::npos);
    EXPECT_FALSE(parse({"out.mp4", "--fps"}, &error));
    EXPECT_NE(error.find("needs a value"), std::string::npos);
}

TEST(CaptureOptions, TakesAnyX264PresetAndNothingElse)
{
    EXPECT_TRUE(parse({"out.mp4"})->preset.empty());  // the encoder's default
    for (const char* preset : kPresets) {
        const auto options = parse({"--preset", preset, "out.mp4"});
        ASSERT_TRUE(options) << preset;
        EXPECT_EQ(options->preset, preset);
    }
    std::string error;
    EXPECT_FALSE(parse({"--preset", "warp", "out.mp4"}, &error));
    EXPECT_NE(error.find("'warp'"), std::string::npos);
    EXPECT_FALSE(parse({"--preset", "Medium", "out.mp4"}, &error));
}

TEST(CaptureOptions, SheetAndFramesNeedNoVideo)
{
    const auto sheet = parse({"--sheet", "12", "sheet.png"});
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->sheet_frames, 12);
    EXPECT_EQ(sheet->sheet_output, "sheet.png");
    EXPECT_TRUE(sheet->output.empty());
    const auto frames = parse({"--frames", "dir", "--size", "320x180"});
    ASSERT_TRUE(frames);
    EXPECT_EQ(frames->frames_dir, "dir");
    EXPECT_EQ(frames->width, 320u);
}

TEST(CaptureOptions, ReadsPositionsAsTheDemoReadsFrom)
{
    // Bytes down to a whole sample, seconds to the millisecond.
    const auto range = parse({"--from", "6648558", "--to", "37.7s", "out.mp4"});
    ASSERT_TRUE(range);
    EXPECT_EQ(range->from, 6648556);
    EXPECT_EQ(range->to, 6650280);
    const auto start = parse({"--from", "0", "--to", "0.001s", "out.mp4"});
    ASSERT_TRUE(start);
    EXPECT_EQ(start->from, 0);
    EXPECT_EQ(start->to, 176);

    for (const std::string flag : {"--from", "--to"}) {
        for (const char* bad : {"", "s", "12x", "-1s", "nans", "1e3", "0.00001s", "2147483648"}) {
            std::string error;
            EXPECT_FALSE(parse({flag.c_str(), bad, "out.mp4"}, &error)) << flag << " " << bad;
            EXPECT_EQ(error, flag + " must be a byte position (12345) or seconds (12.5s), not '" +
                                 bad + "'");
        }
    }
}

TEST(ContactSheet, SpreadsFramesOverTheMiddlesOfEqualParts)
{
    const auto positions = spread_positions(0, 1000, 4);
    EXPECT_EQ(positions, (std::vector<int64_t>{124, 372, 624, 872}));
    for (int64_t p : spread_positions(17, 19756813, 9)) {
        EXPECT_EQ(p % 4, 0);
        EXPECT_GE(p, 17 - 4);
        EXPECT_LT(p, 19756813);
    }
}

TEST(ContactSheet, LabelsPositionsWithMinutesSecondsAndHundredths)
{
    EXPECT_EQ(format_time(0), "0:00.00");
    EXPECT_EQ(format_time(176400), "0:01.00");
    EXPECT_EQ(format_time(6648556), "0:37.69");
    EXPECT_EQ(format_time(176400 * 61 + 88200), "1:01.50");
}

TEST(ContactSheet, ShrinkingAveragesEachBlockOfPixels)
{
    // A 4x2 frame: left 2x2 block black and white checks, right block solid red.
    const std::vector<uint8_t> frame = {
        0,   0,   0,   255, 255, 255, 255, 255, 255, 0, 0, 255, 255, 0, 0, 255,
        255, 255, 255, 255, 0,   0,   0,   255, 255, 0, 0, 255, 255, 0, 0, 255,
    };
    Image image{2, 1, std::vector<uint8_t>(8, 0)};
    shrink_into(frame.data(), 4, 2, image, 0, 0, 2, 1);
    EXPECT_EQ(image.rgba, (std::vector<uint8_t>{128, 128, 128, 255, 255, 0, 0, 255}));
}

TEST(ContactSheet, LaysTilesOnAGridAndLabelsThem)
{
    const uint32_t fw = 64, fh = 36;
    std::vector<uint8_t> frame(fw * fh * 4, 200);
    ContactSheet sheet(5, 32, fw, fh);  // 3 columns, 2 rows of 32x18 tiles
    const Image& image = sheet.image();
    EXPECT_EQ(image.width, 3 * 32 + 4 * 4u);
    EXPECT_EQ(image.height, 2 * 18 + 3 * 4u);
    const auto pixel = [&](uint32_t x, uint32_t y) {
        return image.rgba[(y * image.width + x) * 4];
    };
    EXPECT_EQ(pixel(4 + 31, 4 + 1), 24);  // still background
    sheet.place(0, frame.data(), "");
    EXPECT_EQ(pixel(4 + 31, 4 + 1), 200);
    EXPECT_EQ(pixel(4 + 32, 4 + 1), 24);  // the gap stays
    // A label writes white and shadow pixels into the lower-left of its tile.
    sheet.place(4, frame.data(), "8");
    int white = 0, shadow = 0;
    for (uint32_t y = 4 + 18 + 4; y < 4 + 2 * 18 + 4; ++y) {
        for (uint32_t x = 4 + 36; x < 4 + 36 + 32; ++x) {
            white += pixel(x, y) == 255;
            shadow += pixel(x, y) == 0;
        }
    }
    EXPECT_GT(white, 10);
    EXPECT_GT(shadow, 0);
}

TEST(CaptureMusic, WritesACanonicalWavHeader)
{
    const std::string path = ::testing::TempDir() + "capture_test.wav";
    const std::vector<uint8_t> pcm = {1, 2, 3, 4, 5, 6, 7, 8};
    std::string error;
    ASSERT_TRUE(write_wav(path, pcm.data(), pcm.size(), error)) << error;
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), {});
    ASSERT_EQ(bytes.size(), 44u + pcm.size());
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(bytes[4], 36 + 8);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(bytes[22], 2);                       // channels
    EXPECT_EQ(bytes[24] | bytes[25] << 8, 44100);  // rate
    EXPECT_EQ(bytes[32], 4);                       // block align
    EXPECT_EQ(bytes[34], 16);                      // bits
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 44, bytes.end()), pcm);
    std::remove(path.c_str());
}

TEST(CaptureMusic, RefusesMissingAndNonMpegFiles)
{
    std::string error;
    EXPECT_FALSE(decode_music("/nonexistent/demo.mp3", error));
    EXPECT_FALSE(error.empty());
    const std::string path = ::testing::TempDir() + "capture_test_noise.mp3";
    {
        std::ofstream file(path, std::ios::binary);
        file << "this is not an mp3 file at all";
    }
    EXPECT_FALSE(decode_music(path, error));
    std::remove(path.c_str());
}

TEST(CaptureMusic, RefusesWhatIsNotAFileWithWhatItIs)
{
    const std::string directory = ::testing::TempDir() + "capture_test_directory.mp3";
    std::filesystem::create_directories(directory);
    const std::string fifo = ::testing::TempDir() + "capture_test_fifo.mp3";
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string device = ::testing::TempDir() + "capture_test_device.mp3";
    std::remove(device.c_str());
    std::filesystem::create_symlink("/dev/zero", device);

    std::string error;
    EXPECT_FALSE(decode_music(directory, error));
    EXPECT_EQ(error, "a directory, not a file");
    EXPECT_FALSE(decode_music(fifo, error));
    EXPECT_EQ(error, "a FIFO (named pipe), not a file");
    EXPECT_FALSE(decode_music(device, error));
    EXPECT_EQ(error, "a character device, not a file");
    std::filesystem::remove(directory);
    std::remove(fifo.c_str());
    std::remove(device.c_str());
}

TEST(CaptureMusic, NoRoomForTheSamplesIsAnErrorNotACrash)
{
    const std::vector<uint8_t> mp3 =
        audio_test::silent_frames(audio_test::kMpeg1Layer3Stereo128k, 40);
    const std::string path = ::testing::TempDir() + "capture_test_silence.mp3";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(mp3.data()), static_cast<std::streamsize>(mp3.size()));
    std::string error;
    ASSERT_TRUE(decode_music(path, error)) << error;

    {
        // The file fits; its samples, 11 times larger, do not.
        test_support::FailingAllocations no_room(mp3.size() + 1);
        EXPECT_FALSE(decode_music(path, error));
        EXPECT_GE(no_room.refused(), 1u);
    }
    EXPECT_EQ(error, "out of memory");
    std::remove(path.c_str());
}

}  // namespace
