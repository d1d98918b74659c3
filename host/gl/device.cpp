#include "host/gl/device.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "host/gl/texture.h"
#include "host/gl/translate.h"

namespace host_d3d9 {
namespace {

// The most vertices one draw may name (GL counts are signed ints).
constexpr uint64_t kMaxDrawVertices = uint64_t{1} << 24;

// a x b for row vectors: a point goes through a first, then b.
D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                        a.m[i][3] * b.m[3][j];
        }
    }
    return r;
}

}  // namespace

// ---------------------------------------------------------------------------
// Frames

HRESULT GlDevice::BeginScene()
{
    if (in_scene_) {
        return D3DERR_INVALIDCALL;
    }
    in_scene_ = true;
    return D3D_OK;
}

HRESULT GlDevice::EndScene()
{
    if (!in_scene_) {
        return D3DERR_INVALIDCALL;
    }
    in_scene_ = false;
    return D3D_OK;
}

HRESULT GlDevice::Present(const RECT* source_rect, const RECT* dest_rect, HWND, const RGNDATA*)
{
    // Direct3D 9 takes rectangles only on a swap chain made with
    // D3DSWAPEFFECT_COPY ("must be NULL unless the swap chain was created
    // with D3DSWAPEFFECT_COPY"), and fails the call otherwise.
    if ((source_rect != nullptr || dest_rect != nullptr) && swap_effect_ != D3DSWAPEFFECT_COPY) {
        return D3DERR_INVALIDCALL;
    }
    if (!make_current()) {
        return D3DERR_INVALIDCALL;
    }
    if (surface_offscreen(surface_)) {
        glFlush();
        return D3D_OK;
    }
    const SurfaceSize drawable = surface_drawable_size(surface_);
    const auto w = static_cast<GLint>(drawable.width);
    const auto h = static_cast<GLint>(drawable.height);
    const auto bw = static_cast<GLint>(width_);
    const auto bh = static_cast<GLint>(height_);
    gl_.color_mask(0xf);
    gl_.enable(GL_SCISSOR_TEST, false);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    // The destination rectangle is in client coordinates, y down; the window
    // around it is black (no window background is painted on this host).
    GLint x0 = 0;
    GLint y0 = 0;
    GLint x1 = w;
    GLint y1 = h;
    if (dest_rect != nullptr) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        x0 = dest_rect->left;
        x1 = dest_rect->right;
        y0 = h - dest_rect->bottom;
        y1 = h - dest_rect->top;
    }
    const bool same_size = x1 - x0 == bw && y1 - y0 == bh;
    glBlitFramebuffer(0, 0, bw, bh, x0, y0, x1, y1, GL_COLOR_BUFFER_BIT,
                      same_size ? GL_NEAREST : GL_LINEAR);
    show_surface(surface_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    return D3D_OK;
}

