// The windowing subset on SDL2, headless: every case runs with SDL's
// offscreen driver (OpenGL windows over EGL) and its dummy driver (no OpenGL).
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host/linux/win32/interrupts.h"
#include "host/linux/win32/sdl_window.h"
#include "platform/win32_subset.h"

namespace {

constexpr const char* kClassName = "PSP GUM";

struct Call {
    HWND window;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

// What the window procedure saw, and what it does on WM_DESTROY.
std::vector<Call> calls;
bool quit_on_destroy = false;
bool destroy_again_on_destroy = false;
bool window_alive_during_destroy = false;

LRESULT CALLBACK recording_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    calls.push_back({window, message, wparam, lparam});
    if (message == WM_DESTROY) {
        window_alive_during_destroy = host_sdl_window(window) != nullptr;
        if (destroy_again_on_destroy) {
            DestroyWindow(window);
        }
        if (quit_on_destroy) {
            PostQuitMessage(0);
        }
        return 0;
    }
    if (message == WM_NULL) {
        return 42;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

std::vector<UINT> messages_seen()
{
    std::vector<UINT> codes;
    for (const Call& call : calls) {
        codes.push_back(call.message);
    }
    return codes;
}

class Windowing : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", GetParam(), 1);
        calls.clear();
        quit_on_destroy = false;
        destroy_again_on_destroy = false;
        window_alive_during_destroy = false;

        WNDCLASSEXA window_class{};
        window_class.cbSize = sizeof window_class;
        window_class.lpfnWndProc = recording_proc;
        window_class.hInstance = GetModuleHandleA(nullptr);
        window_class.lpszClassName = kClassName;
        ASSERT_NE(RegisterClassExA(&window_class), 0);
    }

    void TearDown() override
    {
        for (HWND window : made) {
            DestroyWindow(window);
        }
        MSG left{};
        while (PeekMessageA(&left, nullptr, 0, 0, PM_REMOVE)) {
        }
        UnregisterClassA(kClassName, GetModuleHandleA(nullptr));
        // The last window's end closes SDL video, so the next case may pick another driver.
        EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
    }

    HWND make_window()
    {
        HWND window =
            CreateWindowExA(0, kClassName, "PSP Vemro LIB", WS_OVERLAPPEDWINDOW, 100, 100, 960, 544,
                            nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        if (window != nullptr) {
            made.push_back(window);
        }
        return window;
    }

    // Hands the layer a desktop event, as the SDL driver would.
    static void push_event(SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 1); }

    static SDL_Event key_down(HWND window, SDL_Keycode key, Uint16 modifiers, Uint8 repeat = 0)
    {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.windowID = SDL_GetWindowID(host_sdl_window(window));
        event.key.state = SDL_PRESSED;
        event.key.repeat = repeat;
        event.key.keysym.sym = key;
        event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
        event.key.keysym.mod = modifiers;
        return event;
    }

    static SDL_Event key_up(HWND window, SDL_Keycode key, Uint16 modifiers)
    {
        SDL_Event event = key_down(window, key, modifiers);
        event.type = SDL_KEYUP;
        event.key.state = SDL_RELEASED;
        return event;
    }

