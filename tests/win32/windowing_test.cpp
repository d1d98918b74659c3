// The windowing subset's shared behaviour, on whichever host this program
// is built for (host_driver.h): classes, windows, posting and dispatch, the
// default handling of a close request, the order of quit and input, window
// styles, the cursor's counter and the command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/common/win32/host.h"
#include "platform/win32_subset.h"
#include "tests/win32/windowing_fixture.h"

namespace {

using namespace windowing_test;

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
    EXPECT_TRUE(host_driver::has_surface(window));
    EXPECT_FALSE(host_driver::has_surface(nullptr));

    RECT rect{};
    ASSERT_TRUE(GetClientRect(window, &rect));
    EXPECT_EQ(rect.right - rect.left, 960);
    EXPECT_EQ(rect.bottom - rect.top, 544);
    ASSERT_TRUE(GetWindowRect(window, &rect));
    EXPECT_EQ(rect.right - rect.left, 960) << "the frame is outside the window's rectangle";
    EXPECT_EQ(rect.bottom - rect.top, 544);

    EXPECT_EQ(GetWindowLongPtrA(window, GWL_STYLE), LONG_PTR{WS_OVERLAPPEDWINDOW});
    EXPECT_FALSE(ShowWindow(window, SW_SHOWDEFAULT)) << "was hidden";
    EXPECT_EQ(GetWindowLongPtrA(window, GWL_STYLE), LONG_PTR{WS_OVERLAPPEDWINDOW | WS_VISIBLE});
    EXPECT_TRUE(ShowWindow(window, SW_SHOWDEFAULT)) << "was visible";
    EXPECT_TRUE(UpdateWindow(window));
}

TEST_P(Windowing, StyleIsKeptAndTheFrameIsOutsideTheWindow)
{
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOWDEFAULT);
    EXPECT_EQ(SetWindowLongPtrA(window, GWL_STYLE, static_cast<LONG_PTR>(WS_POPUP | WS_VISIBLE)),
              LONG_PTR{WS_OVERLAPPEDWINDOW | WS_VISIBLE});
    EXPECT_EQ(GetWindowLongPtrA(window, GWL_STYLE), static_cast<LONG_PTR>(WS_POPUP | WS_VISIBLE));
    EXPECT_EQ(GetWindowLongPtrA(window, 0), 0) << "only the style is kept";

    // Asking for a client area of a size asks for a window of that size.
    RECT outer{0, 0, 640, 360};
    ASSERT_TRUE(AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE));
    EXPECT_EQ(outer.right - outer.left, 640);
    EXPECT_EQ(outer.bottom - outer.top, 360);

    const HWND unknown = reinterpret_cast<HWND>(uintptr_t{0x7777});
    RECT rect{};
    EXPECT_FALSE(GetClientRect(unknown, &rect));
    EXPECT_FALSE(GetWindowRect(unknown, &rect));
    EXPECT_FALSE(SetWindowPos(unknown, HWND_TOP, 0, 0, 1, 1, 0));
    EXPECT_EQ(SetWindowLongPtrA(unknown, GWL_STYLE, static_cast<LONG_PTR>(WS_POPUP)), 0);
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
    EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(uintptr_t{0x7777}), WM_NULL, 0, 0));

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

TEST_P(Windowing, CloseRequestClosesTheWindowThroughDefaultHandling)
{
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    host_driver::close_request(window);

    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, window);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CLOSE));
    ASSERT_TRUE(PostMessageA(window, WM_NULL, 0, 0));  // flushed by the destruction

    // WM_CLOSE -> DefWindowProcA -> DestroyWindow -> WM_DESTROY, all inside the dispatch.
    DispatchMessageA(&msg);
    EXPECT_EQ(messages_seen(), (std::vector<UINT>{WM_CLOSE, WM_DESTROY}));
    EXPECT_TRUE(surface_alive_during_destroy);
    EXPECT_FALSE(host_driver::has_surface(window));
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_P(Windowing, DestroyingFromTheDestroyHandlerSendsOneDestroy)
{
    destroy_again_on_destroy = true;
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(messages_seen(), (std::vector<UINT>{WM_DESTROY}));
    EXPECT_FALSE(host_driver::has_surface(window));
}

// The demo's own ending: a posted WM_DESTROY whose handler asks to quit; the
// loop then finds the quit message, and the window is never destroyed. The
// program's end takes the window away, as a process's end does on Windows,
// without another message to it; a key after that reaches nothing.
TEST_P(Windowing, PostedDestroyEndsTheLoopWithQuitAndTheProgramsEndTakesTheWindow)
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
    EXPECT_TRUE(host_driver::has_surface(window));

    win32::end_program_windows();
    EXPECT_FALSE(win32::has_windows());
    EXPECT_FALSE(host_driver::has_surface(window));
    host_driver::key(window, host_driver::Key::Escape, true, false);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(messages_seen(), (std::vector<UINT>{WM_DESTROY}));
}

TEST_P(Windowing, ClosingWithAQuitPendingServesTheQuitFirst)
{
    quit_on_destroy = true;
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    PostQuitMessage(4);
    host_driver::key(window, host_driver::Key::Escape, true, false);

    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 4u);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(VK_ESCAPE));
}

// Windows' display counter: the pointer shows while the count is 0 or more.
TEST_P(Windowing, CursorCounterHidesThePointerBelowZero)
{
    ASSERT_NE(make_window(), nullptr);
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_FALSE(host_driver::pointer_visible());
    EXPECT_EQ(ShowCursor(FALSE), -2);
    EXPECT_EQ(ShowCursor(TRUE), -1);
    EXPECT_FALSE(host_driver::pointer_visible()) << "still below 0";
    EXPECT_EQ(ShowCursor(TRUE), 0);
    EXPECT_TRUE(host_driver::pointer_visible());
    EXPECT_EQ(ShowCursor(TRUE), 1);
    EXPECT_EQ(ShowCursor(FALSE), 0);
    EXPECT_TRUE(host_driver::pointer_visible());
}

INSTANTIATE_TEST_SUITE_P(Hosts, Windowing, testing::ValuesIn(host_driver::variants()),
                         variant_name);

// The line WinMain gets, as Windows' C runtime makes it from the arguments.
TEST(CommandLine, ArgumentsAreJoinedWithBlanksAndQuotedWhenTheyHaveBlanks)
{
    std::string words[] = {"demo", "--window", "640x360", "My Music/demo.mp3", "a\tb"};
    char* argv[] = {words[0].data(), words[1].data(), words[2].data(), words[3].data(),
                    words[4].data()};
    EXPECT_EQ(win32::command_line(1, argv), "");
    EXPECT_EQ(win32::command_line(3, argv), "--window 640x360");
    EXPECT_EQ(win32::command_line(5, argv), "--window 640x360 \"My Music/demo.mp3\" \"a\tb\"");
}

}  // namespace
