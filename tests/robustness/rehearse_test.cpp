// A rehearsal on a private X server: the demo with --rehearse, its keys
// typed into the window. Space pauses (the position stands still) and
// resumes, 3 goes to scene 3, Right 5 s on, Home to the start, and the title
// names the time and the scene; without --rehearse the same keys leave the
// show running undisturbed. The demo prints each frame's position
// (DEMO_PRINT_POSITIONS), which is how this test follows the music.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "scene/timeline.h"
#include "tests/robustness/case_folder.h"
#include "tests/robustness/clean_end.h"
#include "tests/robustness/position_readings.h"
#include "tests/robustness/virtual_desktop.h"
#include "tests/support/child_process.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test_support::ChildProcess;
using test_support::ChildResult;
using test_support::VirtualDesktop;

const fs::path kTextures = ROBUSTNESS_ASSET_DIR;
const fs::path kRehearsalTrack = REHEARSAL_TRACK;  // 60 s: scene 3 starts at 56.6 s
const fs::path kCaseRoot = ROBUSTNESS_CASE_DIR;
constexpr const char* kTextureFiles[] = {"tree.dds", "grass.dds", "ground.dds", "leaf.dds"};
constexpr const char* kShowTitle = "PSP Vemro LIB";
constexpr const char* kRehearsalTitle = "Night Tree \u2014 ";

constexpr double kBytesPerSecond = 176400;
// SDL's dummy output holds one buffer, 1024 frames (23 ms), handed but not
// heard: a position is at most that far from where the music was moved.
constexpr int64_t kBufferBytes = 1024 * 4;
// However loaded the machine, a key is acted on and drawn within this.
constexpr auto kReactsWithin = 15s;

using Reading = test_support::PositionReading;

// The most music that can be heard in the time since `since`.
int64_t bytes_since(Clock::time_point since)
{
    return static_cast<int64_t>(std::chrono::duration<double>(Clock::now() - since).count() *
                                kBytesPerSecond);
}

class Rehearse : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = test_support::fresh_case_folder(kCaseRoot);
        for (const char* texture : kTextureFiles) {
            fs::create_symlink(kTextures / texture, folder_ / texture);
        }
        fs::create_symlink(kRehearsalTrack, folder_ / "demo.mp3");
        desktop_ = std::make_unique<VirtualDesktop>(folder_);
        ASSERT_TRUE(desktop_->ready()) << "cannot start Xvfb";
    }

    void start(std::vector<std::string> options, const std::string& title, bool prefix)
    {
        options.insert(options.begin(), DEMO_EXE);
        demo_ = std::make_unique<ChildProcess>(
            test_support::ChildOptions{options,
                                       folder_,
                                       {{"DISPLAY", desktop_->display_name()},
                                        {"SDL_VIDEODRIVER", "x11"},
                                        {"SDL_AUDIODRIVER", "dummy"},
                                        {"DEMO_PRINT_POSITIONS", "1"}}});
        ASSERT_TRUE(demo_->started());
        const auto window = desktop_->wait_for_window(title, 20s, prefix);
        ASSERT_TRUE(window.has_value()) << "the demo's window never showed\n" << demo_->output();
        window_ = *window;
        // The show is under way: the music has moved.
        ASSERT_TRUE(next([](const Reading& r) { return r.position > 0; }))
            << "the music never moved\n"
            << demo_->output();
    }

    // The first reading from now on that `wanted` accepts, waiting for it.
    template <typename Wanted>
    std::optional<Reading> next(Wanted wanted)
    {
        const auto give_up = Clock::now() + kReactsWithin;
        while (Clock::now() < give_up && !demo_->ended()) {
            const std::vector<Reading> readings = test_support::position_readings(demo_->output());
            for (; seen_ < readings.size(); ++seen_) {
                if (wanted(readings[seen_])) {
                    return readings[seen_++];
                }
            }
            std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }

    // The latest reading there is.
    Reading latest()
    {
        const std::vector<Reading> readings = test_support::position_readings(demo_->output());
        seen_ = readings.size();
        return readings.empty() ? Reading{} : readings.back();
    }

    void press(KeySym key) { desktop_->press_key(window_, key); }

    void escape_ends_the_show()
    {
        press(XK_Escape);
        const ChildResult result = demo_->wait(8s);
        EXPECT_TRUE(result.exited && result.exit_status == 0) << result.describe();
        EXPECT_TRUE(test_support::ended_cleanly(result));
    }

    fs::path folder_;
    std::unique_ptr<VirtualDesktop> desktop_;
    std::unique_ptr<ChildProcess> demo_;
    Window window_ = 0;
    size_t seen_ = 0;
};

