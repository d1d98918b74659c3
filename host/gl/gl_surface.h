// Where a device's OpenGL context comes from and where Present shows the
// picture: the one part of the device that depends on the system around it.
// On Linux it is an SDL window (or a hidden one of the device's own, for an
// offscreen device) with an OpenGL 3.3 core context
// (host/linux/gl_surface/gl_surface_sdl.cpp); in the browser it is the page's
// canvas with a WebGL 2 context (host/web/webgl/webgl_surface.cpp). Each host
// defines the class GlSurface and the calls below but for those of
// gl_surface.cpp, which are the same on both. The device draws into its own
// framebuffer object either way, so nothing else about it changes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace host_d3d9 {

class GlSurface;

struct SurfaceSize {
    uint32_t width;
    uint32_t height;
};

// Opens a context on the window (made by CreateWindowExA), or an offscreen
// one for a null window, and makes it current. For a window, *window_size is
// its client size. On failure *surface is null, *error says why and the
// result is D3DERR_INVALIDCALL (not a window of this program) or
// D3DERR_NOTAVAILABLE (no OpenGL 3.3 / WebGL 2 to be had).
HRESULT open_surface(HWND window, bool vsync, SurfaceSize* window_size, GlSurface** surface,
                     std::string* error);

// Releases the context (and an offscreen surface's own window). The device
// has deleted its objects first where the context could still be made current.
void close_surface(GlSurface* surface);

// Whether the context can still be made current: false once the
// application's window has been destroyed.
bool surface_alive(const GlSurface* surface);

// Makes the context current if it is not; false when it cannot be
// (gl_surface.cpp).
bool make_surface_current(GlSurface* surface);

// True for a surface with no window to show a picture in.
bool surface_offscreen(const GlSurface* surface);

// The size of the window's drawable (the default framebuffer), in pixels
// (gl_surface.cpp).
SurfaceSize surface_drawable_size(GlSurface* surface);

// Shows what was drawn into the default framebuffer: a buffer swap, or in
// the browser a return to the page's event loop until the next display
// refresh (the browser shows a canvas only between tasks).
void show_surface(GlSurface* surface);

// What the shared calls ask of the host.
// Whether the surface's context is the current one.
bool context_current(const GlSurface* surface);
// Makes the context current; false when the system refuses.
bool make_context_current(GlSurface* surface);
// The drawable's size as the system gives it (it may say less than 0).
void drawable_pixels(GlSurface* surface, int* width, int* height);

// A size as the system gives it, each side made at least `least` pixels
// (gl_surface.cpp).
SurfaceSize surface_size(int width, int height, uint32_t least);

}  // namespace host_d3d9
