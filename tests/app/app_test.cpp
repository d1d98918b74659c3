// The application shell against a recording device and scripted windowing and
// audio: start-up order, the frame loop, the end of the music, closing the
// window, and every failure path.
#include "app/app.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "host/recording/recording_device.h"
#include "scene/scene.h"
#include "tests/app/fake_platform.h"
#include "tests/support/device_calls.h"

namespace {

class AppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::reset();
        fake::d3dx.present_files = {"tree.dds", "leaf.dds", "ground.dds", "grass.dds"};
    }

    // Runs the shell, returning its exit status; stderr is kept in error_output.
    int run()
    {
        ::testing::internal::CaptureStderr();
        const int status = app_main(nullptr, nullptr, nullptr, SW_SHOWDEFAULT);
        error_output = ::testing::internal::GetCapturedStderr();
        return status;
    }

    static RecordingDevice* device()
    {
        RecordingFactory* factory = static_cast<RecordingFactory*>(fake::direct3d.factory);
        return factory != nullptr && factory->device_count() > 0 ? factory->device(0) : nullptr;
    }

    template <typename Call>
    static int count_calls(const RecordingDevice& recorded)
    {
        return static_cast<int>(
            std::count_if(recorded.calls().begin(), recorded.calls().end(),
                          [](const DeviceCall& c) { return std::holds_alternative<Call>(c); }));
    }

    static int count_events(const std::string& name)
    {
        return static_cast<int>(std::count(fake::events.begin(), fake::events.end(), name));
    }

    // Every object the shell created was released exactly once.
    static void expect_everything_released_once()
    {
        auto* factory = static_cast<RecordingFactory*>(fake::direct3d.factory);
        ASSERT_NE(factory, nullptr);
        EXPECT_EQ(factory->references().release_calls(), 1);
        EXPECT_EQ(factory->references().count(), 0u);
        for (size_t i = 0; i < factory->device_count(); ++i) {
            EXPECT_EQ(factory->device(i)->references().release_calls(), 1);
            EXPECT_EQ(factory->device(i)->references().over_releases(), 0);
        }
        for (IDirect3DTexture9* texture : fake::d3dx.loaded) {
            auto* recorded = static_cast<RecordingTexture*>(texture);
            EXPECT_EQ(recorded->references().release_calls(), 1) << recorded->label();
        }
        for (IDirect3DTexture9* slot : texture_slots) {
            EXPECT_EQ(slot, nullptr);
        }
    }

    // How many calls the device had received when the event first happened.
    static size_t device_calls_at(const std::string& event)
    {
        const auto it = std::find(fake::events.begin(), fake::events.end(), event);
        EXPECT_NE(it, fake::events.end()) << event;
        return it == fake::events.end()
                   ? 0
                   : fake::device_calls_at_event[static_cast<size_t>(it - fake::events.begin())];
    }

    std::string error_output;
};

TEST_F(AppTest, StartsUpAndShutsDownInOrder)
{
    fake::audio.active_ticks = 1;
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(fake::events,
              (std::vector<std::string>{
                  "RegisterClassExA", "CreateWindowExA", "Direct3DCreate9", "CreateDevice",
                  "load tree.dds", "load grass.dds", "load ground.dds", "load leaf.dds",
                  "BASS_Init", "BASS_StreamCreateFile", "BASS_ChannelPlay",
                  "BASS_ChannelSetPosition", "ShowWindow", "UpdateWindow",
                  // One frame, then the stopped channel ends the show.
                  "tick", "tick", "post 0x0002", "dispatch 0x0002",
                  // Audio first, then the texture slots 0, 1, 2 and 4, the device, the factory.
                  "BASS_Free", "release tree.dds", "release leaf.dds", "release ground.dds",
                  "release grass.dds", "release device", "release factory", "PostQuitMessage",
                  "dispatch 0x0012", "UnregisterClassA"}));

    // The layer is attached before the textures load (its eleven switch-off
    // calls end with light 3), and the scene is generated between the audio
    // start and the opening of the stream (its start-up states end by unbinding
    // the texture).
    const RecordingDevice* recorded = device();
    ASSERT_NE(recorded, nullptr);
    const auto& calls = recorded->calls();
    const size_t at_load = device_calls_at("load tree.dds");
    ASSERT_EQ(at_load, 11u) << listing(calls);
    EXPECT_EQ(calls[at_load - 1], light_enable(3, 0));
    const size_t at_audio = device_calls_at("BASS_Init");
    EXPECT_EQ(at_audio, at_load);
    const size_t at_stream = device_calls_at("BASS_StreamCreateFile");
    ASSERT_GT(at_stream, at_audio);
    EXPECT_EQ(calls[at_audio], render_state(D3DRS_ZFUNC, D3DCMP_LESSEQUAL));
    EXPECT_EQ(calls[at_stream - 1], no_texture(0));
    EXPECT_EQ(device_calls_at("ShowWindow"), at_stream);
}

