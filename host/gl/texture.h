// A texture of the OpenGL device: one GL texture object with its mip chain.
// It keeps its device (and so the device's context) alive until its last
// Release. Like Direct3D, the device holds a bound texture itself: a texture
// released while bound lives on until it is unbound.
#pragma once

#include <cstdint>

#include "host/gl/gl_api.h"
#include "host/gl/live_objects.h"
#include "platform/platform.h"

namespace host_d3d9 {

class GlDevice;

class GlTexture final : public IDirect3DTexture9 {
public:
    GlTexture(GlDevice* device, GLuint name, uint32_t width, uint32_t height, uint32_t levels);

    ULONG AddRef() override;
    ULONG Release() override;

    // The device's own hold while the texture is bound to a stage; letting go
    // of it destroys a texture whose references are all released.
    void bind() { bound_ = true; }
    void unbind();

    GlDevice* device() const { return device_; }
    GLuint name() const { return name_; }
    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }
    uint32_t levels() const { return levels_; }

private:
    ~GlTexture() = default;
    void destroy();

    ULONG references_ = 1;
    bool bound_ = false;
    LiveObject live_{ObjectKind::texture};
    GlDevice* device_;
    GLuint name_;
    uint32_t width_;
    uint32_t height_;
    uint32_t levels_;
};

}  // namespace host_d3d9
