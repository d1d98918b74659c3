// The drawing half of the layer: records in the console's packed,
// flag-described form are converted into the one fixed device record
// (FVF 0x152) in a static buffer, indices are copied into a second one, and
// a single user-memory draw goes to the device. Nothing is allocated and
// nothing survives a call but the buffers' contents.
#include <cstring>
#include <iterator>

#include "gu/gu.h"

DeviceVertex gu_vertex_buffer[kGuVertexCapacity];
uint16_t gu_index_buffer[kGuIndexCapacity];

namespace {

// What a primitive code draws. The primitive count is count / per_primitive
// minus extra: whole primitives only, a partial one at the end is dropped.
enum class Draw {
    none,     // no draw call
    plain,    // DrawPrimitiveUP over the converted records
    indexed,  // DrawIndexedPrimitiveUP over the copied indices
};

struct DrawRow {
    D3DPRIMITIVETYPE type;
    int32_t per_primitive;
    int32_t extra;
    Draw without_indices;
    Draw with_indices;
};

// Indexed points ignore the index list; indexed lines and strips, which no
// caller makes, draw nothing.
constexpr DrawRow kDraws[] = {
    {D3DPT_POINTLIST, 1, 0, Draw::plain, Draw::plain},       // 0 GU_POINTS
    {D3DPT_LINELIST, 2, 0, Draw::plain, Draw::none},         // 1 GU_LINES
    {D3DPT_LINESTRIP, 1, 0, Draw::none, Draw::none},         // 2 GU_LINE_STRIP: never drawn
    {D3DPT_TRIANGLELIST, 3, 0, Draw::plain, Draw::indexed},  // 3 GU_TRIANGLES
    {D3DPT_TRIANGLESTRIP, 1, 2, Draw::plain, Draw::none},    // 4 GU_TRIANGLE_STRIP
};

constexpr uint32_t kTextureMask = 0x3;
constexpr uint32_t kColorMask = 0x1C;
constexpr uint32_t kNormalMask = 0x60;
constexpr uint32_t kPositionMask = 0x180;

// Reads n floats and advances the input.
void read_floats(const unsigned char*& in, float* out, size_t n)
{
    std::memcpy(out, in, n * sizeof(float));
    in += n * sizeof(float);
}

// Converts count packed records. Each present component is read at its
// 32-bit size in the order texture, colour, normal, position; an absent one
// gets its default (zero, or opaque white for the colour).
void convert_records(uint32_t vtype, int32_t count, const void* vertex_data)
{
    const auto* in = static_cast<const unsigned char*>(vertex_data);
    for (int32_t i = 0; i < count; ++i) {
        DeviceVertex out{0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0xFFFFFFFFu, 0.0f, 0.0f};
        if ((vtype & kTextureMask) != 0) {
            float uv[2];
            read_floats(in, uv, 2);
            out.u = uv[0];
            out.v = uv[1];
        }
        if ((vtype & kColorMask) != 0) {
            std::memcpy(&out.diffuse, in, sizeof out.diffuse);
            in += sizeof out.diffuse;
        }
        if ((vtype & kNormalMask) != 0) {
            float normal[3];
            read_floats(in, normal, 3);
            out.nx = normal[0];
            out.ny = normal[1];
            out.nz = normal[2];
        }
        if ((vtype & kPositionMask) != 0) {
            float position[3];
            read_floats(in, position, 3);
            out.x = position[0];
            out.y = position[1];
            out.z = position[2];
        }
        gu_vertex_buffer[i] = out;
    }
}

}  // namespace

void gu_draw_array(int32_t prim, uint32_t vtype, int32_t count, const void* indices,
                   const void* vertex_data)
{
    // Without the index bit the index pointer means nothing.
    const bool indexed = (vtype & GU_INDEX_16BIT) != 0 && indices != nullptr;

    gu_device->SetFVF(kDeviceVertexFvf);
    convert_records(vtype, count, vertex_data);
    if (indexed && count > 0) {
        std::memcpy(gu_index_buffer, indices, static_cast<size_t>(count) * sizeof(uint16_t));
    }

    // Compared as unsigned: a negative code is just another unknown one.
    const auto code = static_cast<uint32_t>(prim);
    if (code >= std::size(kDraws)) {
        return;
    }
    const DrawRow& row = kDraws[code];
    const int32_t primitives = count / row.per_primitive - row.extra;
    // A strip of fewer than two records has no triangle to draw.
    if (primitives < 0) {
        return;
    }
    const auto primitive_count = static_cast<UINT>(primitives);
    switch (indexed ? row.with_indices : row.without_indices) {
    case Draw::none:
        return;
    case Draw::plain:
        gu_device->DrawPrimitiveUP(row.type, primitive_count, gu_vertex_buffer,
                                   sizeof(DeviceVertex));
        return;
    case Draw::indexed:
        gu_device->DrawIndexedPrimitiveUP(row.type, 0, static_cast<UINT>(count), primitive_count,
                                          gu_index_buffer, D3DFMT_INDEX16, gu_vertex_buffer,
                                          sizeof(DeviceVertex));
        return;
    }
}