TEST_F(AppTest, PassesTheDocumentedArgumentsToTheWindowAudioAndStreamCalls)
{
    fake::audio.active_ticks = 2;
    EXPECT_EQ(run(), 0);
    const HINSTANCE module = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));
    const HWND window = fake::window_handle();

    // The program's own module handle, asked for without a name.
    ASSERT_FALSE(fake::windowing.module_name_given.empty());
    for (bool named : fake::windowing.module_name_given) {
        EXPECT_FALSE(named);
    }

    const WNDCLASSEXA& wc = fake::windowing.window_class;
    EXPECT_EQ(wc.cbSize, sizeof(WNDCLASSEXA));  // 48 on 32-bit Windows
    EXPECT_EQ(wc.style, 0x40u);                 // CS_CLASSDC
    EXPECT_EQ(wc.lpfnWndProc, &window_proc);
    EXPECT_EQ(wc.cbClsExtra, 0);
    EXPECT_EQ(wc.cbWndExtra, 0);
    EXPECT_EQ(wc.hInstance, module);
    EXPECT_EQ(wc.hIcon, nullptr);
    EXPECT_EQ(wc.hCursor, nullptr);
    EXPECT_EQ(wc.hbrBackground, nullptr);
    EXPECT_EQ(wc.lpszMenuName, nullptr);
    EXPECT_EQ(fake::windowing.class_name, "PSP GUM");
    EXPECT_EQ(wc.hIconSm, nullptr);

    const fake::CreateWindowArgs& w = fake::windowing.created;
    EXPECT_EQ(w.ex_style, 0u);
    EXPECT_EQ(w.class_name, "PSP GUM");
    EXPECT_EQ(w.title, "PSP Vemro LIB");
    EXPECT_EQ(w.style, 0x00CF0000u);  // WS_OVERLAPPEDWINDOW
    EXPECT_EQ(w.x, 100);
    EXPECT_EQ(w.y, 100);
    EXPECT_EQ(w.width, 960);
    EXPECT_EQ(w.height, 544);
    EXPECT_EQ(w.parent, nullptr);
    EXPECT_EQ(w.menu, nullptr);
    EXPECT_EQ(w.instance, module);
    EXPECT_EQ(w.param, nullptr);

    // The default output at 44100 Hz, no flags, on the window, no class identifier.
    ASSERT_EQ(fake::audio.inits.size(), 1u);
    EXPECT_EQ(fake::audio.inits[0].device, -1);
    EXPECT_EQ(fake::audio.inits[0].frequency, 44100u);
    EXPECT_EQ(fake::audio.inits[0].flags, 0u);
    EXPECT_EQ(fake::audio.inits[0].window, window);
    EXPECT_EQ(fake::audio.inits[0].class_id, nullptr);

    // The whole of "demo.mp3" by name, exactly positioned and freed at its end.
    ASSERT_EQ(fake::audio.streams.size(), 1u);
    EXPECT_EQ(fake::audio.streams[0].memory, FALSE);
    EXPECT_EQ(fake::audio.streams[0].file, "demo.mp3");
    EXPECT_EQ(fake::audio.streams[0].offset, 0u);
    EXPECT_EQ(fake::audio.streams[0].length, 0u);
    EXPECT_EQ(fake::audio.streams[0].flags, 0x60000u);
    const DWORD stream = fake::audio.stream_handle;
    EXPECT_EQ(fake::audio.plays, (std::vector<std::pair<DWORD, BOOL>>{{stream, FALSE}}));
    // Seeked to the show's start, byte 0, as a byte position (mode 0).
    EXPECT_EQ(fake::audio.set_position_calls, (std::vector<std::pair<DWORD, DWORD>>{{stream, 0u}}));
    EXPECT_EQ(fake::audio.set_position, 0u);
    EXPECT_EQ(fake::audio.position_queries, (std::vector<DWORD>{0u, 0u}));

    EXPECT_EQ(fake::windowing.show_calls, (std::vector<std::pair<HWND, int>>{{window, 10}}));
    EXPECT_EQ(fake::windowing.update_calls, std::vector<HWND>{window});
    // Any window, no filter, removing what it finds.
    ASSERT_FALSE(fake::windowing.peeks.empty());
    for (const fake::PeekArgs& peek : fake::windowing.peeks) {
        EXPECT_EQ(peek, (fake::PeekArgs{nullptr, 0, 0, 1}));
    }
    // The end of the music: WM_DESTROY to the window, then a quit with code 0.
    ASSERT_EQ(fake::windowing.posted.size(), 1u);
    EXPECT_EQ(fake::windowing.posted[0].hwnd, window);
    EXPECT_EQ(fake::windowing.posted[0].message, 2u);
    EXPECT_EQ(fake::windowing.posted[0].wParam, 0u);
    EXPECT_EQ(fake::windowing.posted[0].lParam, 0);
    EXPECT_EQ(fake::windowing.quit_codes, std::vector<int>{0});
    EXPECT_EQ(fake::windowing.unregistered_class, "PSP GUM");
    EXPECT_EQ(fake::windowing.unregistered_instance, module);

    // Every frame is presented whole: no rectangles, window override or region.
    const call::Present whole{false, false, nullptr, false};
    EXPECT_EQ(calls_of<call::Present>(device()->calls()),
              (std::vector<call::Present>{whole, whole}));
}

