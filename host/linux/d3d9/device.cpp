#include "host/linux/d3d9/device.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "host/linux/d3d9/texture.h"
#include "host/linux/d3d9/translate.h"

namespace host_d3d9 {
namespace {

// The one vertex layout: FVF 0x152, 36-byte records of position, normal,
// diffuse colour (a D3DCOLOR, bytes B, G, R, A) and one texture coordinate.
constexpr DWORD kDeviceFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr UINT kDeviceStride = 36;
constexpr uintptr_t kPositionOffset = 0;
constexpr uintptr_t kDiffuseOffset = 24;
constexpr uintptr_t kTexcoordOffset = 28;

// Room for several frames of the scene (about 1 MB each) before the stream
// buffer is orphaned; larger draws grow it.
constexpr size_t kStreamCapacity = size_t{8} << 20;

// The most vertices one draw may name (GL counts are signed ints).
constexpr uint64_t kMaxDrawVertices = uint64_t{1} << 24;

thread_local std::string last_failure;

D3DMATRIX identity()
{
    D3DMATRIX m{};
    for (int i = 0; i < 4; ++i) {
        m.m[i][i] = 1.0f;
    }
    return m;
}

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

// The clip-space adjustment from Direct3D 9 to GL (device.h): x += w * dx,
// y += w * dy, z = 2z - w. dx and dy are 63/64 of half a pixel in normalised
// device units; y moves down because Direct3D's rows run downward.
D3DMATRIX clip_adjustment(uint32_t width, uint32_t height)
{
    constexpr float kNearlyHalfPixel = 63.0f / 64.0f;  // in units of 2 / size
    D3DMATRIX m = identity();
    m.m[2][2] = 2.0f;
    m.m[3][0] = kNearlyHalfPixel / static_cast<float>(width);
    m.m[3][1] = -kNearlyHalfPixel / static_cast<float>(height);
    m.m[3][2] = -1.0f;
    return m;
}

struct DefaultState {
    D3DRENDERSTATETYPE state;
    DWORD value;
};

// Direct3D 9's initial render states, for those the device reads or that an
// application might read back. ZENABLE depends on the depth buffer.
const DefaultState kDefaultRenderStates[] = {
    {D3DRS_FILLMODE, kFillSolid},
    {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
    {D3DRS_ZWRITEENABLE, TRUE},
    {D3DRS_ALPHATESTENABLE, FALSE},
    {D3DRS_SRCBLEND, D3DBLEND_ONE},
    {D3DRS_DESTBLEND, D3DBLEND_ZERO},
    {D3DRS_CULLMODE, D3DCULL_CCW},
    {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
    {D3DRS_ALPHAREF, 0},
    {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},
    {D3DRS_DITHERENABLE, FALSE},
    {D3DRS_ALPHABLENDENABLE, FALSE},
    {D3DRS_FOGENABLE, FALSE},
    {D3DRS_SPECULARENABLE, FALSE},
    {D3DRS_FOGCOLOR, 0},
    {D3DRS_FOGTABLEMODE, D3DFOG_NONE},
    {D3DRS_FOGSTART, 0x00000000},  // 0.0f
    {D3DRS_FOGEND, 0x3f800000},    // 1.0f
    {D3DRS_FOGDENSITY, 0x3f800000},
    {D3DRS_RANGEFOGENABLE, FALSE},
    {D3DRS_LIGHTING, TRUE},
    {D3DRS_AMBIENT, 0},
    {D3DRS_FOGVERTEXMODE, D3DFOG_NONE},
    {D3DRS_COLORVERTEX, TRUE},
    {D3DRS_POINTSIZE, 0x3f800000},
    {static_cast<D3DRENDERSTATETYPE>(kRsColorWriteEnable), 0xf},
    {D3DRS_BLENDOP, kBlendOpAdd},
    {D3DRS_BLENDFACTOR, 0xffffffff},
};

const std::pair<D3DSAMPLERSTATETYPE, DWORD> kDefaultSamplerStates[] = {
    {D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP},
    {D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP},
    {D3DSAMP_ADDRESSW, D3DTADDRESS_WRAP},
    {D3DSAMP_BORDERCOLOR, 0},
    {D3DSAMP_MAGFILTER, D3DTEXF_POINT},
    {D3DSAMP_MINFILTER, D3DTEXF_POINT},
    {D3DSAMP_MIPFILTER, D3DTEXF_NONE},
    {D3DSAMP_MIPMAPLODBIAS, 0},
    {D3DSAMP_MAXMIPLEVEL, 0},
    {D3DSAMP_MAXANISOTROPY, 1},
};

}  // namespace

void set_last_error(std::string reason)
{
    last_failure = std::move(reason);
}

const char* last_error()
{
    return last_failure.c_str();
}

// ---------------------------------------------------------------------------
// Creation and destruction

HRESULT GlDevice::create(IDirect3D9* factory, HWND window, D3DPRESENT_PARAMETERS* params,
                         GlDevice** device)
{
    auto* created = new GlDevice();
    const HRESULT result = created->initialise(window, *params);
    if (FAILED(result)) {
        created->destroy();
        delete created;
        return result;
    }
    created->factory_ = factory;
    factory->AddRef();
    created->report_back_buffer(params);
    *device = created;
    return D3D_OK;
}

// Like Direct3D, reports the sizes and format that were chosen.
void GlDevice::report_back_buffer(D3DPRESENT_PARAMETERS* params) const
{
    params->BackBufferWidth = width_;
    params->BackBufferHeight = height_;
    if (params->BackBufferFormat == D3DFMT_UNKNOWN) {
        params->BackBufferFormat = D3DFMT_X8R8G8B8;
    }
    params->BackBufferCount = std::max<UINT>(params->BackBufferCount, 1);
}

HRESULT GlDevice::initialise(HWND window, const D3DPRESENT_PARAMETERS& params)
{
    if (window == nullptr && (params.BackBufferWidth == 0 || params.BackBufferHeight == 0)) {
        set_last_error("an offscreen device needs BackBufferWidth and BackBufferHeight");
        return D3DERR_INVALIDCALL;
    }
    SurfaceSize window_size{0, 0};
    std::string why;
    const HRESULT opened =
        open_surface(window, params.PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE,
                     &window_size, &surface_, &why);
    if (FAILED(opened)) {
        set_last_error(why);
        return opened;
    }
    width_ = params.BackBufferWidth != 0 ? params.BackBufferWidth : window_size.width;
    height_ = params.BackBufferHeight != 0 ? params.BackBufferHeight : window_size.height;

    GLint max_renderbuffer = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &max_renderbuffer);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_texture_size_);
    max_renderbuffer_size_ = static_cast<uint32_t>(std::max(max_renderbuffer, 0));
    if (width_ > max_renderbuffer_size_ || height_ > max_renderbuffer_size_) {
        set_last_error("a " + std::to_string(width_) + " x " + std::to_string(height_) +
                       " back buffer is larger than OpenGL's limit of " +
                       std::to_string(max_renderbuffer));
        return D3DERR_NOTAVAILABLE;
    }
    swap_effect_ = params.SwapEffect;

