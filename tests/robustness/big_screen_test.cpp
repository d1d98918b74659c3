// The demo as a party screen shows it, on a private X server: fullscreen on
// a 1280 x 1024 screen (taller than the show, so the bars are above and
// below), a window of a chosen size, Alt-Enter between the two, and Esc
// ending it all with status 0.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/robustness/case_folder.h"
#include "tests/robustness/clean_end.h"
#include "tests/robustness/virtual_desktop.h"
#include "tests/support/child_process.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test_support::ChildProcess;
using test_support::ChildResult;
using test_support::Screenshot;
using test_support::VirtualDesktop;
using test_support::WindowPlace;

const fs::path kTextures = ROBUSTNESS_ASSET_DIR;
const fs::path kLongTrack = LONG_TRACK;  // 20 s: the show outlasts every case
const fs::path kCaseRoot = ROBUSTNESS_CASE_DIR;
constexpr const char* kTextureFiles[] = {"tree.dds", "grass.dds", "ground.dds", "leaf.dds"};
constexpr const char* kWindowTitle = "PSP Vemro LIB";

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;
// The show's 960:544 at the screen's width: 1280 x 725.3, rounded to 725
// rows, 299 rows of bars split 149 above and 150 below.
constexpr int kPictureTop = 149;
constexpr int kPictureBottom = 149 + 725;  // first row of the lower bar

// Far less than the 20 s the show would otherwise play.
constexpr auto kEndsAtOnce = 8s;

fs::path case_folder()
{
    const fs::path folder = test_support::fresh_case_folder(kCaseRoot);
    for (const char* texture : kTextureFiles) {
        fs::create_symlink(kTextures / texture, folder / texture);
    }
    fs::create_symlink(kLongTrack, folder / "demo.mp3");
    return folder;
}

int black_in_row(const Screenshot& shot, int y)
{
    int black = 0;
    for (int x = 0; x < shot.width; ++x) {
        black += shot.at(x, y) == 0 ? 1 : 0;
    }
    return black;
}

class BigScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = case_folder();
        desktop_ = std::make_unique<VirtualDesktop>(folder_, kScreenWidth, kScreenHeight);
        ASSERT_TRUE(desktop_->ready()) << "cannot start Xvfb";
    }

    // Starts the demo with these options and waits for its window.
    void start(std::vector<std::string> options)
    {
        options.insert(options.begin(), DEMO_EXE);
        demo_ = std::make_unique<ChildProcess>(
            test_support::ChildOptions{options,
                                       folder_,
                                       {{"DISPLAY", desktop_->display_name()},
                                        {"SDL_VIDEODRIVER", "x11"},
                                        {"SDL_AUDIODRIVER", "dummy"}}});
        ASSERT_TRUE(demo_->started());
        const auto window = desktop_->wait_for_window(kWindowTitle, 20s);
        ASSERT_TRUE(window.has_value()) << "the demo's window never showed\n" << demo_->output();
        window_ = *window;
    }

    // Esc, then the program's end: status 0, everything released. Says how
    // long the end took (for the record; the limit is generous).
    void escape_ends_the_show()
    {
        const auto pressed = std::chrono::steady_clock::now();
        desktop_->press_key(window_, XK_Escape);
        const ChildResult result = demo_->wait(kEndsAtOnce);
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - pressed);
        std::printf("Esc to the end of the program: %lld ms\n",
                    static_cast<long long>(took.count()));
        EXPECT_TRUE(result.exited && result.exit_status == 0) << result.describe() << "\n"
                                                              << result.output;
        EXPECT_TRUE(test_support::ended_cleanly(result));
    }

    // A screenshot once the show is on screen fullscreen: its middle pixel
    // drawn and its top row black; or the last one after 20 s.
    Screenshot wait_for_fullscreen_picture()
    {
        Screenshot shot = desktop_->screenshot();
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while ((shot.at(kScreenWidth / 2, kScreenHeight / 2) == 0 ||
                black_in_row(shot, 0) != kScreenWidth) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(50ms);
            shot = desktop_->screenshot();
        }
        return shot;
    }

    fs::path folder_;
    std::unique_ptr<VirtualDesktop> desktop_;
    std::unique_ptr<ChildProcess> demo_;
    Window window_ = 0;
};

TEST_F(BigScreen, FullscreenCoversTheScreenWithTheShowCentredBetweenBlackBars)
{
    start({"--fullscreen"});
    EXPECT_EQ(desktop_->wait_for_place(window_, {0, 0, kScreenWidth, kScreenHeight}, 10s),
              (WindowPlace{0, 0, kScreenWidth, kScreenHeight}));

    const Screenshot shot = wait_for_fullscreen_picture();
    ASSERT_EQ(shot.width, kScreenWidth);
    // The bars, every pixel black; the picture's first and last rows, the
    // show's daylight fog and ground, almost nowhere black.
    for (int y : {0, kPictureTop / 2, kPictureTop - 1, kPictureBottom, kScreenHeight - 1}) {
        EXPECT_EQ(black_in_row(shot, y), kScreenWidth) << "row " << y << " is in a bar";
    }
    for (int y : {kPictureTop, kScreenHeight / 2, kPictureBottom - 1}) {
        EXPECT_LT(black_in_row(shot, y), kScreenWidth / 10) << "row " << y << " is in the picture";
    }
    escape_ends_the_show();
}

