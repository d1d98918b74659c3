// The Win32 windowing subset on SDL2: window classes, windows, and the thread
// message queue with PeekMessageA as its non-blocking pump.
//
// Window size: CreateWindowExA's width and height become the SDL window's
// size, and SDL sizes are client sizes (the desktop's window manager draws
// any frame around them). The whole requested size is therefore drawable: the
// demo's 960 x 544 window has a 960 x 544 picture, the size its scenes are
// composed for, where on Windows the frame and caption would take their share
// out of it.
//
// What the desktop produces: a close request (the close button, Alt-F4 when
// the window manager passes it on as a close, or SIGINT/SIGTERM, see
// interrupts.h) arrives as WM_CLOSE. Keys arrive as Windows' key messages
// (keyboard.h), and DefWindowProcA gives Alt-F4 its default meaning, a
// WM_CLOSE. Other events are drained and dropped.
//
// Styles and placement: a window without caption or sizing frame is
// borderless, and one that also covers its whole display is made SDL's
// desktop fullscreen (the desktop's mode, no mode switch), as Wine does
// with such windows, so that a window manager keeps panels off it.
//
// Of the messages Windows sends to a window procedure synchronously, only
// WM_DESTROY (from DestroyWindow) is sent here: no painting messages, the
// device's Present draws the whole window.
#include <SDL2/SDL.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "host/linux/win32/interrupts.h"
#include "host/linux/win32/keyboard.h"
#include "host/linux/win32/message_queue.h"
#include "host/linux/win32/sdl_window.h"

namespace {

// SDK values not in the shared declarations.
constexpr int kSwHide = 0;                                   // SW_HIDE
constexpr int kCwUseDefault = static_cast<int>(0x80000000);  // CW_USEDEFAULT

struct WindowClass {
    std::string name;
    WNDPROC procedure;
};

struct Window {
    HWND handle;
    SDL_Window* sdl;
    WNDPROC procedure;
    std::string class_name;
    bool destroying;
    DWORD style;  // as given, less WS_VISIBLE, which SDL keeps
};

std::vector<WindowClass> classes;
std::vector<Window> windows;
win32::MessageQueue queue;

ATOM next_atom = 0xC000;  // the range Windows gives registered classes
uintptr_t next_window_number = 1;

// Any address of ours makes a module handle that is never null.
const char module_marker = 0;

// Class names compare without regard to case, as on Windows.
bool same_name(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (SDL_tolower(static_cast<unsigned char>(a[i])) !=
            SDL_tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

WindowClass* find_class(LPCSTR name)
{
    if (name == nullptr) {
        return nullptr;
    }
    for (WindowClass& window_class : classes) {
        if (same_name(window_class.name, name)) {
            return &window_class;
        }
    }
    return nullptr;
}

// The window of a handle; the pointer is good until windows are created or
// destroyed, so callers copy what they need before calling a procedure.
Window* find_window(HWND handle)
{
    if (handle == nullptr) {
        return nullptr;
    }
    for (Window& window : windows) {
        if (window.handle == handle) {
            return &window;
        }
    }
    return nullptr;
}

Window* find_window_by_sdl_id(Uint32 id)
{
    for (Window& window : windows) {
        if (SDL_GetWindowID(window.sdl) == id) {
            return &window;
        }
    }
    return nullptr;
}

// SDL video is held while this layer has windows. SDL counts each
// subsystem's users, so the device's own hold is not disturbed.
bool video_held = false;

bool video_ready()
{
    if (video_held) {
        return true;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "windowing: cannot start SDL video: %s\n", SDL_GetError());
        return false;
    }
    video_held = true;
    return true;
}

// The Direct3D back buffer is 8 bits a channel with a depth buffer; the
// framebuffer attributes must be chosen before the window is made (on X11
// they pick the window's visual).
void request_framebuffer()
{
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
}

int sdl_position(int position)
{
    return position == kCwUseDefault ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : position;
}

// A hidden window that a device can render to. A video driver without
// OpenGL (SDL's "dummy") still gets a window, so the message layer works
// there; a device then reports that it cannot render to it.
SDL_Window* open_sdl_window(LPCSTR title, int x, int y, int width, int height)
{
    request_framebuffer();
    const char* caption = title != nullptr ? title : "";
    const Uint32 hidden = SDL_WINDOW_HIDDEN;
    SDL_Window* sdl = SDL_CreateWindow(caption, sdl_position(x), sdl_position(y), width, height,
                                       hidden | SDL_WINDOW_OPENGL);
    if (sdl == nullptr) {
        sdl = SDL_CreateWindow(caption, sdl_position(x), sdl_position(y), width, height, hidden);
    }
    if (sdl == nullptr) {
        std::fprintf(stderr, "windowing: cannot create the window \"%s\": %s\n", caption,
                     SDL_GetError());
    }
    return sdl;
}

MSG make_message(HWND window, UINT message)
{
    MSG made{};
    made.hwnd = window;
    made.message = message;
    made.time = SDL_GetTicks();
    return made;
}

void request_close(Window* window)
{
    if (window != nullptr) {
        queue.post_input(make_message(window->handle, WM_CLOSE));
    }
}

void post_key(const SDL_KeyboardEvent& key)
{
    const Window* window = find_window_by_sdl_id(key.windowID);
    MSG message{};
    if (window != nullptr && win32::key_message(key, &message)) {
        message.hwnd = window->handle;
        queue.post_input(message);
    }
}

void translate_event(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
            request_close(find_window_by_sdl_id(event.window.windowID));
        }
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        post_key(event.key);
        break;
    case SDL_QUIT:
        // SDL's own close of the last window (or SIGINT/SIGTERM, in a program
        // that left SDL's signal handlers on). Closes that duplicate a
        // window's own request are flushed when it is destroyed.
        for (Window& window : windows) {
            request_close(&window);
        }
        break;
    default:
        break;
    }
}

