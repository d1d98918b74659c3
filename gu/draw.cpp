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
#include "math/simd.h"

// Aligned to a cache line: four converted records are 144 bytes, so the
// block conversion's stores are all 16-byte aligned.
alignas(64) DeviceVertex gu_vertex_buffer[kGuVertexCapacity];
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

// Where each component starts in an input record of one layout.
struct FieldOffsets {
    size_t texture, color, normal, position;
};

constexpr FieldOffsets field_offsets(unsigned fields)
{
    const size_t color = (fields & kTexture) != 0 ? 8u : 0u;
    const size_t normal = color + ((fields & kColor) != 0 ? 4u : 0u);
    const size_t position = normal + ((fields & kNormal) != 0 ? 12u : 0u);
    return {0, color, normal, position};
}

// One record the plain way: each present component read at its 32-bit size
// in the order texture, colour, normal, position; an absent one gets its
// default (zero, or opaque white for the colour).
template <unsigned kFields>
void convert_record(const unsigned char* in, DeviceVertex* out)
{
    DeviceVertex record{0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0xFFFFFFFFu, 0.0f, 0.0f};
    const unsigned char* field = in;
    if constexpr ((kFields & kTexture) != 0) {
        field = read_words(field, &record.u, &record.v);
    }
    if constexpr ((kFields & kColor) != 0) {
        field = read_words(field, &record.diffuse);
    }
    if constexpr ((kFields & kNormal) != 0) {
        field = read_words(field, &record.nx, &record.ny, &record.nz);
    }
    if constexpr ((kFields & kPosition) != 0) {
        read_words(field, &record.x, &record.y, &record.z);
    }
    *out = record;
}

#if DEMO_CORE_SSE2
// The SSE2 forms of the conversion. They write the bytes convert_record
// writes, faster; without SSE2 every record goes through convert_record.

__m128i load_word(const unsigned char* in)
{
    int32_t word;
    std::memcpy(&word, in, 4);
    return _mm_cvtsi32_si128(word);
}

__m128i load16(const unsigned char* in)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
}

__m128i load8(const unsigned char* in)
{
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in));
}

// Four records at a time for the layouts the scene draws in bulk. Four
// input records of a stride that is a multiple of 4 bytes are stride / 4
// whole 16-byte loads, and four output records are nine 16-byte stores at
// 16-byte aligned addresses: each output register is put together from
// one to three input registers with at most three shuffles, byte shifts or
// masks, the defaults coming in as constants. Only moves, shuffles, shifts
// and bitwise operations touch the words, so every bit comes through
// unchanged.
using Lanes = __m128;

Lanes load_lanes(const unsigned char* in)
{
    return _mm_loadu_ps(reinterpret_cast<const float*>(in));
}

// Lanes moved up (toward lane 3) or down by whole lanes, zero shifted in.
template <int kLanes>
Lanes lanes_up(Lanes a)
{
    return _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(a), 4 * kLanes));
}

template <int kLanes>
Lanes lanes_down(Lanes a)
{
    return _mm_castsi128_ps(_mm_srli_si128(_mm_castps_si128(a), 4 * kLanes));
}

// (a[i0], a[i1], b[i2], b[i3]).
template <int i0, int i1, int i2, int i3>
Lanes pick(Lanes a, Lanes b)
{
    return _mm_shuffle_ps(a, b, _MM_SHUFFLE(i3, i2, i1, i0));
}

// A constant from four 32-bit words, lane 0 first.
Lanes words(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3)
{
    return _mm_castsi128_ps(_mm_set_epi32(static_cast<int32_t>(w3), static_cast<int32_t>(w2),
                                          static_cast<int32_t>(w1), static_cast<int32_t>(w0)));
}

constexpr uint32_t kOn = 0xFFFFFFFFu;  // a mask lane kept, or opaque white

// Whether convert_block handles a layout: texture and position (ground,
// trunk, leaves, grass), colour and position (stars), every component,
// position alone, and no component at all. The others go record by record.
constexpr bool has_block_form(unsigned fields)
{
    return fields == (kTexture | kPosition) || fields == (kColor | kPosition) ||
           fields == (kTexture | kColor | kNormal | kPosition) || fields == kPosition ||
           fields == 0;
}

