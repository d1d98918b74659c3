// The page as the desktop for the windowing tests, under Node.js: DOM key
// events handed to the listeners the page's half registered on the
// stand-in page (page.js), and a close request.
#include <emscripten/emscripten.h>
#include <gtest/gtest.h>

#include "host/common/win32/host.h"
#include "host/web/win32/canvas_window.h"
#include "tests/win32/host_driver.h"
#include "tests/win32/page_driver.h"

namespace {

// clang-format off
EM_JS(int, dispatch_key, (const char* type, const char* code, int alt, int repeat), {
    return testPage.key(UTF8ToString(type), UTF8ToString(code), !!alt, !!repeat) ? 1 : 0;
});
EM_JS(int, key_listener_count, (), {
    return testPage.listenerCount();
});
EM_JS(int, canvas_cursor_hidden, (), {
    return testPage.canvas.style.cursor === 'none' ? 1 : 0;
});
// clang-format on

const char* dom_code(host_driver::Key key)
{
    using host_driver::Key;
    switch (key) {
    case Key::Escape:
        return "Escape";
    case Key::Return:
        return "Enter";
    case Key::KeypadEnter:
        return "NumpadEnter";
    case Key::F4:
        return "F4";
    case Key::F10:
        return "F10";
    case Key::A:
        return "KeyA";
    case Key::LeftAlt:
        return "AltLeft";
    case Key::RightAlt:
        return "AltRight";
    case Key::Unmapped:
        break;
    }
    return "IntlBackslash";
}

}  // namespace

namespace host_driver {

std::vector<std::string> variants()
{
    return {"page"};
}

void start(const std::string&) {}

void expect_released()
{
    EXPECT_EQ(key_listener_count(), 0) << "the page's keys are left to it once the window is gone";
}

void key(HWND, Key key, bool down, bool alt, bool repeat)
{
    page_key(dom_code(key), down, alt, repeat);
}

void close_request(HWND window)
{
    win32::request_close(window);
}

bool has_surface(HWND window)
{
    return host_canvas(window) != nullptr;
}

bool pointer_visible()
{
    return canvas_cursor_hidden() == 0;
}

}  // namespace host_driver

bool page_key(const char* code, bool down, bool alt, bool repeat)
{
    return dispatch_key(down ? "keydown" : "keyup", code, alt ? 1 : 0, repeat ? 1 : 0) != 0;
}
