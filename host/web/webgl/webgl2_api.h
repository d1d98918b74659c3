// WebGL 2 (OpenGL ES 3.0) under the names of the OpenGL 3.3 core calls the
// Direct3D 9 device makes, so that the device's code (host/gl) is
// the same on both builds. Included through host/gl/gl_api.h only.
//
// What WebGL 2 lacks, and what stands in for it:
// - A D3DCOLOR attribute read as GL_BGRA: the colour is fetched as R, G, B, A
//   bytes and the vertex shader swaps red and blue (VERTEX_DIFFUSE).
// - glMapBufferRange with an unsynchronised write: the stream buffer's bytes
//   are written into a copy kept in memory instead. Each draw then sends the
//   records it uses, as fresh storage (glBufferData) of a buffer of its own,
//   and points the vertex attributes at it. Writing into the stream buffer
//   with glBufferSubData instead makes the driver wait, at every draw, for
//   the draws still reading it (llvmpipe does), which is what the
//   unsynchronised mapping avoids on the other build.
// - One buffer as both vertex and index buffer (WebGL forbids an element
//   buffer from serving any other target) and glDrawElementsBaseVertex: the
//   indices are read from that copy, rebased onto the records sent, and go
//   to an element buffer of their own for a plain glDrawElements.
// - glPolygonMode, glPointSize, glProvokingVertex, border colours and a
//   level-of-detail bias: none of these is in WebGL 2. The show draws filled
//   polygons, 1-pixel points (a shader that does not write gl_PointSize
//   draws them 1 pixel wide in ANGLE), smooth colours and no border
//   addressing or bias, so the calls are accepted and do nothing; a
//   D3DTADDRESS_BORDER sampler clamps to the edge.
#pragma once

#include <GLES3/gl3.h>

namespace host_d3d9 {
inline constexpr const char* kShaderPrelude =
    "#version 300 es\n"
    "precision highp float;\n"
    "precision highp int;\n"
    "#define VERTEX_DIFFUSE(c) ((c).bgra)\n";
}  // namespace host_d3d9

namespace host_webgl {

void buffer_data(GLenum target, GLsizeiptr size, const void* data, GLenum usage);
void bind_buffer(GLenum target, GLuint buffer);
void delete_buffers(GLsizei count, const GLuint* buffers);
void* map_buffer_range(GLenum target, GLintptr offset, GLsizeiptr length, GLbitfield access);
GLboolean unmap_buffer(GLenum target);
void vertex_attrib_pointer(GLuint index, GLint size, GLenum type, GLboolean normalized,
                           GLsizei stride, const void* pointer);
void draw_arrays(GLenum mode, GLint first, GLsizei count);
void draw_elements_base_vertex(GLenum mode, GLsizei count, GLenum type, const void* indices,
                               GLint base_vertex);
void sampler_parameter_fv(GLuint sampler, GLenum name, const GLfloat* values);
void sampler_parameter_f(GLuint sampler, GLenum name, GLfloat value);

}  // namespace host_webgl

#define glBufferData host_webgl::buffer_data
#define glBindBuffer host_webgl::bind_buffer
#define glDeleteBuffers host_webgl::delete_buffers
#define glMapBufferRange host_webgl::map_buffer_range
#define glUnmapBuffer host_webgl::unmap_buffer
#define glVertexAttribPointer host_webgl::vertex_attrib_pointer
#define glDrawArrays host_webgl::draw_arrays
#define glDrawElementsBaseVertex host_webgl::draw_elements_base_vertex
#define glSamplerParameterfv host_webgl::sampler_parameter_fv
#define glSamplerParameterf host_webgl::sampler_parameter_f
#define glClearDepth glClearDepthf
#define glDepthRange glDepthRangef

#define GL_BGRA 0x80E1
#define GL_FIRST_VERTEX_CONVENTION 0x8E4D
#define GL_TEXTURE_BORDER_COLOR 0x1004
#define GL_TEXTURE_LOD_BIAS 0x8501
#define GL_CLAMP_TO_BORDER GL_CLAMP_TO_EDGE
#define GL_POINT 0x1B00
#define GL_LINE 0x1B01
#define GL_FILL 0x1B02

inline void glPolygonMode(GLenum, GLenum) {}
inline void glPointSize(GLfloat) {}
inline void glProvokingVertex(GLenum) {}
