#include "host/gl/texture.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "host/gl/device.h"

namespace host_d3d9 {
namespace {

// RGBA8 pixels for texture decoding, taken without exceptions: empty when
// the size does not fit in memory's range or memory runs out.
class RgbaBuffer {
public:
    static RgbaBuffer allocate(uint32_t width, uint32_t height)
    {
        RgbaBuffer buffer;
        // width x height x 4 would wrap around a 32-bit size_t.
        if (height != 0 && width > std::numeric_limits<size_t>::max() / 4 / height) {
            return buffer;
        }
        const size_t size = size_t{width} * height * 4;
        buffer.bytes_.reset(new (std::nothrow) uint8_t[size]);
        buffer.size_ = buffer.bytes_ != nullptr ? size : 0;
        return buffer;
    }

    bool empty() const { return size_ == 0; }
    // The first `size` bytes, size <= the size allocated.
    std::span<uint8_t> first(size_t size) { return {bytes_.get(), std::min(size, size_)}; }

private:
    std::unique_ptr<uint8_t[]> bytes_;
    size_t size_ = 0;
};

}  // namespace

// ---------------------------------------------------------------------------
// Creation, on the device

HRESULT GlDevice::create_texture(const dds::Image& image, IDirect3DTexture9** texture)
{
    if (!make_current()) {
        set_last_error("the device's window is gone");
        return D3DERR_INVALIDCALL;
    }
    if (image.width > static_cast<uint32_t>(max_texture_size_) ||
        image.height > static_cast<uint32_t>(max_texture_size_)) {
        set_last_error("a " + std::to_string(image.width) + " x " + std::to_string(image.height) +
                       " texture is larger than OpenGL's limit of " +
                       std::to_string(max_texture_size_));
        return D3DERR_NOTAVAILABLE;
    }
    // Every format goes up as RGBA8, DXT blocks included: llvmpipe decodes a
    // compressed texel again at every sample, and decoding once here cut a
    // frame's rendering time by about a fifth (53 to 65 frames a second over
    // the show at 960 x 544). A file's own mip chain is kept level for level;
    // a file without one gets a full chain built from decoded pixels.
    const uint32_t levels = image.level_count > 1
                                ? image.level_count
                                : dds::full_chain_length(image.width, image.height);

    // Decoding needs the largest level's pixels and, to build a chain, room
    // for the next level; every later level fits in either. Both are taken
    // before any GL object exists, and without exceptions: a texture too
    // large for memory fails its call instead of ending the program.
    RgbaBuffer pixels = RgbaBuffer::allocate(image.width, image.height);
    RgbaBuffer next;
    if (levels > image.level_count) {
        next = RgbaBuffer::allocate(dds::mip_dimension(image.width, 1),
                                    dds::mip_dimension(image.height, 1));
    }
    if (pixels.empty() || (levels > image.level_count && next.empty())) {
        set_last_error("not enough memory to decode a " + std::to_string(image.width) + " x " +
                       std::to_string(image.height) + " texture");
        return E_OUTOFMEMORY;
    }

    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    gl_.bind_texture(name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels - 1));

    for (uint32_t i = 0; i < levels; ++i) {
        const uint32_t w = dds::mip_dimension(image.width, i);
        const uint32_t h = dds::mip_dimension(image.height, i);
        const size_t size = dds::rgba8_size(w, h);
        if (i < image.level_count) {
            dds::decode_rgba8(image.format, image.levels[i], pixels.first(size));
        } else {
            const uint32_t above_w = dds::mip_dimension(image.width, i - 1);
            const uint32_t above_h = dds::mip_dimension(image.height, i - 1);
            dds::downsample_rgba8(pixels.first(dds::rgba8_size(above_w, above_h)), above_w, above_h,
                                  next.first(size));
            std::swap(pixels, next);
        }
        glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i), GL_RGBA8, static_cast<GLsizei>(w),
                     static_cast<GLsizei>(h), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     pixels.first(size).data());
    }
    HRESULT result = D3D_OK;
    GlTexture* created = nullptr;
    if (const GLenum error = glGetError(); error != GL_NO_ERROR) {
        set_last_error("OpenGL error " + std::to_string(error) + " while uploading the texture");
        result = D3DERR_OUTOFVIDEOMEMORY;
    } else {
        created = new (std::nothrow) GlTexture(this, name, image.width, image.height, levels);
        if (created == nullptr) {
            set_last_error("not enough memory for the texture object");
            result = E_OUTOFMEMORY;
        }
    }
    if (created == nullptr) {
        gl_.texture_deleted(name);
        glDeleteTextures(1, &name);
        return result;
    }
    *texture = created;
    return D3D_OK;
}

// ---------------------------------------------------------------------------
// The texture object

GlTexture::GlTexture(GlDevice* device, GLuint name, uint32_t width, uint32_t height,
                     uint32_t levels)
    : device_(device), name_(name), width_(width), height_(height), levels_(levels)
{
    device_->AddRef();
}

ULONG GlTexture::AddRef()
{
    return ++references_;
}

ULONG GlTexture::Release()
{
    if (references_ == 0) {
        return 0;
    }
    if (--references_ > 0) {
        return references_;
    }
    // The reference to the device goes with the last one to the texture. A
    // bound texture is destroyed when it is unbound, at the latest by the
    // device's own end, which this very Release may bring about: nothing of
    // this object is touched after it.
    GlDevice* device = device_;
    if (!bound_) {
        destroy();
    }
    device->Release();
    return 0;
}

void GlTexture::unbind()
{
    bound_ = false;
    if (references_ == 0) {
        destroy();
    }
}

void GlTexture::destroy()
{
    // GL names belong to one context: with the device's own context gone
    // (its window destroyed), whichever context is current may be another
    // device's, whose texture of the same name must not be deleted. Deleting
    // the context later frees the texture with it.
    if (device_->make_current()) {
        glDeleteTextures(1, &name_);
        device_->texture_deleted(name_);
    }
    delete this;
}

}  // namespace host_d3d9
