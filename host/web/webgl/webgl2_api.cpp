// The stand-ins of webgl2_api.h. There is one context in the page and one
// stream buffer in it, so the copy of that buffer, the records' stride and the
// buffers each draw's records and indices go to are kept here, for the
// program's life.
#include "host/web/webgl/webgl2_api.h"

#include <algorithm>
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

// The stream buffer (the array buffer the device fills) and its bytes. The
// device's binding of the array buffer is only remembered: the context's
// stays on the draw buffer.
GLuint array_buffer = 0;
GLuint device_array_binding = 0;
std::vector<uint8_t> array_copy;

// The size of one record of the stream: the stride the device gave its
// first attribute (the position); 0 until it has.
GLsizei record_stride = 0;

// Where each draw's records and indices go: a vertex array of our own,
// bound from the device's first attribute on, whose attributes read the
// draw buffer and whose element buffer is ours. A draw then costs two or
// three WebGL calls beyond the device's own (each call crosses into the
// browser's GPU process, which makes calls the browser's main cost).
GLuint vertex_array = 0;
GLuint draw_buffer = 0;
GLuint element_buffer = 0;
std::vector<uint32_t> rebased;
std::vector<uint16_t> rebased_short;

void make_vertex_array()
{
    if (vertex_array != 0) {
        return;
    }
    glGenVertexArrays(1, &vertex_array);
    glGenBuffers(1, &draw_buffer);
    glGenBuffers(1, &element_buffer);
    glBindVertexArray(vertex_array);
    glBindBuffer(GL_ARRAY_BUFFER, draw_buffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, element_buffer);
}

// Sends records [first, first + count) of the stream as the draw buffer's
// new storage; false if they are not there.
bool send_records(uint64_t first, uint64_t count)
{
    const auto stride = static_cast<uint64_t>(record_stride);
    const uint64_t begin = first * stride;
    const uint64_t bytes = count * stride;
    if (vertex_array == 0 || stride == 0 || count == 0 || begin + bytes > array_copy.size()) {
        return false;
    }
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), array_copy.data() + begin,
                 GL_STREAM_DRAW);
    return true;
}

}  // namespace

void buffer_data(GLenum target, GLsizeiptr size, const void* data, GLenum usage)
{
    if (target == GL_ARRAY_BUFFER) {
        // The stream buffer lives here; the GPU sees each draw's part of it.
        array_buffer = device_array_binding;
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
    // The array and element bindings are those of our vertex array; the
    // device's are remembered (it binds only its stream buffer).
    if (target == GL_ARRAY_BUFFER) {
        device_array_binding = buffer;
    } else if (target != GL_ELEMENT_ARRAY_BUFFER) {
        glBindBuffer(target, buffer);
    }
}

void delete_buffers(GLsizei count, const GLuint* buffers)
{
    for (GLsizei i = 0; i < count; ++i) {
        if (buffers[i] == array_buffer && array_buffer != 0) {
            // The device goes with its stream buffer; so do the draw buffers.
            array_buffer = 0;
            array_copy = {};
            record_stride = 0;
            const GLuint own[] = {draw_buffer, element_buffer};
            glDeleteBuffers(2, own);
            glDeleteVertexArrays(1, &vertex_array);
            vertex_array = 0;
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
    if (index == 0) {
        record_stride = stride;
    }
    // Records start at the draw buffer's first byte, so the offsets stand.
    make_vertex_array();
    glEnableVertexAttribArray(index);
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
