#include "tests/robustness/virtual_desktop.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>

#include <signal.h>
#include <unistd.h>

#include <thread>

namespace test_support {

namespace {

// The window's title, or "" when it has none: _NET_WM_NAME in UTF-8 where
// the program sets it (SDL and Wine do), else WM_NAME.
std::string title_of(Display* display, Window window)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long left = 0;
    unsigned char* utf8 = nullptr;
    const Atom net_wm_name = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8_string = XInternAtom(display, "UTF8_STRING", False);
    if (XGetWindowProperty(display, window, net_wm_name, 0, 1024, False, utf8_string, &type,
                           &format, &count, &left, &utf8) == Success &&
        utf8 != nullptr) {
        std::string title(reinterpret_cast<const char*>(utf8), count);
        XFree(utf8);
        if (type == utf8_string && format == 8) {
            return title;
        }
    }
    char* name = nullptr;
    if (XFetchName(display, window, &name) == 0 || name == nullptr) {
        return "";
    }
    std::string title = name;
    XFree(name);
    return title;
}

bool viewable(Display* display, Window window)
{
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) != 0 &&
           attributes.map_state == IsViewable;
}

std::optional<Window> find_viewable(Display* display, const std::string& title, bool prefix)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) {
        return std::nullopt;
    }
    std::optional<Window> found;
    for (unsigned i = 0; i < count && !found; ++i) {
        const std::string name = title_of(display, children[i]);
        const bool matches = prefix ? name.starts_with(title) : name == title;
        if (matches && viewable(display, children[i])) {
            found = children[i];
        }
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

// Windows may come and go between two requests: an error about a window
// that is gone is not this test's failure.
int ignore_errors(Display*, XErrorEvent*)
{
    return 0;
}

}  // namespace

VirtualDesktop::VirtualDesktop(const std::filesystem::path& folder, int width, int height)
{
    const std::string size = std::to_string(width) + "x" + std::to_string(height) + "x24";
    // A display number of this test process's own, the next one when a
    // server already holds it. (Xvfb's -displayfd choice races when several
    // servers start at once.)
    const int first = 100 + static_cast<int>(getpid() % 20000) * 10;
    for (int display = first; display < first + 10 && connection_ == nullptr; ++display) {
        start_server(folder, display, size);
    }
    XSetErrorHandler(ignore_errors);
}

void VirtualDesktop::start_server(const std::filesystem::path& folder, int display,
                                  const std::string& size)
{
    const std::string name = std::string(":").append(std::to_string(display));
    server_ = std::make_unique<ChildProcess>(ChildOptions{
        {"/usr/bin/Xvfb", name, "-screen", "0", size, "-nolisten", "tcp"}, folder, {}});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (server_->started() && !server_->ended() && std::chrono::steady_clock::now() < deadline) {
        connection_ = XOpenDisplay(name.c_str());
        if (connection_ != nullptr) {
            display_name_ = name;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

VirtualDesktop::~VirtualDesktop()
{
    if (connection_ != nullptr) {
        XCloseDisplay(connection_);
    }
    server_->send(SIGTERM);
    server_->wait(std::chrono::seconds(5));
}

std::optional<Window> VirtualDesktop::wait_for_window(const std::string& title,
                                                      std::chrono::milliseconds limit, bool prefix)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (ready() && std::chrono::steady_clock::now() < deadline) {
        if (const auto window = find_viewable(connection_, title, prefix)) {
            return window;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::nullopt;
}

std::string VirtualDesktop::title(Window window)
{
    return title_of(connection_, window);
}

void VirtualDesktop::close_window(Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(connection_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] =
        static_cast<long>(XInternAtom(connection_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(connection_, window, False, NoEventMask, &event);
    XFlush(connection_);
}

void VirtualDesktop::press_key(Window window, KeySym key, KeySym modifier)
{
    XSetInputFocus(connection_, window, RevertToParent, CurrentTime);
    XSync(connection_, False);
    // The program must see the focus before the key, as it would with a
    // user's hand on the keyboard.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const KeyCode code = XKeysymToKeycode(connection_, key);
    const KeyCode held = modifier != 0 ? XKeysymToKeycode(connection_, modifier) : 0;
    if (held != 0) {
        XTestFakeKeyEvent(connection_, held, True, CurrentTime);
    }
    XTestFakeKeyEvent(connection_, code, True, CurrentTime);
    XTestFakeKeyEvent(connection_, code, False, CurrentTime);
    if (held != 0) {
        XTestFakeKeyEvent(connection_, held, False, CurrentTime);
    }
    XFlush(connection_);
}

bool VirtualDesktop::cursor_shows_over(Window window)
{
    const WindowPlace place = place_of(window);
    XWarpPointer(connection_, None, DefaultRootWindow(connection_), 0, 0, 0, 0,
                 place.x + place.width / 2, place.y + place.height / 2);
    XSync(connection_, False);
    // The program sets its cursor as the pointer comes in.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    XFixesCursorImage* cursor = XFixesGetCursorImage(connection_);
    if (cursor == nullptr) {
        return false;
    }
    bool shows = false;
    for (size_t i = 0; i < size_t{cursor->width} * cursor->height; ++i) {
        shows = shows || (cursor->pixels[i] >> 24) != 0;  // ARGB: any pixel not transparent
    }
    XFree(cursor);
    return shows;
}

WindowPlace VirtualDesktop::place_of(Window window)
{
    XWindowAttributes attributes{};
    Window child = 0;
    int x = 0;
    int y = 0;
    if (XGetWindowAttributes(connection_, window, &attributes) == 0 ||
        XTranslateCoordinates(connection_, window, DefaultRootWindow(connection_), 0, 0, &x, &y,
                              &child) == 0) {
        return {};
    }
    return {x, y, attributes.width, attributes.height};
}

WindowPlace VirtualDesktop::wait_for_place(Window window, const WindowPlace& wanted,
                                           std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    WindowPlace place = place_of(window);
    while (place != wanted && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        place = place_of(window);
    }
    return place;
}

Screenshot VirtualDesktop::screenshot()
{
    const Window root = DefaultRootWindow(connection_);
    XWindowAttributes attributes{};
    XGetWindowAttributes(connection_, root, &attributes);
    XImage* image = XGetImage(connection_, root, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    Screenshot shot;
    if (image == nullptr) {
        return shot;
    }
    shot.width = attributes.width;
    shot.height = attributes.height;
    shot.pixels.resize(static_cast<size_t>(shot.width) * shot.height);
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            // A 24-bit TrueColor screen: red, green and blue masks 0xFF0000, 0xFF00, 0xFF.
            shot.pixels[static_cast<size_t>(y) * shot.width + x] =
                static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFFu;
        }
    }
    XDestroyImage(image);
    return shot;
}

}  // namespace test_support