TEST_F(AppTest, PlaysUntilTheMusicStopsThenEndsWithStatusZero)
{
    fake::audio.active_ticks = 3;
    EXPECT_EQ(run(), 0);
    EXPECT_TRUE(error_output.empty()) << error_output;

    RecordingDevice* recorded = device();
    ASSERT_NE(recorded, nullptr);
    EXPECT_EQ(count_calls<call::BeginScene>(*recorded), 3);
    EXPECT_EQ(count_calls<call::EndScene>(*recorded), 3);
    EXPECT_EQ(count_calls<call::Present>(*recorded), 3);
    // The fourth activity query finds the channel stopped and posts WM_DESTROY.
    EXPECT_EQ(count_events("tick"), 4);
    EXPECT_EQ(count_events("post 0x0002"), 1);
    EXPECT_EQ(fake::audio.set_position, 0u);
    EXPECT_TRUE(fake::windowing.window_shown);
    EXPECT_FALSE(fake::windowing.class_registered);
    EXPECT_EQ(fake::audio.free_calls, 1);
    expect_everything_released_once();
}

TEST_F(AppTest, CreatesTheDeviceAsAWindowedSoftwareDeviceWithA16BitDepthBuffer)
{
    fake::audio.active_ticks = 0;
    run();
    EXPECT_EQ(fake::direct3d.sdk_versions, std::vector<UINT>{32});
    auto* factory = static_cast<RecordingFactory*>(fake::direct3d.factory);
    ASSERT_EQ(factory->create_device_calls().size(), 1u);
    const CreateDeviceCall& created = factory->create_device_calls()[0];
    EXPECT_EQ(created.adapter, 0u);
    EXPECT_EQ(created.device_type, D3DDEVTYPE_HAL);
    EXPECT_EQ(created.focus_window, fake::window_handle());
    EXPECT_EQ(created.behavior_flags, 0x20u);  // software vertex processing only
    ASSERT_TRUE(created.has_params);
    // Every field zero but these four: the back buffer takes the client size
    // and the desktop format, presentation the default interval.
    const D3DPRESENT_PARAMETERS& p = created.params;
    EXPECT_EQ(p.Windowed, 1);
    EXPECT_EQ(p.SwapEffect, 1);  // D3DSWAPEFFECT_DISCARD
    EXPECT_EQ(p.EnableAutoDepthStencil, 1);
    EXPECT_EQ(p.AutoDepthStencilFormat, 80);  // D3DFMT_D16
    EXPECT_EQ(p.BackBufferWidth, 0u);
    EXPECT_EQ(p.BackBufferHeight, 0u);
    EXPECT_EQ(p.BackBufferFormat, 0);
    EXPECT_EQ(p.BackBufferCount, 0u);
    EXPECT_EQ(p.MultiSampleType, 0);
    EXPECT_EQ(p.MultiSampleQuality, 0u);
    EXPECT_EQ(p.hDeviceWindow, nullptr);
    EXPECT_EQ(p.Flags, 0u);
    EXPECT_EQ(p.FullScreen_RefreshRateInHz, 0u);
    EXPECT_EQ(p.PresentationInterval, 0u);
}