HRESULT GlDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                        DWORD stencil)
{
    if (((flags & D3DCLEAR_ZBUFFER) && !has_depth_) ||
        ((flags & D3DCLEAR_STENCIL) && !has_stencil_)) {
        return D3DERR_INVALIDCALL;
    }
    // As Direct3D's runtime does: rectangles without a count clear nothing, a
    // count without rectangles clears the whole viewport.
    if (count == 0 && rects != nullptr) {
        return D3D_OK;
    }
    if (rects == nullptr) {
        count = 0;
    }
    if (!make_current()) {
        return D3DERR_INVALIDCALL;
    }
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) {
        const ColorF c = color_floats(color);
        glClearColor(c.r, c.g, c.b, has_alpha_ ? c.a : 1.0f);
        gl_.color_mask(0xf);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & D3DCLEAR_ZBUFFER) {
        glClearDepth(std::clamp(z, 0.0f, 1.0f));
        gl_.depth_mask(true);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (flags & D3DCLEAR_STENCIL) {
        glClearStencil(static_cast<GLint>(stencil & 0xff));
        glStencilMask(0xff);
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    if (mask == 0) {
        return D3D_OK;
    }
    // Direct3D clears the viewport, or the rectangles' parts inside it.
    const auto left = static_cast<LONG>(viewport_.X);
    const auto top = static_cast<LONG>(viewport_.Y);
    const auto right = static_cast<LONG>(viewport_.X + viewport_.Width);
    const auto bottom = static_cast<LONG>(viewport_.Y + viewport_.Height);
    const bool whole_target = left == 0 && top == 0 && right == static_cast<LONG>(width_) &&
                              bottom == static_cast<LONG>(height_);
    if (count == 0 && whole_target) {
        gl_.enable(GL_SCISSOR_TEST, false);
        glClear(mask);
        return D3D_OK;
    }
    const D3DRECT viewport_rect{left, top, right, bottom};
    if (count == 0) {
        rects = &viewport_rect;
        count = 1;
    }
    // Rectangles are in Direct3D's top-down pixel coordinates.
    gl_.enable(GL_SCISSOR_TEST, true);
    for (DWORD i = 0; i < count; ++i) {
        const LONG x1 = std::clamp<LONG>(rects[i].x1, left, right);
        const LONG x2 = std::clamp<LONG>(rects[i].x2, left, right);
        const LONG y1 = std::clamp<LONG>(rects[i].y1, top, bottom);
        const LONG y2 = std::clamp<LONG>(rects[i].y2, top, bottom);
        if (x1 >= x2 || y1 >= y2) {
            continue;
        }
        glScissor(x1, static_cast<GLint>(height_) - y2, x2 - x1, y2 - y1);
        glClear(mask);
    }
    gl_.enable(GL_SCISSOR_TEST, false);
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// State

HRESULT GlDevice::SetViewport(const D3DVIEWPORT9* viewport)
{
    // As Direct3D: inside the render target, with a depth range inside 0..1.
    if (viewport == nullptr || viewport->Width == 0 || viewport->Height == 0 ||
        viewport->X + uint64_t{viewport->Width} > width_ ||
        viewport->Y + uint64_t{viewport->Height} > height_ || !(viewport->MinZ >= 0.0f) ||
        !(viewport->MaxZ <= 1.0f) || !(viewport->MinZ <= viewport->MaxZ)) {
        return D3DERR_INVALIDCALL;
    }
    if (!make_current()) {
        return D3DERR_INVALIDCALL;
    }
    viewport_ = *viewport;
    apply_viewport();
    return D3D_OK;
}

HRESULT GlDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    if (matrix == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    switch (state) {
    case D3DTS_WORLD:
        world_ = *matrix;
        break;
    case D3DTS_VIEW:
        view_ = *matrix;
        break;
    case D3DTS_PROJECTION:
        projection_ = *matrix;
        break;
    default:
        return D3D_OK;  // texture transforms and further world matrices are unused
    }
    ++versions_.transform;
    return D3D_OK;
}

HRESULT GlDevice::LightEnable(DWORD, BOOL)
{
    return D3D_OK;
}

HRESULT GlDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    if (state >= render_states_.size() || render_states_[state] == value) {
        return D3D_OK;
    }
    render_states_[state] = value;
    switch (state) {
    case D3DRS_FOGSTART:
    case D3DRS_FOGEND:
    case D3DRS_FOGDENSITY:
    case D3DRS_FOGCOLOR:
    case D3DRS_FOGVERTEXMODE:
        ++versions_.fog;
        break;
    case D3DRS_ALPHAREF:
    case D3DRS_ALPHAFUNC:
        ++versions_.alpha;
        break;
    case D3DRS_LIGHTING:
        ++versions_.lighting;
        break;
    default:
        break;
    }
    return D3D_OK;
}

HRESULT GlDevice::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture)
{
    if (stage != 0) {
        return D3D_OK;
    }
    GlTexture* ours = nullptr;
    if (texture != nullptr) {
        ours = dynamic_cast<GlTexture*>(texture);
        if (ours == nullptr || ours->device() != this) {
            return D3DERR_INVALIDCALL;
        }
        ours->bind();
    }
    // Let go of the previous texture last: unbinding may destroy it.
    if (GlTexture* previous = std::exchange(texture_, ours);
        previous != nullptr && previous != ours) {
        previous->unbind();
    }
    return D3D_OK;
}

