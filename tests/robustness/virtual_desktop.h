// A private X server (Xvfb) for a test, and what a user does to a window on
// it: close it from the window manager's button, or press a key in it.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace test_support {

// Where a window is on the screen, its frame (if any) left out.
struct WindowPlace {
    int x;
    int y;
    int width;
    int height;
    bool operator==(const WindowPlace&) const = default;
};

// The screen's pixels, 0xRRGGBB, row by row from the top.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

class VirtualDesktop {
public:
    // Starts Xvfb on a free display with one screen of that size; `folder`
    // receives its log.
    explicit VirtualDesktop(const std::filesystem::path& folder, int width = 1280,
                            int height = 720);
    ~VirtualDesktop();
    VirtualDesktop(const VirtualDesktop&) = delete;
    VirtualDesktop& operator=(const VirtualDesktop&) = delete;

    // Whether the server runs and this test is connected to it.
    bool ready() const { return connection_ != nullptr; }
    // ":N", for the DISPLAY of the programs under test.
    const std::string& display_name() const { return display_name_; }

    // The top-level window with this title (or a title beginning so, with
    // `prefix`) once it is on screen.
    std::optional<Window> wait_for_window(const std::string& title, std::chrono::milliseconds limit,
                                          bool prefix = false);
    // The window's title now, in UTF-8.
    std::string title(Window window);

    // The window manager's close: WM_DELETE_WINDOW, as the close button or
    // Alt-F4 in a window manager sends it.
    void close_window(Window window);

    // Gives the window the keyboard focus and types the key, as a user would,
    // with a modifier (such as XK_Alt_L) held if one is given.
    void press_key(Window window, KeySym key, KeySym modifier = 0);

    // Whether the mouse cursor shows over the window: the pointer is moved
    // to its middle, and the cursor there is looked at (XFixes).
    bool cursor_shows_over(Window window);

    WindowPlace place_of(Window window);
    // The place once it is `wanted`, or the last one seen when `limit` runs out.
    WindowPlace wait_for_place(Window window, const WindowPlace& wanted,
                               std::chrono::milliseconds limit);

    Screenshot screenshot();

private:
    void start_server(const std::filesystem::path& folder, int display, const std::string& size);

    std::unique_ptr<ChildProcess> server_;
    std::string display_name_;
    Display* connection_ = nullptr;
};

}  // namespace test_support
