// The page as the desktop behind the shared Win32 subset: the "monitor" is
// the canvas's drawing buffer (the page lays the canvas out and has its own
// fullscreen), and the cursor's display counter hides the pointer over the
// canvas while it is below 0. Nothing is painted with GDI: the device's
// Present draws the whole canvas.
#include <emscripten/emscripten.h>

#include "host/common/win32/host.h"
#include "host/web/win32/canvas_window.h"

namespace {

// clang-format off
EM_JS(void, set_canvas_cursor, (const char* selector, int visible), {
    if (typeof document === 'undefined') return;
    var canvas = document.querySelector(UTF8ToString(selector));
    if (canvas) canvas.style.cursor = visible ? 'auto' : 'none';
});
// clang-format on

}  // namespace

namespace win32 {

void show_pointer(bool visible)
{
    set_canvas_cursor("#canvas", visible ? 1 : 0);
}

DWORD message_time()
{
    return static_cast<DWORD>(static_cast<uint64_t>(emscripten_get_now()));
}

}  // namespace win32

HMONITOR WINAPI MonitorFromWindow(HWND window, DWORD)
{
    return reinterpret_cast<HMONITOR>(window);
}

BOOL WINAPI GetMonitorInfoA(HMONITOR monitor, MONITORINFO* info)
{
    const auto window = reinterpret_cast<HWND>(monitor);
    RECT canvas{};
    if (info == nullptr || !GetClientRect(window, &canvas)) {
        return FALSE;
    }
    info->rcMonitor = canvas;
    info->rcWork = canvas;
    info->dwFlags = 1;  // MONITORINFOF_PRIMARY
    return TRUE;
}
