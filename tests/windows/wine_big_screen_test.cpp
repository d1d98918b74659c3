// demo.exe under Wine on a 1920 x 1080 X screen, as a party's compo machine
// runs it: --fullscreen covers the screen with the show centred between
// black bars of the right width, Esc ends the program
// with status 0 at once, --from starts the show in the scene at that
// position, and Alt-Enter goes from a window to fullscreen and back with the
// show's picture on screen each time, and --rehearse's keys pause and move
// the show. (The cursor is not looked at here: the
// window class has no cursor, as the show always registered it, so Wine
// shows none over the window, hidden or not; the shell's tests check the
// ShowCursor calls and the Linux tests what they do.) Uses the Wine prefix
// and the assets of
// the Wine tests' set-up (scripts/wine-tests.sh) for the build that
// WINE_TESTS_ARCH names (x86 or x64).
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <stb/stb_image.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "tests/robustness/clean_end.h"
#include "tests/robustness/position_readings.h"
#include "tests/robustness/virtual_desktop.h"
#include "tests/support/child_process.h"
#include "tests/windows/image_diff.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test_support::ChildOptions;
using test_support::ChildProcess;
using test_support::ChildResult;
using test_support::Screenshot;
using test_support::VirtualDesktop;
using test_support::WindowPlace;

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The build under test, set by CTest for each Windows build: x86 or x64.
const std::string kArch = environment("WINE_TESTS_ARCH");
// Its Wine tests' work folder: prefix/, assets/, assets-long/.
const fs::path kWork = fs::path(WINE_TESTS_WORK_ROOT) / ("wine-" + kArch);
const fs::path kDemoExe = fs::path(DEMO_SOURCE_DIR) / "build" /
                          (kArch == "x64" ? "windows64" : "windows") / "app" / "demo.exe";
const fs::path kWineCanRun = fs::path(DEMO_SOURCE_DIR) / "scripts" / "wine-can-run.sh";
const fs::path kStillTool = DEMO_STILL_TOOL;
constexpr const char* kWindowTitle = "PSP Vemro LIB";
constexpr const char* kTextureFiles[] = {"tree.dds", "grass.dds", "ground.dds", "leaf.dds"};

constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
// 960:544 at the screen's height: 1905.9 columns, rounded to 1906; the 14
// left over make a black bar of 7 on each side.
constexpr int kBar = 7;

// Wine needs a few seconds to start; the show is then expected to end far
// sooner than its 50 s of music.
constexpr auto kStartLimit = 60s;
constexpr auto kEndsAtOnce = 8s;

// Scene 2 (night) runs from byte 6648556 to 9977248 of the music.
constexpr const char* kNightPosition = "8000000";
constexpr int64_t kBytesPerSecond = 176400;
// A picture within this mean difference (0..255) of demo-still's frame at
// the position the show has reached is that frame: Wine's fog differs from
// our device's by up to 4 by day (see scripts/wine-tests.sh), and a frame a
// tenth of a second off moves the grass by a few pixels; a black, frozen or
// misplaced picture is far beyond.
constexpr double kSameFrame = 12.0;

int black_in_column(const Screenshot& shot, int x)
{
    int black = 0;
    for (int y = 0; y < shot.height; ++y) {
        black += shot.at(x, y) == 0 ? 1 : 0;
    }
    return black;
}

// Mean of the three channels over a band along the picture's top: the sky,
// bright fog by day, black with a few stars by night.
double sky_brightness(const Screenshot& shot)
{
    double sum = 0;
    int count = 0;
    for (int y = 10; y < 110; ++y) {
        for (int x = 200; x < kScreenWidth - 200; ++x) {
            const uint32_t p = shot.at(x, y);
            sum += ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF);
            count += 3;
        }
    }
    return sum / count;
}

