// Helpers for tests that read a recording device's calls: constructors for
// expected calls, filters by kind, and the matrix as the device keeps it.
#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "host/recording/call_format.h"
#include "host/recording/recording_device.h"
#include "math/matrix.h"

inline DeviceCall render_state(D3DRENDERSTATETYPE state, DWORD value)
{
    return call::RenderState{state, value};
}

inline DeviceCall light_enable(DWORD index, BOOL enable)
{
    return call::LightEnable{index, enable};
}

// SetTexture(stage, NULL).
inline DeviceCall no_texture(DWORD stage)
{
    return call::Texture{stage, nullptr, "NULL"};
}

inline DeviceCall texture(DWORD stage, RecordingTexture* t)
{
    return call::Texture{stage, t, t->label()};
}

inline DeviceCall sampler_state(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value)
{
    return call::SamplerState{sampler, type, value};
}

inline DeviceCall set_fvf(DWORD fvf)
{
    return call::Fvf{fvf};
}

inline std::array<float, 16> flat(const Mat4& m)
{
    std::array<float, 16> out;
    std::memcpy(out.data(), &m.m[0][0], sizeof out);
    return out;
}

inline Mat4 unflat(const std::array<float, 16>& a)
{
    Mat4 m;
    std::memcpy(&m.m[0][0], a.data(), sizeof a);
    return m;
}

inline DeviceCall transform(D3DTRANSFORMSTATETYPE state, const Mat4& m)
{
    return call::Transform{state, flat(m)};
}

inline Mat4 identity_matrix()
{
    return Mat4{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
}

template <typename T>
bool is(const DeviceCall& c)
{
    return std::holds_alternative<T>(c);
}

// The calls of one kind, in order.
template <typename T>
std::vector<T> calls_of(const std::vector<DeviceCall>& calls)
{
    std::vector<T> out;
    for (const DeviceCall& c : calls) {
        if (const T* t = std::get_if<T>(&c)) {
            out.push_back(*t);
        }
    }
    return out;
}

template <typename T>
size_t count_of(const std::vector<DeviceCall>& calls)
{
    return static_cast<size_t>(std::count_if(calls.begin(), calls.end(), is<T>));
}

// The render-state calls that set one state, in order.
inline std::vector<DWORD> values_of(const std::vector<DeviceCall>& calls, D3DRENDERSTATETYPE state)
{
    std::vector<DWORD> out;
    for (const call::RenderState& c : calls_of<call::RenderState>(calls)) {
        if (c.state == state) {
            out.push_back(c.value);
        }
    }
    return out;
}

// The calls as text, one per line, for failure messages.
inline std::string listing(const std::vector<DeviceCall>& calls)
{
    std::string text;
    for (const DeviceCall& c : calls) {
        text += format_call(c) + "\n";
    }
    return text;
}
