// The Linux desktop behind the shared Win32 subset: its displays as
// monitors, and the mouse cursor over the program's windows.
#include <SDL2/SDL.h>

#include "host/common/win32/host.h"
#include "host/linux/win32/sdl_window.h"

namespace win32 {

void show_pointer(bool visible)
{
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
        SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
    }
}

}  // namespace win32

// A monitor handle is its SDL display index plus one (never null).
HMONITOR WINAPI MonitorFromWindow(HWND handle, DWORD flags)
{
    SDL_Window* sdl = host_sdl_window(handle);
    int index = sdl != nullptr ? SDL_GetWindowDisplayIndex(sdl) : -1;
    if (index < 0) {
        if (flags == MONITOR_DEFAULTTONULL || SDL_GetNumVideoDisplays() < 1) {
            return nullptr;
        }
        index = 0;
    }
    return reinterpret_cast<HMONITOR>(static_cast<uintptr_t>(index) + 1);
}

BOOL WINAPI GetMonitorInfoA(HMONITOR monitor, MONITORINFO* info)
{
    const auto index = static_cast<int>(reinterpret_cast<uintptr_t>(monitor)) - 1;
    SDL_Rect bounds{};
    SDL_Rect usable{};
    if (info == nullptr || info->cbSize < sizeof(MONITORINFO) || index < 0 ||
        SDL_GetDisplayBounds(index, &bounds) != 0) {
        return FALSE;
    }
    if (SDL_GetDisplayUsableBounds(index, &usable) != 0) {
        usable = bounds;
    }
    info->rcMonitor = RECT{bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h};
    info->rcWork = RECT{usable.x, usable.y, usable.x + usable.w, usable.y + usable.h};
    info->dwFlags = index == 0 ? 1u : 0u;  // MONITORINFOF_PRIMARY
    return TRUE;
}
