// The program behind the page still.html: one frame of the show at a music
// byte position, rendered as demo-still renders it (tools/still's
// FrameRenderer: an offscreen device, the four textures, the scene
// generated afresh) and read back, then put into the page's 960 x 544 canvas
// pixel for pixel. The page then reads the canvas (toDataURL).
//
//   arguments: POSITION (a decimal integer, as demo-still takes it)
//   page:      Module.showFrame(rgba, width, height) draws the pixels;
//              Module.stillFailed(reason) reports a failure.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/still/frame_renderer.h"

namespace {

constexpr int kWidth = 960;
constexpr int kHeight = 544;

// clang-format off
EM_JS(void, show_frame, (const uint8_t* rgba, int width, int height), {
    Module.showFrame(HEAPU8.subarray(rgba, rgba + width * height * 4), width, height);
});
// clang-format on

// clang-format off
EM_JS(void, still_failed, (const char* reason), {
    Module.stillFailed(UTF8ToString(reason));
});
// clang-format on

bool parse_position(const char* text, int32_t* position)
{
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || value < INT32_MIN || value > UINT32_MAX) {
        return false;
    }
    // The low 32 bits, as the demo sees its position.
    *position = static_cast<int32_t>(static_cast<uint32_t>(value));
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    int32_t position = 0;
    if (argc != 2 || !parse_position(argv[1], &position)) {
        still_failed("the position must be a whole number, as in still.html?pos=5000000");
        return 2;
    }
    FrameRenderer renderer;
    std::string error;
    if (!renderer.open(kWidth, kHeight, error)) {
        still_failed(error.c_str());
        return 1;
    }
    for (const std::string& warning : renderer.texture_warnings()) {
        std::fprintf(stderr, "demo-still: %s\n", warning.c_str());
    }
    std::vector<uint8_t> rgba(size_t{kWidth} * kHeight * 4);
    if (!renderer.render(position, rgba)) {
        still_failed("the device refused the frame");
        return 1;
    }
    show_frame(rgba.data(), kWidth, kHeight);
    return 0;
}