// The mean difference between the picture in `area` of the screenshot and
// an image file of the area's size; a large number if the file is unusable.
double difference(const Screenshot& shot, const WindowPlace& area, const fs::path& image)
{
    int width = 0;
    int height = 0;
    int channels = 0;
    stbi_uc* pixels = stbi_load(image.c_str(), &width, &height, &channels, 4);
    if (pixels == nullptr || width != area.width || height != area.height) {
        stbi_image_free(pixels);
        return 1000.0;
    }
    std::vector<uint8_t> picture(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t p = shot.at(area.x + x, area.y + y);
            uint8_t* out = &picture[(static_cast<size_t>(y) * width + x) * 4];
            out[0] = static_cast<uint8_t>(p >> 16);
            out[1] = static_cast<uint8_t>(p >> 8);
            out[2] = static_cast<uint8_t>(p);
            out[3] = 255;
        }
    }
    const ImageDiff diff = diff_rgba8(picture, std::span<const uint8_t>(pixels, picture.size()),
                                      picture.size() / 4, 32);
    stbi_image_free(pixels);
    return diff.mean;
}

// A music position and how close a picture is to its frame.
struct FrameMatch {
    int64_t position = -1;
    double mean = 1000.0;
};

class WineBigScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (kArch.empty() || !fs::exists(kWork / "prefix" / "system.reg") ||
            !fs::exists(kDemoExe)) {
            GTEST_SKIP() << "no Wine prefix or demo.exe: the Wine tests' set-up did not run";
        }
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = kWork / "big-screen" / info->name();
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        // A kernel without 32-bit support cannot start Wine's 32-bit loader.
        ChildProcess can_run({{"/bin/bash", kWineCanRun.string(), kArch}, folder_, {}});
        const ChildResult probed = can_run.wait(60s);
        if (!probed.exited || probed.exit_status != 0) {
            GTEST_SKIP() << "Wine cannot run the " << kArch << " build here: " << probed.output;
        }
        wine_ = probed.output.substr(0, probed.output.find('\n'));
        for (const char* texture : kTextureFiles) {
            fs::copy_file(kWork / "assets" / texture, folder_ / texture);
        }
        fs::copy_file(kWork / "assets-long" / "demo.mp3", folder_ / "demo.mp3");
        desktop_ = std::make_unique<VirtualDesktop>(folder_, kScreenWidth, kScreenHeight);
        ASSERT_TRUE(desktop_->ready()) << "cannot start Xvfb";
    }

    void TearDown() override
    {
        if (desktop_ != nullptr) {
            // Ended, and waited for: the next test's Wine must not find this
            // server on its way out.
            for (const char* step : {"-k", "-w"}) {
                ChildProcess stop({{"/usr/bin/wineserver", step}, folder_, wine_environment()});
                stop.wait(20s);
            }
        }
    }

    std::vector<std::pair<std::string, std::string>> wine_environment() const
    {
        return {{"DISPLAY", desktop_->display_name()},
                {"WINEPREFIX", (kWork / "prefix").string()},
                {"WINEARCH", kArch == "x64" ? "win64" : "win32"},
                {"WINELOADER", wine_},
                {"WINEDEBUG", "-all"},
                {"WINEDLLOVERRIDES", "mscoree,mshtml="},
                {"XDG_CONFIG_HOME", (kWork / "xdg").string()}};
    }

    // demo.exe with these options, on screen under this title (or one
    // beginning so).
    void start(std::vector<std::string> options, const std::string& title = kWindowTitle,
               bool prefix = false)
    {
        options.insert(options.begin(), {wine_, kDemoExe.string()});
        auto environment = wine_environment();
        if (print_positions_) {
            environment.emplace_back("DEMO_PRINT_POSITIONS", "1");
        }
        demo_ = std::make_unique<ChildProcess>(ChildOptions{options, folder_, environment});
        ASSERT_TRUE(demo_->started());
        const auto window = desktop_->wait_for_window(title, kStartLimit, prefix);
        ASSERT_TRUE(window.has_value()) << "demo.exe's window never showed\n" << demo_->output();
        window_ = *window;
        shown_at_ = std::chrono::steady_clock::now();
    }

    // demo.exe with these options, fullscreen.
    void start_fullscreen(std::vector<std::string> options)
    {
        options.insert(options.begin(), "--fullscreen");
        start(options);
        if (HasFatalFailure()) {
            return;
        }
        const WindowPlace screen{0, 0, kScreenWidth, kScreenHeight};
        EXPECT_EQ(desktop_->wait_for_place(window_, screen, 20s), screen);
    }

    // About where the music is now: the time since the window showed, in
    // bytes; the stream started a little before.
    int64_t position_now() const
    {
        const auto shown = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - shown_at_);
        return shown.count() * kBytesPerSecond / 1000;
    }

    // The music position whose frame (demo-still's, at the area's size) the
    // picture in `area` is closest to, searched from `from` to `to`, and how
    // close it is.
    FrameMatch closest_frame(const Screenshot& shot, const WindowPlace& area, int64_t from,
                             int64_t to)
    {
        // Every quarter of a second, then every twentieth around the best.
        const FrameMatch coarse = closest_frame_every(shot, area, from, to, kBytesPerSecond / 4);
        return closest_frame_every(shot, area, coarse.position - kBytesPerSecond / 5,
                                   coarse.position + kBytesPerSecond / 5, kBytesPerSecond / 20);
    }

    FrameMatch closest_frame_every(const Screenshot& shot, const WindowPlace& area, int64_t from,
                                   int64_t to, int64_t step)
    {
        FrameMatch best;
        const std::string size = std::to_string(area.width) + "x" + std::to_string(area.height);
        for (int64_t position = std::max<int64_t>(from, 0); position <= to; position += step) {
            position -= position % 4;
            const fs::path frame = folder_ / ("still-" + std::to_string(position) + ".png");
            const ChildResult still = test_support::run_child(
                {{kStillTool.string(), std::to_string(position), frame.string(), "--size", size},
                 folder_,
                 {{"SDL_VIDEODRIVER", "offscreen"}}},
                60s);
            if (!still.exited || still.exit_status != 0) {
                ADD_FAILURE() << "demo-still " << position << ": " << still.describe() << "\n"
                              << still.output;
                return best;
            }
            const double mean = difference(shot, area, frame);
            if (mean < best.mean) {
                best = {position, mean};
            }
            fs::remove(frame);
        }
        return best;
    }

    // A screenshot once the picture is there: its middle drawn and the
    // screen's first column black.
    Screenshot wait_for_picture()
    {
        Screenshot shot = desktop_->screenshot();
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while ((shot.at(kScreenWidth / 2, kScreenHeight / 2) == 0 ||
                black_in_column(shot, 0) != kScreenHeight) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(100ms);
            shot = desktop_->screenshot();
        }
        return shot;
    }

    void escape_ends_the_program()
    {
        const auto pressed = std::chrono::steady_clock::now();
        desktop_->press_key(window_, XK_Escape);
        const ChildResult result = demo_->wait(kEndsAtOnce);
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - pressed);
        std::printf("Esc to the end of demo.exe under Wine: %lld ms\n",
                    static_cast<long long>(took.count()));
        EXPECT_TRUE(result.exited && result.exit_status == 0) << result.describe() << "\n"
                                                              << result.output;
    }

    // With DEMO_PRINT_POSITIONS: the first reading from now on that `wanted`
    // accepts, waiting for it.
    template <typename Wanted>
    std::optional<test_support::PositionReading> next_reading(Wanted wanted)
    {
        const auto give_up = std::chrono::steady_clock::now() + kStartLimit;
        while (std::chrono::steady_clock::now() < give_up && !demo_->ended()) {
            const auto readings = test_support::position_readings(demo_->output());
            for (; seen_ < readings.size(); ++seen_) {
                if (wanted(readings[seen_])) {
                    return readings[seen_++];
                }
            }
            std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }

    test_support::PositionReading latest_reading()
    {
        const auto readings = test_support::position_readings(demo_->output());
        seen_ = readings.size();
        return readings.empty() ? test_support::PositionReading{} : readings.back();
    }

    fs::path folder_;
    bool print_positions_ = false;
    size_t seen_ = 0;
    std::string wine_;  // the loader for the build
    std::chrono::steady_clock::time_point shown_at_;
    std::unique_ptr<VirtualDesktop> desktop_;
    std::unique_ptr<ChildProcess> demo_;
    Window window_ = 0;
};

