// What is the Linux host's own: the SDL windows behind the windows, SDL
// video held only while windows need it, SDL's desktop fullscreen, and
// interrupts and SDL's quit as close requests.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <signal.h>

#include <string>
#include <vector>

#include "host/linux/win32/interrupts.h"
#include "host/linux/win32/sdl_window.h"
#include "platform/win32_subset.h"
#include "tests/win32/windowing_fixture.h"

namespace {

using namespace windowing_test;

class SdlWindowing : public Windowing {};

TEST_P(SdlWindowing, WindowIsAHiddenSdlWindowOfTheRequestedSizeUntilShown)
{
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    SDL_Window* sdl = host_sdl_window(window);
    ASSERT_NE(sdl, nullptr);

    int width = 0;
    int height = 0;
    SDL_GetWindowSize(sdl, &width, &height);
    EXPECT_EQ(width, 960);
    EXPECT_EQ(height, 544);
    EXPECT_EQ(std::string(SDL_GetWindowTitle(sdl)), "PSP Vemro LIB");
    if (GetParam() != "dummy") {
        EXPECT_NE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_OPENGL, 0u);
    }
    EXPECT_EQ(SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN, 0u);
    ShowWindow(window, SW_SHOWDEFAULT);
    EXPECT_NE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN, 0u);
}

// The Linux device holds SDL video too, and may outlive the window.
TEST_P(SdlWindowing, LastWindowLeavesOtherUsersOfSdlVideoAlone)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
    HWND first = make_window();
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(DestroyWindow(first));
    EXPECT_NE(SDL_WasInit(SDL_INIT_VIDEO), 0u);

    HWND second = make_window();
    ASSERT_NE(second, nullptr);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    EXPECT_NE(host_sdl_window(second), nullptr);
    EXPECT_NE(SDL_WasInit(SDL_INIT_VIDEO), 0u) << "the window's own hold remains";
}

TEST_P(SdlWindowing, BorderlessOverTheWholeDisplayIsDesktopFullscreen)
{
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    SDL_Window* sdl = host_sdl_window(window);
    ShowWindow(window, SW_SHOWDEFAULT);

    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor));
    const RECT area = monitor.rcMonitor;
    ASSERT_GT(area.right - area.left, 0);
    SetWindowLongPtrA(window, GWL_STYLE, static_cast<LONG_PTR>(WS_POPUP | WS_VISIBLE));
    ASSERT_TRUE(SetWindowPos(window, HWND_TOP, area.left, area.top, area.right - area.left,
                             area.bottom - area.top, SWP_FRAMECHANGED | SWP_NOOWNERZORDER));
    // (The frame itself is the X11 driver's: the Xvfb tests see it go.)
    EXPECT_EQ(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN_DESKTOP,
              static_cast<Uint32>(SDL_WINDOW_FULLSCREEN_DESKTOP));

    // Framed again, at a place of its own.
    SetWindowLongPtrA(window, GWL_STYLE, LONG_PTR{WS_OVERLAPPEDWINDOW | WS_VISIBLE});
    ASSERT_TRUE(
        SetWindowPos(window, HWND_TOP, 100, 100, 640, 360, SWP_FRAMECHANGED | SWP_NOOWNERZORDER));
    EXPECT_EQ(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN, 0u);
    RECT rect{};
    ASSERT_TRUE(GetClientRect(window, &rect));
    EXPECT_EQ(rect.right, 640);
    EXPECT_EQ(rect.bottom, 360);
}

TEST_P(SdlWindowing, SdlQuitClosesEveryWindowOnce)
{
    HWND first = make_window();
    HWND second = make_window();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    // SDL reports the last window's close both as a window event and as a quit.
    host_driver::close_request(first);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 1);

    dispatch_waiting();
    EXPECT_EQ(messages_seen(), (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_CLOSE, WM_DESTROY}));
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[1].window, first);
    EXPECT_EQ(calls[3].window, second);
}

TEST_P(SdlWindowing, SignalBeforeTheFirstWindowClosesItOnceItExists)
{
    win32::close_windows_on_interrupt();
    ASSERT_EQ(raise(SIGTERM), 0);  // caught: the test goes on

    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));  // no window to close yet
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    dispatch_waiting();
    EXPECT_EQ(messages_seen(), (std::vector<UINT>{WM_CLOSE, WM_DESTROY}));

    // One signal, one close: the next window stays open.
    calls.clear();
    HWND next = make_window();
    ASSERT_NE(next, nullptr);
    dispatch_waiting();
    EXPECT_TRUE(calls.empty());

    // A second signal of the same kind gets the default action, ending a
    // program that does not stop.
    struct sigaction current {};
    sigaction(SIGTERM, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}

INSTANTIATE_TEST_SUITE_P(Drivers, SdlWindowing, testing::ValuesIn(host_driver::variants()),
                         variant_name);

}  // namespace
