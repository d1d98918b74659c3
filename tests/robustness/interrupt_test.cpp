// The user ends a program at any moment: the demo's window closed, Esc, Ctrl-C
// or SIGTERM, each at ten moments from start-up to mid-show. The demo must
// end at once with its normal status (0), every Direct3D object released (the
// device reports any left at exit) and no crash; an interrupted capture ends
// with the signal's status and leaves no file behind. Under the sanitizer
// build the same runs also prove that nothing is released twice or leaked.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/robustness/case_folder.h"
#include "tests/robustness/clean_end.h"
#include "tests/robustness/virtual_desktop.h"
#include "tests/support/child_process.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test_support::ChildOptions;
using test_support::ChildProcess;
using test_support::ChildResult;
using test_support::VirtualDesktop;

const fs::path kTextures = ROBUSTNESS_ASSET_DIR;  // the four textures (and a 1 s track)
const fs::path kLongTrack = LONG_TRACK;           // 20 s of music
const fs::path kCaseRoot = ROBUSTNESS_CASE_DIR;
constexpr const char* kTextureFiles[] = {"tree.dds", "grass.dds", "ground.dds", "leaf.dds"};
constexpr const char* kWindowTitle = "PSP Vemro LIB";

// From the instant the program can take the event: for signals, when its
// handlers are in place (start-up follows: device, textures, audio); for
// the window, when it is on screen (the show is running).
constexpr std::chrono::milliseconds kMoments[] = {0ms,   10ms,  30ms,  60ms,  100ms,
                                                  200ms, 350ms, 500ms, 800ms, 1200ms};

// Far less than the 20 s the show would otherwise play.
constexpr auto kEndsAtOnce = 8s;

enum class Action { close_window, escape, sigint, sigterm };

const char* name_of(Action action)
{
    switch (action) {
    case Action::close_window:
        return "CloseWindow";
    case Action::escape:
        return "Escape";
    case Action::sigint:
        return "Sigint";
    case Action::sigterm:
        return "Sigterm";
    }
    return "";
}

// Names the action in test listings.
void PrintTo(Action action, std::ostream* out)
{
    *out << name_of(action);
}

int signal_of(Action action)
{
    return action == Action::sigint ? SIGINT : SIGTERM;
}

// Whether the process has a handler for the signal: bit signal-1 of the
// SigCgt mask in /proc/PID/status.
bool catches(pid_t pid, int signal_number)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0) {
            const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
            return ((mask >> (signal_number - 1)) & 1) != 0;
        }
    }
    return false;
}

bool wait_until_catching(ChildProcess& child, int signal_number)
{
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!child.ended() && std::chrono::steady_clock::now() < deadline) {
        if (catches(child.pid(), signal_number)) {
            return true;
        }
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

// A folder of its own for each case: the textures and the 20 s track linked
// in, the output beside them.
fs::path case_folder()
{
    const fs::path folder = test_support::fresh_case_folder(kCaseRoot);
    for (const char* texture : kTextureFiles) {
        fs::create_symlink(kTextures / texture, folder / texture);
    }
    fs::create_symlink(kLongTrack, folder / "demo.mp3");
    return folder;
}

std::vector<std::pair<std::string, std::string>> headless_environment(const std::string& display)
{
    return {{"DISPLAY", display}, {"SDL_VIDEODRIVER", "x11"}, {"SDL_AUDIODRIVER", "dummy"}};
}

// ---------------------------------------------------------------------------
// The demo

class DemoInterrupted : public ::testing::TestWithParam<std::tuple<Action, size_t>> {};

TEST_P(DemoInterrupted, EndsAtOnceWithItsNormalStatus)
{
    const auto [action, moment] = GetParam();
    const fs::path folder = case_folder();
    VirtualDesktop desktop(folder);
    ASSERT_TRUE(desktop.ready()) << "cannot start Xvfb";

    ChildProcess demo({{DEMO_EXE}, folder, headless_environment(desktop.display_name())});
    ASSERT_TRUE(demo.started());

    if (action == Action::sigint || action == Action::sigterm) {
        ASSERT_TRUE(wait_until_catching(demo, signal_of(action))) << demo.output();
        std::this_thread::sleep_for(kMoments[moment]);
        demo.send(signal_of(action));
    } else {
        const auto window = desktop.wait_for_window(kWindowTitle, 20s);
        ASSERT_TRUE(window.has_value()) << "the demo's window never showed\n" << demo.output();
        std::this_thread::sleep_for(kMoments[moment]);
        if (action == Action::close_window) {
            desktop.close_window(*window);
        } else {
            desktop.press_key(*window, XK_Escape);
        }
    }

    const ChildResult result = demo.wait(kEndsAtOnce);
    EXPECT_TRUE(result.exited && result.exit_status == 0) << result.describe() << "\n"
                                                          << result.output;
    EXPECT_TRUE(test_support::ended_cleanly(result));
}

std::string case_name(const ::testing::TestParamInfo<std::tuple<Action, size_t>>& info)
{
    const auto [action, moment] = info.param;
    return std::string(name_of(action)) + "After" + std::to_string(kMoments[moment].count()) + "ms";
}

INSTANTIATE_TEST_SUITE_P(AllMoments, DemoInterrupted,
                         ::testing::Combine(::testing::Values(Action::close_window, Action::escape,
                                                              Action::sigint, Action::sigterm),
                                            ::testing::Range<size_t>(0, std::size(kMoments))),
                         case_name);

// ---------------------------------------------------------------------------
// The capture

class CaptureInterrupted : public ::testing::TestWithParam<std::tuple<Action, size_t>> {};

TEST_P(CaptureInterrupted, EndsWithTheSignalsStatusAndLeavesNoFile)
{
    const auto [action, moment] = GetParam();
    const fs::path folder = case_folder();

    ChildProcess capture({{DEMO_CAPTURE_EXE, "--size", "320x180", "--fps", "30", "show.mp4"},
                          folder,
                          {{"SDL_VIDEODRIVER", "offscreen"}}});
    ASSERT_TRUE(capture.started());
    ASSERT_TRUE(wait_until_catching(capture, signal_of(action))) << capture.output();
    std::this_thread::sleep_for(kMoments[moment]);
    capture.send(signal_of(action));

    const ChildResult result = capture.wait(kEndsAtOnce);
    EXPECT_TRUE(result.exited && result.exit_status == 128 + signal_of(action))
        << result.describe() << "\n"
        << result.output;
    EXPECT_TRUE(test_support::ended_cleanly(result));
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(entry.is_symlink() || name.rfind("output-", 0) == 0) << "left behind: " << name;
    }
}

INSTANTIATE_TEST_SUITE_P(AllMoments, CaptureInterrupted,
                         ::testing::Combine(::testing::Values(Action::sigint, Action::sigterm),
                                            ::testing::Range<size_t>(0, std::size(kMoments))),
                         case_name);

}  // namespace
