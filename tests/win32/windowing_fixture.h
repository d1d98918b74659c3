// A window procedure that records what it is sent, and a fixture that makes
// windows of its class on the host under test (host_driver.h).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32_subset.h"
#include "tests/win32/host_driver.h"

namespace windowing_test {

inline constexpr const char* kClassName = "PSP GUM";

struct Call {
    HWND window;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

// What the window procedure saw, and what it does on WM_DESTROY.
inline std::vector<Call> calls;
inline bool quit_on_destroy = false;
inline bool destroy_again_on_destroy = false;
inline bool surface_alive_during_destroy = false;

inline LRESULT CALLBACK recording_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    calls.push_back({window, message, wparam, lparam});
    if (message == WM_DESTROY) {
        surface_alive_during_destroy = host_driver::has_surface(window);
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

inline std::vector<UINT> messages_seen()
{
    std::vector<UINT> codes;
    for (const Call& call : calls) {
        codes.push_back(call.message);
    }
    return codes;
}

class Windowing : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        host_driver::start(GetParam());
        calls.clear();
        quit_on_destroy = false;
        destroy_again_on_destroy = false;
        surface_alive_during_destroy = false;

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
        host_driver::expect_released();
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

inline std::string variant_name(const testing::TestParamInfo<std::string>& variant)
{
    return variant.param;
}

}  // namespace windowing_test
