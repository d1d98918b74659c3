// The page's half of the Win32 windowing subset (host/common/win32/host.h).
// The page's canvas (id "canvas") is the window: CreateWindowExA sizes its
// drawing buffer to the requested client size (the page scales it to the
// browser window), and there is one such window at a time.
//
// What the page produces: keys arrive as Windows' key messages, so Esc ends
// the show through the window procedure and Alt-F4 through DefWindowProcA,
// as on the desktop builds; of them only Esc is kept from the browser (every
// other key keeps its meaning there: the page's F for fullscreen, reloading,
// the browser's own fullscreen). Events arrive
// while the program waits for the display in Present, and the shared queue
// orders them as Windows does.
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cstring>

#include "host/common/win32/host.h"
#include "host/web/win32/canvas_window.h"
#include "host/web/win32/page_keys.h"

struct win32::Surface {
    HWND window;
    bool visible;
};

namespace {

constexpr const char* kCanvas = "#canvas";

win32::Surface canvas_surface{};
bool canvas_in_use = false;

// clang-format off
EM_JS(void, set_canvas_visible, (const char* selector, int visible), {
    var canvas = document.querySelector(UTF8ToString(selector));
    if (canvas) canvas.style.visibility = visible ? 'visible' : 'hidden';
});

EM_JS(void, set_page_title, (const char* title), {
    document.title = UTF8ToString(title);
});

EM_JS(int, page_has_canvas, (), {
    return typeof document !== 'undefined' && !!document.querySelector('#canvas');
});
// clang-format on

EM_BOOL on_key(int event_type, const EmscriptenKeyboardEvent* event, void*)
{
    if (!canvas_in_use) {
        return EM_FALSE;
    }
    const bool down = event_type == EMSCRIPTEN_EVENT_KEYDOWN;
    win32::post_key(canvas_surface.window, win32::page_key_event(*event, down));
    return std::strcmp(event->code, "Escape") == 0 ? EM_TRUE : EM_FALSE;
}

void listen_to_keys(bool listen)
{
    const auto handler = listen ? on_key : nullptr;
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, handler);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, handler);
}

}  // namespace

// For the page's player: a message to the show's window (its transport's
// seek and pause), queued as the keys are. False when no show is running.
extern "C" EMSCRIPTEN_KEEPALIVE int demo_post_message(unsigned message, unsigned wparam, int lparam)
{
    if (!canvas_in_use) {
        return 0;
    }
    return PostMessageA(canvas_surface.window, message, wparam, lparam);
}

const char* host_canvas(HWND window)
{
    return win32::surface_of(window) != nullptr ? kCanvas : nullptr;
}

namespace win32 {

Surface* open_surface(HWND window, const char*, int, int, int width, int height)
{
    if (canvas_in_use || page_has_canvas() == 0 || width <= 0 || height <= 0) {
        return nullptr;
    }
    emscripten_set_canvas_element_size(kCanvas, width, height);
    listen_to_keys(true);
    canvas_surface = Surface{window, false};
    canvas_in_use = true;
    set_canvas_visible(kCanvas, 0);
    return &canvas_surface;
}

void close_surface(Surface*)
{
    canvas_in_use = false;
    listen_to_keys(false);
}

void show_surface(Surface* surface, bool visible)
{
    surface->visible = visible;
    set_canvas_visible(kCanvas, visible ? 1 : 0);
}

// The window's caption is the page's title, which the browser shows in
// its tab.
void set_surface_title(Surface*, const char* title)
{
    set_page_title(title);
}

bool surface_visible(const Surface* surface)
{
    return surface->visible;
}

// The page lays the canvas out (it keeps the show's shape and fills the
// browser window, with its own fullscreen): the client area is the canvas's
// drawing buffer, and the window's place is only remembered by the caller.
RECT surface_rect(const Surface*)
{
    int width = 0;
    int height = 0;
    emscripten_get_canvas_element_size(kCanvas, &width, &height);
    return RECT{0, 0, width, height};
}

void place_surface(Surface*, DWORD, int, int, int, int, UINT) {}

// The page's events were delivered while the program waited in Present.
void pump_events() {}

}  // namespace win32
