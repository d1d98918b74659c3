// The shell with its command line and its keys: without options it asks the
// platform for exactly what it always has; each option and key changes only
// its own part.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/transport.h"
#include "host/recording/call_format.h"
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

    // The device's Resets, as the trace shows them.
    static Lines resets()
    {
        Lines found;
        for (const DeviceCall& c : device().calls()) {
            if (std::holds_alternative<call::Reset>(c)) {
                found.push_back(format_call(c));
            }
        }
        return found;
    }

    // Where each frame's scene was drawn, in order: the last viewport set
    // in the frame ("7,0 1906x1080"), or "whole" for the whole back buffer.
    static Lines picture_viewports()
    {
        Lines frames;
        std::string current;
        for (const DeviceCall& c : device().calls()) {
            if (std::holds_alternative<call::BeginScene>(c)) {
                current = "whole";
            } else if (const auto* set = std::get_if<call::Viewport>(&c)) {
                const D3DVIEWPORT9& v = set->viewport;
                current = std::to_string(v.X) + "," + std::to_string(v.Y) + " " +
                          std::to_string(v.Width) + "x" + std::to_string(v.Height);
            } else if (std::holds_alternative<call::EndScene>(c)) {
                frames.push_back(current);
            }
        }
        return frames;
    }

    // The device is made as it always was, whatever the options.
    static void expect_todays_device()
    {
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
        expect_todays_device();
        EXPECT_EQ(picture_viewports(), (Lines{"whole", "whole", "whole"}));
        EXPECT_EQ(presents_with_destination(), (std::vector<bool>{false, false, false}));
    }
}

TEST_F(ShowOptionsRun, WindowOptionSizesTheClientAreaAndKeepsTheShowsShape)
{
    // On Windows the frame is added around the asked size; on Linux the
    // window manager's frame is outside the window already.
    const struct {
        RECT frame;
        const char* window;
    } hosts[] = {{{8, 31, 8, 8}, "1296 759"}, {{0, 0, 0, 0}, "1280 720"}};
    for (const auto& host : hosts) {
        SetUp();
        fake::windowing.frame = host.frame;
        fake::audio.active_ticks = 2;
        EXPECT_EQ(run("--window 1280x720"), 0);
        Lines expected = kTodaysStartUp;
        expected[1] = std::string(
                          "CreateWindowExA 0x00000000 \"PSP GUM\" \"PSP Vemro LIB\" "
                          "0x00CF0000 100 100 ") +
                      host.window + " (nil) (nil) 0x400000 (nil)";
        EXPECT_EQ(fake::calls, expected);

        // 1280 x 720 is wider than 960:544: the picture at the client
        // area's height, in the middle of the back buffer.
        expect_todays_device();
        EXPECT_EQ(picture_viewports(), (Lines{"4,0 1271x720", "4,0 1271x720"}));
        EXPECT_EQ(presents_with_destination(), (std::vector<bool>{false, false}));
        EXPECT_EQ(resets(), (Lines{})) << "made at the client area's size, never reset";
    }
}

TEST_F(ShowOptionsRun, FromStartsTheMusicThere)
{
    fake::audio.active_ticks = 1;
    EXPECT_EQ(run("--from 45s"), 0);
    EXPECT_EQ(calls_starting("BASS_ChannelSetPosition"),
              (Lines{"BASS_ChannelSetPosition 7 7938000 0"}));
}

TEST_F(ShowOptionsRun, FromPastTheEndOfTheMusicIsAUsageErrorWithTheHelp)
{
    fake::audio.length = 1000000;
    EXPECT_EQ(run("--from 8000000"), 2);
    // In a message box like every usage error: a Windows program has no terminal.
    ASSERT_EQ(fake::windowing.message_boxes.size(), 1u);
    const std::string& text = fake::windowing.message_boxes[0];
    EXPECT_EQ(text.rfind("16: demo: --from 8000000: \"demo.mp3\" is not that long", 0), 0u) << text;
    EXPECT_NE(text.find("Usage: demo"), std::string::npos) << text;
    EXPECT_LT(
        std::find(fake::events.begin(), fake::events.end(), "release device") -
            fake::events.begin(),
        std::find(fake::events.begin(), fake::events.end(), "MessageBoxA") - fake::events.begin())
        << "the sound stops before the box waits for its OK";
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
    EXPECT_EQ(calls_starting("SetWindowLongPtrA"),
              (Lines{"SetWindowLongPtrA 0x1000 -16 0x80000000"}));
    EXPECT_EQ(calls_starting("SetWindowPos"),
              (Lines{"SetWindowPos 0x1000 (nil) 0 0 1920 1080 0x220"}));
    EXPECT_EQ(calls_starting("ShowCursor"), (Lines{"ShowCursor 0"}));
    EXPECT_EQ(fake::windowing.cursor_count, -1);

    // The device as always (its back buffer at the monitor's size, no mode
    // switch), the picture of the show's shape at the monitor's height.
    expect_todays_device();
    EXPECT_EQ(picture_viewports(), (Lines{"7,0 1906x1080", "7,0 1906x1080"}));
    EXPECT_EQ(presents_with_destination(), (std::vector<bool>{false, false}));
    EXPECT_EQ(resets(), (Lines{}));
}