TEST_F(BigScreen, WindowOptionGivesTheWindowItsSize)
{
    start({"--window", "640x360"});
    EXPECT_EQ(desktop_->wait_for_place(window_, {100, 100, 640, 360}, 10s),
              (WindowPlace{100, 100, 640, 360}));
    escape_ends_the_show();
}

TEST_F(BigScreen, AltEnterSwitchesToFullscreenAndBackHidingTheCursorThere)
{
    start({});
    const WindowPlace windowed{100, 100, 960, 544};
    const WindowPlace fullscreen{0, 0, kScreenWidth, kScreenHeight};
    EXPECT_EQ(desktop_->wait_for_place(window_, windowed, 10s), windowed);
    EXPECT_TRUE(desktop_->cursor_shows_over(window_)) << "the cursor shows over the window";
    desktop_->press_key(window_, XK_Return, XK_Alt_L);
    EXPECT_EQ(desktop_->wait_for_place(window_, fullscreen, 10s), fullscreen);
    const Screenshot shot = wait_for_fullscreen_picture();
    EXPECT_EQ(black_in_row(shot, kPictureTop - 1), kScreenWidth);
    EXPECT_LT(black_in_row(shot, kPictureTop), kScreenWidth / 10);
    EXPECT_FALSE(desktop_->cursor_shows_over(window_)) << "the cursor is hidden in fullscreen";
    desktop_->press_key(window_, XK_Return, XK_Alt_L);
    EXPECT_EQ(desktop_->wait_for_place(window_, windowed, 10s), windowed);
    EXPECT_TRUE(desktop_->cursor_shows_over(window_)) << "the cursor shows again";
    escape_ends_the_show();
}

TEST_F(BigScreen, AltF4EndsTheShowThroughTheDefaultHandling)
{
    start({"--fullscreen"});
    const ChildResult result = [&] {
        desktop_->press_key(window_, XK_F4, XK_Alt_L);
        return demo_->wait(kEndsAtOnce);
    }();
    EXPECT_TRUE(result.exited && result.exit_status == 0) << result.describe() << "\n"
                                                          << result.output;
    EXPECT_TRUE(test_support::ended_cleanly(result));
}

TEST_F(BigScreen, LoopPlaysAOneSecondTrackOnUntilEsc)
{
    fs::remove(folder_ / "demo.mp3");
    fs::create_symlink(kTextures / "demo.mp3", folder_ / "demo.mp3");  // 1 s of music
    start({"--loop"});
    // Three times the music's length (and start-up) later, the show still runs.
    std::this_thread::sleep_for(3s);
    EXPECT_FALSE(demo_->ended()) << "the show ended with its music\n" << demo_->output();
    escape_ends_the_show();
}

TEST_F(BigScreen, FromPastTheEndOfTheMusicIsAUsageError)
{
    ChildProcess demo({{DEMO_EXE, "--from", "60s"},
                       folder_,
                       {{"DISPLAY", desktop_->display_name()},
                        {"SDL_VIDEODRIVER", "x11"},
                        {"SDL_AUDIODRIVER", "dummy"}}});
    const ChildResult result = demo.wait(20s);
    EXPECT_TRUE(result.exited && result.exit_status == 2) << result.describe();
    EXPECT_NE(result.output.find("demo: --from 10584000: \"demo.mp3\" is not that long"),
              std::string::npos)
        << result.output;
    EXPECT_TRUE(test_support::ended_cleanly(result));
}

TEST_F(BigScreen, BadOptionIsAUsageErrorBeforeAnyWindow)
{
    ChildProcess demo({{DEMO_EXE, "--window", "huge"},
                       folder_,
                       {{"DISPLAY", desktop_->display_name()}, {"SDL_AUDIODRIVER", "dummy"}}});
    const ChildResult result = demo.wait(20s);
    EXPECT_TRUE(result.exited && result.exit_status == 2) << result.describe();
    EXPECT_NE(result.output.find("demo: --window needs WIDTHxHEIGHT"), std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("Usage: demo"), std::string::npos) << result.output;
}

TEST_F(BigScreen, HelpListsTheOptionsAndKeys)
{
    ChildProcess demo({{DEMO_EXE, "--help"}, folder_, {{"DISPLAY", desktop_->display_name()}}});
    const ChildResult result = demo.wait(20s);
    EXPECT_TRUE(result.exited && result.exit_status == 0) << result.describe();
    for (const char* shown :
         {"--fullscreen", "--window WxH", "--from POSITION", "--loop", "Esc", "Alt-Enter"}) {
        EXPECT_NE(result.output.find(shown), std::string::npos) << shown << "\n" << result.output;
    }
}

}  // namespace
