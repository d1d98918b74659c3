// A Direct3D 9 factory, device and texture that draw nothing and remember
// everything: every device call is kept, in order, with its arguments
// (matrices by value, the data of every draw hashed and, on request, copied),
// and every object counts its references. Tests and the frame tracer drive
// the core through these in place of a real device.
//
// Reference counting follows COM: an object starts with one reference,
// AddRef and Release return the new count. Unlike COM, Release never
// destroys anything: the object's owner (the test, or the factory for the
// devices it created) keeps it, so its counters can still be read after the
// last Release. A Release at a count of 0 leaves the count at 0 and is
// counted as an over-release. The device takes no references of its own to
// the textures it is given.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "platform/platform.h"
#ifdef _WIN32
#include "host/recording/sdk_methods.h"
#endif

// 64-bit FNV-1a over size bytes; pass a previous result as basis to continue
// a hash over several ranges.
inline constexpr uint64_t kFnv1a64Basis = 0xcbf29ce484222325ull;
uint64_t fnv1a64(const void* data, size_t size, uint64_t basis = kFnv1a64Basis);

// One structure per device operation; a DeviceCall holds any of them.
namespace call {

struct Present {
    bool has_source_rect;
    bool has_dest_rect;
    HWND dest_window_override;
    bool has_dirty_region;
    bool operator==(const Present&) const = default;
};

// The presentation parameters a Reset asked for.
struct Reset {
    UINT back_buffer_width;
    UINT back_buffer_height;
    D3DSWAPEFFECT swap_effect;
    BOOL windowed;
    bool operator==(const Reset&) const = default;
};

struct BeginScene {
    bool operator==(const BeginScene&) const = default;
};

struct EndScene {
    bool operator==(const EndScene&) const = default;
};

struct Clear {
    DWORD count;
    std::vector<std::array<LONG, 4>> rects;  // x1, y1, x2, y2 of each rectangle given
    DWORD flags;
    D3DCOLOR color;
    float z;
    DWORD stencil;
    bool operator==(const Clear&) const = default;
};

struct Transform {
    D3DTRANSFORMSTATETYPE state;
    std::array<float, 16> matrix;  // row-major copy taken during the call
    bool operator==(const Transform&) const = default;
};

struct Viewport {
    D3DVIEWPORT9 viewport;  // zero when none was given
    bool given;
    bool operator==(const Viewport& other) const
    {
        return given == other.given &&
               std::memcmp(&viewport, &other.viewport, sizeof viewport) == 0;
    }
};

struct LightEnable {
    DWORD index;
    BOOL enable;
    bool operator==(const LightEnable&) const = default;
};

struct RenderState {
    D3DRENDERSTATETYPE state;
    DWORD value;
    bool operator==(const RenderState&) const = default;
};

struct Texture {
    DWORD stage;
    IDirect3DBaseTexture9* texture;  // as passed; may be null
    std::string label;               // "NULL", a RecordingTexture's label, or "texture"
    bool operator==(const Texture&) const = default;
};

struct SamplerState {
    DWORD sampler;
    D3DSAMPLERSTATETYPE type;
    DWORD value;
    bool operator==(const SamplerState&) const = default;
};

struct Fvf {
    DWORD fvf;
    bool operator==(const Fvf&) const = default;
};

// DrawPrimitiveUP (indexed false) or DrawIndexedPrimitiveUP (indexed true).
struct Draw {
    bool indexed;
    D3DPRIMITIVETYPE type;
    UINT primitive_count;
    UINT min_vertex_index;   // indexed draws only
    UINT record_count;       // records drawn: from the primitive count, or NumVertices if indexed
    UINT index_count;        // indices drawn (indexed draws only)
    D3DFORMAT index_format;  // indexed draws only
    UINT stride;
    bool data_read;                  // false when the counts were too large to read the data
    uint64_t records_hash;           // FNV-1a of the records drawn (stride x record_count bytes)
    uint64_t indices_hash;           // FNV-1a of the indices drawn (indexed draws only)
    std::vector<std::byte> records;  // copies, kept only when the device keeps draw data
    std::vector<std::byte> indices;
    bool operator==(const Draw&) const = default;

