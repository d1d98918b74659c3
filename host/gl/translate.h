// Direct3D 9 state values and their OpenGL counterparts. A value outside a
// table reads as the state's Direct3D default, so an application may store
// anything in a render state without the device misbehaving.
#pragma once

#include <cstdint>
#include <cstring>

#include "host/gl/gl_api.h"
#include "platform/d3d9_subset.h"

namespace host_d3d9 {

// Render and sampler states that the shared declarations leave out.
inline constexpr uint32_t kRsColorWriteEnable = 168;  // D3DRS_COLORWRITEENABLE
inline constexpr uint32_t kFillPoint = 1;             // D3DFILL_POINT
inline constexpr uint32_t kFillWireframe = 2;         // D3DFILL_WIREFRAME
inline constexpr uint32_t kFillSolid = 3;             // D3DFILL_SOLID
inline constexpr uint32_t kBlendOpAdd = 1;            // D3DBLENDOP_ADD

// A render state holding a float keeps its bit pattern in the DWORD.
inline float float_from_bits(DWORD bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline DWORD bits_from_float(float value)
{
    DWORD bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// D3DCMPFUNC 1..8 -> GL compare function; anything else compares "always".
inline GLenum gl_compare(DWORD func)
{
    constexpr GLenum kCompare[] = {GL_NEVER,   GL_LESS,     GL_EQUAL,  GL_LEQUAL,
                                   GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
    return func >= D3DCMP_NEVER && func <= D3DCMP_ALWAYS ? kCompare[func - 1] : GL_ALWAYS;
}

// Alpha test as three flags: pass when the fragment's alpha is below,
// equal to, or above the reference. D3DCMPFUNC counts through these flags in
// binary order (NEVER 000, LESS 001, EQUAL 010, LESSEQUAL 011, ...); an
// unknown function passes everything, like ALWAYS.
struct AlphaCompare {
    bool less, equal, greater;
};

inline AlphaCompare alpha_compare(DWORD func)
{
    if (func < D3DCMP_NEVER || func > D3DCMP_ALWAYS) {
        return {true, true, true};
    }
    const DWORD bits = func - 1;
    return {(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0};
}

// D3DBLEND -> GL blend factor. BOTHSRCALPHA and BOTHINVSRCALPHA set both
// factors at once and are resolved by blend_factors().
inline GLenum gl_blend_factor(DWORD blend, GLenum fallback)
{
    switch (blend) {
    case D3DBLEND_ZERO:
        return GL_ZERO;
    case D3DBLEND_ONE:
        return GL_ONE;
    case D3DBLEND_SRCCOLOR:
        return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
        return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
        return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
        return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
        return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
        return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
        return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
        return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
        return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR:
        return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR:
        return GL_ONE_MINUS_CONSTANT_COLOR;
    default:
        return fallback;
    }
}

struct BlendFactors {
    GLenum source, destination;
};

inline BlendFactors blend_factors(DWORD source, DWORD destination)
{
    // The "both" values set the destination factor too, whatever it holds.
    if (source == D3DBLEND_BOTHSRCALPHA) {
        return {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};
    }
    if (source == D3DBLEND_BOTHINVSRCALPHA) {
        return {GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA};
    }
    return {gl_blend_factor(source, GL_ONE), gl_blend_factor(destination, GL_ZERO)};
}

// D3DBLENDOP 1..5 -> GL blend equation.
inline GLenum gl_blend_equation(DWORD op)
{
    constexpr GLenum kEquations[] = {GL_FUNC_ADD, GL_FUNC_SUBTRACT, GL_FUNC_REVERSE_SUBTRACT,
                                     GL_MIN, GL_MAX};
    return op >= 1 && op <= 5 ? kEquations[op - 1] : GL_FUNC_ADD;
}

// Culling. Direct3D names the winding, as seen on screen, that is culled;
// the device draws the picture upright, so on-screen winding is GL's window
// winding and D3DCULL_CCW keeps clockwise triangles: front = clockwise,
// cull the back. Unknown values cull as the default, D3DCULL_CCW.
struct Culling {
    bool enabled;
    GLenum front_face;  // the winding GL keeps; back faces are culled
};

inline Culling culling(DWORD cull_mode)
{
    if (cull_mode == D3DCULL_NONE) {
        return {false, GL_CW};
    }
    return {true, static_cast<GLenum>(cull_mode == D3DCULL_CW ? GL_CCW : GL_CW)};
}

inline GLenum gl_polygon_mode(DWORD fill_mode)
{
    switch (fill_mode) {
    case kFillPoint:
        return GL_POINT;
    case kFillWireframe:
        return GL_LINE;
    default:
        return GL_FILL;
    }
}

// Sampler filters. MIN and MAG: POINT is nearest, every other filter
// (LINEAR, ANISOTROPIC, the quad filters) is linear. MIP: NONE samples the
// top level only, POINT the nearest level, anything else blends two levels.
inline GLenum gl_mag_filter(DWORD filter)
{
    return filter == D3DTEXF_POINT || filter == D3DTEXF_NONE ? GL_NEAREST : GL_LINEAR;
}

inline GLenum gl_min_filter(DWORD min_filter, DWORD mip_filter)
{
    const bool linear = gl_mag_filter(min_filter) == GL_LINEAR;
    switch (mip_filter) {
    case D3DTEXF_NONE:
        return linear ? GL_LINEAR : GL_NEAREST;
    case D3DTEXF_POINT:
        return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    default:
        return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    }
}

// D3DTEXTUREADDRESS -> GL wrap mode. MIRRORONCE (5) has no GL 3.3 form and
// clamps; unknown values wrap, the default.
inline GLenum gl_wrap(DWORD address)
{
    switch (address) {
    case D3DTADDRESS_MIRROR:
        return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
    case 5:
        return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
        return GL_CLAMP_TO_BORDER;
    default:
        return GL_REPEAT;
    }
}

// A D3DCOLOR (0xAARRGGBB) as four floats in 0..1, red first.
struct ColorF {
    float r, g, b, a;
};

inline ColorF color_floats(D3DCOLOR color)
{
    auto channel = [color](int shift) {
        return static_cast<float>((color >> shift) & 0xff) / 255.0f;
    };
    return {channel(16), channel(8), channel(0), channel(24)};
}

// Primitive types: the GL mode and the vertices a primitive count covers.
struct Primitive {
    bool valid;
    GLenum mode;
    uint64_t vertices;
};

inline Primitive primitive(D3DPRIMITIVETYPE type, uint64_t count)
{
    switch (type) {
    case D3DPT_POINTLIST:
        return {true, GL_POINTS, count};
    case D3DPT_LINELIST:
        return {true, GL_LINES, 2 * count};
    case D3DPT_LINESTRIP:
        return {true, GL_LINE_STRIP, count + 1};
    case D3DPT_TRIANGLELIST:
        return {true, GL_TRIANGLES, 3 * count};
    case D3DPT_TRIANGLESTRIP:
        return {true, GL_TRIANGLE_STRIP, count + 2};
    case D3DPT_TRIANGLEFAN:
        return {true, GL_TRIANGLE_FAN, count + 2};
    }
    return {false, GL_POINTS, 0};
}

}  // namespace host_d3d9