    // Runs the message loop the demo runs, without frames, until the queue is empty.
    static void dispatch_waiting()
    {
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

    std::vector<HWND> made;
};

TEST_P(Windowing, ModuleHandleOfTheProgramIsNeverNull)
{
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(GetModuleHandleA(nullptr), GetModuleHandleA(nullptr));
    EXPECT_EQ(GetModuleHandleA("no-such-module.dll"), nullptr);
}

TEST_P(Windowing, ClassesRegisterOnceAndStayWhileTheyHaveWindows)
{
    WNDCLASSEXA same_name_other_case{};
    same_name_other_case.cbSize = sizeof same_name_other_case;
    same_name_other_case.lpfnWndProc = recording_proc;
    same_name_other_case.lpszClassName = "psp gum";
    EXPECT_EQ(RegisterClassExA(&same_name_other_case), 0);

    WNDCLASSEXA without_procedure{};
    without_procedure.lpszClassName = "Other";
    EXPECT_EQ(RegisterClassExA(&without_procedure), 0);

    EXPECT_EQ(
        CreateWindowExA(0, "Unknown", "", 0, 0, 0, 64, 64, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_FALSE(UnregisterClassA("Unknown", nullptr));

    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(UnregisterClassA(kClassName, GetModuleHandleA(nullptr)));
    ASSERT_TRUE(DestroyWindow(window));
    EXPECT_TRUE(UnregisterClassA(kClassName, GetModuleHandleA(nullptr)));
    EXPECT_FALSE(UnregisterClassA(kClassName, GetModuleHandleA(nullptr)));
}

TEST_P(Windowing, WindowStartsHiddenWithTheRequestedClientSizeAndShowsOnRequest)
{
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    SDL_Window* sdl = host_sdl_window(window);
    ASSERT_NE(sdl, nullptr);
    EXPECT_EQ(host_sdl_window(nullptr), nullptr);

    int width = 0;
    int height = 0;
    SDL_GetWindowSize(sdl, &width, &height);
    EXPECT_EQ(width, 960);
    EXPECT_EQ(height, 544);
    EXPECT_EQ(std::string(SDL_GetWindowTitle(sdl)), "PSP Vemro LIB");
    if (std::string(GetParam()) != "dummy") {
        EXPECT_NE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_OPENGL, 0u);
    }

    EXPECT_EQ(SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN, 0u);
    EXPECT_FALSE(ShowWindow(window, SW_SHOWDEFAULT)) << "was hidden";
    EXPECT_NE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN, 0u);
    EXPECT_TRUE(ShowWindow(window, SW_SHOWDEFAULT)) << "was visible";
    EXPECT_TRUE(UpdateWindow(window));
}

// The Linux device holds SDL video too, and may outlive the window.
TEST_P(Windowing, LastWindowLeavesOtherUsersOfSdlVideoAlone)
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

TEST_P(Windowing, PeekingAnEmptyQueueReturnsAtOnce)
{
    ASSERT_NE(make_window(), nullptr);
    MSG msg{};
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    }
    EXPECT_TRUE(calls.empty());
}

TEST_P(Windowing, PostedMessageReachesTheWindowProcedureThroughDispatch)
{
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PostMessageA(window, WM_NULL, 5, -6));

    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_TRUE(calls.empty()) << "peeking dispatches nothing";
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, window);
    EXPECT_FALSE(TranslateMessage(&msg));
    EXPECT_EQ(DispatchMessageA(&msg), 42) << "the procedure's result comes back";
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].window, window);
    EXPECT_EQ(calls[0].wparam, 5u);
    EXPECT_EQ(calls[0].lparam, -6);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_P(Windowing, PostingToAnUnknownWindowFails)
{
    EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(uintptr_t{0x7777}), WM_NULL, 0, 0));
}

TEST_P(Windowing, CloseButtonClosesTheWindowThroughDefaultHandling)
{
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = SDL_GetWindowID(host_sdl_window(window));
    push_event(close);

    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, window);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CLOSE));
    ASSERT_TRUE(PostMessageA(window, WM_NULL, 0, 0));  // flushed by the destruction

    // WM_CLOSE -> DefWindowProcA -> DestroyWindow -> WM_DESTROY, all inside the dispatch.
    DispatchMessageA(&msg);
    EXPECT_EQ(messages_seen(), (std::vector<UINT>{WM_CLOSE, WM_DESTROY}));
    EXPECT_TRUE(window_alive_during_destroy);
    EXPECT_EQ(host_sdl_window(window), nullptr);
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_P(Windowing, KeysArriveAsWindowsKeyMessages)
{
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    push_event(key_down(window, SDLK_ESCAPE, KMOD_NONE));
    push_event(key_down(window, SDLK_ESCAPE, KMOD_NONE, 1));
    push_event(key_up(window, SDLK_ESCAPE, KMOD_NONE));
    push_event(key_down(window, SDLK_RETURN, KMOD_LALT));
    push_event(key_down(window, SDLK_a, KMOD_NONE));
    push_event(key_down(window, SDLK_F10, KMOD_NONE));
    push_event(key_down(window, SDLK_UNKNOWN, KMOD_NONE));  // no virtual key: dropped
    dispatch_waiting();

    const std::vector<Call> expected = {
        {window, WM_KEYDOWN, VK_ESCAPE, 0x00000001},
        {window, WM_KEYDOWN, VK_ESCAPE, 0x40000001},  // auto-repeat: was down
        {window, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(static_cast<int32_t>(0xC0000001u))},
        {window, WM_SYSKEYDOWN, VK_RETURN, 0x20000001},  // Alt held
        {window, WM_KEYDOWN, 'A', 0x00000001},
        {window, WM_SYSKEYDOWN, VK_F10, 0x00000001},
    };
    ASSERT_EQ(calls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(calls[i].window, expected[i].window) << i;
        EXPECT_EQ(calls[i].message, expected[i].message) << i;
        EXPECT_EQ(calls[i].wparam, expected[i].wparam) << i;
        // The scan code (bits 16 to 23) is SDL's; the rest is Windows'.
        EXPECT_EQ(calls[i].lparam & ~LPARAM{0x00FF0000}, expected[i].lparam) << i;
    }
    EXPECT_NE(host_sdl_window(window), nullptr) << "no key closes by itself";
}

TEST_P(Windowing, AltF4ClosesThroughTheDefaultHandling)
{
    for (Uint16 alt : {KMOD_LALT, KMOD_RALT}) {
        calls.clear();
        HWND window = make_window();
        ASSERT_NE(window, nullptr);
        push_event(key_down(window, SDLK_F4, alt));
        dispatch_waiting();
        EXPECT_EQ(messages_seen(), (std::vector<UINT>{WM_SYSKEYDOWN, WM_CLOSE, WM_DESTROY}))
            << "with modifiers " << alt;
        EXPECT_EQ(host_sdl_window(window), nullptr);
    }
}

