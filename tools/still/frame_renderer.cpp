#include "tools/still/frame_renderer.h"

#include "gu/gu.h"
#include "host/gl/gl_device.h"
#include "scene/geometry.h"
#include "scene/scene.h"

namespace {

bool renderer_open = false;

}  // namespace

FrameRenderer::~FrameRenderer()
{
    close();
}

bool FrameRenderer::open(int width, int height, std::string& error,
                         const std::string& texture_folder)
{
    if (device_ != nullptr || renderer_open) {
        error = "a frame renderer is already open in this program";
        return false;
    }
    if (width <= 0 || height <= 0) {
        error = "the frame size must be positive";
        return false;
    }
    device_ = host_d3d9::create_offscreen_device(static_cast<uint32_t>(width),
                                                 static_cast<uint32_t>(height));
    if (device_ == nullptr) {
        error = std::string("cannot create the graphics device: ") + host_d3d9::last_error();
        return false;
    }
    renderer_open = true;
    width_ = width;
    height_ = height;

    gu_attach_device(device_);
    texture_warnings_.clear();
    for (IDirect3DTexture9*& slot : texture_slots) {
        slot = nullptr;
    }
    for (const TextureFile& file : kTextureFiles) {
        const std::string path =
            texture_folder == "." ? std::string(file.name) : texture_folder + "/" + file.name;
        if (FAILED(D3DXCreateTextureFromFileA(device_, path.c_str(), &texture_slots[file.slot]))) {
            texture_warnings_.push_back(std::string(host_d3d9::last_error()) +
                                        " (drawn untextured)");
        }
    }
    // The generator restarts so every renderer shows the demo's own forest.
    random15_state = 1;
    scene_init();
    return true;
}

bool FrameRenderer::render(int32_t music_position, std::span<uint8_t> rgba,
                           host_d3d9::RowOrder order)
{
    if (device_ == nullptr ||
        rgba.size() < static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4) {
        return false;
    }
    music_pos = music_position;
    if (FAILED(device_->BeginScene())) {
        return false;
    }
    render_frame();
    device_->EndScene();
    return SUCCEEDED(host_d3d9::read_back_buffer(device_, rgba, order));
}

void FrameRenderer::close()
{
    if (device_ == nullptr) {
        return;
    }
    for (IDirect3DTexture9*& slot : texture_slots) {
        if (slot != nullptr) {
            slot->Release();
            slot = nullptr;
        }
    }
    device_->Release();
    device_ = nullptr;
    renderer_open = false;
}
