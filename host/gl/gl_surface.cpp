// The part of the device's surface that is the same on every host: the
// system's calls it rests on are the host's (gl_surface.h).
#include "host/gl/gl_surface.h"

namespace host_d3d9 {

SurfaceSize surface_size(int width, int height, uint32_t least)
{
    auto side = [least](int pixels) {
        return pixels > 0 && static_cast<uint32_t>(pixels) > least ? static_cast<uint32_t>(pixels)
                                                                   : least;
    };
    return {side(width), side(height)};
}

bool make_surface_current(GlSurface* surface)
{
    if (context_current(surface)) {
        return true;
    }
    // The application's window may be gone: its context can no longer be
    // made current then.
    return surface_alive(surface) && make_context_current(surface);
}

SurfaceSize surface_drawable_size(GlSurface* surface)
{
    int w = 0;
    int h = 0;
    drawable_pixels(surface, &w, &h);
    return surface_size(w, h, 0);
}

}  // namespace host_d3d9
