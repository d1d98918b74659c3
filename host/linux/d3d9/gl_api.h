// OpenGL 3.3 core, as the Linux device uses it. The entry points come
// straight from the vendor-neutral OpenGL library (libOpenGL), which exports
// every core function and dispatches to whatever context is current, GLX or
// EGL alike; so no loader is needed.
#pragma once

#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/glcorearb.h>

// EXT_texture_compression_s3tc, which the core header leaves out.
#ifndef GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
#define GL_COMPRESSED_RGBA_S3TC_DXT1_EXT 0x83F1
#define GL_COMPRESSED_RGBA_S3TC_DXT3_EXT 0x83F2
#define GL_COMPRESSED_RGBA_S3TC_DXT5_EXT 0x83F3
#endif