HRESULT GlDevice::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value)
{
    if (sampler == 0 && type < sampler_states_.size()) {
        sampler_states_[type] = value;
    }
    return D3D_OK;
}

HRESULT GlDevice::SetFVF(DWORD fvf)
{
    if (fvf != kDeviceFvf) {
        return D3DERR_INVALIDCALL;
    }
    fvf_ = fvf;
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// Drawing

HRESULT GlDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitive_count,
                                  const void* vertex_data, UINT vertex_stride)
{
    const Primitive shape = primitive(type, primitive_count);
    if (vertex_data == nullptr || vertex_stride != kDeviceStride || fvf_ != kDeviceFvf ||
        !shape.valid || shape.vertices > kMaxDrawVertices) {
        return D3DERR_INVALIDCALL;
    }
    if (primitive_count == 0 || draw_changes_nothing()) {
        return D3D_OK;
    }
    if (!make_current() || !prepare_draw()) {
        return E_FAIL;
    }
    StreamBuffer::Placement placement;
    if (!stream_.write(vertex_data, static_cast<size_t>(shape.vertices) * kDeviceStride,
                       kDeviceStride, nullptr, 0, 0, &placement)) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    glDrawArrays(shape.mode, placement.first_vertex, static_cast<GLsizei>(shape.vertices));
    return D3D_OK;
}

HRESULT GlDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT min_vertex_index,
                                         UINT num_vertices, UINT primitive_count,
                                         const void* index_data, D3DFORMAT index_format,
                                         const void* vertex_data, UINT vertex_stride)
{
    const Primitive shape = primitive(type, primitive_count);
    const bool known_format = index_format == D3DFMT_INDEX16 || index_format == D3DFMT_INDEX32;
    if (vertex_data == nullptr || index_data == nullptr || !known_format ||
        vertex_stride != kDeviceStride || fvf_ != kDeviceFvf || !shape.valid ||
        shape.vertices > kMaxDrawVertices || num_vertices > kMaxDrawVertices ||
        min_vertex_index > kMaxDrawVertices) {
        return D3DERR_INVALIDCALL;
    }
    if (primitive_count == 0 || num_vertices == 0 || draw_changes_nothing()) {
        return D3D_OK;
    }
    if (!make_current() || !prepare_draw()) {
        return E_FAIL;
    }
    // Only records min_vertex_index .. min_vertex_index + num_vertices - 1
    // are used; the indices still count from the first record of vertex_data.
    const size_t index_size = index_format == D3DFMT_INDEX16 ? 2 : 4;
    const auto* first =
        static_cast<const uint8_t*>(vertex_data) + size_t{min_vertex_index} * kDeviceStride;
    StreamBuffer::Placement placement;
    if (!stream_.write(first, size_t{num_vertices} * kDeviceStride, kDeviceStride, index_data,
                       static_cast<size_t>(shape.vertices) * index_size, index_size, &placement)) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    glDrawElementsBaseVertex(shape.mode, static_cast<GLsizei>(shape.vertices),
                             index_size == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT,
                             reinterpret_cast<const void*>(placement.index_offset),
                             placement.first_vertex - static_cast<GLint>(min_vertex_index));
    return D3D_OK;
}

// A draw that writes no depth and whose blend leaves every written channel
// as it was (source x 0 + destination x 1) changes nothing: the leaves with
// a black blend factor, for one. Such draws are skipped, which spares the
// rasteriser their fill.
bool GlDevice::draw_changes_nothing() const
{
    const bool writes_depth =
        has_depth_ && state(D3DRS_ZENABLE) != D3DZB_FALSE && state(D3DRS_ZWRITEENABLE) != FALSE;
    if (writes_depth) {
        return false;
    }
    const DWORD channels = color_write_mask();
    if (channels == 0) {
        return true;
    }
    if (state(D3DRS_ALPHABLENDENABLE) == FALSE ||
        gl_blend_equation(state(D3DRS_BLENDOP)) != GL_FUNC_ADD) {
        return false;
    }
    const BlendFactors factors = blend_factors(state(D3DRS_SRCBLEND), state(D3DRS_DESTBLEND));
    if (factors.destination != GL_ONE) {
        return false;
    }
    if (factors.source == GL_ZERO) {
        return true;
    }
    if (factors.source != GL_CONSTANT_COLOR) {
        return false;
    }
    // The constant's channels, in the write mask's order red, green, blue, alpha.
    const D3DCOLOR factor = state(D3DRS_BLENDFACTOR);
    const uint32_t channel_values[4] = {(factor >> 16) & 0xff, (factor >> 8) & 0xff, factor & 0xff,
                                        factor >> 24};
    for (int i = 0; i < 4; ++i) {
        if ((channels & (1u << i)) != 0 && channel_values[i] != 0) {
            return false;
        }
    }
    return true;
}

