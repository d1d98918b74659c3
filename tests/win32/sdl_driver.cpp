// The Linux host's desktop for the windowing tests: SDL events pushed into
// SDL's queue, as SDL's video driver would, headless: every case runs with
// SDL's offscreen driver (OpenGL windows over EGL) and its dummy driver (no
// OpenGL).
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "host/linux/win32/sdl_window.h"
#include "tests/win32/host_driver.h"

namespace host_driver {
namespace {

SDL_Keycode sdl_key(Key key)
{
    switch (key) {
    case Key::Escape:
        return SDLK_ESCAPE;
    case Key::Return:
        return SDLK_RETURN;
    case Key::KeypadEnter:
        return SDLK_KP_ENTER;
    case Key::F4:
        return SDLK_F4;
    case Key::F10:
        return SDLK_F10;
    case Key::A:
        return SDLK_a;
    case Key::LeftAlt:
        return SDLK_LALT;
    case Key::RightAlt:
        return SDLK_RALT;
    case Key::Unmapped:
        break;
    }
    return SDLK_UNKNOWN;
}

Uint32 window_id(HWND window)
{
    SDL_Window* sdl = host_sdl_window(window);
    return sdl != nullptr ? SDL_GetWindowID(sdl) : 0;
}

void push(SDL_Event event)
{
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        return;  // no windows, no SDL video: nothing for the desktop to say
    }
    ASSERT_EQ(SDL_PushEvent(&event), 1);
}

}  // namespace

std::vector<std::string> variants()
{
    return {"offscreen", "dummy"};
}

void start(const std::string& variant)
{
    setenv("SDL_VIDEODRIVER", variant.c_str(), 1);
}

void expect_released()
{
    // The last window's end closes SDL video, so the next case may pick another driver.
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
}

void key(HWND window, Key key, bool down, bool alt, bool repeat)
{
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.windowID = window_id(window);
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat ? 1 : 0;
    event.key.keysym.sym = sdl_key(key);
    event.key.keysym.scancode = SDL_GetScancodeFromKey(event.key.keysym.sym);
    // The held Alt is the key's own, or the left one.
    const Uint16 own = key == Key::RightAlt ? KMOD_RALT : KMOD_LALT;
    event.key.keysym.mod = alt ? own : Uint16{KMOD_NONE};
    push(event);
}

void close_request(HWND window)
{
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = window_id(window);
    push(close);
}

bool has_surface(HWND window)
{
    return host_sdl_window(window) != nullptr;
}

bool pointer_visible()
{
    return SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE;
}

}  // namespace host_driver