TEST_F(AppTest, LoadsTheTexturesInOrderAndLeavesMissingOnesEmpty)
{
    fake::d3dx.present_files = {"tree.dds", "ground.dds"};
    fake::audio.active_ticks = 1;
    fake::audio.on_tick = [](int tick) {
        if (tick == 0) {
            EXPECT_NE(texture_slots[0], nullptr);
            EXPECT_EQ(texture_slots[1], nullptr);
            EXPECT_NE(texture_slots[2], nullptr);
            EXPECT_EQ(texture_slots[3], nullptr);
            EXPECT_EQ(texture_slots[4], nullptr);
        }
    };
    EXPECT_EQ(run(), 0);

    std::vector<std::string> loads;
    for (const std::string& event : fake::events) {
        if (event.rfind("load ", 0) == 0) {
            loads.push_back(event);
        }
    }
    EXPECT_EQ(loads, (std::vector<std::string>{"load tree.dds", "load grass.dds", "load ground.dds",
                                               "load leaf.dds"}));
    expect_everything_released_once();
}

TEST_F(AppTest, SaysForEachTextureNotLoadedWhyAndWhatItIs)
{
    fake::d3dx.present_files = {"tree.dds", "ground.dds"};
    fake::d3dx.not_files = {{"grass.dds", "a directory, not a file"}};
    fake::audio.active_ticks = 1;
    EXPECT_EQ(run(), 0);

    // A damaged file and a directory get the same answer from D3DX; the
    // line tells them apart.
    EXPECT_EQ(error_output,
              "demo: cannot load \"grass.dds\": a directory, not a file (0x88760B59); "
              "drawn untextured\n"
              "demo: cannot load \"leaf.dds\": missing, unreadable or not a texture "
              "(0x88760B59); drawn untextured\n");
}

TEST_F(AppTest, DrawsAFrameOnlyWhenNoMessageIsWaiting)
{
    fake::windowing.on_show = [] {
        PostMessageA(fake::window_handle(), 0x0400, 0, 0);
        PostMessageA(fake::window_handle(), 0x0401, 0, 0);
    };
    fake::audio.active_ticks = 3;
    fake::audio.on_tick = [](int tick) {
        if (tick == 1) {
            PostMessageA(fake::window_handle(), 0x0402, 0, 0);
        }
    };
    EXPECT_EQ(run(), 0);

    const auto at = [](const std::string& name) {
        return std::find(fake::events.begin(), fake::events.end(), name) - fake::events.begin();
    };
    const auto first_tick = at("tick");
    EXPECT_LT(at("dispatch 0x0400"), first_tick);
    EXPECT_LT(at("dispatch 0x0401"), first_tick);
    // The message posted during the second frame is handled before the third.
    const auto posted = at("post 0x0402");
    ASSERT_LT(posted + 1, static_cast<long>(fake::events.size()));
    EXPECT_EQ(fake::events[static_cast<size_t>(posted) + 1], "dispatch 0x0402");
}

TEST_F(AppTest, StoresTheLow32BitsOfTheBytePositionAsTheMusicPosition)
{
    fake::audio.active_ticks = 3;
    fake::audio.bytes_per_tick = 0x80000010ull;  // the third frame is at 0x1'0000'0020
    std::vector<int32_t> positions;
    fake::audio.on_tick = [&positions](int tick) {
        if (tick > 0) {
            positions.push_back(music_pos);
        }
    };
    run();
    ASSERT_EQ(positions.size(), 3u);
    EXPECT_EQ(positions[0], 0);
    EXPECT_EQ(positions[1], static_cast<int32_t>(0x80000010u));  // negative: wrapped
    EXPECT_EQ(positions[2], 0x20);
}

