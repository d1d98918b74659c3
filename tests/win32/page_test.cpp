// What is the page's own: the canvas is the one window, sized to the
// requested client area and shown and hidden with it, there is no window
// without a canvas, and of the keys only Esc is kept from the browser.
#include <emscripten/emscripten.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32_subset.h"
#include "tests/win32/page_driver.h"
#include "tests/win32/windowing_fixture.h"

namespace {

using namespace windowing_test;

// clang-format off
EM_JS(int, canvas_width, (), { return testPage.canvas.width; });
EM_JS(int, canvas_height, (), { return testPage.canvas.height; });
EM_JS(int, canvas_visible, (), { return testPage.canvas.style.visibility === 'visible' ? 1 : 0; });
EM_JS(void, set_page_has_canvas, (int has), { testPage.hasCanvas = !!has; });
// clang-format on

class Page : public Windowing {};

TEST_P(Page, CanvasIsTheOneWindowSizedAndShownWithIt)
{
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(canvas_width(), 960);
    EXPECT_EQ(canvas_height(), 544);
    EXPECT_EQ(canvas_visible(), 0);
    EXPECT_EQ(make_window(), nullptr) << "one canvas, one window";

    ShowWindow(window, SW_SHOWDEFAULT);
    EXPECT_EQ(canvas_visible(), 1);
    ASSERT_TRUE(DestroyWindow(window));
    EXPECT_EQ(canvas_visible(), 0);

    HWND next = CreateWindowExA(0, kClassName, "", WS_OVERLAPPEDWINDOW, 0, 0, 640, 360, nullptr,
                                nullptr, nullptr, nullptr);
    ASSERT_NE(next, nullptr) << "the canvas is free again";
    made.push_back(next);
    EXPECT_EQ(canvas_width(), 640);
    EXPECT_EQ(canvas_height(), 360);
}

TEST_P(Page, NoWindowWithoutACanvas)
{
    set_page_has_canvas(0);
    EXPECT_EQ(make_window(), nullptr);
    set_page_has_canvas(1);
    EXPECT_NE(make_window(), nullptr);
}

TEST_P(Page, OnlyEscIsKeptFromTheBrowser)
{
    EXPECT_FALSE(page_key("Escape", true)) << "no window: the page's";
    HWND window = make_window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(page_key("Escape", true));
    EXPECT_TRUE(page_key("Escape", false));
    EXPECT_FALSE(page_key("KeyF", true)) << "the page's fullscreen";
    EXPECT_FALSE(page_key("F5", true));
    EXPECT_FALSE(page_key("AltLeft", true, true));
    EXPECT_FALSE(page_key("F4", true, true));
    dispatch_waiting();
    EXPECT_EQ(messages_seen(),
              (std::vector<UINT>{WM_KEYDOWN, WM_KEYUP, WM_KEYDOWN, WM_KEYDOWN, WM_SYSKEYDOWN,
                                 WM_SYSKEYDOWN, WM_CLOSE, WM_DESTROY}));
    EXPECT_FALSE(page_key("Escape", true)) << "the window is gone";
}

INSTANTIATE_TEST_SUITE_P(Hosts, Page, testing::ValuesIn(host_driver::variants()), variant_name);

}  // namespace
