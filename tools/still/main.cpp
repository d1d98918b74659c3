// demo-still: one frame of the demo as a PNG.
//
//   demo-still BYTEPOS out.png [--size WxH]
//
// Renders the frame the demo shows at music byte position BYTEPOS, through
// the real scene code with the four textures of the working directory, and
// writes it to out.png (960 x 544 unless --size says otherwise). Exit status:
// 0 done, 1 failed (device, output), 2 bad usage.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/still/frame_renderer.h"
#include "tools/still/png_writer.h"

namespace {

constexpr const char* kUsage =
    "Usage: demo-still BYTEPOS OUTPUT.png [--size WxH]\n"
    "\n"
    "Renders the demo's frame at music byte position BYTEPOS (the decoded-audio\n"
    "byte count the scenes are timed by, -2147483648 to 2147483647) and writes it\n"
    "as a PNG. Textures are read from the working directory (tree.dds, leaf.dds,\n"
    "ground.dds, grass.dds); a missing one is drawn untextured, with a warning.\n"
    "\n"
    "Options:\n"
    "  --size WxH   picture size in pixels, each side 1 to 8192 (default 960x544)\n"
    "  -h, --help   show this help\n"
    "\n"
    "Exit status: 0 written, 1 rendering or writing failed, 2 bad usage.\n";

constexpr int kMaxSide = 8192;

struct Options {
    int32_t position = 0;
    std::string output;
    int width = 960;
    int height = 544;
    bool help = false;
};

template <typename T>
bool parse_number(std::string_view text, T* value)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, *value);
    return result.ec == std::errc() && result.ptr == end && !text.empty();
}

bool parse_size(std::string_view text, int* width, int* height)
{
    const size_t x = text.find_first_of("xX");
    return x != std::string_view::npos && parse_number(text.substr(0, x), width) &&
           parse_number(text.substr(x + 1), height) && *width >= 1 && *width <= kMaxSide &&
           *height >= 1 && *height <= kMaxSide;
}

std::optional<Options> parse_options(int argc, char** argv, std::string& error)
{
    Options options;
    std::vector<std::string_view> operands;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            options.help = true;
            return options;
        }
        if (arg == "--size" || arg.starts_with("--size=")) {
            std::string_view value;
            if (arg == "--size") {
                if (i + 1 >= argc) {
                    error = "--size needs a value such as 960x544";
                    return std::nullopt;
                }
                value = argv[++i];
            } else {
                value = arg.substr(7);
            }
            if (!parse_size(value, &options.width, &options.height)) {
                error = "--size wants WxH with each side from 1 to " + std::to_string(kMaxSide) +
                        ", not \"" + std::string(value) + "\"";
                return std::nullopt;
            }
        } else if (arg.size() > 1 && arg[0] == '-' && !(arg[1] >= '0' && arg[1] <= '9')) {
            error = "unknown option \"" + std::string(arg) + "\"";
            return std::nullopt;
        } else {
            operands.push_back(arg);
        }
    }
    if (operands.size() != 2) {
        error = operands.size() < 2 ? "expected a byte position and an output file"
                                    : "too many arguments";
        return std::nullopt;
    }
    if (!parse_number(operands[0], &options.position)) {
        error = "the byte position must be a whole number from -2147483648 to 2147483647, not \"" +
                std::string(operands[0]) + "\"";
        return std::nullopt;
    }
    options.output = operands[1];
    return options;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string error;
    const std::optional<Options> options = parse_options(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "demo-still: %s\nTry 'demo-still --help'.\n", error.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    FrameRenderer renderer;
    if (!renderer.open(options->width, options->height, error)) {
        std::fprintf(stderr, "demo-still: %s\n", error.c_str());
        return 1;
    }
    for (const std::string& warning : renderer.texture_warnings()) {
        std::fprintf(stderr, "demo-still: warning: %s\n", warning.c_str());
    }
    std::vector<uint8_t> rgba(static_cast<size_t>(options->width) * options->height * 4);
    if (!renderer.render(options->position, rgba)) {
        std::fprintf(stderr, "demo-still: the frame at byte %d could not be rendered\n",
                     options->position);
        return 1;
    }
    if (!write_png(options->output, options->width, options->height, rgba.data(), error)) {
        std::fprintf(stderr, "demo-still: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
