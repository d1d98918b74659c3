// The one vertex buffer through which every user-memory draw reaches the GPU.
// Each draw's records (and indices) are copied behind the previous draw's
// with an unsynchronised mapping, so the GPU may still read earlier parts
// while new ones are written; when the buffer is full it is orphaned (the
// driver hands out fresh storage and keeps the old until its draws are done)
// and writing starts again at the front. No draw allocates.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/gl/gl_api.h"

namespace host_d3d9 {

class StreamBuffer {
public:
    // Creates the buffer and binds it as the array buffer and, in the
    // current vertex array, as the element buffer. Returns false when the
    // driver cannot provide the storage.
    bool create(size_t capacity);
    void destroy();

    GLuint name() const { return name_; }

    struct Placement {
        GLint first_vertex;   // the first record, counted in records of the stride
        size_t index_offset;  // byte offset of the indices
    };

    // Copies vertex_bytes of records (a whole number of stride-byte records)
    // and then index_bytes of indices (of index_size bytes each; none when 0).
    // Returns false only if a draw too large for any buffer cannot be given
    // room.
    bool write(const void* vertices, size_t vertex_bytes, size_t stride, const void* indices,
               size_t index_bytes, size_t index_size, Placement* placement);

private:
    bool orphan(size_t capacity);

    GLuint name_ = 0;
    size_t capacity_ = 0;
    size_t cursor_ = 0;
};

}  // namespace host_d3d9
