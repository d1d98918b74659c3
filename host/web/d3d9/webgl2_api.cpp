// The stand-ins of webgl2_api.h. There is one context in the page and one
// stream buffer in it, so the copy of that buffer and the element buffer are
// kept here, for the program's life.
#include "host/web/d3d9/webgl2_api.h"

#include <cstdint>
#include <cstring>
#include <vector>

// From here on the names are WebGL's own calls.
#undef glBufferData
#undef glBindBuffer
#undef glDeleteBuffers
#undef glMapBufferRange
#undef glUnmapBuffer
#undef glVertexAttribPointer
#undef glDrawElementsBaseVertex
#undef glSamplerParameterfv
#undef glSamplerParameterf

namespace host_webgl {
namespace {

// The array buffer's bytes as last written, for reading indices back.
GLuint array_buffer = 0;
std::vector<uint8_t> array_copy;
// The range handed out by map_buffer_range and not yet sent.
GLintptr mapped_offset = 0;
GLsizeiptr mapped_length = 0;

// Indices go here, rebased, for each indexed draw.
GLuint element_buffer = 0;
std::vector<uint32_t> rebased;
std::vector<uint16_t> rebased_short;

GLuint bound_array_buffer()
{
    GLint name = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &name);
    return static_cast<GLuint>(name);
}

}  // namespace

void buffer_data(GLenum target, GLsizeiptr size, const void* data, GLenum usage)
{
    glBufferData(target, size, data, usage);
    if (target == GL_ARRAY_BUFFER) {
        array_buffer = bound_array_buffer();
        array_copy.assign(static_cast<size_t>(size), 0);
        if (data != nullptr) {
            std::memcpy(array_copy.data(), data, static_cast<size_t>(size));
        }
    }
}

void bind_buffer(GLenum target, GLuint buffer)
{
    if (target != GL_ELEMENT_ARRAY_BUFFER) {
        glBindBuffer(target, buffer);
        return;
    }
    // The element binding belongs to the vertex array: it is ours, whatever
    // the device asked for.
    if (element_buffer == 0) {
        glGenBuffers(1, &element_buffer);
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer != 0 ? element_buffer : 0);
}

void delete_buffers(GLsizei count, const GLuint* buffers)
{
    for (GLsizei i = 0; i < count; ++i) {
        if (buffers[i] == array_buffer && array_buffer != 0) {
            array_buffer = 0;
            array_copy = {};
            // The device goes with its stream buffer; so does the element buffer.
            glDeleteBuffers(1, &element_buffer);
            element_buffer = 0;
        }
    }
    glDeleteBuffers(count, buffers);
}

void* map_buffer_range(GLenum target, GLintptr offset, GLsizeiptr length, GLbitfield)
{
    if (target != GL_ARRAY_BUFFER || offset < 0 || length < 0 ||
        static_cast<size_t>(offset + length) > array_copy.size()) {
        return nullptr;
    }
    mapped_offset = offset;
    mapped_length = length;
    return array_copy.data() + offset;
}

GLboolean unmap_buffer(GLenum target)
{
    if (target != GL_ARRAY_BUFFER) {
        return GL_FALSE;
    }
    glBufferSubData(GL_ARRAY_BUFFER, mapped_offset, mapped_length,
                    array_copy.data() + mapped_offset);
    mapped_length = 0;
    return GL_TRUE;
}

void vertex_attrib_pointer(GLuint index, GLint size, GLenum type, GLboolean normalized,
                           GLsizei stride, const void* pointer)
{
    // Bytes fetched in memory order; VERTEX_DIFFUSE reorders them.
    glVertexAttribPointer(index, size == GL_BGRA ? 4 : size, type, normalized, stride, pointer);
}

void draw_elements_base_vertex(GLenum mode, GLsizei count, GLenum type, const void* indices,
                               GLint base_vertex)
{
    const auto offset = reinterpret_cast<uintptr_t>(indices);
    const size_t size = type == GL_UNSIGNED_SHORT ? 2 : 4;
    const auto n = static_cast<size_t>(count);
    if (count <= 0 || offset + n * size > array_copy.size()) {
        return;
    }
    rebased.resize(n);
    uint32_t largest = 0;
    const uint8_t* source = array_copy.data() + offset;
    for (size_t i = 0; i < n; ++i) {
        uint32_t index = 0;
        if (size == 2) {
            uint16_t value;
            std::memcpy(&value, source + i * 2, 2);
            index = value;
        } else {
            std::memcpy(&index, source + i * 4, 4);
        }
        index = static_cast<uint32_t>(static_cast<int64_t>(index) + base_vertex);
        rebased[i] = index;
        largest = index > largest ? index : largest;
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, element_buffer);
    if (largest <= 0xFFFF) {
        // Half the bytes to send, and 16-bit indices are what the scene uses.
        rebased_short.assign(rebased.begin(), rebased.end());
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(n * 2),
                     rebased_short.data(), GL_STREAM_DRAW);
        glDrawElements(mode, count, GL_UNSIGNED_SHORT, nullptr);
    } else {
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(n * 4), rebased.data(),
                     GL_STREAM_DRAW);
        glDrawElements(mode, count, GL_UNSIGNED_INT, nullptr);
    }
}

void sampler_parameter_fv(GLuint sampler, GLenum name, const GLfloat* values)
{
    if (name != GL_TEXTURE_BORDER_COLOR) {
        glSamplerParameterfv(sampler, name, values);
    }
}

void sampler_parameter_f(GLuint sampler, GLenum name, GLfloat value)
{
    if (name != GL_TEXTURE_LOD_BIAS) {
        glSamplerParameterf(sampler, name, value);
    }
}

}  // namespace host_webgl
