// D3DXCreateTextureFromFileA for DDS files, and the host extensions built on
// the device (gl_device.h).
//
// Results, as D3DX gives them: D3DERR_INVALIDCALL for a null argument or a
// device that is not ours; D3DXERR_INVALIDDATA for a file that cannot be
// read (missing, a directory, unreadable) and for one that is empty,
// truncated, malformed or in an unsupported format; D3DERR_NOTAVAILABLE for
// a texture larger than the driver allows; D3DERR_OUTOFVIDEOMEMORY when the
// upload fails. On every failure *texture is null and last_error() says why.
#include <new>
#include <stdexcept>
#include <string>

#include "host/common/dds/dds.h"
#include "host/common/files/input_file.h"
#include "host/gl/device.h"
#include "host/gl/gl_device.h"
#include "host/gl/texture.h"

namespace host_d3d9 {
namespace {

// Larger files than this are not textures of ours (a full 8192 x 8192
// A8R8G8B8 chain is about 358 MB).
constexpr uint64_t kMaxFileBytes = uint64_t{512} << 20;

}  // namespace

HRESULT create_texture_from_dds(IDirect3DDevice9* device, std::span<const uint8_t> file,
                                IDirect3DTexture9** texture)
{
    if (texture != nullptr) {
        *texture = nullptr;
    }
    auto* gl_device = dynamic_cast<GlDevice*>(device);
    if (gl_device == nullptr || texture == nullptr) {
        set_last_error("texture loading needs a device of this host and a place for the texture");
        return D3DERR_INVALIDCALL;
    }
    const dds::ParseResult parsed = dds::parse(file);
    if (!parsed.ok) {
        set_last_error(parsed.error);
        return D3DXERR_INVALIDDATA;
    }
    return gl_device->create_texture(parsed.image, texture);
}

bool is_gl_device(IDirect3DDevice9* device)
{
    return dynamic_cast<GlDevice*>(device) != nullptr;
}

Size back_buffer_size(IDirect3DDevice9* device)
{
    auto* gl_device = dynamic_cast<GlDevice*>(device);
    return gl_device != nullptr ? Size{gl_device->width(), gl_device->height()} : Size{0, 0};
}

HRESULT read_back_buffer(IDirect3DDevice9* device, std::span<uint8_t> rgba, RowOrder order)
{
    auto* gl_device = dynamic_cast<GlDevice*>(device);
    return gl_device != nullptr ? gl_device->read_back(rgba, order) : D3DERR_INVALIDCALL;
}

TextureInfo texture_info(IDirect3DTexture9* texture)
{
    auto* gl_texture = dynamic_cast<GlTexture*>(texture);
    if (gl_texture == nullptr) {
        return {0, 0, 0};
    }
    return {gl_texture->width(), gl_texture->height(), gl_texture->levels()};
}

IDirect3DDevice9* create_offscreen_device(uint32_t width, uint32_t height)
{
    IDirect3D9* factory = Direct3DCreate9(D3D_SDK_VERSION);
    if (factory == nullptr) {
        set_last_error("Direct3DCreate9 failed");
        return nullptr;
    }
    // The presentation parameters of the demo, with an explicit size.
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = width;
    params.BackBufferHeight = height;
    params.Windowed = TRUE;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D16;
    IDirect3DDevice9* device = nullptr;
    factory->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                          D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device);
    factory->Release();  // the device holds its own reference
    return device;
}

}  // namespace host_d3d9

HRESULT WINAPI D3DXCreateTextureFromFileA(IDirect3DDevice9* device, LPCSTR file,
                                          IDirect3DTexture9** texture)
{
    if (texture != nullptr) {
        *texture = nullptr;
    }
    if (device == nullptr || file == nullptr || texture == nullptr) {
        host_d3d9::set_last_error(
            "D3DXCreateTextureFromFileA needs a device, a file name and a "
            "place for the texture");
        return D3DERR_INVALIDCALL;
    }
    try {
        const files::Contents contents = files::read_file(file, host_d3d9::kMaxFileBytes);
        switch (contents.failure) {
        case files::Failure::none:
            break;
        case files::Failure::out_of_memory:
            host_d3d9::set_last_error(std::string(file) + ": " + contents.reason);
            return E_OUTOFMEMORY;
        case files::Failure::cannot_open:
            host_d3d9::set_last_error(std::string(file) + ": cannot open: " + contents.reason);
            return D3DXERR_INVALIDDATA;
        case files::Failure::not_a_file:
        case files::Failure::too_large:
        case files::Failure::cannot_read:
            host_d3d9::set_last_error(std::string(file) + ": " + contents.reason);
            return D3DXERR_INVALIDDATA;
        }
        const HRESULT result = host_d3d9::create_texture_from_dds(device, contents.bytes, texture);
        if (FAILED(result)) {
            host_d3d9::set_last_error(std::string(file) + ": " + host_d3d9::last_error());
        }
        return result;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    // The texture was never handed out; what was made for it is unwound.
    *texture = nullptr;
    host_d3d9::set_last_error("out of memory");
    return E_OUTOFMEMORY;
}
