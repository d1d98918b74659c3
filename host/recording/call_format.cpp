#include "host/recording/call_format.h"

#include <bit>
#include <cinttypes>
#include <cstdio>
#include <span>

namespace {

struct Name {
    uint32_t value;
    const char* name;
};

// How a render state's or sampler state's value reads.
enum class Value {
    number,
    zbuffer,
    shade,
    cull,
    compare,
    blend,
    fog,
    float_bits,
    color,
    filter,
    address
};

struct StateName {
    uint32_t state;
    const char* name;
    Value value;
};

constexpr StateName kRenderStates[] = {
    {D3DRS_ZENABLE, "D3DRS_ZENABLE", Value::zbuffer},
    {D3DRS_FILLMODE, "D3DRS_FILLMODE", Value::number},
    {D3DRS_SHADEMODE, "D3DRS_SHADEMODE", Value::shade},
    {D3DRS_ZWRITEENABLE, "D3DRS_ZWRITEENABLE", Value::number},
    {D3DRS_ALPHATESTENABLE, "D3DRS_ALPHATESTENABLE", Value::number},
    {D3DRS_SRCBLEND, "D3DRS_SRCBLEND", Value::blend},
    {D3DRS_DESTBLEND, "D3DRS_DESTBLEND", Value::blend},
    {D3DRS_CULLMODE, "D3DRS_CULLMODE", Value::cull},
    {D3DRS_ZFUNC, "D3DRS_ZFUNC", Value::compare},
    {D3DRS_ALPHAREF, "D3DRS_ALPHAREF", Value::number},
    {D3DRS_ALPHAFUNC, "D3DRS_ALPHAFUNC", Value::compare},
    {D3DRS_DITHERENABLE, "D3DRS_DITHERENABLE", Value::number},
    {D3DRS_ALPHABLENDENABLE, "D3DRS_ALPHABLENDENABLE", Value::number},
    {D3DRS_FOGENABLE, "D3DRS_FOGENABLE", Value::number},
    {D3DRS_SPECULARENABLE, "D3DRS_SPECULARENABLE", Value::number},
    {D3DRS_FOGCOLOR, "D3DRS_FOGCOLOR", Value::color},
    {D3DRS_FOGTABLEMODE, "D3DRS_FOGTABLEMODE", Value::fog},
    {D3DRS_FOGSTART, "D3DRS_FOGSTART", Value::float_bits},
    {D3DRS_FOGEND, "D3DRS_FOGEND", Value::float_bits},
    {D3DRS_FOGDENSITY, "D3DRS_FOGDENSITY", Value::float_bits},
    {D3DRS_RANGEFOGENABLE, "D3DRS_RANGEFOGENABLE", Value::number},
    {D3DRS_LIGHTING, "D3DRS_LIGHTING", Value::number},
    {D3DRS_AMBIENT, "D3DRS_AMBIENT", Value::color},
    {D3DRS_FOGVERTEXMODE, "D3DRS_FOGVERTEXMODE", Value::fog},
    {D3DRS_COLORVERTEX, "D3DRS_COLORVERTEX", Value::number},
    {D3DRS_POINTSIZE, "D3DRS_POINTSIZE", Value::float_bits},
    {D3DRS_BLENDOP, "D3DRS_BLENDOP", Value::number},
    {D3DRS_BLENDFACTOR, "D3DRS_BLENDFACTOR", Value::color},
};

constexpr StateName kSamplerStates[] = {
    {D3DSAMP_ADDRESSU, "D3DSAMP_ADDRESSU", Value::address},
    {D3DSAMP_ADDRESSV, "D3DSAMP_ADDRESSV", Value::address},
    {D3DSAMP_ADDRESSW, "D3DSAMP_ADDRESSW", Value::address},
    {D3DSAMP_BORDERCOLOR, "D3DSAMP_BORDERCOLOR", Value::color},
    {D3DSAMP_MAGFILTER, "D3DSAMP_MAGFILTER", Value::filter},
    {D3DSAMP_MINFILTER, "D3DSAMP_MINFILTER", Value::filter},
    {D3DSAMP_MIPFILTER, "D3DSAMP_MIPFILTER", Value::filter},
    {D3DSAMP_MIPMAPLODBIAS, "D3DSAMP_MIPMAPLODBIAS", Value::float_bits},
    {D3DSAMP_MAXMIPLEVEL, "D3DSAMP_MAXMIPLEVEL", Value::number},
    {D3DSAMP_MAXANISOTROPY, "D3DSAMP_MAXANISOTROPY", Value::number},
};

constexpr Name kTransformStates[] = {
    {D3DTS_VIEW, "D3DTS_VIEW"},
    {D3DTS_PROJECTION, "D3DTS_PROJECTION"},
    {D3DTS_TEXTURE0, "D3DTS_TEXTURE0"},
    {D3DTS_WORLD, "D3DTS_WORLD"},
};

constexpr Name kPrimitiveTypes[] = {
    {D3DPT_POINTLIST, "D3DPT_POINTLIST"},         {D3DPT_LINELIST, "D3DPT_LINELIST"},
    {D3DPT_LINESTRIP, "D3DPT_LINESTRIP"},         {D3DPT_TRIANGLELIST, "D3DPT_TRIANGLELIST"},
    {D3DPT_TRIANGLESTRIP, "D3DPT_TRIANGLESTRIP"}, {D3DPT_TRIANGLEFAN, "D3DPT_TRIANGLEFAN"},
};

constexpr Name kSwapEffects[] = {
    {D3DSWAPEFFECT_DISCARD, "D3DSWAPEFFECT_DISCARD"},
    {D3DSWAPEFFECT_FLIP, "D3DSWAPEFFECT_FLIP"},
    {D3DSWAPEFFECT_COPY, "D3DSWAPEFFECT_COPY"},
};

constexpr Name kZBufferTypes[] = {
    {D3DZB_FALSE, "D3DZB_FALSE"}, {D3DZB_TRUE, "D3DZB_TRUE"}, {D3DZB_USEW, "D3DZB_USEW"}};

constexpr Name kShadeModes[] = {
    {D3DSHADE_FLAT, "D3DSHADE_FLAT"},
    {D3DSHADE_GOURAUD, "D3DSHADE_GOURAUD"},
    {D3DSHADE_PHONG, "D3DSHADE_PHONG"},
};

constexpr Name kCullModes[] = {
    {D3DCULL_NONE, "D3DCULL_NONE"}, {D3DCULL_CW, "D3DCULL_CW"}, {D3DCULL_CCW, "D3DCULL_CCW"}};

constexpr Name kCompareFuncs[] = {
    {D3DCMP_NEVER, "D3DCMP_NEVER"},
    {D3DCMP_LESS, "D3DCMP_LESS"},
    {D3DCMP_EQUAL, "D3DCMP_EQUAL"},
    {D3DCMP_LESSEQUAL, "D3DCMP_LESSEQUAL"},
    {D3DCMP_GREATER, "D3DCMP_GREATER"},
    {D3DCMP_NOTEQUAL, "D3DCMP_NOTEQUAL"},
    {D3DCMP_GREATEREQUAL, "D3DCMP_GREATEREQUAL"},
    {D3DCMP_ALWAYS, "D3DCMP_ALWAYS"},
};

constexpr Name kBlends[] = {
    {D3DBLEND_ZERO, "D3DBLEND_ZERO"},
    {D3DBLEND_ONE, "D3DBLEND_ONE"},
    {D3DBLEND_SRCCOLOR, "D3DBLEND_SRCCOLOR"},
    {D3DBLEND_INVSRCCOLOR, "D3DBLEND_INVSRCCOLOR"},
    {D3DBLEND_SRCALPHA, "D3DBLEND_SRCALPHA"},
    {D3DBLEND_INVSRCALPHA, "D3DBLEND_INVSRCALPHA"},
    {D3DBLEND_DESTALPHA, "D3DBLEND_DESTALPHA"},
    {D3DBLEND_INVDESTALPHA, "D3DBLEND_INVDESTALPHA"},
    {D3DBLEND_DESTCOLOR, "D3DBLEND_DESTCOLOR"},
    {D3DBLEND_INVDESTCOLOR, "D3DBLEND_INVDESTCOLOR"},
    {D3DBLEND_SRCALPHASAT, "D3DBLEND_SRCALPHASAT"},
    {D3DBLEND_BOTHSRCALPHA, "D3DBLEND_BOTHSRCALPHA"},
    {D3DBLEND_BOTHINVSRCALPHA, "D3DBLEND_BOTHINVSRCALPHA"},
    {D3DBLEND_BLENDFACTOR, "D3DBLEND_BLENDFACTOR"},
    {D3DBLEND_INVBLENDFACTOR, "D3DBLEND_INVBLENDFACTOR"},
};

constexpr Name kFogModes[] = {
    {D3DFOG_NONE, "D3DFOG_NONE"},
    {D3DFOG_EXP, "D3DFOG_EXP"},
    {D3DFOG_EXP2, "D3DFOG_EXP2"},
    {D3DFOG_LINEAR, "D3DFOG_LINEAR"},
};

constexpr Name kFilters[] = {
    {D3DTEXF_NONE, "D3DTEXF_NONE"},
    {D3DTEXF_POINT, "D3DTEXF_POINT"},
    {D3DTEXF_LINEAR, "D3DTEXF_LINEAR"},
    {D3DTEXF_ANISOTROPIC, "D3DTEXF_ANISOTROPIC"},
};

constexpr Name kAddressModes[] = {
    {D3DTADDRESS_WRAP, "D3DTADDRESS_WRAP"},
    {D3DTADDRESS_MIRROR, "D3DTADDRESS_MIRROR"},
    {D3DTADDRESS_CLAMP, "D3DTADDRESS_CLAMP"},
    {D3DTADDRESS_BORDER, "D3DTADDRESS_BORDER"},
};

constexpr Name kIndexFormats[] = {
    {D3DFMT_INDEX16, "D3DFMT_INDEX16"},
    {D3DFMT_INDEX32, "D3DFMT_INDEX32"},
};

std::string printf_string(const char* format, auto... args)
{
    char text[64];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

std::string number(uint32_t value)
{
    return std::to_string(value);
}

// "NAME=value" when the table names the value, else the bare number.
std::string named(std::span<const Name> names, uint32_t value)
{
    for (const Name& n : names) {
        if (n.value == value) {
            return std::string(n.name) + "=" + number(value);
        }
    }
    return number(value);
}

const StateName* find_state(std::span<const StateName> states, uint32_t state)
{
    for (const StateName& s : states) {
        if (s.state == state) {
            return &s;
        }
    }
    return nullptr;
}

std::string state_value(const StateName* state, DWORD value)
{
    switch (state != nullptr ? state->value : Value::number) {
    case Value::number:
        return number(value);
    case Value::zbuffer:
        return named(kZBufferTypes, value);
    case Value::shade:
        return named(kShadeModes, value);
    case Value::cull:
        return named(kCullModes, value);
    case Value::compare:
        return named(kCompareFuncs, value);
    case Value::blend:
        return named(kBlends, value);
    case Value::fog:
        return named(kFogModes, value);
    case Value::float_bits:
        return format_float(std::bit_cast<float>(value));
    case Value::color:
        return format_color(value);
    case Value::filter:
        return named(kFilters, value);
    case Value::address:
        return named(kAddressModes, value);
    }
    return number(value);
}

std::string hash(uint64_t value)
{
    return printf_string("0x%016" PRIx64, value);
}

std::string clear_flags(DWORD flags)
{
    constexpr Name kClearFlags[] = {
        {D3DCLEAR_TARGET, "D3DCLEAR_TARGET"},
        {D3DCLEAR_ZBUFFER, "D3DCLEAR_ZBUFFER"},
        {D3DCLEAR_STENCIL, "D3DCLEAR_STENCIL"},
    };
    std::string names;
    for (const Name& flag : kClearFlags) {
        if ((flags & flag.value) != 0) {
            names += (names.empty() ? "" : "|") + std::string(flag.name);
        }
    }
    return (names.empty() ? "" : names + "=") + printf_string("0x%" PRIX32, flags);
}

std::string text_of(const call::Reset& c)
{
    return "Reset(" + std::to_string(c.back_buffer_width) + "x" +
           std::to_string(c.back_buffer_height) + ", " + format_swap_effect(c.swap_effect) +
           ", windowed=" + std::to_string(c.windowed) + ")";
}

std::string text_of(const call::Viewport& c)
{
    if (!c.given) {
        return "SetViewport(NULL)";
    }
    const D3DVIEWPORT9& v = c.viewport;
    return "SetViewport(x=" + std::to_string(v.X) + ", y=" + std::to_string(v.Y) +
           ", width=" + std::to_string(v.Width) + ", height=" + std::to_string(v.Height) +
           ", z=" + format_float(v.MinZ) + ".." + format_float(v.MaxZ) + ")";
}

std::string text_of(const call::Present& c)
{
    return std::string("Present(") + (c.has_source_rect ? "rect" : "NULL") + ", " +
           (c.has_dest_rect ? "rect" : "NULL") + ", " +
           (c.dest_window_override != nullptr ? "window" : "NULL") + ", " +
           (c.has_dirty_region ? "region" : "NULL") + ")";
}

std::string text_of(const call::BeginScene&)
{
    return "BeginScene()";
}

std::string text_of(const call::EndScene&)
{
    return "EndScene()";
}

std::string text_of(const call::Clear& c)
{
    std::string rects = "NULL";
    if (!c.rects.empty()) {
        rects = "[";
        for (const auto& r : c.rects) {
            rects += (rects.size() > 1 ? "; " : "") + std::to_string(r[0]) + " " +
                     std::to_string(r[1]) + " " + std::to_string(r[2]) + " " + std::to_string(r[3]);
        }
        rects += "]";
    }
    return "Clear(" + number(c.count) + ", " + rects + ", " + clear_flags(c.flags) + ", " +
           format_color(c.color) + ", " + format_float(c.z) + ", " + number(c.stencil) + ")";
}

std::string text_of(const call::Transform& c)
{
    return "SetTransform(" + format_transform_state(c.state) + ", " + format_matrix(c.matrix) + ")";
}

std::string text_of(const call::LightEnable& c)
{
    return "LightEnable(" + number(c.index) + ", " + std::to_string(c.enable) + ")";
}

std::string text_of(const call::RenderState& c)
{
    return "SetRenderState(" + format_render_state(c.state) + ", " +
           format_render_state_value(c.state, c.value) + ")";
}

std::string text_of(const call::Texture& c)
{
    return "SetTexture(" + number(c.stage) + ", " + c.label + ")";
}

std::string text_of(const call::SamplerState& c)
{
    return "SetSamplerState(" + number(c.sampler) + ", " + format_sampler_state(c.type) + ", " +
           format_sampler_state_value(c.type, c.value) + ")";
}

std::string text_of(const call::Fvf& c)
{
    return "SetFVF(" + printf_string("0x%" PRIX32, c.fvf) + ")";
}

std::string text_of(const call::Draw& c)
{
    const std::string data = c.data_read
                                 ? "records_fnv1a=" + hash(c.records_hash) +
                                       (c.indexed ? ", indices_fnv1a=" + hash(c.indices_hash) : "")
                                 : "data=unread";
    if (!c.indexed) {
        return "DrawPrimitiveUP(" + format_primitive_type(c.type) +
               ", primitives=" + number(c.primitive_count) + ", records=" + number(c.record_count) +
               ", stride=" + number(c.stride) + ", " + data + ")";
    }
    return "DrawIndexedPrimitiveUP(" + format_primitive_type(c.type) +
           ", min_index=" + number(c.min_vertex_index) + ", records=" + number(c.record_count) +
           ", primitives=" + number(c.primitive_count) + ", indices=" + number(c.index_count) +
           ", " + named(kIndexFormats, c.index_format) + ", stride=" + number(c.stride) + ", " +
           data + ")";
}

}  // namespace

std::string format_call(const DeviceCall& device_call)
{
    return std::visit([](const auto& c) { return text_of(c); }, device_call);
}

std::string format_float(float value)
{
    return printf_string("%.9g", static_cast<double>(value));
}

std::string format_color(D3DCOLOR color)
{
    return printf_string("0x%08" PRIX32, color);
}

std::string format_matrix(const std::array<float, 16>& matrix)
{
    std::string text = "[";
    for (size_t i = 0; i < matrix.size(); ++i) {
        if (i > 0) {
            text += i % 4 == 0 ? "; " : " ";
        }
        text += format_float(matrix[i]);
    }
    return text + "]";
}

std::string format_render_state(D3DRENDERSTATETYPE state)
{
    const StateName* s = find_state(kRenderStates, state);
    return s != nullptr ? std::string(s->name) + "=" + number(state) : number(state);
}

std::string format_render_state_value(D3DRENDERSTATETYPE state, DWORD value)
{
    return state_value(find_state(kRenderStates, state), value);
}

std::string format_transform_state(D3DTRANSFORMSTATETYPE state)
{
    return named(kTransformStates, state);
}

std::string format_sampler_state(D3DSAMPLERSTATETYPE type)
{
    const StateName* s = find_state(kSamplerStates, type);
    return s != nullptr ? std::string(s->name) + "=" + number(type) : number(type);
}

std::string format_sampler_state_value(D3DSAMPLERSTATETYPE type, DWORD value)
{
    return state_value(find_state(kSamplerStates, type), value);
}

std::string format_primitive_type(D3DPRIMITIVETYPE type)
{
    return named(kPrimitiveTypes, type);
}

std::string format_swap_effect(D3DSWAPEFFECT effect)
{
    return named(kSwapEffects, effect);
}

std::ostream& operator<<(std::ostream& out, const DeviceCall& device_call)
{
    return out << format_call(device_call);
}

namespace call {
std::ostream& operator<<(std::ostream& out, const Reset& c)
{
    return out << text_of(c);
}
std::ostream& operator<<(std::ostream& out, const Viewport& c)
{
    return out << text_of(c);
}
std::ostream& operator<<(std::ostream& out, const Present& c)
{
    return out << text_of(c);
}
std::ostream& operator<<(std::ostream& out, const BeginScene& c)
{
    return out << text_of(c);
}
std::ostream& operator<<(std::ostream& out, const EndScene& c)
{
    return out << text_of(c);
}
std::ostream& operator<<(std::ostream& out, const Clear& c)
{
    return out << text_of(c);
}
std::ostream& operator<<(std::ostream& out, const Transform& c)
{
    return out << text_of(c);
}
std::ostream& operator<<(std::ostream& out, const LightEnable& c)
{
    return out << text_of(c);
}
std::ostream& operator<<(std::ostream& out, const RenderState& c)
{
    return out << text_of(c);
}
std::ostream& operator<<(std::ostream& out, const Texture& c)
{
    return out << text_of(c);
}
std::ostream& operator<<(std::ostream& out, const SamplerState& c)
{
    return out << text_of(c);
}
std::ostream& operator<<(std::ostream& out, const Fvf& c)
{
    return out << text_of(c);
}
std::ostream& operator<<(std::ostream& out, const Draw& c)
{
    return out << text_of(c);
}
}  // namespace call
