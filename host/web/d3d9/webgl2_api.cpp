// The stand-ins of webgl2_api.h. There is one context in the page and one
// stream buffer in it, so the copy of that buffer, the vertex layout and the
// buffers each draw's records and indices go to are kept here, for the
// program's life.
#include "host/web/d3d9/webgl2_api.h"

#include <algorithm>
#include <array>
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
#undef glDrawArrays
#undef glDrawElementsBaseVertex
#undef glSamplerParameterfv
#undef glSamplerParameterf

namespace host_webgl {
namespace {

// The stream buffer (the array buffer the device fills) and its bytes.
GLuint array_buffer = 0;
std::vector<uint8_t> array_copy;

// The vertex layout the device set, one entry per attribute.
struct Attribute {
    bool set = false;
    GLint size = 0;
    GLenum type = 0;
    GLboolean normalized = GL_FALSE;
    GLsizei stride = 0;
    uintptr_t offset = 0;
};
std::array<Attribute, 3> attributes;

// Where each draw's records and indices go.
GLuint draw_buffer = 0;
GLuint element_buffer = 0;
std::vector<uint32_t> rebased;
std::vector<uint16_t> rebased_short;

GLuint bound_array_buffer()
{
    GLint name = 0;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &name);
    return static_cast<GLuint>(name);
}

GLsizei record_stride()
{
    return attributes[0].set ? attributes[0].stride : 0;
}

// Sends records [first, first + count) of the stream as the draw buffer's
// new storage and points the attributes at it; false if they are not there.
bool send_records(uint64_t first, uint64_t count)
{
    const auto stride = static_cast<uint64_t>(record_stride());
    const uint64_t begin = first * stride;
    const uint64_t bytes = count * stride;
    if (stride == 0 || count == 0 || begin + bytes > array_copy.size()) {
        return false;
    }
    if (draw_buffer == 0) {
        glGenBuffers(1, &draw_buffer);
    }
    glBindBuffer(GL_ARRAY_BUFFER, draw_buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), array_copy.data() + begin,
                 GL_STREAM_DRAW);
    for (GLuint index = 0; index < attributes.size(); ++index) {
        const Attribute& a = attributes[index];
        if (a.set) {
            glVertexAttribPointer(index, a.size, a.type, a.normalized, a.stride,
                                  reinterpret_cast<const void*>(a.offset));
        }
    }
    glBindBuffer(GL_ARRAY_BUFFER, array_buffer);
    return true;
}

}  // namespace

void buffer_data(GLenum target, GLsizeiptr size, const void* data, GLenum usage)
{
    if (target == GL_ARRAY_BUFFER && bound_array_buffer() != draw_buffer) {
        // The stream buffer lives here; the GPU sees each draw's part of it.
        array_buffer = bound_array_buffer();
        array_copy.assign(static_cast<size_t>(size), 0);
        if (data != nullptr) {
            std::memcpy(array_copy.data(), data, static_cast<size_t>(size));
        }
        return;
    }
    glBufferData(target, size, data, usage);
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
            // The device goes with its stream buffer; so do the draw buffers.
            array_buffer = 0;
            array_copy = {};
            attributes = {};
            const GLuint own[] = {draw_buffer, element_buffer};
            glDeleteBuffers(2, own);
            draw_buffer = 0;
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
    return array_copy.data() + offset;
}

GLboolean unmap_buffer(GLenum target)
{
    return target == GL_ARRAY_BUFFER ? GL_TRUE : GL_FALSE;  // the draw sends the bytes
}

void vertex_attrib_pointer(GLuint index, GLint size, GLenum type, GLboolean normalized,
                           GLsizei stride, const void* pointer)
{
    // Bytes fetched in memory order; VERTEX_DIFFUSE reorders them.
    const GLint fetched = size == GL_BGRA ? 4 : size;
    if (index < attributes.size()) {
        attributes[index] = {true,       fetched, type,
                             normalized, stride,  reinterpret_cast<uintptr_t>(pointer)};
    }
    glVertexAttribPointer(index, fetched, type, normalized, stride, pointer);
}

void draw_arrays(GLenum mode, GLint first, GLsizei count)
{
    if (first >= 0 && count > 0 &&
        send_records(static_cast<uint64_t>(first), static_cast<uint64_t>(count))) {
        glDrawArrays(mode, 0, count);
    }
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
    uint32_t lowest = UINT32_MAX;
    uint32_t highest = 0;
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
        lowest = std::min(lowest, index);
        highest = std::max(highest, index);
    }
    if (!send_records(lowest, uint64_t{highest} - lowest + 1)) {
        return;
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, element_buffer);
    if (highest - lowest <= 0xFFFF) {
        // Half the bytes to send, and 16-bit indices are what the scene uses.
        rebased_short.resize(n);
        for (size_t i = 0; i < n; ++i) {
            rebased_short[i] = static_cast<uint16_t>(rebased[i] - lowest);
        }
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(n * 2), rebased_short.data(),
                     GL_STREAM_DRAW);
        glDrawElements(mode, count, GL_UNSIGNED_SHORT, nullptr);
    } else {
        for (uint32_t& index : rebased) {
            index -= lowest;
        }
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