// Moves what the desktop has to say into the queue, without waiting. An
// interrupt waits for the program's first window if it has none yet.
void pump_desktop_events()
{
    if (!windows.empty() && win32::take_interrupt()) {
        for (Window& window : windows) {
            request_close(&window);
        }
    }
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        return;
    }
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        translate_event(event);
    }
}

void close_video_when_unused()
{
    if (windows.empty() && video_held) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        video_held = false;
    }
}

}  // namespace

SDL_Window* host_sdl_window(HWND window)
{
    const Window* found = find_window(window);
    return found != nullptr ? found->sdl : nullptr;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR module_name)
{
    // Only the program's own module is known.
    if (module_name != nullptr) {
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(const_cast<char*>(&module_marker));
}

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* window_class)
{
    if (window_class == nullptr || window_class->lpszClassName == nullptr ||
        window_class->lpfnWndProc == nullptr || find_class(window_class->lpszClassName)) {
        return 0;
    }
    classes.push_back({window_class->lpszClassName, window_class->lpfnWndProc});
    return next_atom++;
}

BOOL WINAPI UnregisterClassA(LPCSTR class_name, HINSTANCE)
{
    const WindowClass* window_class = find_class(class_name);
    if (window_class == nullptr) {
        return FALSE;
    }
    // As on Windows, a class with live windows stays registered.
    for (const Window& window : windows) {
        if (same_name(window.class_name, window_class->name)) {
            return FALSE;
        }
    }
    std::erase_if(classes, [&](const WindowClass& c) { return &c == window_class; });
    return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD, LPCSTR class_name, LPCSTR window_name, DWORD style, int x, int y,
                            int width, int height, HWND, HMENU, HINSTANCE, LPVOID)
{
    const WindowClass* window_class = find_class(class_name);
    if (window_class == nullptr || !video_ready()) {
        return nullptr;
    }
    SDL_Window* sdl = open_sdl_window(window_name, x, y, width, height);
    if (sdl == nullptr) {
        close_video_when_unused();
        return nullptr;
    }
    const HWND handle = reinterpret_cast<HWND>(next_window_number++);
    windows.push_back({handle, sdl, window_class->procedure, window_class->name, false,
                       static_cast<DWORD>(style) & ~static_cast<DWORD>(WS_VISIBLE)});
    return handle;
}

BOOL WINAPI DestroyWindow(HWND handle)
{
    Window* window = find_window(handle);
    if (window == nullptr) {
        return FALSE;
    }
    if (window->destroying) {
        // Called again from its own WM_DESTROY: the first call finishes the job.
        return TRUE;
    }
    window->destroying = true;
    SDL_HideWindow(window->sdl);
    const WNDPROC procedure = window->procedure;
    procedure(handle, WM_DESTROY, 0, 0);

    // The procedure may have made or destroyed windows: look again.
    window = find_window(handle);
    SDL_DestroyWindow(window->sdl);
    std::erase_if(windows, [handle](const Window& w) { return w.handle == handle; });
    queue.discard_window(handle);
    close_video_when_unused();
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND handle, int show_command)
{
    const Window* window = find_window(handle);
    if (window == nullptr) {
        return FALSE;
    }
    const BOOL was_visible = (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN) != 0;
    if (show_command == kSwHide) {
        SDL_HideWindow(window->sdl);
    } else {
        SDL_ShowWindow(window->sdl);
    }
    return was_visible;
}

BOOL WINAPI UpdateWindow(HWND handle)
{
    // Nothing is painted outside the frames the device presents.
    return find_window(handle) != nullptr ? TRUE : FALSE;
}