TEST_F(ShowOptionsRun, AFramedPictureHasItsBarsClearedBlackInEveryFrame)
{
    // Each frame: the whole back buffer as the viewport, the bars cleared
    // black (a Clear stops at the viewport), then the picture's viewport.
    const auto first_frame = [] {
        const std::vector<DeviceCall>& calls = device().calls();
        const auto begin = std::find_if(calls.begin(), calls.end(), [](const DeviceCall& c) {
            return std::holds_alternative<call::BeginScene>(c);
        });
        Lines lines;
        for (auto at = begin + 1; at != calls.end() && lines.size() < 4; ++at) {
            lines.push_back(format_call(*at));
        }
        return lines;
    };
    fake::audio.active_ticks = 2;
    EXPECT_EQ(run("--fullscreen"), 0);
    const Lines frame = first_frame();
    ASSERT_EQ(frame.size(), 4u);
    EXPECT_EQ(frame[0], "SetViewport(x=0, y=0, width=1920, height=1080, z=0..1)");
    EXPECT_EQ(frame[1],
              "Clear(2, [0 0 7 1080; 1913 0 1920 1080], D3DCLEAR_TARGET=0x1, "
              "0xFF000000, 1, 0)");
    EXPECT_EQ(frame[2], "SetViewport(x=7, y=0, width=1906, height=1080, z=0..1)");
    EXPECT_EQ(frame[3].rfind("SetTransform(D3DTS_PROJECTION", 0), 0u) << "then the scene";

    // Taller than the show: bars above and below.
    SetUp();
    fake::windowing.frame = RECT{};
    fake::audio.active_ticks = 1;
    EXPECT_EQ(run("--window 960x600"), 0);
    EXPECT_EQ(first_frame()[1],
              "Clear(2, [0 0 960 28; 0 572 960 600], D3DCLEAR_TARGET=0x1, "
              "0xFF000000, 1, 0)");

    // The show's own shape: no bars to clear.
    SetUp();
    fake::windowing.frame = RECT{};
    fake::audio.active_ticks = 1;
    EXPECT_EQ(run("--window 960x544"), 0);
    EXPECT_EQ(first_frame()[1], "SetViewport(x=0, y=0, width=960, height=544, z=0..1)");
}

TEST_F(ShowOptionsRun, AltEnterFromTheFirstWindowFramesThePictureThroughReset)
{
    fake::audio.active_ticks = 6;
    fake::audio.on_tick = [](int tick) {
        if (tick == 1) {
            fake::windowing.rect = RECT{300, 150, 300 + 960, 150 + 544};  // moved, not resized
        }
    };
    // Enter without Alt, as a key and as a system key (F10 held): no switch.
    post_at_tick(1, WM_KEYDOWN, VK_RETURN, 0);
    post_at_tick(1, WM_SYSKEYDOWN, VK_RETURN, 0);
    post_at_tick(1, WM_SYSKEYDOWN, VK_RETURN, kAltHeld);
    post_at_tick(2, WM_SYSKEYDOWN, VK_RETURN, kAltHeldRepeat);  // held down: no change
    post_at_tick(2, WM_SYSCHAR, '\r', kAltHeld);
    post_at_tick(3, WM_SYSKEYDOWN, VK_RETURN, kAltHeld);
    EXPECT_EQ(run(nullptr), 0);

    EXPECT_EQ(calls_starting("SetWindowLongPtrA"),
              (Lines{"SetWindowLongPtrA 0x1000 -16 0x90000000",
                     "SetWindowLongPtrA 0x1000 -16 0x10CF0000"}));
    EXPECT_EQ(calls_starting("SetWindowPos"),
              (Lines{"SetWindowPos 0x1000 (nil) 0 0 1920 1080 0x220",
                     "SetWindowPos 0x1000 (nil) 300 150 960 544 0x220"}));
    EXPECT_EQ(calls_starting("ShowCursor"), (Lines{"ShowCursor 0", "ShowCursor 1"}));
    EXPECT_EQ(fake::windowing.cursor_count, 0);
    // Made as always, for the 944 x 505 client area; reset for the monitor,
    // then for the window again, the picture framed from the switch on.
    expect_todays_device();
    EXPECT_EQ(resets(), (Lines{"Reset(1920x1080, D3DSWAPEFFECT_DISCARD=1, windowed=1)",
                               "Reset(944x505, D3DSWAPEFFECT_DISCARD=1, windowed=1)"}));
    EXPECT_EQ(picture_viewports(), (Lines{"whole", "whole", "7,0 1906x1080", "7,0 1906x1080",
                                          "26,0 891x505", "26,0 891x505"}));
    // Every tick still presents a frame, and Direct3D 9 takes each of them.
    EXPECT_EQ(presents_with_destination(), (std::vector<bool>(6, false)));
    EXPECT_EQ(error_output, "");
    // The system keys that are ours never reach the default handling (no
    // beep); Enter without Alt does.
    EXPECT_EQ(count_events("default 0x0100"), 1);
    EXPECT_EQ(count_events("default 0x0104"), 1);
    EXPECT_EQ(count_events("default 0x0106"), 0);
}

