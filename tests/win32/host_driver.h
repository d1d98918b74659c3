// What the windowing tests do to a host as its desktop would: on Linux, SDL
// events pushed into SDL's queue (sdl_driver.cpp); in the browser, DOM
// events handed to the listeners the page's half registered, on a stand-in
// page under Node.js (page_driver.cpp, page.js). The tests of the shared
// behaviour (windowing_test.cpp, keys_test.cpp) run against both.
#pragma once

#include <string>
#include <vector>

#include "platform/win32_subset.h"

namespace host_driver {

// The ways this host runs: SDL's video drivers on Linux, the page in the browser.
std::vector<std::string> variants();

// Before each case: runs the host the given way.
void start(const std::string& variant);

// After each case, with every window destroyed: fails the case if the host
// still holds what its windows needed.
void expect_released();

enum class Key { Escape, Return, KeypadEnter, F4, F10, A, LeftAlt, RightAlt, Unmapped };

// A key going down (or up) in a window, with an Alt key down or not (as
// the host reports it: counting the event's own key).
void key(HWND window, Key key, bool down, bool alt, bool repeat = false);

// The desktop's close request for the window: its close button, the page's
// Back.
void close_request(HWND window);

// Whether a window has its surface (SDL window, canvas).
bool has_surface(HWND window);

// Whether the pointer shows over the program's windows.
bool pointer_visible();

}  // namespace host_driver