TEST_F(WineBigScreen, FullscreenCentresTheShowBetweenBlackBarsAndEscEndsIt)
{
    start_fullscreen({});
    const Screenshot shot = wait_for_picture();
    ASSERT_EQ(shot.width, kScreenWidth);
    for (int x : {0, kBar - 1, kScreenWidth - kBar, kScreenWidth - 1}) {
        EXPECT_EQ(black_in_column(shot, x), kScreenHeight) << "column " << x << " is in a bar";
    }
    // The picture's first and last columns: the daylight scene, hardly black anywhere.
    for (int x : {kBar, kScreenWidth / 2, kScreenWidth - kBar - 1}) {
        EXPECT_LT(black_in_column(shot, x), kScreenHeight / 10)
            << "column " << x << " is in the picture";
    }
    EXPECT_GT(sky_brightness(shot), 100.0) << "the show starts by day";
    escape_ends_the_program();
}

TEST_F(WineBigScreen, FromStartsInTheSceneAtThatPosition)
{
    start_fullscreen({"--from", kNightPosition});
    const Screenshot shot = wait_for_picture();
    EXPECT_LT(sky_brightness(shot), 40.0) << "the second scene is at night";
    escape_ends_the_program();
}

TEST_F(WineBigScreen, AltEnterShowsThePictureInFullscreenAndBackInTheWindow)
{
    start({});
    ASSERT_FALSE(HasFatalFailure());
    const WindowPlace windowed = desktop_->place_of(window_);
    std::this_thread::sleep_for(2s);
    const Screenshot first = desktop_->screenshot();

    // To fullscreen, and a second later; back to the window, and a second
    // later. The pictures are compared once the show is over.
    desktop_->press_key(window_, XK_Return, XK_Alt_L);
    const WindowPlace screen{0, 0, kScreenWidth, kScreenHeight};
    ASSERT_EQ(desktop_->wait_for_place(window_, screen, 20s), screen) << demo_->output();
    const Screenshot full = wait_for_picture();
    const int64_t around = position_now();

    std::this_thread::sleep_for(1s);
    const Screenshot full_later = desktop_->screenshot();
    desktop_->press_key(window_, XK_Return, XK_Alt_L);
    EXPECT_EQ(desktop_->wait_for_place(window_, windowed, 20s), windowed);
    std::this_thread::sleep_for(1s);
    const Screenshot back = desktop_->screenshot();
    std::this_thread::sleep_for(1s);
    const Screenshot back_later = desktop_->screenshot();
    const std::string said = demo_->output();
    EXPECT_EQ(said.find("Present failed"), std::string::npos) << said;
    escape_ends_the_program();

    // Pixels that differ between two screenshots in an area.
    const auto changed = [](const Screenshot& a, const Screenshot& b, const WindowPlace& area) {
        int count = 0;
        for (int y = area.y; y < area.y + area.height; ++y) {
            for (int x = area.x; x < area.x + area.width; ++x) {
                count += a.at(x, y) != b.at(x, y) ? 1 : 0;
            }
        }
        return count;
    };

    // Fullscreen: the show's frame between the bars, moving on. Frames a
    // second apart can look alike within the tolerance, so each screenshot
    // is matched on its own and the moving on is seen in the pixels.
    for (int x : {0, kBar - 1, kScreenWidth - kBar, kScreenWidth - 1}) {
        EXPECT_EQ(black_in_column(full, x), kScreenHeight) << "column " << x << " is in a bar";
    }
    const WindowPlace picture{kBar, 0, kScreenWidth - 2 * kBar, kScreenHeight};
    const FrameMatch match =
        closest_frame(full, picture, around - 2 * kBytesPerSecond, around + kBytesPerSecond);
    const FrameMatch moved =
        closest_frame(full_later, picture, around - kBytesPerSecond, around + 3 * kBytesPerSecond);
    std::printf(
        "fullscreen after Alt-Enter: demo-still's frame %lld (about %lld) within %.2f, "
        "a second later %lld within %.2f\n",
        static_cast<long long>(match.position), static_cast<long long>(around), match.mean,
        static_cast<long long>(moved.position), moved.mean);
    EXPECT_LE(match.mean, kSameFrame) << "the picture is not the show's frame";
    EXPECT_LE(moved.mean, kSameFrame) << "the picture is not the show's frame a second later";
    EXPECT_GT(changed(full, full_later, picture), picture.width * picture.height / 100)
        << "the picture does not move on";

    // In the window, before and after: the day's sky, moving on.
    const auto window_brightness = [&](const Screenshot& shot) {
        double sum = 0;
        int count = 0;
        for (int y = windowed.y + windowed.height / 4; y < windowed.y + windowed.height / 2; ++y) {
            for (int x = windowed.x + 20; x < windowed.x + windowed.width - 20; ++x) {
                const uint32_t p = shot.at(x, y);
                sum += ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF);
                count += 3;
            }
        }
        return sum / count;
    };
    EXPECT_GT(window_brightness(first), 100.0) << "the window shows the day's sky at first";
    EXPECT_GT(window_brightness(back), 100.0) << "the window shows the day's sky again";
    EXPECT_GT(changed(back, back_later, windowed), windowed.width * windowed.height / 100)
        << "the picture is frozen";
}

