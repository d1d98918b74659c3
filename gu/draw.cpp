// The drawing half of the layer: records in the console's packed,
// flag-described form are converted into the one fixed device record
// (FVF 0x152) in a static buffer, indices are copied into a second one, and
// a single user-memory draw goes to the device. Nothing is allocated and
// nothing survives a call but the buffers' contents.
#include <array>
#include <cstring>
#include <iterator>
#include <utility>

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

// Which of the four components an input record holds, one bit each.
enum Fields : unsigned {
    kTexture = 1,
    kColor = 2,
    kNormal = 4,
    kPosition = 8,
    kFieldCombinations = 16,
};

// The 32-bit field codes of gu.h fill their whole fields, so they serve as
// the fields' masks: any nonzero value in a field means "present".
constexpr unsigned fields_of(uint32_t vtype)
{
    return ((vtype & GU_TEXTURE_32BITF) != 0 ? kTexture : 0u) |
           ((vtype & GU_COLOR_8888) != 0 ? kColor : 0u) |
           ((vtype & GU_NORMAL_32BITF) != 0 ? kNormal : 0u) |
           ((vtype & GU_VERTEX_32BITF) != 0 ? kPosition : 0u);
}

// Input record size: 8 bytes of texture coordinates, 4 of colour, 12 of
// normal, 12 of position, for those present.
constexpr size_t record_size(unsigned fields)
{
    return ((fields & kTexture) != 0 ? 8u : 0u) + ((fields & kColor) != 0 ? 4u : 0u) +
           ((fields & kNormal) != 0 ? 12u : 0u) + ((fields & kPosition) != 0 ? 12u : 0u);
}

// Copies consecutive 32-bit words of the input, bit for bit, into the given
// fields and returns the input after them.
template <typename... Words>
const unsigned char* read_words(const unsigned char* in, Words*... words)
{
    ((std::memcpy(words, in, 4), in += 4), ...);
    return in;
}

// Converts count packed records of one layout. Each present component is
// read at its 32-bit size in the order texture, colour, normal, position; an
// absent one gets its default (zero, or opaque white for the colour). There
// is one copy of the loop per layout, chosen once per draw, so the loop body
// has no branches and a fixed stride.
template <unsigned kFields>
void convert_records(int32_t count, const unsigned char* in)
{
    constexpr size_t kStride = record_size(kFields);
    for (int32_t i = 0; i < count; ++i, in += kStride) {
        DeviceVertex out{0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0xFFFFFFFFu, 0.0f, 0.0f};
        const unsigned char* field = in;
        if constexpr ((kFields & kTexture) != 0) {
            field = read_words(field, &out.u, &out.v);
        }
        if constexpr ((kFields & kColor) != 0) {
            field = read_words(field, &out.diffuse);
        }
        if constexpr ((kFields & kNormal) != 0) {
            field = read_words(field, &out.nx, &out.ny, &out.nz);
        }
        if constexpr ((kFields & kPosition) != 0) {
            read_words(field, &out.x, &out.y, &out.z);
        }
        gu_vertex_buffer[i] = out;
    }
}

using ConvertRecords = void (*)(int32_t count, const unsigned char* in);

template <unsigned... kFields>
constexpr auto conversion_table(std::integer_sequence<unsigned, kFields...>)
{
    return std::array<ConvertRecords, sizeof...(kFields)>{&convert_records<kFields>...};
}

constexpr auto kConversions =
    conversion_table(std::make_integer_sequence<unsigned, kFieldCombinations>());

}  // namespace

void gu_draw_array(int32_t prim, uint32_t vtype, int32_t count, const void* indices,
                   const void* vertex_data)
{
    // Without the index bit the index pointer means nothing.
    const bool indexed = (vtype & GU_INDEX_16BIT) != 0 && indices != nullptr;

    gu_device->SetFVF(kDeviceVertexFvf);
    kConversions[fields_of(vtype)](count, static_cast<const unsigned char*>(vertex_data));
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