DWORD GlDevice::color_write_mask() const
{
    // Without alpha in the back buffer its alpha stays 1 (as Direct3D reads
    // X8R8G8B8's): draws never write it.
    const DWORD mask = state(static_cast<D3DRENDERSTATETYPE>(kRsColorWriteEnable));
    return mask & (has_alpha_ ? 0xfu : 0x7u);
}

bool GlDevice::prepare_draw()
{
    FogMode fog = FogMode::none;
    if (state(D3DRS_FOGENABLE) != FALSE) {
        const DWORD mode = state(D3DRS_FOGVERTEXMODE);
        fog = mode <= D3DFOG_LINEAR ? static_cast<FogMode>(mode) : FogMode::none;
    }
    const ProgramKey key{texture_ != nullptr, fog, state(D3DRS_ALPHATESTENABLE) != FALSE,
                         state(D3DRS_SHADEMODE) == D3DSHADE_FLAT};
    std::string error;
    Program* program = programs_.get(key, &error);
    if (program == nullptr) {
        set_last_error(error);
        return false;
    }
    gl_.use_program(program->name);
    update_transform();
    upload_uniforms(*program);
    apply_fixed_state();
    if (texture_ != nullptr) {
        gl_.bind_texture(texture_->name());
        apply_sampler();
    }
    return true;
}

void GlDevice::update_transform()
{
    if (transform_computed_ == versions_.transform) {
        return;
    }
    const D3DMATRIX world_view = multiply(world_, view_);
    const D3DMATRIX clip = multiply(world_view, multiply(projection_, clip_adjust_));
    // Row-major floats read by GLSL as column-major: the shader's
    // matrix x column-vector product is then the row vector x matrix product.
    std::memcpy(clip_from_model_, &clip.m[0][0], sizeof clip_from_model_);
    for (int i = 0; i < 4; ++i) {
        view_depth_[i] = world_view.m[i][2];
    }
    transform_computed_ = versions_.transform;
}

void GlDevice::upload_uniforms(Program& program)
{
    if (program.uploaded.transform != versions_.transform) {
        glUniformMatrix4fv(program.clip_from_model, 1, GL_FALSE, clip_from_model_);
        glUniform4fv(program.view_depth, 1, view_depth_);
        program.uploaded.transform = versions_.transform;
    }
    if (program.uploaded.fog != versions_.fog) {
        const float start = float_from_bits(state(D3DRS_FOGSTART));
        const float end = float_from_bits(state(D3DRS_FOGEND));
        if (state(D3DRS_FOGVERTEXMODE) == D3DFOG_LINEAR) {
            // With start = end Direct3D's vertex fog covers everything.
            if (end == start) {
                glUniform2f(program.fog, -1.0f, 1.0f);
            } else {
                glUniform2f(program.fog, end, 1.0f / (end - start));
            }
        } else {
            glUniform2f(program.fog, float_from_bits(state(D3DRS_FOGDENSITY)), 0.0f);
        }
        const ColorF c = color_floats(state(D3DRS_FOGCOLOR));
        glUniform3f(program.fog_color, c.r, c.g, c.b);
        program.uploaded.fog = versions_.fog;
    }
    if (program.uploaded.alpha != versions_.alpha) {
        const AlphaCompare compare = alpha_compare(state(D3DRS_ALPHAFUNC));
        glUniform4i(program.alpha_test, static_cast<GLint>(state(D3DRS_ALPHAREF) & 0xff),
                    compare.less, compare.equal, compare.greater);
        program.uploaded.alpha = versions_.alpha;
    }
    if (program.uploaded.lighting != versions_.lighting) {
        const float rgb = state(D3DRS_LIGHTING) != FALSE ? 0.0f : 1.0f;
        glUniform4f(program.diffuse_mask, rgb, rgb, rgb, 1.0f);
        program.uploaded.lighting = versions_.lighting;
    }
}

