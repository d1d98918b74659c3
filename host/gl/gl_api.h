// The OpenGL the device speaks, and the one place where the builds differ in
// it. On Linux: OpenGL 3.3 core, its entry points straight from the
// vendor-neutral OpenGL library (libOpenGL), which exports every core
// function and dispatches to whatever context is current, GLX or EGL alike;
// so no loader is needed. In the browser: WebGL 2 (OpenGL ES 3.0), with
// stand-ins for the few core calls it lacks (webgl2_api.h, which the web
// host puts on the include path: host/web/webgl).
// kShaderPrelude opens every shader: the GLSL version line and precision,
// and VERTEX_DIFFUSE, which puts the D3DCOLOR's bytes (B, G, R, A) in their
// places where the vertex fetch did not.
#pragma once

#ifdef __EMSCRIPTEN__
#include "webgl2_api.h"
#else
#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/glcorearb.h>

namespace host_d3d9 {
// GL_BGRA as the size of the diffuse attribute already reads the colour in order.
inline constexpr const char* kShaderPrelude = "#version 330 core\n#define VERTEX_DIFFUSE(c) (c)\n";
}  // namespace host_d3d9
#endif
