#include "host/gl/stream_buffer.h"

#include <bit>
#include <cstring>

namespace host_d3d9 {
namespace {

size_t round_up(size_t value, size_t multiple)
{
    return (value + multiple - 1) / multiple * multiple;
}

}  // namespace

bool StreamBuffer::create(size_t capacity)
{
    glGenBuffers(1, &name_);
    glBindBuffer(GL_ARRAY_BUFFER, name_);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, name_);
    return orphan(capacity);
}

void StreamBuffer::destroy()
{
    if (name_ != 0) {
        glDeleteBuffers(1, &name_);
    }
    name_ = 0;
    capacity_ = 0;
    cursor_ = 0;
}

bool StreamBuffer::orphan(size_t capacity)
{
    while (glGetError() != GL_NO_ERROR) {
    }
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(capacity), nullptr, GL_STREAM_DRAW);
    if (glGetError() != GL_NO_ERROR) {
        return false;
    }
    capacity_ = capacity;
    cursor_ = 0;
    return true;
}

bool StreamBuffer::write(const void* vertices, size_t vertex_bytes, size_t stride,
                         const void* indices, size_t index_bytes, size_t index_size,
                         Placement* placement)
{
    // Records start on a multiple of the stride, so a draw names its first
    // record by number and the vertex array's pointers never change.
    const size_t index_alignment = index_size > 0 ? index_size : 1;
    auto end_of_draw = [&](size_t start) {
        const size_t index_start =
            round_up(round_up(start, stride) + vertex_bytes, index_alignment);
        return index_start + index_bytes;
    };
    if (end_of_draw(cursor_) > capacity_) {
        const size_t needed = end_of_draw(0);
        const size_t capacity = needed > capacity_ ? std::bit_ceil(needed) : capacity_;
        if (!orphan(capacity)) {
            return false;
        }
    }
    const size_t vertex_start = round_up(cursor_, stride);
    const size_t index_start = round_up(vertex_start + vertex_bytes, index_alignment);
    const size_t end = index_start + index_bytes;

    void* target = glMapBufferRange(
        GL_ARRAY_BUFFER, static_cast<GLintptr>(vertex_start),
        static_cast<GLsizeiptr>(end - vertex_start),
        GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
    if (target == nullptr) {
        return false;
    }
    auto* bytes = static_cast<uint8_t*>(target);
    std::memcpy(bytes, vertices, vertex_bytes);
    if (index_bytes > 0) {
        std::memcpy(bytes + (index_start - vertex_start), indices, index_bytes);
    }
    glUnmapBuffer(GL_ARRAY_BUFFER);

    placement->first_vertex = static_cast<GLint>(vertex_start / stride);
    placement->index_offset = index_start;
    cursor_ = end;
    return true;
}

}  // namespace host_d3d9