BOOL WINAPI PeekMessageA(MSG* msg, HWND window, UINT filter_min, UINT filter_max, UINT remove)
{
    const win32::MessageFilter filter{window, filter_min, filter_max};
    const bool removing = (remove & PM_REMOVE) != 0;
    if (queue.take(filter, removing, msg)) {
        return TRUE;
    }
    pump_desktop_events();
    return queue.take(filter, removing, msg) ? TRUE : FALSE;
}

BOOL WINAPI TranslateMessage(const MSG*)
{
    // Keys are not turned into characters: nothing here reads text.
    return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg)
{
    if (msg == nullptr) {
        return 0;
    }
    const Window* window = find_window(msg->hwnd);
    if (window == nullptr) {
        return 0;
    }
    const WNDPROC procedure = window->procedure;
    return procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (window != nullptr && find_window(window) == nullptr) {
        return FALSE;
    }
    MSG posted = make_message(window, message);
    posted.wParam = wparam;
    posted.lParam = lparam;
    queue.post(posted);
    return TRUE;
}

void WINAPI PostQuitMessage(int exit_code)
{
    queue.post_quit(exit_code);
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    const DWORD key_flags = static_cast<DWORD>(lparam) >> 16;
    if (message == WM_CLOSE) {
        DestroyWindow(window);
    } else if (message == WM_SYSKEYDOWN && wparam == VK_F4 && (key_flags & KF_ALTDOWN) != 0 &&
               (key_flags & KF_REPEAT) == 0) {
        // Windows' system menu command "Close", which asks the window to close.
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    return 0;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND handle, int index)
{
    const Window* window = find_window(handle);
    if (window == nullptr || index != GWL_STYLE) {
        return 0;
    }
    const bool shown = (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN) != 0;
    return static_cast<LONG_PTR>(window->style | (shown ? static_cast<DWORD>(WS_VISIBLE) : 0));
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND handle, int index, LONG_PTR value)
{
    Window* window = find_window(handle);
    if (window == nullptr || index != GWL_STYLE) {
        return 0;
    }
    const LONG_PTR previous = GetWindowLongPtrA(handle, index);
    // As on Windows, the frame changes with the next SetWindowPos (SWP_FRAMECHANGED).
    window->style = static_cast<DWORD>(value) & ~static_cast<DWORD>(WS_VISIBLE);
    return previous;
}

BOOL WINAPI SetWindowPos(HWND handle, HWND, int x, int y, int width, int height, UINT flags)
{
    const Window* window = find_window(handle);
    if (window == nullptr) {
        return FALSE;
    }
    SDL_Window* sdl = window->sdl;
    const bool framed = (window->style & (WS_CAPTION | WS_THICKFRAME)) != 0;
    SDL_Rect display{};
    const int display_index = SDL_GetWindowDisplayIndex(sdl);
    const bool covers_display =
        !framed && (flags & (SWP_NOMOVE | SWP_NOSIZE)) == 0 && display_index >= 0 &&
        SDL_GetDisplayBounds(display_index, &display) == 0 && display.x == x && display.y == y &&
        display.w == width && display.h == height;

    if (!covers_display) {
        SDL_SetWindowFullscreen(sdl, 0);
    }
    if ((flags & SWP_FRAMECHANGED) != 0) {
        SDL_SetWindowBordered(sdl, framed ? SDL_TRUE : SDL_FALSE);
    }
    if ((flags & SWP_NOMOVE) == 0) {
        SDL_SetWindowPosition(sdl, x, y);
    }
    if ((flags & SWP_NOSIZE) == 0) {
        SDL_SetWindowSize(sdl, width, height);
    }
    if (covers_display) {
        SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND handle, RECT* rect)
{
    const Window* window = find_window(handle);
    if (window == nullptr || rect == nullptr) {
        return FALSE;
    }
    // The frame is the window manager's: the window's rectangle is its client area's.
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    SDL_GetWindowPosition(window->sdl, &x, &y);
    SDL_GetWindowSize(window->sdl, &width, &height);
    *rect = RECT{x, y, x + width, y + height};
    return TRUE;
}

BOOL WINAPI AdjustWindowRect(RECT* rect, DWORD, BOOL)
{
    // The frame is the window manager's, outside the window's rectangle: a
    // window's rectangle is its client area, whatever its style.
    return rect != nullptr ? TRUE : FALSE;
}

BOOL WINAPI GetClientRect(HWND handle, RECT* rect)
{
    const Window* window = find_window(handle);
    if (window == nullptr || rect == nullptr) {
        return FALSE;
    }
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window->sdl, &width, &height);
    *rect = RECT{0, 0, width, height};
    return TRUE;
}

// A monitor handle is its SDL display index plus one (never null).
HMONITOR WINAPI MonitorFromWindow(HWND handle, DWORD flags)
{
    const Window* window = find_window(handle);
    int index = window != nullptr ? SDL_GetWindowDisplayIndex(window->sdl) : -1;
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
