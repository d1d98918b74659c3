// render-bench: frames per second of the OpenGL device on the real scene.
//
//   render-bench [--size WxH] [--repeat N] [--skip ELEMENT]... BYTEPOS...
//
// Renders the frames at the given music positions through FrameRenderer
// (offscreen device, the textures of the working directory), each frame
// finished by reading the back buffer into memory, as demo-probe.exe --bench
// does on Direct3D 9. One untimed pass over the positions first (shaders,
// texture residency), then N timed passes. Standard output names the OpenGL
// renderer ("RENDERER llvmpipe (LLVM 15.0.6, 256 bits)"); its last line
// reads "RESULT frames=F seconds=S fps=R". --skip leaves an element's draws
// out of every frame, to show what it costs.
#include <charconv>
#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "bench/element_filter.h"
#include "gu/gu.h"
#include "host/gl/gl_api.h"
#include "tools/still/frame_renderer.h"

namespace {

constexpr const char* kUsage =
    "Usage: render-bench [--size WxH] [--repeat N] [--skip ELEMENT]... BYTEPOS...\n"
    "\n"
    "Renders the demo's frames at the music byte positions offscreen, each read\n"
    "back into memory, and prints the frames per second. Textures come from the\n"
    "working directory. One untimed pass first, then N timed passes (default 3).\n"
    "\n"
    "  --size WxH   back-buffer size (default 960x544)\n"
    "  --repeat N   timed passes over the positions (default 3)\n"
    "  --skip ELEMENT  leave out the draws of clear, stars, ground, grass,\n"
    "               branches or leaves (to see what each costs)\n"
    "  -h, --help   show this help\n"
    "\n"
    "Exit status: 0 measured, 1 the device failed, 2 bad usage.\n";

struct Options {
    int width = 960;
    int height = 544;
    int repeat = 3;
    uint32_t skipped = 0;  // Element bits
    std::vector<int32_t> positions;
    bool help = false;
};

template <typename T>
bool parse_number(std::string_view text, T* value)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, *value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

bool parse_size(std::string_view text, int* width, int* height)
{
    const size_t x = text.find('x');
    return x != std::string_view::npos && parse_number(text.substr(0, x), width) &&
           parse_number(text.substr(x + 1), height) && *width > 0 && *width <= 8192 &&
           *height > 0 && *height <= 8192;
}

bool parse_options(int argc, char** argv, Options* options, std::string* error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "-h" || arg == "--help") {
            options->help = true;
            return true;
        }
        if (arg == "--size") {
            if (!has_value || !parse_size(argv[++i], &options->width, &options->height)) {
                *error = "--size wants WxH, like 960x544";
                return false;
            }
        } else if (arg == "--repeat") {
            if (!has_value || !parse_number(std::string_view(argv[++i]), &options->repeat) ||
                options->repeat < 1) {
                *error = "--repeat wants a whole number of at least 1";
                return false;
            }
        } else if (arg == "--skip") {
            const uint32_t bit = has_value ? element_bit(argv[++i]) : 0;
            if (bit == 0) {
                *error = "--skip wants clear, stars, ground, grass, branches or leaves";
                return false;
            }
            options->skipped |= bit;
        } else {
            int32_t position = 0;
            if (!parse_number(arg, &position)) {
                *error = std::string(arg) + " is not a byte position";
                return false;
            }
            options->positions.push_back(position);
        }
    }
    if (options->positions.empty()) {
        *error = "no byte positions given";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string error;
    if (!parse_options(argc, argv, &options, &error)) {
        std::fprintf(stderr, "render-bench: %s\nTry 'render-bench --help'.\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    FrameRenderer renderer;
    if (!renderer.open(options.width, options.height, error)) {
        std::fprintf(stderr, "render-bench: %s\n", error.c_str());
        return 1;
    }
    for (const std::string& warning : renderer.texture_warnings()) {
        std::fprintf(stderr, "render-bench: warning: %s\n", warning.c_str());
    }
    // The renderer's context is current once it is open.
    std::printf("RENDERER %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    // The scene reaches the device through the layer's pointer.
    ElementFilter filter(gu_device, options.skipped);
    if (options.skipped != 0) {
        gu_device = &filter;
    }
    std::vector<uint8_t> rgba(static_cast<size_t>(options.width) * options.height * 4);
    auto render_all = [&] {
        for (const int32_t position : options.positions) {
            if (!renderer.render(position, rgba)) {
                std::fprintf(stderr, "render-bench: the frame at byte %d could not be rendered\n",
                             position);
                return false;
            }
        }
        return true;
    };

    if (!render_all()) {
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    for (int pass = 0; pass < options.repeat; ++pass) {
        if (!render_all()) {
            return 1;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const size_t frames = options.positions.size() * static_cast<size_t>(options.repeat);
    std::printf("RESULT frames=%zu seconds=%.4f fps=%.2f\n", frames, seconds,
                static_cast<double>(frames) / seconds);
    return 0;
}