// --rehearse: 2 goes to scene 2's start, Space pauses (the position stands
// still, the title says so), Home goes to the start while paused, Space
// plays on from there. Followed through the positions demo.exe prints.
TEST_F(WineBigScreen, RehearsalKeysPauseAndMoveTheShow)
{
    using Reading = test_support::PositionReading;
    print_positions_ = true;
    start({"--rehearse"}, "Night Tree \u2014 ", true);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(next_reading([](const Reading& r) { return r.position > 0; }))
        << "no position read out\n"
        << demo_->output();
    // waveOut's queue, 4 buffers of 2048 frames: what is handed and not heard.
    constexpr int64_t kQueueBytes = 4 * 2048 * 4;
    const auto bytes_since = [](std::chrono::steady_clock::time_point since) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - since)
                   .count() *
               kBytesPerSecond / 1000;
    };

    auto pressed = std::chrono::steady_clock::now();
    desktop_->press_key(window_, XK_2);
    const auto scene2 = next_reading([](const Reading& r) { return r.position >= kScene2Start; });
    ASSERT_TRUE(scene2.has_value()) << "2 did not go to scene 2\n" << demo_->output();
    EXPECT_LE(scene2->position - kScene2Start, bytes_since(pressed) + kQueueBytes);
    std::printf("2: first position drawn %lld bytes past scene 2's start\n",
                static_cast<long long>(scene2->position - kScene2Start));

    desktop_->press_key(window_, XK_space);
    const auto paused = next_reading([](const Reading& r) { return r.paused; });
    ASSERT_TRUE(paused.has_value()) << "Space did not pause\n" << demo_->output();
    std::this_thread::sleep_for(1s);
    const Reading still = latest_reading();
    EXPECT_TRUE(still.paused);
    EXPECT_EQ(still.position, paused->position) << "the position moved while paused";
    EXPECT_EQ(desktop_->title(window_), test_support::rehearsal_title_for(paused->position, true));

    desktop_->press_key(window_, XK_Home);
    const auto home = next_reading([](const Reading& r) { return r.position < kScene2Start; });
    ASSERT_TRUE(home.has_value()) << "Home did not go to the start\n" << demo_->output();
    EXPECT_EQ(home->position, 0);
    EXPECT_TRUE(home->paused);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(desktop_->title(window_), "Night Tree \u2014 0:00 scene 1 \u2014 paused");

    pressed = std::chrono::steady_clock::now();
    desktop_->press_key(window_, XK_space);
    const auto resumed = next_reading([](const Reading& r) { return !r.paused; });
    ASSERT_TRUE(resumed.has_value()) << "Space did not resume\n" << demo_->output();
    EXPECT_LE(resumed->position, bytes_since(pressed) + kQueueBytes);
    EXPECT_TRUE(next_reading([&](const Reading& r) { return r.position > resumed->position; }))
        << "the show did not go on";
    escape_ends_the_program();
}

}  // namespace
