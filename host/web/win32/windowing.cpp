// The Win32 windowing subset on the HTML5 API. The page's canvas (id
// "canvas") is the window: CreateWindowExA sizes its drawing buffer to the
// requested client size (the page scales it to the browser window), and
// there is one such window at a time.
//
// What the page produces: Esc (a key the page does not keep for itself)
// arrives as WM_KEYDOWN, which the window procedure turns into WM_CLOSE; the
// page's own close request (demo_request_close, when the visitor leaves the
// show) arrives as WM_CLOSE, as the desktop's close does on the other
// builds; DefWindowProcA turns it into DestroyWindow and WM_DESTROY. Events
// arrive while the program waits for the display in Present, and the
// message queue (host/linux/win32/message_queue.h, shared with Linux) orders
// them as Windows does.
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "host/linux/win32/message_queue.h"
#include "host/web/win32/canvas_window.h"

namespace {

constexpr const char* kCanvas = "#canvas";
constexpr int kSwHide = 0;  // SW_HIDE

struct WindowClass {
    std::string name;
    WNDPROC procedure;
};

struct Window {
    HWND handle;
    WNDPROC procedure;
    std::string class_name;
    bool visible;
    bool destroying;
};

std::vector<WindowClass> classes;
std::vector<Window> windows;
win32::MessageQueue queue;

ATOM next_atom = 0xC000;  // the range Windows gives registered classes
uintptr_t next_window_number = 1;
const char module_marker = 0;

bool same_name(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
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
    made.time = static_cast<DWORD>(emscripten_get_now());
    return made;
}

void request_close_all()
{
    for (const Window& window : windows) {
        queue.post_input(make_message(window.handle, WM_CLOSE));
    }
}

// Esc reaches the window procedure as Windows delivers it, WM_KEYDOWN with
// VK_ESCAPE (repeat count 1, scan code 1), and the procedure ends the show
// the close button's way, as on the desktop builds.
EM_BOOL on_key_down(int, const EmscriptenKeyboardEvent* event, void*)
{
    if (std::strcmp(event->key, "Escape") != 0 || windows.empty()) {
        return EM_FALSE;  // the page's: fullscreen and the like
    }
    if (!event->repeat) {
        for (const Window& window : windows) {
            MSG key = make_message(window.handle, WM_KEYDOWN);
            key.wParam = VK_ESCAPE;
            key.lParam = 1 | (0x01 << 16);
            queue.post_input(key);
        }
    }
    return EM_TRUE;
}

// clang-format off
EM_JS(void, set_canvas_visible, (const char* selector, int visible), {
    var canvas = document.querySelector(UTF8ToString(selector));
    if (canvas) canvas.style.visibility = visible ? 'visible' : 'hidden';
});
// clang-format on

// clang-format off
EM_JS(int, page_has_canvas, (), {
    return typeof document !== 'undefined' && !!document.querySelector('#canvas');
});
// clang-format on

bool page_available()
{
    return page_has_canvas() != 0;
}

}  // namespace

// The page asks the show to end (its Back button, leaving the page).
extern "C" EMSCRIPTEN_KEEPALIVE void demo_request_close()
{
    request_close_all();
}

const char* host_canvas(HWND window)
{
    return find_window(window) != nullptr ? kCanvas : nullptr;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR module_name)
{
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
    for (const Window& window : windows) {
        if (same_name(window.class_name, window_class->name)) {
            return FALSE;
        }
    }
    std::erase_if(classes, [&](const WindowClass& c) { return &c == window_class; });
    return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD, LPCSTR class_name, LPCSTR, DWORD, int, int, int width,
                            int height, HWND, HMENU, HINSTANCE, LPVOID)
{
    const WindowClass* window_class = find_class(class_name);
    if (window_class == nullptr || !windows.empty() || !page_available() || width <= 0 ||
        height <= 0) {
        return nullptr;
    }
    emscripten_set_canvas_element_size(kCanvas, width, height);
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, on_key_down);
    const HWND handle = reinterpret_cast<HWND>(next_window_number++);
    windows.push_back({handle, window_class->procedure, window_class->name, false, false});
    set_canvas_visible(kCanvas, 0);
    return handle;
}

BOOL WINAPI DestroyWindow(HWND handle)
{
    Window* window = find_window(handle);
    if (window == nullptr) {
        return FALSE;
    }
    if (window->destroying) {
        return TRUE;  // called again from its own WM_DESTROY
    }
    window->destroying = true;
    const WNDPROC procedure = window->procedure;
    procedure(handle, WM_DESTROY, 0, 0);
    std::erase_if(windows, [handle](const Window& w) { return w.handle == handle; });
    queue.discard_window(handle);
    if (windows.empty()) {
        emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, nullptr);
    }
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND handle, int show_command)
{
    Window* window = find_window(handle);
    if (window == nullptr) {
        return FALSE;
    }
    const BOOL was_visible = window->visible ? TRUE : FALSE;
    window->visible = show_command != kSwHide;
    set_canvas_visible(kCanvas, window->visible ? 1 : 0);
    return was_visible;
}

BOOL WINAPI UpdateWindow(HWND handle)
{
    return find_window(handle) != nullptr ? TRUE : FALSE;
}

BOOL WINAPI PeekMessageA(MSG* msg, HWND window, UINT filter_min, UINT filter_max, UINT remove)
{
    // The page's events were delivered while the program waited in Present.
    const win32::MessageFilter filter{window, filter_min, filter_max};
    return queue.take(filter, (remove & PM_REMOVE) != 0, msg) ? TRUE : FALSE;
}

BOOL WINAPI TranslateMessage(const MSG*)
{
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

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM)
{
    if (message == WM_CLOSE) {
        DestroyWindow(window);
    }
    return 0;
}
