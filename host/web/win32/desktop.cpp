// The rest of the Win32 subset the shell calls, in the page. The page lays
// out the canvas itself (it keeps the show's shape and fills the browser
// window, with its own fullscreen), so the window's style and placement are
// only remembered: the client area is the canvas's drawing buffer, and the
// "monitor" is that same area. A message box goes to the browser's console
// (the page says failures in its own line); the cursor's display counter
// hides the pointer over the canvas while it is below 0. Nothing is painted
// with GDI: the device's Present draws the whole canvas.
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cstdio>

#include "host/web/win32/canvas_window.h"
#include "platform/win32_subset.h"

namespace {

LONG_PTR window_style = 0;
int cursor_count = 0;

RECT canvas_rect(HWND window)
{
    int width = 0;
    int height = 0;
    if (const char* canvas = host_canvas(window)) {
        emscripten_get_canvas_element_size(canvas, &width, &height);
    }
    return RECT{0, 0, width, height};
}

// clang-format off
EM_JS(void, set_canvas_cursor, (const char* selector, int visible), {
    var canvas = document.querySelector(UTF8ToString(selector));
    if (canvas) canvas.style.cursor = visible ? 'auto' : 'none';
});
// clang-format on

}  // namespace

LONG_PTR WINAPI GetWindowLongPtrA(HWND window, int index)
{
    return host_canvas(window) != nullptr && index == GWL_STYLE ? window_style : 0;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value)
{
    const LONG_PTR previous = GetWindowLongPtrA(window, index);
    if (host_canvas(window) != nullptr && index == GWL_STYLE) {
        window_style = value;
    }
    return previous;
}

BOOL WINAPI AdjustWindowRect(RECT* rect, DWORD, BOOL)
{
    // The canvas has no frame: its rectangle is its client area.
    return rect != nullptr ? TRUE : FALSE;
}

BOOL WINAPI SetWindowPos(HWND window, HWND, int, int, int, int, UINT)
{
    return host_canvas(window) != nullptr ? TRUE : FALSE;
}

BOOL WINAPI GetClientRect(HWND window, RECT* rect)
{
    if (rect == nullptr || host_canvas(window) == nullptr) {
        return FALSE;
    }
    *rect = canvas_rect(window);
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND window, RECT* rect)
{
    return GetClientRect(window, rect);
}

HMONITOR WINAPI MonitorFromWindow(HWND window, DWORD)
{
    return reinterpret_cast<HMONITOR>(window);
}

BOOL WINAPI GetMonitorInfoA(HMONITOR monitor, MONITORINFO* info)
{
    const auto window = reinterpret_cast<HWND>(monitor);
    if (info == nullptr || host_canvas(window) == nullptr) {
        return FALSE;
    }
    info->rcMonitor = canvas_rect(window);
    info->rcWork = info->rcMonitor;
    info->dwFlags = 1;  // MONITORINFOF_PRIMARY
    return TRUE;
}

int WINAPI ShowCursor(BOOL show)
{
    cursor_count += show ? 1 : -1;
    if (emscripten_run_script_int("typeof document !== 'undefined'") != 0) {
        set_canvas_cursor("#canvas", cursor_count >= 0 ? 1 : 0);
    }
    return cursor_count;
}

int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR, UINT type)
{
    constexpr UINT kIconMask = 0xF0;  // MB_ICONMASK
    std::FILE* out = (type & kIconMask) == MB_ICONINFORMATION ? stdout : stderr;
    if (text != nullptr) {
        std::fputs(text, out);
    }
    std::fflush(out);
    return IDOK;
}
