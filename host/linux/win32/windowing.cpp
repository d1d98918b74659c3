// The Linux half of the Win32 windowing subset (host/common/win32/host.h):
// each window is an SDL window, made hidden and OpenGL-capable, and the SDL
// event pump is the desktop.
//
// Window size: SDL sizes are client sizes (the desktop's window manager
// draws any frame around them), as the shared part expects.
//
// What the desktop produces: a close request (the close button, Alt-F4 when
// the window manager passes it on as a close, or SIGINT/SIGTERM, see
// interrupts.h) arrives as WM_CLOSE. Keys arrive as Windows' key messages
// (keyboard.h). Other events are drained and dropped.
//
// Styles and placement: a window without caption or sizing frame is
// borderless, and one that also covers its whole display is made SDL's
// desktop fullscreen (the desktop's mode, no mode switch), as Wine does
// with such windows, so that a window manager keeps panels off it.
#include <SDL2/SDL.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <vector>

#include "host/common/win32/host.h"
#include "host/linux/win32/interrupts.h"
#include "host/linux/win32/keyboard.h"
#include "host/linux/win32/sdl_window.h"

struct win32::Surface {
    HWND window;
    SDL_Window* sdl;
};

namespace {

constexpr int kCwUseDefault = static_cast<int>(0x80000000);  // CW_USEDEFAULT

std::vector<win32::Surface*> surfaces;

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

void close_video_when_unused()
{
    if (surfaces.empty() && video_held) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        video_held = false;
    }
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

HWND window_of_sdl_id(Uint32 id)
{
    for (const win32::Surface* surface : surfaces) {
        if (SDL_GetWindowID(surface->sdl) == id) {
            return surface->window;
        }
    }
    return nullptr;
}

void translate_event(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
            win32::request_close(window_of_sdl_id(event.window.windowID));
        }
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        win32::post_key(window_of_sdl_id(event.key.windowID), win32::key_event(event.key));
        break;
    case SDL_QUIT:
        // SDL's own close of the last window (or SIGINT/SIGTERM, in a program
        // that left SDL's signal handlers on).
        win32::request_close_all();
        break;
    default:
        break;
    }
}

}  // namespace

SDL_Window* host_sdl_window(HWND window)
{
    const win32::Surface* surface = win32::surface_of(window);
    return surface != nullptr ? surface->sdl : nullptr;
}

namespace win32 {

// A hidden window that a device can render to. A video driver without
// OpenGL (SDL's "dummy") still gets a window, so the message layer works
// there; a device then reports that it cannot render to it.
Surface* open_surface(HWND window, const char* title, int x, int y, int width, int height)
{
    if (!video_ready()) {
        return nullptr;
    }
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
        close_video_when_unused();
        return nullptr;
    }
    surfaces.push_back(new Surface{window, sdl});
    return surfaces.back();
}

void set_surface_title(Surface* surface, const char* title)
{
    // SDL's X11 driver passes the title through Xlib's conversion for the C
    // library's character locale before it sets _NET_WM_NAME, the title
    // window managers show; in the "C" locale a character beyond ASCII (the
    // rehearsal title's dashes) garbles WM_NAME and leaves _NET_WM_NAME as
    // it was. A UTF-8 character locale for the call makes both the title.
    const char* previous = std::setlocale(LC_CTYPE, nullptr);
    char kept[64] = "C";
    if (previous != nullptr) {
        std::snprintf(kept, sizeof kept, "%s", previous);
    }
    const bool utf8 = std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr;
    SDL_SetWindowTitle(surface->sdl, title);
    if (utf8) {
        std::setlocale(LC_CTYPE, kept);
    }
}

void close_surface(Surface* surface)
{
    SDL_DestroyWindow(surface->sdl);
    std::erase(surfaces, surface);
    delete surface;
    close_video_when_unused();
}

void show_surface(Surface* surface, bool visible)
{
    if (visible) {
        SDL_ShowWindow(surface->sdl);
    } else {
        SDL_HideWindow(surface->sdl);
    }
}

bool surface_visible(const Surface* surface)
{
    return (SDL_GetWindowFlags(surface->sdl) & SDL_WINDOW_SHOWN) != 0;
}

RECT surface_rect(const Surface* surface)
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    SDL_GetWindowPosition(surface->sdl, &x, &y);
    SDL_GetWindowSize(surface->sdl, &width, &height);
    return RECT{x, y, x + width, y + height};
}

void place_surface(Surface* surface, DWORD style, int x, int y, int width, int height, UINT flags)
{
    SDL_Window* sdl = surface->sdl;
    const bool framed = (style & (WS_CAPTION | WS_THICKFRAME)) != 0;
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
}

// An interrupt waits for the program's first window if it has none yet.
void pump_events()
{
    if (has_windows() && take_interrupt()) {
        request_close_all();
    }
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        return;
    }
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        translate_event(event);
    }
}

DWORD message_time()
{
    return SDL_GetTicks();
}

}  // namespace win32