    if (!create_framebuffer(params.BackBufferFormat, params.EnableAutoDepthStencil != 0,
                            params.AutoDepthStencilFormat)) {
        set_last_error("the OpenGL driver cannot make the back buffer");
        return D3DERR_NOTAVAILABLE;
    }

    glGenVertexArrays(1, &vertex_array_);
    glBindVertexArray(vertex_array_);
    if (!stream_.create(kStreamCapacity)) {
        set_last_error("the OpenGL driver cannot make the vertex stream buffer");
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, kDeviceStride,
                          reinterpret_cast<const void*>(kPositionOffset));
    // GL_BGRA as the size reads the D3DCOLOR's bytes B, G, R, A as red,
    // green, blue, alpha in the right places.
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, kDeviceStride,
                          reinterpret_cast<const void*>(kDiffuseOffset));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, kDeviceStride,
                          reinterpret_cast<const void*>(kTexcoordOffset));

    glGenSamplers(1, &sampler_);
    glBindSampler(0, sampler_);

    gl_.reset();
    glDisable(GL_DITHER);
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);  // flat shading takes the first vertex
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    set_default_states(has_depth_);
    row_.resize(size_t{width_} * 4);

    if (const GLenum error = glGetError(); error != GL_NO_ERROR) {
        set_last_error("OpenGL error " + std::to_string(error) + " while setting up the device");
        return D3DERR_NOTAVAILABLE;
    }
    return D3D_OK;
}

