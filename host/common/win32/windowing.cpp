// The Win32 windowing subset's logic on a host without Windows: window
// classes, windows, and the thread message queue with PeekMessageA as its
// non-blocking pump. What stands behind a window, and what the desktop
// says, is the host's (host.h).
//
// Window size: CreateWindowExA's width and height are the client area's
// (a host draws any frame outside it), so the whole requested size is
// drawable: the demo's 960 x 544 window has a 960 x 544 picture, the size
// its scenes are composed for, where on Windows the frame and caption would
// take their share out of it.
//
// What the desktop produces: a close request arrives as WM_CLOSE, keys as
// Windows' key messages (keyboard.h), and DefWindowProcA gives WM_CLOSE and
// Alt-F4 their default meaning.
//
// Of the messages Windows sends to a window procedure synchronously, only
// WM_DESTROY (from DestroyWindow) is sent here: no painting messages, the
// device's Present draws the whole window.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/common/win32/host.h"
#include "host/common/win32/message_queue.h"

namespace {

constexpr int kSwHide = 0;  // SW_HIDE

struct WindowClass {
    std::string name;
    WNDPROC procedure;
};

struct Window {
    HWND handle;
    win32::Surface* surface;
    WNDPROC procedure;
    std::string class_name;
    bool destroying;
    DWORD style;  // as given, less WS_VISIBLE, which the surface keeps
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
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
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

MSG make_message(HWND window, UINT message)
{
    MSG made{};
    made.hwnd = window;
    made.message = message;
    made.time = win32::message_time();
    return made;
}

}  // namespace

namespace win32 {

Surface* surface_of(HWND window)
{
    const Window* found = find_window(window);
    return found != nullptr ? found->surface : nullptr;
}

void post_input(HWND window, const MSG& message)
{
    if (find_window(window) != nullptr) {
        MSG input = message;
        input.hwnd = window;
        queue.post_input(input);
    }
}

void request_close(HWND window)
{
    post_input(window, make_message(window, WM_CLOSE));
}

void request_close_all()
{
    // Closes that duplicate a window's own request are flushed when it is destroyed.
    for (const Window& window : windows) {
        queue.post_input(make_message(window.handle, WM_CLOSE));
    }
}

bool has_windows()
{
    return !windows.empty();
}

void end_program_windows()
{
    std::vector<Window> left;
    left.swap(windows);
    for (const Window& window : left) {
        queue.discard_window(window.handle);
        close_surface(window.surface);
    }
}

void post_key(HWND window, const KeyEvent& key)
{
    MSG message{};
    if (find_window(window) != nullptr && key_message(key, &message)) {
        post_input(window, message);
    }
}

}  // namespace win32

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
    if (window_class == nullptr) {
        return nullptr;
    }
    const HWND handle = reinterpret_cast<HWND>(next_window_number);
    win32::Surface* surface = win32::open_surface(handle, window_name, x, y, width, height);
    if (surface == nullptr) {
        return nullptr;
    }
    ++next_window_number;
    windows.push_back({handle, surface, window_class->procedure, window_class->name, false,
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
    win32::show_surface(window->surface, false);
    const WNDPROC procedure = window->procedure;
    procedure(handle, WM_DESTROY, 0, 0);

    // The procedure may have made or destroyed windows: look again.
    window = find_window(handle);
    win32::Surface* surface = window->surface;
    std::erase_if(windows, [handle](const Window& w) { return w.handle == handle; });
    queue.discard_window(handle);
    win32::close_surface(surface);
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND handle, int show_command)
{
    const Window* window = find_window(handle);
    if (window == nullptr) {
        return FALSE;
    }
    const BOOL was_visible = win32::surface_visible(window->surface) ? TRUE : FALSE;
    win32::show_surface(window->surface, show_command != kSwHide);
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
    win32::pump_events();
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
    const bool shown = win32::surface_visible(window->surface);
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
    win32::place_surface(window->surface, window->style, x, y, width, height, flags);
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND handle, RECT* rect)
{
    const Window* window = find_window(handle);
    if (window == nullptr || rect == nullptr) {
        return FALSE;
    }
    // The frame is outside: the window's rectangle is its client area's.
    *rect = win32::surface_rect(window->surface);
    return TRUE;
}

BOOL WINAPI SetWindowTextW(HWND handle, LPCWSTR text)
{
    const Window* window = find_window(handle);
    if (window == nullptr) {
        return FALSE;
    }
    std::string title;
    for (const WCHAR* c = text != nullptr ? text : L""; *c != L'\0'; ++c) {
        const auto code = static_cast<uint32_t>(*c) & 0xFFFF;
        if (code < 0x80) {
            title += static_cast<char>(code);
        } else if (code < 0x800) {
            title += static_cast<char>(0xC0 | (code >> 6));
            title += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0xD800 || code > 0xDFFF) {
            title += static_cast<char>(0xE0 | (code >> 12));
            title += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            title += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    win32::set_surface_title(window->surface, title.c_str());
    return TRUE;
}

BOOL WINAPI AdjustWindowRect(RECT* rect, DWORD, BOOL)
{
    // The frame is outside the window's rectangle: a window's rectangle is
    // its client area, whatever its style.
    return rect != nullptr ? TRUE : FALSE;
}

BOOL WINAPI GetClientRect(HWND handle, RECT* rect)
{
    const Window* window = find_window(handle);
    if (window == nullptr || rect == nullptr) {
        return FALSE;
    }
    const RECT area = win32::surface_rect(window->surface);
    *rect = RECT{0, 0, area.right - area.left, area.bottom - area.top};
    return TRUE;
}