TEST_F(AppTest, ClosingTheWindowMidShowShutsDownOnceAndEndsWithStatusZero)
{
    fake::audio.active_ticks = 1000;
    fake::audio.on_tick = [](int tick) {
        if (tick == 2) {
            PostMessageA(fake::window_handle(), WM_CLOSE, 0, 0);
        }
    };
    EXPECT_EQ(run(), 0);
    EXPECT_TRUE(fake::windowing.window_destroyed);
    EXPECT_EQ(count_events("BASS_Free"), 1);
    EXPECT_EQ(count_events("PostQuitMessage"), 1);
    // The quit message follows at once: no frame after the shutdown.
    EXPECT_EQ(count_events("tick"), 3);
    expect_everything_released_once();
}

TEST_F(AppTest, ASecondDestroyAfterShutdownReleasesNothingAgain)
{
    // The music ends and the user closes the window in the same moment.
    fake::audio.active_ticks = 2;
    fake::audio.on_tick = [](int tick) {
        if (tick == 2) {
            PostMessageA(fake::window_handle(), WM_CLOSE, 0, 0);
        }
    };
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(fake::windowing.destroy_messages_sent, 1);
    EXPECT_EQ(count_events("PostQuitMessage"), 2);
    EXPECT_EQ(count_events("BASS_Free"), 1);
    expect_everything_released_once();
}

TEST_F(AppTest, AFailedBeginSceneSkipsTheDrawingButStillPresents)
{
    fake::audio.active_ticks = 2;
    fake::audio.on_tick = [](int tick) {
        if (tick == 0) {
            device()->set_begin_scene_result(D3DERR_INVALIDCALL);
        }
    };
    EXPECT_EQ(run(), 0);
    RecordingDevice* recorded = device();
    EXPECT_EQ(count_calls<call::BeginScene>(*recorded), 2);
    EXPECT_EQ(count_calls<call::EndScene>(*recorded), 0);
    EXPECT_EQ(count_calls<call::Present>(*recorded), 2);
    EXPECT_EQ(count_calls<call::Draw>(*recorded), 0);
}

TEST_F(AppTest, MissingMusicIsReportedAndEndsWithStatusOne)
{
    fake::audio.stream_handle = 0;
    fake::audio.stream_error = BASS_ERROR_FILEOPEN;
    EXPECT_EQ(run(), 1);
    EXPECT_NE(error_output.find("demo.mp3"), std::string::npos) << error_output;
    EXPECT_NE(error_output.find("cannot be opened"), std::string::npos) << error_output;
    EXPECT_EQ(std::count(error_output.begin(), error_output.end(), '\n'), 1);
    // The first frame finds the channel stopped: the window shows and closes at once.
    EXPECT_TRUE(fake::windowing.window_shown);
    EXPECT_EQ(count_calls<call::BeginScene>(*device()), 0);
    expect_everything_released_once();
}

TEST_F(AppTest, DeviceFailureIsReportedBeforeAnythingIsShown)
{
    fake::direct3d.create_device_result = D3DERR_NOTAVAILABLE;
    EXPECT_EQ(run(), 1);
    EXPECT_NE(error_output.find("Direct3D 9 device"), std::string::npos) << error_output;
    EXPECT_NE(error_output.find("0x8876086A"), std::string::npos) << error_output;
    EXPECT_FALSE(fake::windowing.window_shown);
    EXPECT_EQ(count_events("BASS_Init"), 0);
    EXPECT_FALSE(fake::windowing.class_registered);
    expect_everything_released_once();
}

TEST_F(AppTest, MissingDirect3DIsReported)
{
    fake::direct3d.create_returns_null = true;
    EXPECT_EQ(run(), 1);
    EXPECT_NE(error_output.find("Direct3DCreate9"), std::string::npos) << error_output;
    EXPECT_FALSE(fake::windowing.window_shown);
    EXPECT_FALSE(fake::windowing.class_registered);
}

TEST_F(AppTest, AudioFailureIsReportedAndReleasesTheGraphics)
{
    fake::audio.init_result = FALSE;
    fake::audio.init_error = BASS_ERROR_DRIVER;
    EXPECT_EQ(run(), 1);
    EXPECT_NE(error_output.find("audio"), std::string::npos) << error_output;
    EXPECT_NE(error_output.find("no audio driver"), std::string::npos) << error_output;
    EXPECT_FALSE(fake::windowing.window_shown);
    EXPECT_EQ(count_calls<call::Present>(*device()), 0);
    expect_everything_released_once();
}

}  // namespace