TEST_F(Rehearse, KeysPauseResumeAndMoveTheShowAndTheTitleFollows)
{
    ASSERT_NO_FATAL_FAILURE(start({"--rehearse"}, kRehearsalTitle, true));

    // Space: paused, the position stands still, the title says so.
    press(XK_space);
    const auto paused = next([](const Reading& r) { return r.paused; });
    ASSERT_TRUE(paused.has_value()) << "Space did not pause\n" << demo_->output();
    std::this_thread::sleep_for(1s);
    const Reading still = latest();
    EXPECT_TRUE(still.paused);
    EXPECT_EQ(still.position, paused->position) << "the position moved while paused";
    EXPECT_EQ(desktop_->title(window_), test_support::rehearsal_title_for(paused->position, true));

    // Right, paused: exactly 5 s on, still paused.
    press(XK_Right);
    const int64_t five_on = paused->position + 5 * 176400;
    const auto moved = next([&](const Reading& r) { return r.position != paused->position; });
    ASSERT_TRUE(moved.has_value()) << "Right did not move the show\n" << demo_->output();
    EXPECT_EQ(moved->position, five_on);
    EXPECT_TRUE(moved->paused);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(desktop_->title(window_), test_support::rehearsal_title_for(five_on, true));

    // Space again: it goes on from where it stood.
    auto pressed = Clock::now();
    press(XK_space);
    const auto resumed = next([](const Reading& r) { return !r.paused; });
    ASSERT_TRUE(resumed.has_value()) << "Space did not resume\n" << demo_->output();
    EXPECT_GE(resumed->position, five_on);
    EXPECT_LE(resumed->position, five_on + bytes_since(pressed) + kBufferBytes);
    ASSERT_TRUE(next([&](const Reading& r) { return r.position > resumed->position; }))
        << "the show did not go on after resuming";

    // 3, playing: scene 3's start, and on from there.
    pressed = Clock::now();
    press(XK_3);
    const auto scene3 = next([](const Reading& r) { return r.position >= kScene3Start; });
    ASSERT_TRUE(scene3.has_value()) << "3 did not go to scene 3\n" << demo_->output();
    const int64_t past_start = scene3->position - kScene3Start;
    EXPECT_LE(past_start, bytes_since(pressed) + kBufferBytes);
    std::printf("3: first position drawn %lld bytes (%.1f ms) past scene 3's start\n",
                static_cast<long long>(past_start),
                static_cast<double>(past_start) / kBytesPerSecond * 1000.0);
    press(XK_space);
    const auto held = next([](const Reading& r) { return r.paused; });
    ASSERT_TRUE(held.has_value()) << "Space did not pause\n" << demo_->output();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(desktop_->title(window_), test_support::rehearsal_title_for(held->position, true));
    EXPECT_EQ(scene_number(static_cast<int32_t>(held->position)), 3);

    // Home: the start, still paused; Space plays from there.
    press(XK_Home);
    const auto home = next([](const Reading& r) { return r.position < kScene2Start; });
    ASSERT_TRUE(home.has_value()) << "Home did not go to the start\n" << demo_->output();
    EXPECT_EQ(home->position, 0);
    EXPECT_TRUE(home->paused);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(desktop_->title(window_), "Night Tree \u2014 0:00 scene 1 \u2014 paused");
    pressed = Clock::now();
    press(XK_space);
    const auto from_start = next([](const Reading& r) { return !r.paused; });
    ASSERT_TRUE(from_start.has_value());
    EXPECT_LE(from_start->position, bytes_since(pressed) + kBufferBytes);

    escape_ends_the_show();
}

// Without --rehearse a stray key changes nothing: the music runs on at the
// pace of time, with no jump either way, and the title stays the show's.
TEST_F(Rehearse, WithoutTheOptionTheKeysDoNothing)
{
    ASSERT_NO_FATAL_FAILURE(start({}, kShowTitle, false));
    const Reading first = latest();
    const auto first_at = Clock::now();
    for (KeySym key : {XK_space, XK_3, XK_Right, XK_Home, XK_k, XK_5, XK_Left}) {
        press(key);
    }
    std::this_thread::sleep_for(1s);
    // A frame or two later the output has caught up with every key.
    const auto after = next([](const Reading&) { return true; });
    ASSERT_TRUE(after.has_value()) << demo_->output();
    const std::vector<Reading> readings = test_support::position_readings(demo_->output());
    for (size_t i = 1; i < readings.size(); ++i) {
        ASSERT_GE(readings[i].position, readings[i - 1].position) << "the position went back";
        ASSERT_FALSE(readings[i].paused);
    }
    EXPECT_GT(after->position, first.position);
    // The reading taken as the keys began may be a frame old: half a second
    // of slack, far below the 5 s of Right or the jump to scene 3.
    EXPECT_LE(after->position - first.position, bytes_since(first_at) + 88200) << "the show jumped";
    EXPECT_EQ(desktop_->title(window_), kShowTitle);
    escape_ends_the_show();
}

}  // namespace
