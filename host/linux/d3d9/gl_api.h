// OpenGL 3.3 core, as the Linux device uses it. The entry points come
// straight from the vendor-neutral OpenGL library (libOpenGL), which exports
// every core function and dispatches to whatever context is current, GLX or
// EGL alike; so no loader is needed.
#pragma once

#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/glcorearb.h>