HRESULT GlDevice::Reset(D3DPRESENT_PARAMETERS* params)
{
    if (params == nullptr || !make_current()) {
        return D3DERR_INVALIDCALL;
    }
    const bool offscreen = surface_offscreen(surface_);
    if (offscreen && (params->BackBufferWidth == 0 || params->BackBufferHeight == 0)) {
        set_last_error("an offscreen device needs BackBufferWidth and BackBufferHeight");
        return D3DERR_INVALIDCALL;
    }
    const SurfaceSize window_size = offscreen ? SurfaceSize{0, 0} : surface_drawable_size(surface_);
    const uint32_t width =
        params->BackBufferWidth != 0 ? params->BackBufferWidth : window_size.width;
    const uint32_t height =
        params->BackBufferHeight != 0 ? params->BackBufferHeight : window_size.height;
    if (width == 0 || height == 0 || width > max_renderbuffer_size_ ||
        height > max_renderbuffer_size_) {
        set_last_error("a " + std::to_string(width) + " x " + std::to_string(height) +
                       " back buffer cannot be made (OpenGL's limit is " +
                       std::to_string(max_renderbuffer_size_) + ")");
        return D3DERR_INVALIDCALL;
    }

    // As Direct3D's Reset: new buffers, and every state back to its default;
    // textures (all of them managed here) stay.
    if (GlTexture* bound = std::exchange(texture_, nullptr); bound != nullptr) {
        bound->unbind();
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteRenderbuffers(1, &color_buffer_);
    glDeleteRenderbuffers(1, &depth_buffer_);
    glDeleteFramebuffers(1, &framebuffer_);
    color_buffer_ = depth_buffer_ = framebuffer_ = 0;
    has_depth_ = has_stencil_ = false;
    width_ = width;
    height_ = height;
    if (!create_framebuffer(params->BackBufferFormat, params->EnableAutoDepthStencil != 0,
                            params->AutoDepthStencilFormat)) {
        set_last_error("the OpenGL driver cannot make the back buffer");
        return D3DERR_NOTAVAILABLE;
    }
    row_.resize(size_t{width_} * 4);
    in_scene_ = false;
    fvf_ = 0;
    set_default_states(has_depth_);
    ++versions_.transform;
    ++versions_.fog;
    ++versions_.alpha;
    ++versions_.lighting;
    swap_effect_ = params->SwapEffect;
    report_back_buffer(params);
    return D3D_OK;
}

bool GlDevice::create_framebuffer(D3DFORMAT back_buffer_format, bool depth, D3DFORMAT depth_format)
{
    const auto w = static_cast<GLsizei>(width_);
    const auto h = static_cast<GLsizei>(height_);
    has_alpha_ = back_buffer_format == D3DFMT_A8R8G8B8;

    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glGenRenderbuffers(1, &color_buffer_);
    glBindRenderbuffer(GL_RENDERBUFFER, color_buffer_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, color_buffer_);
    if (depth) {
        GLenum format = GL_DEPTH_COMPONENT24;
        GLenum attachment = GL_DEPTH_ATTACHMENT;
        if (depth_format == D3DFMT_D16) {
            format = GL_DEPTH_COMPONENT16;
        } else if (depth_format == D3DFMT_D24S8) {
            format = GL_DEPTH24_STENCIL8;
            attachment = GL_DEPTH_STENCIL_ATTACHMENT;
            has_stencil_ = true;
        }
        glGenRenderbuffers(1, &depth_buffer_);
        glBindRenderbuffer(GL_RENDERBUFFER, depth_buffer_);
        glRenderbufferStorage(GL_RENDERBUFFER, format, w, h);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, depth_buffer_);
        has_depth_ = true;
    }
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

void GlDevice::set_default_states(bool depth)
{
    render_states_.fill(0);
    for (const DefaultState& entry : kDefaultRenderStates) {
        render_states_[entry.state] = entry.value;
    }
    // With an automatic depth buffer Direct3D starts with the depth test on.
    render_states_[D3DRS_ZENABLE] = depth ? D3DZB_TRUE : D3DZB_FALSE;
    sampler_states_.fill(0);
    for (const auto& [type, value] : kDefaultSamplerStates) {
        sampler_states_[type] = value;
    }
    world_ = identity();
    view_ = identity();
    projection_ = identity();
    viewport_ = D3DVIEWPORT9{0, 0, width_, height_, 0.0f, 1.0f};
    apply_viewport();
}

void GlDevice::apply_viewport()
{
    // GL counts rows from the bottom.
    glViewport(static_cast<GLint>(viewport_.X),
               static_cast<GLint>(height_ - viewport_.Y - viewport_.Height),
               static_cast<GLsizei>(viewport_.Width), static_cast<GLsizei>(viewport_.Height));
    glDepthRange(viewport_.MinZ, viewport_.MaxZ);
    clip_adjust_ = clip_adjustment(viewport_.Width, viewport_.Height);
    ++versions_.transform;
}

void GlDevice::destroy()
{
    if (surface_ == nullptr) {
        return;
    }
    if (surface_alive(surface_) && make_surface_current(surface_)) {
        programs_.destroy();
        stream_.destroy();
        glDeleteSamplers(1, &sampler_);
        glDeleteVertexArrays(1, &vertex_array_);
        glDeleteRenderbuffers(1, &color_buffer_);
        glDeleteRenderbuffers(1, &depth_buffer_);
        glDeleteFramebuffers(1, &framebuffer_);
    }
    close_surface(surface_);
    surface_ = nullptr;
}

bool GlDevice::make_current()
{
    return surface_ != nullptr && make_surface_current(surface_);
}

ULONG GlDevice::AddRef()
{
    return ++references_;
}

ULONG GlDevice::Release()
{
    if (references_ == 0) {
        return 0;
    }
    if (--references_ > 0) {
        return references_;
    }
    // A texture still bound goes with the device (its own references are
    // all released, or it would hold the device), while the context is there.
    if (GlTexture* bound = std::exchange(texture_, nullptr); bound != nullptr) {
        bound->unbind();
    }
    IDirect3D9* factory = factory_;
    destroy();
    delete this;
    if (factory != nullptr) {
        factory->Release();
    }
    return 0;
}

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
    if (rects == nullptr) {
        count = 0;  // as Direct3D's runtime does: a count without rectangles clears everything
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
