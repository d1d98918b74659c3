// The Direct3D 9 device on an OpenGL 3.3 core context (see gl_device.h for
// what it implements). Everything is drawn into a framebuffer object of the
// back buffer's size; Present copies it to the window.
//
// Coordinates. Direct3D 9 puts pixel centres on integer screen coordinates
// and maps clip-space z from 0..1; GL puts centres half a pixel further on
// and maps z from -1..1. Every transform therefore ends with a fixed
// clip-space adjustment: x and y move by just under half a pixel (63/64 of
// it, so an edge running exactly through pixel centres falls on the side
// Direct3D's top-left rule puts it, whatever GL's own tie rule) and z becomes
// 2z - w. The picture is stored bottom row first, as GL does, and drawn
// upright, so on-screen winding is GL's window winding.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "host/common/dds/dds.h"
#include "host/gl/gl_api.h"
#include "host/gl/gl_device.h"
#include "host/gl/gl_state.h"
#include "host/gl/gl_surface.h"
#include "host/gl/live_objects.h"
#include "host/gl/programs.h"
#include "host/gl/stream_buffer.h"
#include "platform/platform.h"

namespace host_d3d9 {

// The one vertex layout: FVF 0x152, 36-byte records of position, normal,
// diffuse colour (a D3DCOLOR, bytes B, G, R, A) and one texture coordinate.
inline constexpr DWORD kDeviceFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;
inline constexpr UINT kDeviceStride = 36;
inline constexpr uintptr_t kPositionOffset = 0;
inline constexpr uintptr_t kDiffuseOffset = 24;
inline constexpr uintptr_t kTexcoordOffset = 28;

class GlTexture;

// Records the reason of a failure for last_error().
void set_last_error(std::string reason);

class GlDevice final : public IDirect3DDevice9 {
public:
    // Creates the device for the window (null: offscreen) and fills in the
    // back buffer fields of params that were left 0. Takes a reference to the
    // factory.
    static HRESULT create(IDirect3D9* factory, HWND window, D3DPRESENT_PARAMETERS* params,
                          GlDevice** device);

    // IDirect3DDevice9
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* params) override;
    HRESULT Present(const RECT* source_rect, const RECT* dest_rect, HWND dest_window_override,
                    const RGNDATA* dirty_region) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitive_count, const void* vertex_data,
                            UINT vertex_stride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT min_vertex_index, UINT num_vertices,
                                   UINT primitive_count, const void* index_data,
                                   D3DFORMAT index_format, const void* vertex_data,
                                   UINT vertex_stride) override;
    HRESULT SetFVF(DWORD fvf) override;

    // Host extensions (gl_device.h).
    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }
    HRESULT read_back(std::span<uint8_t> rgba, RowOrder order);
    HRESULT create_texture(const dds::Image& image, IDirect3DTexture9** texture);

    // Makes this device's context current; false once the application's
    // window is gone.
    bool make_current();
    // Forgets a texture name deleted in this device's context.
    void texture_deleted(GLuint name) { gl_.texture_deleted(name); }

private:
    GlDevice() = default;
    ~GlDevice() = default;

    HRESULT initialise(HWND window, const D3DPRESENT_PARAMETERS& params);
    void report_back_buffer(D3DPRESENT_PARAMETERS* params) const;
    bool create_framebuffer(D3DFORMAT back_buffer_format, bool depth, D3DFORMAT depth_format);
    void set_default_states(bool depth);
    void apply_viewport();
    void destroy();

    HRESULT draw(D3DPRIMITIVETYPE type, UINT primitive_count, const void* vertices,
                 UINT vertex_count, UINT stride, const void* indices, GLenum index_type);
    bool draw_changes_nothing() const;
    DWORD color_write_mask() const;
    bool prepare_draw();
    void apply_fixed_state();
    void apply_sampler();
    void update_transform();
    void upload_uniforms(Program& program);

    DWORD state(D3DRENDERSTATETYPE name) const { return render_states_[name]; }

    ULONG references_ = 1;
    LiveObject live_{ObjectKind::device};
    IDirect3D9* factory_ = nullptr;
    GlSurface* surface_ = nullptr;  // the context and the window it shows in
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    bool has_alpha_ = false;  // A8R8G8B8; X8R8G8B8 keeps alpha at 1
    bool has_depth_ = false;
    bool has_stencil_ = false;
    GLint max_texture_size_ = 0;
    uint32_t max_renderbuffer_size_ = 0;
    D3DSWAPEFFECT swap_effect_ = D3DSWAPEFFECT_DISCARD;

    GLuint framebuffer_ = 0;
    GLuint color_buffer_ = 0;
    GLuint depth_buffer_ = 0;
    GLuint vertex_array_ = 0;
    GLuint sampler_ = 0;
    StreamBuffer stream_;
    ProgramCache programs_;
    GlState gl_;
    std::vector<uint8_t> row_;  // one row of the back buffer, for flipping on read-back

    bool in_scene_ = false;
    DWORD fvf_ = 0;
    std::array<DWORD, 256> render_states_{};
    std::array<DWORD, 14> sampler_states_{};
    GlTexture* texture_ = nullptr;  // stage 0, held by the device while bound

    // Transforms and what follows from them.
    D3DMATRIX world_{};
    D3DMATRIX view_{};
    D3DMATRIX projection_{};
    D3DVIEWPORT9 viewport_{};  // in Direct3D's top-down pixels; the whole target by default
    D3DMATRIX clip_adjust_{};  // the GL adjustment, applied after the projection
    float clip_from_model_[16] = {};
    float view_depth_[4] = {};
    uint64_t transform_computed_ = 0;       // the transform version the two above belong to
    UniformVersions versions_{1, 1, 1, 1};  // counts of changes, per group of uniforms
};

}  // namespace host_d3d9