    // The copied records viewed as T (T must be stride bytes).
    template <typename T>
    std::vector<T> records_as() const;
    // The copied 16-bit indices.
    std::vector<uint16_t> indices16() const;
};

}  // namespace call

using DeviceCall =
    std::variant<call::Reset, call::Present, call::BeginScene, call::EndScene, call::Clear,
                 call::Transform, call::Viewport, call::LightEnable, call::RenderState,
                 call::Texture, call::SamplerState, call::Fvf, call::Draw>;

// Reference counts and their history, shared by the three recording objects.
class ReferenceCount {
public:
    ULONG add_ref();
    ULONG release();

    ULONG count() const { return count_; }
    int add_ref_calls() const { return add_ref_calls_; }
    int release_calls() const { return release_calls_; }
    int over_releases() const { return over_releases_; }

    // Called after every Release with the new count, so a test can see the
    // order in which objects of different kinds are let go.
    void set_on_release(std::function<void(ULONG)> hook) { on_release_ = std::move(hook); }

private:
    std::function<void(ULONG)> on_release_;
    ULONG count_ = 1;
    int add_ref_calls_ = 0;
    int release_calls_ = 0;
    int over_releases_ = 0;
};

class RecordingTexture final : public IDirect3DTexture9 {
public:
    explicit RecordingTexture(std::string label = "texture") : label_(std::move(label)) {}

    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.add_ref(); }
    ULONG STDMETHODCALLTYPE Release() override { return refs_.release(); }
#ifdef _WIN32
    RECORDING_TEXTURE_SDK_METHODS
#endif

    const std::string& label() const
    {
        return label_;
    }
    const ReferenceCount& references() const
    {
        return refs_;
    }
    ReferenceCount& references()
    {
        return refs_;
    }

private:
    std::string label_;
    ReferenceCount refs_;
};

class RecordingDevice final : public IDirect3DDevice9 {
public:
    RecordingDevice() = default;
    RecordingDevice(const RecordingDevice&) = delete;
    RecordingDevice& operator=(const RecordingDevice&) = delete;

    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.add_ref(); }
    ULONG STDMETHODCALLTYPE Release() override { return refs_.release(); }
    // Takes the new swap effect; fails with D3DERR_INVALIDCALL for null
    // parameters or a failure result set below (the call is recorded either way).
    HRESULT STDMETHODCALLTYPE Reset(D3DPRESENT_PARAMETERS* params) override;
    // As Direct3D 9: a source or destination rectangle only with the copy
    // swap effect, D3DERR_INVALIDCALL otherwise.
    HRESULT STDMETHODCALLTYPE Present(const RECT* source_rect, const RECT* dest_rect,
                                      HWND dest_window_override,
                                      const RGNDATA* dirty_region) override;
    HRESULT STDMETHODCALLTYPE BeginScene() override;
    HRESULT STDMETHODCALLTYPE EndScene() override;
    HRESULT STDMETHODCALLTYPE Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color,
                                    float z, DWORD stencil) override;
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE state,
                                           const D3DMATRIX* matrix) override;
    HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD index, BOOL enable) override;
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type,
                                              DWORD value) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitive_count,
                                              const void* vertex_data, UINT vertex_stride) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT min_vertex_index,
                                                     UINT num_vertices, UINT primitive_count,
                                                     const void* index_data, D3DFORMAT index_format,
                                                     const void* vertex_data,
                                                     UINT vertex_stride) override;
    HRESULT STDMETHODCALLTYPE SetFVF(DWORD fvf) override;
#ifdef _WIN32
    RECORDING_DEVICE_SDK_METHODS
