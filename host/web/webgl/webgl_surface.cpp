// The device's context in the browser: WebGL 2 on the canvas that stands for
// the application's window, or, offscreen, on a hidden canvas of its own.
//
// The context has no depth, stencil, alpha or antialiasing of its own (the
// device draws into its framebuffer object and Present copies the picture
// over; a multisampled canvas could not take the copy). Present waits for the
// next display refresh: the browser shows the canvas only when the program
// gives control back to the page, and Asyncify lets the message loop do that
// and carry on where it was.
//
// Only an offscreen surface keeps its drawing buffer after it is shown. A
// window's canvas is shown every frame, and a kept buffer costs the browser a
// copy of the whole canvas each time it hands the frame to its compositor;
// nothing needs it: the device reads its pictures back from its own
// framebuffer object (still.html draws that readback on a 2D canvas), and a
// page that reads the show's canvas itself (canvas.toDataURL) gets a blank
// picture, so tests look at the page's screenshot instead. A hidden canvas is
// never composited, so keeping its buffer costs nothing.
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <string>

#include "host/gl/gl_surface.h"
#include "host/web/win32/canvas_window.h"

namespace host_d3d9 {

class GlSurface {
public:
    HWND hwnd = nullptr;
    std::string canvas;  // the canvas's CSS selector
    bool offscreen = false;
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;
};

namespace {

// A hidden canvas for an offscreen device; its id, or an empty string
// where there is no page (Node.js).
// clang-format off
EM_JS(int, make_hidden_canvas, (char* id, int size), {
    if (typeof document === 'undefined') return 0;
    var canvas = document.createElement('canvas');
    canvas.id = 'd3d9-offscreen-' + (Module.offscreenCanvases = (Module.offscreenCanvases || 0) + 1);
    canvas.width = 16;
    canvas.height = 16;
    canvas.style.display = 'none';
    document.body.appendChild(canvas);
    stringToUTF8(canvas.id, id, size);
    return 1;
});
// clang-format on

// clang-format off
EM_JS(void, remove_hidden_canvas, (const char* id), {
    var canvas = document.getElementById(UTF8ToString(id));
    if (canvas) canvas.remove();
});
// clang-format on

// clang-format off
EM_ASYNC_JS(void, wait_for_display_refresh, (), {
    await new Promise(function(resolve) { requestAnimationFrame(resolve); });
});
// clang-format on

}  // namespace

HRESULT open_surface(HWND window, bool, SurfaceSize* window_size, GlSurface** surface,
                     std::string* error)
{
    *surface = nullptr;
    std::string canvas;
    if (window != nullptr) {
        const char* selector = host_canvas(window);
        if (selector == nullptr) {
            *error = "the device window is not a window of this program";
            return D3DERR_INVALIDCALL;
        }
        canvas = selector;
        int w = 0;
        int h = 0;
        emscripten_get_canvas_element_size(canvas.c_str(), &w, &h);
        *window_size = surface_size(w, h, 1);
    } else {
        char id[64];
        if (make_hidden_canvas(id, sizeof id) == 0) {
            *error = "no page to make a WebGL 2 canvas in";
            return D3DERR_NOTAVAILABLE;
        }
        canvas = std::string("#") + id;
    }

    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_FALSE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.preserveDrawingBuffer = window == nullptr ? EM_TRUE : EM_FALSE;
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context =
        emscripten_webgl_create_context(canvas.c_str(), &attributes);
    if (context <= 0) {
        *error = "this browser offers no WebGL 2";
        if (window == nullptr) {
            remove_hidden_canvas(canvas.c_str() + 1);
        }
        return D3DERR_NOTAVAILABLE;
    }
    emscripten_webgl_make_context_current(context);

    auto* opened = new GlSurface();
    opened->hwnd = window;
    opened->canvas = canvas;
    opened->offscreen = window == nullptr;
    opened->context = context;
    *surface = opened;
    return D3D_OK;
}

void close_surface(GlSurface* surface)
{
    if (surface == nullptr) {
        return;
    }
    if (context_current(surface)) {
        emscripten_webgl_make_context_current(0);
    }
    emscripten_webgl_destroy_context(surface->context);
    if (surface->offscreen) {
        remove_hidden_canvas(surface->canvas.c_str() + 1);
    }
    delete surface;
}

bool surface_alive(const GlSurface* surface)
{
    return surface->offscreen || host_canvas(surface->hwnd) != nullptr;
}

bool context_current(const GlSurface* surface)
{
    return emscripten_webgl_get_current_context() == surface->context;
}

bool make_context_current(GlSurface* surface)
{
    return emscripten_webgl_make_context_current(surface->context) == EMSCRIPTEN_RESULT_SUCCESS;
}

bool surface_offscreen(const GlSurface* surface)
{
    return surface->offscreen;
}

void drawable_pixels(GlSurface* surface, int* width, int* height)
{
    emscripten_webgl_get_drawing_buffer_size(surface->context, width, height);
}

void show_surface(GlSurface*)
{
    wait_for_display_refresh();
}

}  // namespace host_d3d9
