// The shell with its command line and its keys: without options it asks the
// platform for exactly what it always has; each option and key changes only
// its own part.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "host/recording/recording_device.h"
#include "scene/scene.h"
#include "tests/app/fake_platform.h"

namespace {

using Lines = std::vector<std::string>;

constexpr LPARAM kAltHeld = LPARAM{KF_ALTDOWN} << 16;
constexpr LPARAM kAltHeldRepeat = LPARAM{KF_ALTDOWN | KF_REPEAT} << 16;

class ShowOptionsRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::reset();
        fake::d3dx.present_files = {"tree.dds", "leaf.dds", "ground.dds", "grass.dds"};
    }

    int run(const char* command_line)
    {
        std::string line = command_line != nullptr ? command_line : "";
        ::testing::internal::CaptureStderr();
        const int status = app_main(
            nullptr, nullptr, command_line != nullptr ? line.data() : nullptr, SW_SHOWDEFAULT);
        error_output = ::testing::internal::GetCapturedStderr();
        return status;
    }

    static const CreateDeviceCall& device_creation()
    {
        auto* factory = static_cast<RecordingFactory*>(fake::direct3d.factory);
        EXPECT_NE(factory, nullptr);
        EXPECT_EQ(factory->create_device_calls().size(), 1u);
        return factory->create_device_calls().at(0);
    }

    static RecordingDevice& device() { return *device_creation().device; }

    // Whether each Present had a destination rectangle, in order.
    static std::vector<bool> presents_with_destination()
    {
        std::vector<bool> seen;
        for (const DeviceCall& c : device().calls()) {
            if (const auto* present = std::get_if<call::Present>(&c)) {
                EXPECT_FALSE(present->has_source_rect);
                EXPECT_EQ(present->dest_window_override, nullptr);
                EXPECT_FALSE(present->has_dirty_region);
                seen.push_back(present->has_dest_rect);
            }
        }
        return seen;
    }

    static Lines calls_starting(const std::string& prefix)
    {
        Lines found;
        std::copy_if(fake::calls.begin(), fake::calls.end(), std::back_inserter(found),
                     [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
        return found;
    }

    static int count_events(const std::string& name)
    {
        return static_cast<int>(std::count(fake::events.begin(), fake::events.end(), name));
    }

    static void post_at_tick(int at, UINT message, WPARAM wparam, LPARAM lparam)
    {
        auto previous = fake::audio.on_tick;
        fake::audio.on_tick = [=](int tick) {
            if (previous) {
                previous(tick);
            }
            if (tick == at) {
                PostMessageA(fake::window_handle(), message, wparam, lparam);
            }
        };
    }

    std::string error_output;
};

// What the shell has always asked for (the application shell's start-up
// steps): class, window, audio output, stream, play, position, show.
const Lines kTodaysStartUp = {
    "RegisterClassExA size=sizeof style=0x40 extra=0,0 instance=0x400000 icon=(nil) "
    "cursor=(nil) brush=(nil) menu=(nil) class=\"PSP GUM\" small_icon=(nil)",
    "CreateWindowExA 0x00000000 \"PSP GUM\" \"PSP Vemro LIB\" 0x00CF0000 100 100 960 544 (nil) "
    "(nil) 0x400000 (nil)",
    "BASS_Init -1 44100 0x0 0x1000 (nil)",
    "BASS_StreamCreateFile 0 \"demo.mp3\" 0 0 0x60000",
    "BASS_ChannelPlay 7 0",
    "BASS_ChannelSetPosition 7 0 0",
    "ShowWindow 0x1000 10",
    "UpdateWindow 0x1000",
};

TEST_F(ShowOptionsRun, WithoutOptionsTheStartUpIsTodays)
{
    for (const char* no_options : {static_cast<const char*>(nullptr), "", "  "}) {
        SetUp();
        fake::audio.active_ticks = 3;
        EXPECT_EQ(run(no_options), 0);
        EXPECT_EQ(fake::calls, kTodaysStartUp);
        EXPECT_EQ(fake::windowing.window_proc, &window_proc);

        const CreateDeviceCall& created = device_creation();
        EXPECT_EQ(created.adapter, 0u);
        EXPECT_EQ(created.device_type, D3DDEVTYPE_HAL);
        EXPECT_EQ(created.focus_window, fake::window_handle());
        EXPECT_EQ(created.behavior_flags, static_cast<DWORD>(D3DCREATE_SOFTWARE_VERTEXPROCESSING));
        D3DPRESENT_PARAMETERS todays{};
        todays.Windowed = TRUE;
        todays.SwapEffect = D3DSWAPEFFECT_DISCARD;
        todays.EnableAutoDepthStencil = TRUE;
        todays.AutoDepthStencilFormat = D3DFMT_D16;
        EXPECT_EQ(std::memcmp(&created.params, &todays, sizeof todays), 0);
        EXPECT_EQ(presents_with_destination(), (std::vector<bool>{false, false, false}));
    }
}

TEST_F(ShowOptionsRun, WindowOptionSizesOnlyTheWindow)
{
    fake::audio.active_ticks = 1;
    EXPECT_EQ(run("--window 1280x720"), 0);
    Lines expected = kTodaysStartUp;
    expected[1] =
        "CreateWindowExA 0x00000000 \"PSP GUM\" \"PSP Vemro LIB\" 0x00CF0000 100 100 1280 720 "
        "(nil) (nil) 0x400000 (nil)";
    EXPECT_EQ(fake::calls, expected);
    EXPECT_EQ(device_creation().params.BackBufferWidth, 0u) << "the client size, as today";
}

TEST_F(ShowOptionsRun, FromStartsTheMusicThere)
{
    fake::audio.active_ticks = 1;
    EXPECT_EQ(run("--from 45s"), 0);
    EXPECT_EQ(calls_starting("BASS_ChannelSetPosition"),
              (Lines{"BASS_ChannelSetPosition 7 7938000 0"}));
}

TEST_F(ShowOptionsRun, FromPastTheEndOfTheMusicIsAUsageError)
{
    fake::audio.length = 1000000;
    EXPECT_EQ(run("--from 8000000"), 2);
    EXPECT_NE(error_output.find("--from 8000000"), std::string::npos) << error_output;
    EXPECT_NE(error_output.find("demo.mp3"), std::string::npos) << error_output;
    EXPECT_FALSE(fake::windowing.window_shown);
    EXPECT_EQ(fake::audio.ticks, 0);
    EXPECT_EQ(fake::audio.free_calls, 1);
    EXPECT_EQ(device().references().release_calls(), 1);
}

TEST_F(ShowOptionsRun, LoopPlaysAgainFromTheStartUntilClosed)
{
    fake::audio.active_ticks = 3;
    fake::audio.bytes_per_tick = 1000;
    std::vector<int32_t> positions;
    fake::audio.on_tick = [&positions](int tick) {
        if (tick > 0) {
            positions.push_back(music_pos);  // the previous frame's
        }
    };
    post_at_tick(8, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(run("--loop"), 0);

    // The stream stays when it ends (no auto-free) and restarts twice.
    EXPECT_EQ(calls_starting("BASS_StreamCreateFile"),
              (Lines{"BASS_StreamCreateFile 0 \"demo.mp3\" 0 0 0x20000"}));
    EXPECT_EQ(calls_starting("BASS_ChannelPlay"),
              (Lines{"BASS_ChannelPlay 7 0", "BASS_ChannelPlay 7 1", "BASS_ChannelPlay 7 1"}));
    EXPECT_EQ(positions, (std::vector<int32_t>{0, 1000, 2000, 0, 1000, 2000, 0, 1000}));
    EXPECT_EQ(count_events("post 0x0002"), 0) << "the end of the music ends nothing";
    EXPECT_EQ(fake::audio.free_calls, 1);
    EXPECT_EQ(device().references().release_calls(), 1);
}

TEST_F(ShowOptionsRun, LoopWithoutMusicStillEndsAtTheFirstFrame)
{
    fake::audio.stream_handle = 0;
    EXPECT_EQ(run("--loop"), 1);
    EXPECT_EQ(fake::audio.ticks, 1);
    EXPECT_EQ(count_events("post 0x0002"), 1);
}

TEST_F(ShowOptionsRun, EscapeTakesTheCloseButtonsWay)
{
    fake::audio.active_ticks = 1000;
    post_at_tick(2, WM_KEYDOWN, 'A', 1);
    post_at_tick(3, WM_SYSKEYDOWN, VK_ESCAPE, kAltHeld);
    post_at_tick(4, WM_KEYUP, VK_ESCAPE, 1);
    post_at_tick(5, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(run(nullptr), 0);

    // Only the plain Esc closes: WM_CLOSE, the default handling, WM_DESTROY.
    const auto at = [](const std::string& name) {
        return std::find(fake::events.begin(), fake::events.end(), name) - fake::events.begin();
    };
    EXPECT_EQ(count_events("post 0x0010"), 1);
    EXPECT_LT(at("dispatch 0x0100"), at("post 0x0010"));
    EXPECT_LT(at("post 0x0010"), at("default 0x0010"));
    EXPECT_TRUE(fake::windowing.window_destroyed);
    EXPECT_EQ(count_events("tick"), 6);
    EXPECT_EQ(fake::audio.free_calls, 1);
    EXPECT_EQ(device().references().release_calls(), 1);
}

TEST_F(ShowOptionsRun, FullscreenCoversTheMonitorWithTheShowsShapeInTheMiddle)
{
    fake::audio.active_ticks = 2;
    EXPECT_EQ(run("--fullscreen"), 0);

    // Made like today's window, then borderless over the monitor before the
    // device is made on it, cursor hidden.
    EXPECT_EQ(calls_starting("CreateWindowExA"), (Lines{kTodaysStartUp[1]}));
    EXPECT_EQ(calls_starting("SetWindowLongA"), (Lines{"SetWindowLongA 0x1000 -16 0x80000000"}));
    EXPECT_EQ(calls_starting("SetWindowPos"),
              (Lines{"SetWindowPos 0x1000 (nil) 0 0 1920 1080 0x220"}));
    EXPECT_EQ(calls_starting("ShowCursor"), (Lines{"ShowCursor 0"}));
    EXPECT_EQ(fake::windowing.cursor_count, -1);

    // A back buffer of the show's shape at the monitor's height, with the
    // copy swap effect that Present's destination rectangle needs; no mode switch.
    const D3DPRESENT_PARAMETERS& params = device_creation().params;
    EXPECT_EQ(params.Windowed, TRUE);
    EXPECT_EQ(params.BackBufferWidth, 1906u);
    EXPECT_EQ(params.BackBufferHeight, 1080u);
    EXPECT_EQ(params.SwapEffect, D3DSWAPEFFECT_COPY);
    EXPECT_EQ(params.FullScreen_RefreshRateInHz, 0u);
    EXPECT_EQ(presents_with_destination(), (std::vector<bool>{true, true}));
}

TEST_F(ShowOptionsRun, FullscreenPaintsTheBarsBlackAndWindowedLeavesThemToTheSystem)
{
    fake::audio.active_ticks = 3;
    post_at_tick(1, WM_ERASEBKGND, 0, 0);
    EXPECT_EQ(run("--fullscreen"), 0);
    EXPECT_EQ(count_events("FillRect"), 1);
    EXPECT_EQ(count_events("default 0x0014"), 0);

    SetUp();
    fake::audio.active_ticks = 3;
    post_at_tick(1, WM_ERASEBKGND, 0, 0);
    EXPECT_EQ(run(nullptr), 0);
    EXPECT_EQ(count_events("FillRect"), 0);
    EXPECT_EQ(count_events("default 0x0014"), 1);
}

TEST_F(ShowOptionsRun, AltEnterSwitchesAtAnyFrameWithoutLosingOne)
{
    fake::audio.active_ticks = 6;
    post_at_tick(1, WM_SYSKEYDOWN, VK_RETURN, kAltHeld);
    post_at_tick(2, WM_SYSKEYDOWN, VK_RETURN, kAltHeldRepeat);  // held down: no change
    post_at_tick(2, WM_SYSCHAR, '\r', kAltHeld);
    post_at_tick(3, WM_SYSKEYDOWN, VK_RETURN, kAltHeld);
    EXPECT_EQ(run("--window 800x450"), 0);

    EXPECT_EQ(calls_starting("SetWindowLongA"), (Lines{"SetWindowLongA 0x1000 -16 0x90000000",
                                                       "SetWindowLongA 0x1000 -16 0x10CF0000"}));
    EXPECT_EQ(calls_starting("SetWindowPos"),
              (Lines{"SetWindowPos 0x1000 (nil) 0 0 1920 1080 0x220",
                     "SetWindowPos 0x1000 (nil) 100 100 800 450 0x220"}));
    EXPECT_EQ(calls_starting("ShowCursor"), (Lines{"ShowCursor 0", "ShowCursor 1"}));
    EXPECT_EQ(fake::windowing.cursor_count, 0);
    // Every tick still presents a frame; in the middle only while fullscreen.
    EXPECT_EQ(presents_with_destination(),
              (std::vector<bool>{false, false, true, true, false, false}));
    // The system keys that are ours never reach the default handling (no beep).
    EXPECT_EQ(count_events("default 0x0104"), 0);
    EXPECT_EQ(count_events("default 0x0106"), 0);
}

TEST_F(ShowOptionsRun, HelpShowsTheOptionsAndStartsNothing)
{
    for (const char* help : {"--help", "/?", "-h"}) {
        SetUp();
        EXPECT_EQ(run(help), 0) << help;
        EXPECT_EQ(fake::calls, (Lines{"MessageBoxA \"Night Tree\" 0x40"})) << help;
        ASSERT_EQ(fake::windowing.message_boxes.size(), 1u);
        EXPECT_NE(fake::windowing.message_boxes[0].find("--fullscreen"), std::string::npos);
        EXPECT_EQ(fake::direct3d.factory, nullptr);
    }
}

TEST_F(ShowOptionsRun, AMistakeIsAUsageErrorWithTheHelp)
{
    EXPECT_EQ(run("--window big"), 2);
    EXPECT_EQ(fake::calls, (Lines{"MessageBoxA \"Night Tree\" 0x10"}));
    ASSERT_EQ(fake::windowing.message_boxes.size(), 1u);
    const std::string& text = fake::windowing.message_boxes[0];
    EXPECT_EQ(text.rfind("16: demo: --window needs WIDTHxHEIGHT", 0), 0u) << text;
    EXPECT_NE(text.find("'big'"), std::string::npos) << text;
    EXPECT_NE(text.find("Usage: demo"), std::string::npos) << text;
    EXPECT_EQ(fake::direct3d.factory, nullptr);
    EXPECT_FALSE(fake::windowing.window_created);
}

}  // namespace