void GlDevice::apply_fixed_state()
{
    const bool depth_test = has_depth_ && state(D3DRS_ZENABLE) != D3DZB_FALSE;
    gl_.enable(GL_DEPTH_TEST, depth_test);
    gl_.depth_func(gl_compare(state(D3DRS_ZFUNC)));
    gl_.depth_mask(state(D3DRS_ZWRITEENABLE) != FALSE);

    const bool blend = state(D3DRS_ALPHABLENDENABLE) != FALSE;
    gl_.enable(GL_BLEND, blend);
    if (blend) {
        const BlendFactors factors = blend_factors(state(D3DRS_SRCBLEND), state(D3DRS_DESTBLEND));
        gl_.blend_func(factors.source, factors.destination);
        gl_.blend_equation(gl_blend_equation(state(D3DRS_BLENDOP)));
        gl_.blend_color(state(D3DRS_BLENDFACTOR));
    }

    const Culling cull = culling(state(D3DRS_CULLMODE));
    gl_.enable(GL_CULL_FACE, cull.enabled);
    gl_.front_face(cull.front_face);
    gl_.polygon_mode(gl_polygon_mode(state(D3DRS_FILLMODE)));

    float point_size = float_from_bits(state(D3DRS_POINTSIZE));
    point_size = std::isfinite(point_size) ? std::clamp(point_size, 1.0f, 64.0f) : 1.0f;
    gl_.point_size(point_size);

    gl_.color_mask(color_write_mask());
}

void GlDevice::apply_sampler()
{
    gl_.sampler_parameter(sampler_, GL_TEXTURE_MIN_FILTER,
                          static_cast<GLint>(gl_min_filter(sampler_states_[D3DSAMP_MINFILTER],
                                                           sampler_states_[D3DSAMP_MIPFILTER])));
    gl_.sampler_parameter(sampler_, GL_TEXTURE_MAG_FILTER,
                          static_cast<GLint>(gl_mag_filter(sampler_states_[D3DSAMP_MAGFILTER])));
    gl_.sampler_parameter(sampler_, GL_TEXTURE_WRAP_S,
                          static_cast<GLint>(gl_wrap(sampler_states_[D3DSAMP_ADDRESSU])));
    gl_.sampler_parameter(sampler_, GL_TEXTURE_WRAP_T,
                          static_cast<GLint>(gl_wrap(sampler_states_[D3DSAMP_ADDRESSV])));
    gl_.sampler_border(sampler_, sampler_states_[D3DSAMP_BORDERCOLOR]);
    const float bias = float_from_bits(sampler_states_[D3DSAMP_MIPMAPLODBIAS]);
    gl_.sampler_lod_bias(sampler_, std::isfinite(bias) ? bias : 0.0f);
}

// ---------------------------------------------------------------------------
// Host extensions (texture creation is in texture.cpp)

HRESULT GlDevice::read_back(std::span<uint8_t> rgba, RowOrder order)
{
    const size_t row_bytes = size_t{width_} * 4;
    if (rgba.size() < row_bytes * height_) {
        return D3DERR_INVALIDCALL;
    }
    if (!make_current()) {
        return D3DERR_INVALIDCALL;
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    glReadPixels(0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_), GL_RGBA,
                 GL_UNSIGNED_BYTE, rgba.data());
    if (order == RowOrder::bottom_first) {
        return D3D_OK;  // as GL reads them
    }
    for (uint32_t top = 0, bottom = height_ - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = rgba.data() + top * row_bytes;
        uint8_t* b = rgba.data() + bottom * row_bytes;
        std::memcpy(row_.data(), a, row_bytes);
        std::memcpy(a, b, row_bytes);
        std::memcpy(b, row_.data(), row_bytes);
    }
    return D3D_OK;
}

}  // namespace host_d3d9