TEST_F(ShowOptionsRun, AfterEveryResetTheDeviceIsSetUpAgainBeforeTheNextFrame)
{
    fake::audio.active_ticks = 4;
    post_at_tick(1, WM_SYSKEYDOWN, VK_RETURN, kAltHeld);
    post_at_tick(2, WM_SYSKEYDOWN, VK_RETURN, kAltHeld);
    EXPECT_EQ(run(nullptr), 0);

    // The calls that set the device up at start-up (the layer's attach and
    // the scene's start-up states), and those between each Reset and the
    // next frame, are the same: Reset takes every state back to its default.
    const std::vector<DeviceCall>& calls = device().calls();
    const auto first_frame = std::find_if(calls.begin(), calls.end(), [](const DeviceCall& c) {
        return std::holds_alternative<call::BeginScene>(c);
    });
    const std::vector<DeviceCall> start_up(calls.begin(), first_frame);
    ASSERT_FALSE(start_up.empty());
    int resets_seen = 0;
    for (auto at = calls.begin(); at != calls.end(); ++at) {
        if (!std::holds_alternative<call::Reset>(*at)) {
            continue;
        }
        ++resets_seen;
        const auto next_frame = std::find_if(at, calls.end(), [](const DeviceCall& c) {
            return std::holds_alternative<call::BeginScene>(c);
        });
        EXPECT_EQ(std::vector<DeviceCall>(at + 1, next_frame), start_up);
    }
    EXPECT_EQ(resets_seen, 2);
}

TEST_F(ShowOptionsRun, AWindowResizedByHandKeepsTheShowsShape)
{
    fake::audio.active_ticks = 4;
    fake::audio.on_tick = [](int tick) {
        if (tick == 2) {
            fake::windowing.rect = RECT{100, 100, 100 + 16 + 600, 100 + 39 + 600};  // dragged
        }
    };
    EXPECT_EQ(run(nullptr), 0);
    EXPECT_EQ(resets(), (Lines{"Reset(600x600, D3DSWAPEFFECT_DISCARD=1, windowed=1)"}));
    EXPECT_EQ(picture_viewports(), (Lines{"whole", "whole", "0,130 600x340", "0,130 600x340"}));
}

TEST_F(ShowOptionsRun, AFramedShowFollowsEverySwitchWithAResetOfItsOwnSize)
{
    fake::audio.active_ticks = 6;
    post_at_tick(1, WM_SYSKEYDOWN, VK_RETURN, kAltHeld);
    post_at_tick(3, WM_SYSKEYDOWN, VK_RETURN, kAltHeld);
    EXPECT_EQ(run("--window 800x450"), 0);
    expect_todays_device();
    EXPECT_EQ(resets(), (Lines{"Reset(1920x1080, D3DSWAPEFFECT_DISCARD=1, windowed=1)",
                               "Reset(800x450, D3DSWAPEFFECT_DISCARD=1, windowed=1)"}));
    EXPECT_EQ(picture_viewports(), (Lines{"3,0 794x450", "3,0 794x450", "7,0 1906x1080",
                                          "7,0 1906x1080", "3,0 794x450", "3,0 794x450"}));
}