#endif

    // Every call since construction or the last clear_calls, in order.
    const std::vector<DeviceCall>& calls() const
    {
        return calls_;
    }
    void clear_calls()
    {
        calls_.clear();
    }

    // Copy the records and indices of each draw as well as hashing them (default on).
    void set_keep_draw_data(bool keep)
    {
        keep_draw_data_ = keep;
    }
    // The result BeginScene returns (default D3D_OK); the call is recorded either way.
    void set_begin_scene_result(HRESULT result)
    {
        begin_scene_result_ = result;
    }
    // The result Present returns (default D3D_OK) where Direct3D would accept the call.
    void set_present_result(HRESULT result)
    {
        present_result_ = result;
    }
    // The result Reset returns (default D3D_OK); a failure leaves the swap effect as it was.
    void set_reset_result(HRESULT result)
    {
        reset_result_ = result;
    }
    // The swap effect of the device's swap chain: the factory sets the one
    // CreateDevice was given, a successful Reset the one it was given.
    void set_swap_effect(D3DSWAPEFFECT effect)
    {
        swap_effect_ = effect;
    }
    D3DSWAPEFFECT swap_effect() const
    {
        return swap_effect_;
    }

    const ReferenceCount& references() const
    {
        return refs_;
    }
    ReferenceCount& references()
    {
        return refs_;
    }

private:
    void record_draw(call::Draw draw, uint64_t records, uint64_t indices, const void* vertex_data,
                     const void* index_data);

    std::vector<DeviceCall> calls_;
    ReferenceCount refs_;
    bool keep_draw_data_ = true;
    HRESULT begin_scene_result_ = D3D_OK;
    HRESULT present_result_ = D3D_OK;
    HRESULT reset_result_ = D3D_OK;
    D3DSWAPEFFECT swap_effect_ = D3DSWAPEFFECT_DISCARD;
};

// The recording factory exists on builds without the Windows SDK only: on
// Windows the tools that record (the frame tracer) need no factory.
#ifndef _WIN32
// The arguments of one CreateDevice call and what it returned.
struct CreateDeviceCall {
    UINT adapter;
    D3DDEVTYPE device_type;
    HWND focus_window;
    DWORD behavior_flags;
    bool has_params;
    D3DPRESENT_PARAMETERS params;  // a copy, zero when none was passed
    HRESULT result;
    RecordingDevice* device;  // null when the call failed
};

class RecordingFactory final : public IDirect3D9 {
public:
    RecordingFactory() = default;
    RecordingFactory(const RecordingFactory&) = delete;
    RecordingFactory& operator=(const RecordingFactory&) = delete;

    ULONG AddRef() override { return refs_.add_ref(); }
    ULONG Release() override { return refs_.release(); }
    // Creates a RecordingDevice owned by this factory, or, when a failure
    // result is set, stores null and returns that result.
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE device_type, HWND focus_window,
                         DWORD behavior_flags, D3DPRESENT_PARAMETERS* params,
                         IDirect3DDevice9** device) override;

    // The result CreateDevice returns from now on; a success code creates devices.
    void set_create_device_result(HRESULT result) { create_device_result_ = result; }
    // Called with every device this factory creates, before CreateDevice returns.
    void set_on_create_device(std::function<void(RecordingDevice&)> hook)
    {
        on_create_device_ = std::move(hook);
    }

    const std::vector<CreateDeviceCall>& create_device_calls() const { return create_calls_; }
    // The devices created so far, in order of creation; they live as long as the factory.
    size_t device_count() const { return devices_.size(); }
    RecordingDevice* device(size_t i) const { return devices_.at(i).get(); }

    const ReferenceCount& references() const { return refs_; }
    ReferenceCount& references() { return refs_; }

private:
    ReferenceCount refs_;
    HRESULT create_device_result_ = D3D_OK;
    std::function<void(RecordingDevice&)> on_create_device_;
    std::vector<CreateDeviceCall> create_calls_;
    std::vector<std::unique_ptr<RecordingDevice>> devices_;
};
#endif

template <typename T>
std::vector<T> call::Draw::records_as() const
{
    std::vector<T> out(records.size() / sizeof(T));
    if (!out.empty()) {
        std::memcpy(out.data(), records.data(), out.size() * sizeof(T));
    }
    return out;
}
