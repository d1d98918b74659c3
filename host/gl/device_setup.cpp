// The device's life: creation on a window or offscreen, Reset, and
// destruction, with the buffers, the default states and the viewport they
// set up. The calls of a frame are in device.cpp.
#include <algorithm>
#include <string>
#include <utility>

#include "host/gl/device.h"  // the class whose life this is
#include "host/gl/texture.h"
#include "host/gl/translate.h"

namespace host_d3d9 {
namespace {

// Room for several frames of the scene (about 1 MB each) before the stream
// buffer is orphaned; larger draws grow it.
constexpr size_t kStreamCapacity = size_t{8} << 20;

thread_local std::string last_failure;

D3DMATRIX identity()
{
    D3DMATRIX m{};
    for (int i = 0; i < 4; ++i) {
        m.m[i][i] = 1.0f;
    }
    return m;
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

}  // namespace host_d3d9