TEST_P(Windowing, F4WithoutAltAndHeldAltF4LeaveTheWindowOpen)
{
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    push_event(key_down(window, SDLK_F4, KMOD_NONE));
    push_event(key_down(window, SDLK_F4, KMOD_LALT, 1));
    dispatch_waiting();
    EXPECT_EQ(messages_seen(), (std::vector<UINT>{WM_KEYDOWN, WM_SYSKEYDOWN}));
    EXPECT_NE(host_sdl_window(window), nullptr);
}

TEST_P(Windowing, StylesAndPlacementFollowTheWin32Calls)
{
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    SDL_Window* sdl = host_sdl_window(window);
    EXPECT_EQ(GetWindowLongPtrA(window, GWL_STYLE), LONG_PTR{WS_OVERLAPPEDWINDOW});
    ShowWindow(window, SW_SHOWDEFAULT);
    EXPECT_EQ(GetWindowLongPtrA(window, GWL_STYLE), LONG_PTR{WS_OVERLAPPEDWINDOW | WS_VISIBLE});

    RECT rect{};
    ASSERT_TRUE(GetClientRect(window, &rect));
    EXPECT_EQ(rect.right, 960);
    EXPECT_EQ(rect.bottom, 544);
    // The frame is outside the window's rectangle: asking for a client area
    // of a size asks for a window of that size.
    RECT outer{0, 0, 640, 360};
    ASSERT_TRUE(AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE));
    EXPECT_EQ(outer.right - outer.left, 640);
    EXPECT_EQ(outer.bottom - outer.top, 360);

    // Borderless over the whole display: SDL's desktop fullscreen.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor));
    const RECT area = monitor.rcMonitor;
    ASSERT_GT(area.right - area.left, 0);
    EXPECT_EQ(SetWindowLongPtrA(window, GWL_STYLE, LONG_PTR{WS_POPUP | WS_VISIBLE}),
              LONG_PTR{WS_OVERLAPPEDWINDOW | WS_VISIBLE});
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
    ASSERT_TRUE(GetClientRect(window, &rect));
    EXPECT_EQ(rect.right, 640);
    EXPECT_EQ(rect.bottom, 360);

    EXPECT_FALSE(GetClientRect(reinterpret_cast<HWND>(uintptr_t{0x7777}), &rect));
    EXPECT_FALSE(SetWindowPos(reinterpret_cast<HWND>(uintptr_t{0x7777}), HWND_TOP, 0, 0, 1, 1, 0));
}

TEST_P(Windowing, InterruptClosesEveryWindowOnce)
{
    HWND first = make_window();
    HWND second = make_window();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    // SDL reports the last window's close both as a window event and as a quit.
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = SDL_GetWindowID(host_sdl_window(first));
    push_event(close);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    push_event(quit);

    dispatch_waiting();
    EXPECT_EQ(messages_seen(), (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_CLOSE, WM_DESTROY}));
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[1].window, first);
    EXPECT_EQ(calls[3].window, second);
}

TEST_P(Windowing, SignalBeforeTheFirstWindowClosesItOnceItExists)
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

TEST_P(Windowing, DestroyingFromTheDestroyHandlerSendsOneDestroy)
{
    destroy_again_on_destroy = true;
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(messages_seen(), (std::vector<UINT>{WM_DESTROY}));
    EXPECT_EQ(host_sdl_window(window), nullptr);
}

// The demo's own ending: a posted WM_DESTROY whose handler asks to quit; the
// loop then finds the quit message, and the window is never destroyed.
TEST_P(Windowing, PostedDestroyEndsTheLoopWithQuit)
{
    quit_on_destroy = true;
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOWDEFAULT);
    ASSERT_TRUE(PostMessageA(window, WM_DESTROY, 0, 0));

    MSG msg{};
    int idle_passes = 0;
    int passes = 0;
    do {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            ++idle_passes;
        }
    } while (msg.message != WM_QUIT && ++passes < 100);

    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(idle_passes, 0) << "the quit message follows the destroy with no idle pass between";
    EXPECT_EQ(messages_seen(), (std::vector<UINT>{WM_DESTROY}));
    EXPECT_NE(host_sdl_window(window), nullptr);
}

TEST_P(Windowing, ClosingWithAQuitPendingServesTheQuitFirst)
{
    quit_on_destroy = true;
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    PostQuitMessage(4);
    push_event(key_down(window, SDLK_ESCAPE, KMOD_NONE));

    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 4u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_ESCAPE));
}

INSTANTIATE_TEST_SUITE_P(Drivers, Windowing, testing::Values("offscreen", "dummy"),
                         [](const testing::TestParamInfo<const char*>& driver) {
                             return std::string(driver.param);
                         });

}  // namespace
