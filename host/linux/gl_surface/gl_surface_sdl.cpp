// The device's context on Linux: an OpenGL 3.3 core context through SDL2, on
// the application's SDL window or, offscreen, on a small hidden window of its
// own (which works with no display at all under SDL's offscreen driver).
#include <SDL2/SDL.h>

#include <cstdlib>

#include "host/gl/gl_surface.h"
#include "host/linux/win32/sdl_window.h"

namespace host_d3d9 {

class GlSurface {
public:
    HWND hwnd = nullptr;           // the application's window, if any
    SDL_Window* window = nullptr;  // its SDL window, or our hidden one
    bool own_window = false;
    bool sdl_video = false;
    SDL_GLContext context = nullptr;
};

namespace {

bool no_display()
{
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && value[0] != '\0';
    };
    return !set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("SDL_VIDEODRIVER");
}

std::string sdl_failure(const char* what)
{
    return std::string(what) + ": " + SDL_GetError();
}

bool open_context(GlSurface* surface, SDL_Window* sdl_window, bool vsync, SurfaceSize* window_size,
                  std::string* error)
{
    // With no display at all an offscreen device goes straight to SDL's
    // offscreen driver, which SDL would reach anyway after failed attempts
    // (and complaints) from the desktop drivers.
    if (sdl_window == nullptr && SDL_WasInit(SDL_INIT_VIDEO) == 0 && no_display()) {
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "offscreen", SDL_HINT_DEFAULT);
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        *error = sdl_failure("cannot start SDL video");
        return false;
    }
    surface->sdl_video = true;
    if (sdl_window != nullptr) {
        int w = 0;
        int h = 0;
        SDL_GetWindowSize(sdl_window, &w, &h);
        *window_size = surface_size(w, h, 1);
    }

    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
    if (sdl_window == nullptr) {
        // Only the context matters: the picture lives in a framebuffer object.
        sdl_window = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 16, 16,
                                      SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (sdl_window == nullptr) {
            *error = sdl_failure("cannot create a hidden OpenGL surface");
            return false;
        }
        surface->own_window = true;
    }
    surface->window = sdl_window;
    surface->context = SDL_GL_CreateContext(sdl_window);
    if (surface->context == nullptr) {
        *error = sdl_failure("cannot create an OpenGL 3.3 core context");
        return false;
    }
    SDL_GL_MakeCurrent(sdl_window, surface->context);
    if (!surface->own_window) {
        // A failure (no vertical sync to be had, as under Xvfb) is harmless.
        SDL_GL_SetSwapInterval(vsync ? 1 : 0);
    }
    return true;
}

}  // namespace

HRESULT open_surface(HWND window, bool vsync, SurfaceSize* window_size, GlSurface** surface,
                     std::string* error)
{
    *surface = nullptr;
    SDL_Window* sdl_window = nullptr;
    if (window != nullptr) {
        sdl_window = host_sdl_window(window);
        if (sdl_window == nullptr) {
            *error = "the device window is not a window of this program";
            return D3DERR_INVALIDCALL;
        }
    }
    auto* opened = new GlSurface();
    opened->hwnd = window;
    if (!open_context(opened, sdl_window, vsync, window_size, error)) {
        close_surface(opened);
        return D3DERR_NOTAVAILABLE;
    }
    *surface = opened;
    return D3D_OK;
}

void close_surface(GlSurface* surface)
{
    if (surface == nullptr) {
        return;
    }
    if (surface->context != nullptr) {
        if (surface_alive(surface)) {
            SDL_GL_MakeCurrent(surface->window, nullptr);
        }
        // Without its window the context can no longer be made current;
        // deleting it frees its objects all the same.
        SDL_GL_DeleteContext(surface->context);
    }
    if (surface->own_window && surface->window != nullptr) {
        SDL_DestroyWindow(surface->window);
    }
    if (surface->sdl_video) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    delete surface;
}

bool surface_alive(const GlSurface* surface)
{
    // The application's window may be destroyed before the device is
    // released; its handle then no longer names an SDL window.
    return surface->window != nullptr &&
           (surface->own_window || host_sdl_window(surface->hwnd) == surface->window);
}

bool context_current(const GlSurface* surface)
{
    return SDL_GL_GetCurrentContext() == surface->context;
}

bool make_context_current(GlSurface* surface)
{
    return SDL_GL_MakeCurrent(surface->window, surface->context) == 0;
}

bool surface_offscreen(const GlSurface* surface)
{
    return surface->own_window;
}

void drawable_pixels(GlSurface* surface, int* width, int* height)
{
    SDL_GL_GetDrawableSize(surface->window, width, height);
}

void show_surface(GlSurface* surface)
{
    SDL_GL_SwapWindow(surface->window);
}

}  // namespace host_d3d9