// Converts the four records at in into the 144 bytes at out (16-byte
// aligned). The comments give the output registers' lanes: x y z of record
// 0 are x0 y0 z0, W the opaque white of an absent colour, 0 a zero default.
template <unsigned kFields>
void convert_block(const unsigned char* in, float* out)
{
    Lanes o[9];
    if constexpr (kFields == (kTexture | kPosition)) {
        // In: u0 v0 x0 y0 | z0 u1 v1 x1 | y1 z1 u2 v2 | x2 y2 z2 u3 | v3 x3 y3 z3
        const Lanes a = load_lanes(in);
        const Lanes b = load_lanes(in + 16);
        const Lanes c = load_lanes(in + 32);
        const Lanes d = load_lanes(in + 48);
        const Lanes e = load_lanes(in + 64);
        o[0] = _mm_and_ps(pick<2, 3, 0, 0>(a, b), words(kOn, kOn, kOn, 0));          // x0 y0 z0 0
        o[1] = _mm_or_ps(lanes_up<3>(a), words(0, 0, kOn, 0));                       // 0 0 W u0
        o[2] = _mm_move_ss(pick<3, 3, 0, 1>(b, c), lanes_down<1>(a));                // v0 x1 y1 z1
        o[3] = words(0, 0, 0, kOn);                                                  // 0 0 0 W
        o[4] = pick<1, 2, 0, 1>(b, d);                                               // u1 v1 x2 y2
        o[5] = lanes_down<3>(lanes_up<1>(d));                                        // z2 0 0 0
        o[6] = _mm_or_ps(lanes_up<1>(pick<2, 3, 1, 1>(c, e)), words(kOn, 0, 0, 0));  // W u2 v2 x3
        o[7] = lanes_down<2>(e);                                                     // y3 z3 0 0
        o[8] = pick<0, 1, 1, 2>(words(0, kOn, 0, 0), pick<3, 3, 0, 0>(d, e));        // 0 W u3 v3
    } else if constexpr (kFields == (kColor | kPosition)) {
        // In: c0 x0 y0 z0 | c1 x1 y1 z1 | c2 x2 y2 z2 | c3 x3 y3 z3
        const Lanes a = load_lanes(in);
        const Lanes b = load_lanes(in + 16);
        const Lanes c = load_lanes(in + 32);
        const Lanes d = load_lanes(in + 48);
        o[0] = lanes_down<1>(a);                                           // x0 y0 z0 0
        o[1] = _mm_and_ps(lanes_up<2>(a), words(0, 0, kOn, 0));            // 0 0 c0 0
        o[2] = _mm_and_ps(b, words(0, kOn, kOn, kOn));                     // 0 x1 y1 z1
        o[3] = lanes_up<3>(b);                                             // 0 0 0 c1
        o[4] = lanes_up<2>(lanes_down<1>(c));                              // 0 0 x2 y2
        o[5] = lanes_down<3>(c);                                           // z2 0 0 0
        o[6] = _mm_and_ps(pick<0, 0, 1, 1>(c, d), words(kOn, 0, 0, kOn));  // c2 0 0 x3
        o[7] = lanes_down<2>(d);                                           // y3 z3 0 0
        o[8] = _mm_and_ps(lanes_up<1>(d), words(0, kOn, 0, 0));            // 0 c3 0 0
    } else if constexpr (kFields == (kTexture | kColor | kNormal | kPosition)) {
        // In and out, record r in floats 9r to 9r + 8: in u v c nx ny nz x y z,
        // out x y z nx ny nz c u v. In: u0 v0 c0 nx0 | ny0 nz0 x0 y0 |
        // z0 u1 v1 c1 | nx1 ny1 nz1 x1 | y1 z1 u2 v2 | c2 nx2 ny2 nz2 |
        // x2 y2 z2 u3 | v3 c3 nx3 ny3 | nz3 x3 y3 z3
        Lanes in_lanes[9];
        for (int k = 0; k < 9; ++k) {
            in_lanes[k] = load_lanes(in + 16 * k);
        }
        const auto& [a, b, c, d, e, f, g, h, i] = in_lanes;
        o[0] = pick<2, 3, 0, 2>(b, pick<0, 0, 3, 3>(c, a));                       // x0 y0 z0 nx0
        o[1] = pick<0, 1, 2, 0>(b, a);                                            // ny0 nz0 c0 u0
        o[2] = pick<0, 2, 0, 1>(pick<1, 1, 3, 3>(a, d), e);                       // v0 x1 y1 z1
        o[3] = pick<0, 1, 0, 2>(d, pick<2, 2, 3, 3>(d, c));                       // nx1 ny1 nz1 c1
        o[4] = pick<1, 2, 0, 1>(c, g);                                            // u1 v1 x2 y2
        o[5] = _mm_move_ss(f, lanes_down<2>(g));                                  // z2 nx2 ny2 nz2
        o[6] = pick<0, 2, 0, 2>(pick<0, 0, 2, 2>(f, e), pick<3, 3, 1, 1>(e, i));  // c2 u2 v2 x3
        o[7] = pick<2, 3, 2, 3>(i, h);                                            // y3 z3 nx3 ny3
        o[8] = pick<0, 2, 0, 2>(pick<0, 0, 1, 1>(i, h), pick<3, 3, 0, 0>(g, h));  // nz3 c3 u3 v3
    } else if constexpr (kFields == kPosition) {
        // In: x0 y0 z0 x1 | y1 z1 x2 y2 | z2 x3 y3 z3
        const Lanes a = load_lanes(in);
        const Lanes b = load_lanes(in + 16);
        const Lanes c = load_lanes(in + 32);
        o[0] = _mm_and_ps(a, words(kOn, kOn, kOn, 0));                       // x0 y0 z0 0
        o[1] = words(0, 0, kOn, 0);                                          // 0 0 W 0
        o[2] = _mm_and_ps(pick<3, 3, 0, 1>(a, b), words(0, kOn, kOn, kOn));  // 0 x1 y1 z1
        o[3] = words(0, 0, 0, kOn);                                          // 0 0 0 W
        o[4] = _mm_and_ps(b, words(0, 0, kOn, kOn));                         // 0 0 x2 y2
        o[5] = _mm_and_ps(c, words(kOn, 0, 0, 0));                           // z2 0 0 0
        o[6] = _mm_or_ps(_mm_and_ps(lanes_up<2>(c), words(0, 0, 0, kOn)),
                         words(kOn, 0, 0, 0));  // W 0 0 x3
        o[7] = lanes_down<2>(c);                // y3 z3 0 0
        o[8] = words(0, kOn, 0, 0);             // 0 W 0 0
    } else {
        static_assert(kFields == 0);
        (void)in;
        const Lanes zero = _mm_setzero_ps();
        o[0] = zero;                 // 0 0 0 0
        o[1] = words(0, 0, kOn, 0);  // 0 0 W 0
        o[2] = zero;                 // 0 0 0 0
        o[3] = words(0, 0, 0, kOn);  // 0 0 0 W
        o[4] = zero;                 // 0 0 0 0
        o[5] = zero;                 // 0 0 0 0
        o[6] = words(kOn, 0, 0, 0);  // W 0 0 0
        o[7] = zero;                 // 0 0 0 0
        o[8] = words(0, kOn, 0, 0);  // 0 W 0 0
    }
    for (int k = 0; k < 9; ++k) {
        _mm_store_ps(out + 4 * k, o[k]);
    }
}

