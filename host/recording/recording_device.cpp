#include "host/recording/recording_device.h"

#include <cstdio>
#include <cstdlib>
#include <typeinfo>

namespace {

// A draw whose counts ask for more than this is recorded without its data:
// such counts come from a broken caller, and reading them would run far past
// any buffer the caller owns.
constexpr uint64_t kMaxBytesRead = 64ull << 20;

// How many records (or indices) a primitive list of the given type and count uses.
uint64_t elements_for(D3DPRIMITIVETYPE type, UINT primitive_count)
{
    const uint64_t n = primitive_count;
    switch (type) {
    case D3DPT_POINTLIST:
        return n;
    case D3DPT_LINELIST:
        return 2 * n;
    case D3DPT_LINESTRIP:
        return n == 0 ? 0 : n + 1;
    case D3DPT_TRIANGLELIST:
        return 3 * n;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return n == 0 ? 0 : n + 2;
    default:
        return 0;  // not a primitive type
    }
}

UINT index_size(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_INDEX16:
        return 2;
    case D3DFMT_INDEX32:
        return 4;
    default:
        return 0;
    }
}

bool readable(const void* data, uint64_t bytes)
{
    return bytes == 0 || (data != nullptr && bytes <= kMaxBytesRead);
}

}  // namespace

uint64_t fnv1a64(const void* data, size_t size, uint64_t basis)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    uint64_t hash = basis;
    for (size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::vector<uint16_t> call::Draw::indices16() const
{
    std::vector<uint16_t> out(indices.size() / sizeof(uint16_t));
    if (!out.empty()) {
        std::memcpy(out.data(), indices.data(), out.size() * sizeof(uint16_t));
    }
    return out;
}

#ifdef _WIN32
void recording_unexpected_call(const char* method)
{
    std::fprintf(stderr, "recording device: %s is not one of the calls it records\n", method);
    std::abort();
}
#endif

ULONG ReferenceCount::add_ref()
{
    ++add_ref_calls_;
    return ++count_;
}

ULONG ReferenceCount::release()
{
    ++release_calls_;
    if (count_ == 0) {
        ++over_releases_;
    } else {
        --count_;
    }
    if (on_release_) {
        on_release_(count_);
    }
    return count_;
}

HRESULT RecordingDevice::Reset(D3DPRESENT_PARAMETERS* params)
{
    if (params == nullptr) {
        calls_.push_back(call::Reset{0, 0, D3DSWAPEFFECT{}, FALSE});
        return D3DERR_INVALIDCALL;
    }
    calls_.push_back(call::Reset{params->BackBufferWidth, params->BackBufferHeight,
                                 params->SwapEffect, params->Windowed});
    if (SUCCEEDED(reset_result_)) {
        swap_effect_ = params->SwapEffect;
    }
    return reset_result_;
}

HRESULT RecordingDevice::Present(const RECT* source_rect, const RECT* dest_rect,
                                 HWND dest_window_override, const RGNDATA* dirty_region)
{
    calls_.push_back(call::Present{source_rect != nullptr, dest_rect != nullptr,
                                   dest_window_override, dirty_region != nullptr});
    if ((source_rect != nullptr || dest_rect != nullptr) && swap_effect_ != D3DSWAPEFFECT_COPY) {
        return D3DERR_INVALIDCALL;
    }
    return present_result_;
}

HRESULT RecordingDevice::BeginScene()
{
    calls_.push_back(call::BeginScene{});
    return begin_scene_result_;
}

HRESULT RecordingDevice::EndScene()
{
    calls_.push_back(call::EndScene{});
    return D3D_OK;
}

HRESULT RecordingDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color,
                               float z, DWORD stencil)
{
    call::Clear clear{count, {}, flags, color, z, stencil};
    if (rects != nullptr) {
        for (DWORD i = 0; i < count; ++i) {
            clear.rects.push_back({rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2});
        }
    }
    calls_.push_back(std::move(clear));
    return D3D_OK;
}

HRESULT RecordingDevice::SetViewport(const D3DVIEWPORT9* viewport)
{
    calls_.push_back(
        call::Viewport{viewport != nullptr ? *viewport : D3DVIEWPORT9{}, viewport != nullptr});
    return viewport != nullptr ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT RecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    call::Transform transform{state, {}};
    if (matrix == nullptr) {
        calls_.push_back(transform);
        return D3DERR_INVALIDCALL;
    }
    std::memcpy(transform.matrix.data(), &matrix->m[0][0], sizeof(transform.matrix));
    calls_.push_back(transform);
    return D3D_OK;
}

