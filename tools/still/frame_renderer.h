// One frame of the demo at a music byte position, rendered offscreen through
// the real scene code and read back as RGBA8. Used by demo-still and
// demo-capture.
//
// Set-up follows the demo's start: an offscreen device with the demo's
// presentation parameters at the chosen size, gu_attach_device, the four
// textures into their slots ("tree.dds", "grass.dds", "ground.dds",
// "leaf.dds", in that order, from the texture folder), then scene_init.
// A frame is: music_pos = position, BeginScene, render_frame, EndScene,
// read-back. Frames depend only on the position, so they come in any order.
//
// The scene, the layer and the texture slots are program-wide, so only one
// renderer may be open at a time; opening one regenerates the scene from the
// random generator's first state, as a fresh start of the demo does.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "host/gl/gl_device.h"
#include "platform/platform.h"

class FrameRenderer {
public:
    FrameRenderer() = default;
    ~FrameRenderer();
    FrameRenderer(const FrameRenderer&) = delete;
    FrameRenderer& operator=(const FrameRenderer&) = delete;

    // Opens a width x height renderer. A texture that does not load is not
    // an error (the demo draws its geometry untextured); texture_warnings()
    // says which and why. False with the reason in error if no device could
    // be made or another renderer is open.
    bool open(int width, int height, std::string& error, const std::string& texture_folder = ".");

    // Renders the frame at the music position into rgba (at least
    // width x height x 4 bytes; R, G, B, A, rows in the given order). False
    // if the device refused the frame or rgba is too small.
    bool render(int32_t music_position, std::span<uint8_t> rgba,
                host_d3d9::RowOrder order = host_d3d9::RowOrder::top_first);

    int width() const { return width_; }
    int height() const { return height_; }
    const std::vector<std::string>& texture_warnings() const { return texture_warnings_; }

private:
    void close();

    IDirect3DDevice9* device_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    std::vector<std::string> texture_warnings_;
};
