// A private X server (Xvfb) for a test, and what a user does to a window on
// it: close it from the window manager's button, or press a key in it.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "tests/support/child_process.h"

namespace test_support {

class VirtualDesktop {
public:
    // Starts Xvfb on a free display; `folder` receives its log.
    explicit VirtualDesktop(const std::filesystem::path& folder);
    ~VirtualDesktop();
    VirtualDesktop(const VirtualDesktop&) = delete;
    VirtualDesktop& operator=(const VirtualDesktop&) = delete;

    // Whether the server runs and this test is connected to it.
    bool ready() const { return connection_ != nullptr; }
    // ":N", for the DISPLAY of the programs under test.
    const std::string& display_name() const { return display_name_; }

    // The top-level window with this title once it is on screen.
    std::optional<Window> wait_for_window(const std::string& title,
                                          std::chrono::milliseconds limit);

    // The window manager's close: WM_DELETE_WINDOW, as the close button or
    // Alt-F4 in a window manager sends it.
    void close_window(Window window);

    // Gives the window the keyboard focus and types the key, as a user would.
    void press_key(Window window, KeySym key);

private:
    void start_server(const std::filesystem::path& folder, int display);

    std::unique_ptr<ChildProcess> server_;
    std::string display_name_;
    Display* connection_ = nullptr;
};

}  // namespace test_support