HRESULT RecordingDevice::LightEnable(DWORD index, BOOL enable)
{
    calls_.push_back(call::LightEnable{index, enable});
    return D3D_OK;
}

HRESULT RecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    calls_.push_back(call::RenderState{state, value});
    return D3D_OK;
}

HRESULT RecordingDevice::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture)
{
    std::string label = "NULL";
    if (texture != nullptr) {
        const auto* recording = dynamic_cast<const RecordingTexture*>(texture);
        label = recording != nullptr ? recording->label() : "texture";
    }
    calls_.push_back(call::Texture{stage, texture, std::move(label)});
    return D3D_OK;
}

HRESULT RecordingDevice::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value)
{
    calls_.push_back(call::SamplerState{sampler, type, value});
    return D3D_OK;
}

HRESULT RecordingDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitive_count,
                                         const void* vertex_data, UINT vertex_stride)
{
    call::Draw draw{};
    draw.indexed = false;
    draw.type = type;
    draw.primitive_count = primitive_count;
    const uint64_t records = elements_for(type, primitive_count);
    draw.record_count = static_cast<UINT>(records);
    draw.stride = vertex_stride;
    record_draw(std::move(draw), records, 0, vertex_data, nullptr);
    return D3D_OK;
}

HRESULT RecordingDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT min_vertex_index,
                                                UINT num_vertices, UINT primitive_count,
                                                const void* index_data, D3DFORMAT index_format,
                                                const void* vertex_data, UINT vertex_stride)
{
    call::Draw draw{};
    draw.indexed = true;
    draw.type = type;
    draw.primitive_count = primitive_count;
    draw.min_vertex_index = min_vertex_index;
    draw.record_count = num_vertices;
    const uint64_t indices = elements_for(type, primitive_count);
    draw.index_count = static_cast<UINT>(indices);
    draw.index_format = index_format;
    draw.stride = vertex_stride;
    record_draw(std::move(draw), num_vertices, indices, vertex_data, index_data);
    return D3D_OK;
}

HRESULT RecordingDevice::SetFVF(DWORD fvf)
{
    calls_.push_back(call::Fvf{fvf});
    return D3D_OK;
}

void RecordingDevice::record_draw(call::Draw draw, uint64_t records, uint64_t indices,
                                  const void* vertex_data, const void* index_data)
{
    // Records drawn start at MinVertexIndex (always 0 for a plain draw).
    // The counts come in 64 bits: a strip of 0xFFFFFFFF primitives needs 2^32 + 1 records.
    const uint64_t record_bytes = records * draw.stride;
    const uint64_t first_byte = uint64_t{draw.min_vertex_index} * draw.stride;
    const uint64_t index_bytes = indices * index_size(draw.index_format);
    const bool index_format_known = !draw.indexed || index_size(draw.index_format) != 0;

    draw.data_read = index_format_known && first_byte <= kMaxBytesRead &&
                     readable(vertex_data, record_bytes) && readable(index_data, index_bytes);
    if (draw.data_read) {
        const auto* record_start = static_cast<const std::byte*>(vertex_data) + first_byte;
        const auto* index_start = static_cast<const std::byte*>(index_data);
        draw.records_hash = fnv1a64(record_start, static_cast<size_t>(record_bytes));
        draw.indices_hash =
            draw.indexed ? fnv1a64(index_start, static_cast<size_t>(index_bytes)) : 0;
        if (keep_draw_data_) {
            draw.records.assign(record_start, record_start + record_bytes);
            if (draw.indexed) {
                draw.indices.assign(index_start, index_start + index_bytes);
            }
        }
    }
    calls_.push_back(std::move(draw));
}

#ifndef _WIN32
HRESULT RecordingFactory::CreateDevice(UINT adapter, D3DDEVTYPE device_type, HWND focus_window,
                                       DWORD behavior_flags, D3DPRESENT_PARAMETERS* params,
                                       IDirect3DDevice9** device)
{
    CreateDeviceCall record{adapter,           device_type, focus_window,          behavior_flags,
                            params != nullptr, {},          create_device_result_, nullptr};
    if (params != nullptr) {
        record.params = *params;
    }
    if (SUCCEEDED(create_device_result_)) {
        devices_.push_back(std::make_unique<RecordingDevice>());
        record.device = devices_.back().get();
        if (params != nullptr) {
            record.device->set_swap_effect(params->SwapEffect);
        }
        if (on_create_device_) {
            on_create_device_(*record.device);
        }
    }
    if (device != nullptr) {
        *device = record.device;
    }
    create_calls_.push_back(record);
    return record.result;
}
#endif
