// demo-capture as a user runs it: exact and repeatable frames, a valid MP4,
// and no file left behind by Ctrl-C or a failure.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kAssets = CAPTURE_ASSET_DIR;  // textures and a 3 s demo.mp3

struct Result {
    int status = -1;
    std::string output;  // stdout and stderr together
};

// Runs a command line in the asset folder.
Result run(const std::string& command)
{
    const std::string line = "cd '" + kAssets + "' && " + command + " 2>&1";
    Result result;
    FILE* pipe = popen(line.c_str(), "r");
    char buffer[4096];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, got);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string capture(const std::string& args)
{
    return std::string(DEMO_CAPTURE) + " " + args;
}

std::vector<char> read_file(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

std::string probe(const std::string& file, const std::string& entries)
{
    return run("ffprobe -v error -count_frames -select_streams v:0 -show_entries " + entries +
               " -of default=noprint_wrappers=1:nokey=1 '" + file + "'")
        .output;
}

class CaptureCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::path(::testing::TempDir()) /
               ("capture-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
};

TEST_F(CaptureCli, TwoCapturesGiveIdenticalFramesEqualToStills)
{
    // Six frames at 50 fps from byte 100000: positions 100000 + k x 3528.
    const std::string range = "--fps 50 --size 320x180 --from 100000 --to 121168";
    ASSERT_EQ(run(capture(range + " --frames '" + (dir_ / "a").string() + "'")).status, 0);
    ASSERT_EQ(run(capture(range + " --frames '" + (dir_ / "b").string() + "'")).status, 0);
    for (int k = 0; k < 6; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06d.png", k);
        const auto a = read_file(dir_ / "a" / name);
        ASSERT_FALSE(a.empty()) << name;
        EXPECT_EQ(a, read_file(dir_ / "b" / name)) << name;

        const fs::path still = dir_ / ("still-" + std::to_string(k) + ".png");
        const Result made = run(std::string(DEMO_STILL) + " " + std::to_string(100000 + k * 3528) +
                                " '" + still.string() + "' --size 320x180");
        ASSERT_EQ(made.status, 0) << made.output;
        EXPECT_EQ(a, read_file(still)) << "frame " << k << " differs from its still";
    }
    EXPECT_FALSE(fs::exists(dir_ / "a" / "frame-000006.png"));
}

TEST_F(CaptureCli, WritesAValidMp4WithTheRightFrameCountAndDuration)
{
    const fs::path out = dir_ / "short.mp4";
    const Result result =
        run(capture("--fps 30 --size 320x180 --from 0.5s --to 1.5s '" + out.string() + "'"));
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(probe(out.string(), "stream=nb_read_frames"), "30\n");
    EXPECT_EQ(probe(out.string(), "stream=codec_name"), "h264\n");
    const double duration = std::stod(probe(out.string(), "format=duration"));
    EXPECT_NEAR(duration, 1.0, 0.05);
    const std::string audio = run("ffprobe -v error -select_streams a:0 -show_entries "
                                  "stream=codec_name -of csv=p=0 '" +
                                  out.string() + "'")
                                  .output;
    EXPECT_EQ(audio, "aac\n");
    // Nothing but the output is left in its folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
    // The encoding's processor time a frame, which the bench sets against
    // rendering: ffmpeg's can never be zero (it encoded 30 frames), the
    // conversion's is at least a number.
    std::smatch cpu;
    ASSERT_TRUE(std::regex_search(result.output, cpu,
                                  std::regex("processor time a frame: ffmpeg ([0-9]+\\.[0-9]+) ms, "
                                             "YUV conversion ([0-9]+\\.[0-9]+) ms\n")))
        << result.output;
    EXPECT_GT(std::stod(cpu[1].str()), 0.0);
    EXPECT_GE(std::stod(cpu[2].str()), 0.0);
}

TEST_F(CaptureCli, CtrlCStopsTheCaptureAndLeavesNoFile)
{
    const fs::path out = dir_ / "interrupted.mp4";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (chdir(kAssets.c_str()) != 0)
            _exit(99);
        freopen("/dev/null", "w", stderr);
        execl(DEMO_CAPTURE, DEMO_CAPTURE, "--size", "640x360", out.c_str(), nullptr);
        _exit(98);
    }
    // Wait until ffmpeg is writing the partial file, then interrupt. Start-up
    // decodes the whole track: give a slow or sanitized build a minute.
    const fs::path partial = dir_ / ".interrupted.mp4.partial";
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(partial) && std::chrono::steady_clock::now() < give_up) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(fs::exists(partial));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(partial));
}

TEST_F(CaptureCli, FailuresAreReportedWithStatusOne)
{
    const Result unwritable = run(capture("--size 320x180 --to 0.1s /nonexistent/dir/out.mp4"));
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.output.find("cannot write"), std::string::npos) << unwritable.output;
    EXPECT_NE(unwritable.output.find("/nonexistent/dir"), std::string::npos);

    const fs::path out = dir_ / "out.mp4";
    const Result no_ffmpeg =
        run("PATH=/nonexistent " + capture("--size 320x180 --to 0.1s '" + out.string() + "'"));
    EXPECT_EQ(no_ffmpeg.status, 1);
    EXPECT_NE(no_ffmpeg.output.find("ffmpeg"), std::string::npos) << no_ffmpeg.output;
    EXPECT_FALSE(fs::exists(out));

    const Result no_music =
        run(capture("--music missing.mp3 --size 320x180 '" + out.string() + "'"));
    EXPECT_EQ(no_music.status, 1);
    EXPECT_NE(no_music.output.find("missing.mp3"), std::string::npos) << no_music.output;

    const Result past_end = run(capture("--from 1000s '" + out.string() + "'"));
    EXPECT_EQ(past_end.status, 1);
    EXPECT_NE(past_end.output.find("past the end"), std::string::npos) << past_end.output;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 0);
}

TEST_F(CaptureCli, BadUsageGivesStatusTwoAndHelpExplains)
{
    const Result bad = run(capture("--fps 7 out.mp4"));
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.output.find("--fps"), std::string::npos);
    const Result help = run(capture("--help"));
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("Usage: demo-capture"), std::string::npos);
}

TEST_F(CaptureCli, ContactSheetLaysOutLabelledFrames)
{
    const fs::path sheet = dir_ / "sheet.png";
    const Result result = run(capture("--size 320x180 --sheet 4 '" + sheet.string() + "'"));
    ASSERT_EQ(result.status, 0) << result.output;
    // Two columns of 320 x 180 tiles with 4-pixel gaps.
    EXPECT_EQ(run("ffprobe -v error -show_entries stream=width,height -of csv=p=0 '" +
                  sheet.string() + "'")
                  .output,
              "652,372\n");
}

}  // namespace