TEST_F(ShowOptionsRun, AFailedResetEndsTheShowAndAFailedPresentIsSaidOnce)
{
    fake::audio.active_ticks = 1000;
    fake::direct3d.on_device = [](RecordingDevice& created) {
        created.set_reset_result(D3DERR_INVALIDCALL);
        created.set_present_result(E_FAIL);
    };
    post_at_tick(3, WM_SYSKEYDOWN, VK_RETURN, kAltHeld);
    EXPECT_EQ(run(nullptr), 1);
    EXPECT_EQ(error_output,
              "demo: Present failed (0x80004005); the picture may not be shown\n"
              "demo: cannot resize the picture: Reset failed, 0x8876086C\n");
    EXPECT_EQ(count_events("tick"), 5) << "no frame is drawn after the failed Reset";
    EXPECT_EQ(fake::audio.free_calls, 1);
    EXPECT_EQ(device().references().release_calls(), 1);
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

// The rehearsal keys and the player's messages move the show with
// --rehearse, and do nothing without it: on a party's screen a stray key
// must not move the show.
TEST_F(ShowOptionsRun, RehearsalKeysMoveTheShowOnlyWhenRehearsing)
{
    for (const char* command_line : {"", "--rehearse"}) {
        SCOPED_TRACE(command_line);
        SetUp();
        const bool rehearsing = std::strlen(command_line) > 0;
        fake::audio.active_ticks = 1000;
        fake::audio.bytes_per_tick = 1000000;  // the position at tick n: n * 10^6
        post_at_tick(2, WM_KEYDOWN, '3', 1);
        post_at_tick(3, WM_KEYDOWN, VK_LEFT, 1);
        post_at_tick(4, WM_KEYDOWN, VK_RIGHT, 1);
        post_at_tick(5, WM_KEYDOWN, VK_HOME, 1);
        post_at_tick(6, WM_KEYDOWN, '6', 1);  // no such scene
        post_at_tick(7, kSeekMessage, 0, 8000000);
        post_at_tick(8, WM_KEYDOWN, VK_SPACE, 1);
        post_at_tick(10, WM_KEYDOWN, VK_SPACE, 1 | (LPARAM{KF_REPEAT} << 16));  // held
        post_at_tick(12, WM_KEYDOWN, 'K', 1);
        post_at_tick(14, kPauseMessage, TRUE, 0);
        post_at_tick(16, kPauseMessage, FALSE, 0);
        post_at_tick(18, WM_KEYDOWN, VK_ESCAPE, 1);
        EXPECT_EQ(run(command_line), 0);

        const Lines moves = calls_starting("BASS_ChannelSetPosition");
        const Lines pauses = calls_starting("BASS_ChannelPause");
        const Lines plays = calls_starting("BASS_ChannelPlay");
        if (!rehearsing) {
            EXPECT_EQ(moves, (Lines{"BASS_ChannelSetPosition 7 0 0"}));
            EXPECT_EQ(pauses, Lines{});
            EXPECT_EQ(plays, (Lines{"BASS_ChannelPlay 7 0"}));
            continue;
        }
        // Scene 3's start, 5 s back from 3 * 10^6, 5 s on from 4 * 10^6, the
        // start, then the player's seek.
        EXPECT_EQ(
            moves,
            (Lines{"BASS_ChannelSetPosition 7 0 0", "BASS_ChannelSetPosition 7 9977248 0",
                   "BASS_ChannelSetPosition 7 2118000 0", "BASS_ChannelSetPosition 7 4882000 0",
                   "BASS_ChannelSetPosition 7 0 0", "BASS_ChannelSetPosition 7 8000000 0"}));
        // Space pauses, the held Space does nothing, K resumes; then the
        // player's pause and resume.
        EXPECT_EQ(pauses, (Lines{"BASS_ChannelPause 7", "BASS_ChannelPause 7"}));
        EXPECT_EQ(plays,
                  (Lines{"BASS_ChannelPlay 7 0", "BASS_ChannelPlay 7 0", "BASS_ChannelPlay 7 0"}));
        EXPECT_TRUE(fake::windowing.window_destroyed) << "Esc still ends the show";
    }
}

TEST_F(ShowOptionsRun, RehearsingTheTitleShowsTheTimeTheSceneAndThePause)
{
    fake::audio.active_ticks = 1000;
    fake::audio.bytes_per_tick = 44 * 176400;  // 44 s a frame
    post_at_tick(2, WM_KEYDOWN, VK_SPACE, 1);
    post_at_tick(5, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(run("--rehearse"), 0);
    // Each title once, when it changes; the fake's position moves on while
    // paused, the real library's does not.
    EXPECT_EQ(
        fake::windowing.titles,
        (Lines{"Night Tree \u2014 0:00 scene 1", "Night Tree \u2014 0:44 scene 2",
               "Night Tree \u2014 1:28 scene 4", "Night Tree \u2014 2:56 scene 5 \u2014 paused",
               "Night Tree \u2014 3:40 scene 5 \u2014 paused"}));
}
