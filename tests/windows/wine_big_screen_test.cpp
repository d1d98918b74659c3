// demo.exe under Wine on a 1920 x 1080 X screen, as a party's compo machine
// runs it: --fullscreen covers the screen with the show centred between
// black bars of the right width, Esc ends the program with status 0 at once,
// and --from starts the show in the scene at that position. Uses the Wine
// prefix and the assets of the Wine tests' set-up (scripts/wine-tests.sh).
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/robustness/clean_end.h"
#include "tests/robustness/virtual_desktop.h"
#include "tests/support/child_process.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test_support::ChildOptions;
using test_support::ChildProcess;
using test_support::ChildResult;
using test_support::Screenshot;
using test_support::VirtualDesktop;
using test_support::WindowPlace;

const fs::path kWork = WINE_TESTS_WORK;  // prefix/, assets/, assets-long/
const fs::path kDemoExe = DEMO_WINDOWS_EXE;
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

class WineBigScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::exists(kWork / "prefix" / "system.reg") || !fs::exists(kDemoExe)) {
            GTEST_SKIP() << "no Wine prefix or demo.exe: the Wine tests' set-up did not run";
        }
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = kWork / "big-screen" / info->name();
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        // A kernel without 32-bit support cannot start Wine's loader at all.
        ChildProcess version({{"/usr/bin/wine", "--version"}, folder_, {}});
        const ChildResult probed = version.wait(60s);
        if (!probed.exited || probed.exit_status != 0) {
            GTEST_SKIP() << "wine cannot run here: " << probed.output;
        }
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
            ChildProcess stop({{"/usr/bin/wineserver", "-k"}, folder_, wine_environment()});
            stop.wait(20s);
        }
    }

    std::vector<std::pair<std::string, std::string>> wine_environment() const
    {
        return {{"DISPLAY", desktop_->display_name()},
                {"WINEPREFIX", (kWork / "prefix").string()},
                {"WINEARCH", "win32"},
                {"WINEDEBUG", "-all"},
                {"WINEDLLOVERRIDES", "mscoree,mshtml="},
                {"XDG_CONFIG_HOME", (kWork / "xdg").string()}};
    }

    // demo.exe with these options, on screen, fullscreen.
    void start_fullscreen(std::vector<std::string> options)
    {
        options.insert(options.begin(), {"/usr/bin/wine", kDemoExe.string(), "--fullscreen"});
        demo_ = std::make_unique<ChildProcess>(ChildOptions{options, folder_, wine_environment()});
        ASSERT_TRUE(demo_->started());
        const auto window = desktop_->wait_for_window(kWindowTitle, kStartLimit);
        ASSERT_TRUE(window.has_value()) << "demo.exe's window never showed\n" << demo_->output();
        window_ = *window;
        const WindowPlace screen{0, 0, kScreenWidth, kScreenHeight};
        EXPECT_EQ(desktop_->wait_for_place(window_, screen, 20s), screen);
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

    fs::path folder_;
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

}  // namespace