// Converts records first to count - 1 of one layout one at a time. Written
// field by field, a 36-byte record takes seven to nine stores, and the
// processor's store rate rather than memory then sets the speed; so each
// record but the last is put together in two registers (x y z nx and ny nz
// diffuse u) and written with two 16-byte stores and one 4-byte store of v.
// A 16-byte load at a component's start reads up to 4 bytes beyond it,
// which for any record but the last still lie inside the next record; the
// last record is converted the plain way, so nothing past the input is read.
template <unsigned kFields>
void convert_each(int32_t first, int32_t count, const unsigned char* in)
{
    constexpr size_t kStride = record_size(kFields);
    constexpr FieldOffsets kAt = field_offsets(kFields);
    constexpr bool kHasTexture = (kFields & kTexture) != 0;
    constexpr bool kHasColor = (kFields & kColor) != 0;
    constexpr bool kHasNormal = (kFields & kNormal) != 0;
    constexpr bool kHasPosition = (kFields & kPosition) != 0;
    if (first >= count) {
        return;
    }
    in += static_cast<size_t>(first) * kStride;
    auto* out = reinterpret_cast<unsigned char*>(gu_vertex_buffer + first);
    const __m128i xyz_mask = _mm_set_epi32(0, -1, -1, -1);
    // The absent colour's opaque white in its lane, zero elsewhere.
    const __m128i high_default = _mm_set_epi32(0, kHasColor ? 0 : -1, 0, 0);
    for (int32_t i = first; i + 1 < count; ++i, in += kStride, out += sizeof(DeviceVertex)) {
        __m128i low = _mm_setzero_si128();  // x y z nx
        __m128i high = high_default;        // ny nz diffuse u
        if constexpr (kHasPosition) {
            low = _mm_and_si128(load16(in + kAt.position), xyz_mask);
        }
        if constexpr (kHasNormal) {
            low = _mm_or_si128(low, _mm_slli_si128(load16(in + kAt.normal), 12));
            high = _mm_or_si128(high, load8(in + kAt.normal + 4));
        }
        if constexpr (kHasColor) {
            high = _mm_or_si128(high, _mm_slli_si128(load_word(in + kAt.color), 8));
        }
        if constexpr (kHasTexture) {
            high = _mm_or_si128(high, _mm_slli_si128(load_word(in + kAt.texture), 12));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), low);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), high);
        if constexpr (kHasTexture) {
            std::memcpy(out + 32, in + kAt.texture + 4, 4);
        } else {
            std::memset(out + 32, 0, 4);
        }
    }
    convert_record<kFields>(in, &gu_vertex_buffer[count - 1]);
}
#endif  // DEMO_CORE_SSE2

// Converts count packed records of one layout; one copy per layout, chosen
// once per draw, so the loops have no branches and a fixed stride. With
// SSE2, whole blocks of four first where the layout has a block form, then
// the rest one record at a time; without, every record the plain way.
template <unsigned kFields>
void convert_records(int32_t count, const unsigned char* in)
{
    constexpr size_t kStride = record_size(kFields);
    int32_t done = 0;
#if DEMO_CORE_SSE2
    if constexpr (has_block_form(kFields)) {
        for (; done + 4 <= count; done += 4) {
            convert_block<kFields>(in + static_cast<size_t>(done) * kStride,
                                   &gu_vertex_buffer[done].x);
        }
    }
    convert_each<kFields>(done, count, in);
#else
    for (; done < count; ++done) {
        convert_record<kFields>(in + static_cast<size_t>(done) * kStride, &gu_vertex_buffer[done]);
    }
#endif
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
