#include "host/linux/d3d9/texture.h"

#include "host/linux/d3d9/device.h"

namespace host_d3d9 {

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
    GlDevice* device = device_;
    device->make_current();
    device->texture_released(this);
    glDeleteTextures(1, &name_);
    delete this;
    device->Release();
    return 0;
}

}  // namespace host_d3d9
