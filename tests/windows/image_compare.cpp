// image-compare: measures how far two PNG pictures of one frame are apart and
// whether that is within a tolerance.
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/windows/image_diff.h"

namespace {

constexpr const char* kUsage =
    "usage: image-compare [options] REFERENCE.png CANDIDATE.png\n"
    "Compares the R, G, B channels of two pictures of the same size and prints\n"
    "  mean M largest L over F%\n"
    "(mean and largest absolute channel difference, 0..255, and the share of\n"
    "pixels with a channel differing by more than the threshold).\n"
    "Exits 0 within the tolerance, 1 beyond it or on unreadable files.\n"
    "  --threshold N   per-channel difference that makes a pixel count as over (default 32)\n"
    "  --max-mean M    largest mean difference accepted (default 2.0)\n"
    "  --max-over P    largest share of pixels over the threshold, in percent (default 1.0)\n"
    "  --diff OUT.png  also write the differences, scaled by 4\n";

struct Options {
    int threshold = 32;
    Tolerance tolerance{2.0, 0.01};
    std::string diff_path;
    std::string reference;
    std::string candidate;
};

bool parse_number(const char* text, double* value)
{
    char* end = nullptr;
    *value = std::strtod(text, &end);
    return end != text && *end == '\0' && *value >= 0.0;
}

// 0 when the options are good, 2 for bad usage, -1 after --help.
int parse_arguments(int argc, char** argv, Options* options)
{
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return -1;
        }
        const bool takes_value =
            arg == "--threshold" || arg == "--max-mean" || arg == "--max-over" || arg == "--diff";
        if (!takes_value) {
            if (arg.starts_with("--")) {
                std::fprintf(stderr, "image-compare: unknown option %s\n", arg.c_str());
                return 2;
            }
            files.push_back(arg);
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "image-compare: %s wants a value\n", arg.c_str());
            return 2;
        }
        const char* value = argv[++i];
        double number = 0.0;
        if (arg == "--diff") {
            options->diff_path = value;
        } else if (!parse_number(value, &number)) {
            std::fprintf(stderr, "image-compare: %s wants a non-negative number, not \"%s\"\n",
                         arg.c_str(), value);
            return 2;
        } else if (arg == "--threshold") {
            options->threshold = static_cast<int>(number);
        } else if (arg == "--max-mean") {
            options->tolerance.mean = number;
        } else {
            options->tolerance.over_fraction = number / 100.0;
        }
    }
    if (files.size() != 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    options->reference = files[0];
    options->candidate = files[1];
    return 0;
}

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
};

bool load(const std::string& path, Picture* picture)
{
    int channels = 0;
    unsigned char* pixels =
        stbi_load(path.c_str(), &picture->width, &picture->height, &channels, 4);
    if (pixels == nullptr) {
        std::fprintf(stderr, "image-compare: %s: %s\n", path.c_str(), stbi_failure_reason());
        return false;
    }
    picture->rgba.assign(pixels, pixels + size_t(picture->width) * size_t(picture->height) * 4);
    stbi_image_free(pixels);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    const int usage = parse_arguments(argc, argv, &options);
    if (usage != 0) {
        return usage < 0 ? 0 : usage;
    }
    Picture reference;
    Picture candidate;
    if (!load(options.reference, &reference) || !load(options.candidate, &candidate)) {
        return 1;
    }
    if (reference.width != candidate.width || reference.height != candidate.height) {
        std::fprintf(stderr, "image-compare: %s is %dx%d but %s is %dx%d\n",
                     options.reference.c_str(), reference.width, reference.height,
                     options.candidate.c_str(), candidate.width, candidate.height);
        return 1;
    }
    const size_t pixels = size_t(reference.width) * size_t(reference.height);
    const ImageDiff diff = diff_rgba8(reference.rgba, candidate.rgba, pixels, options.threshold);
    std::printf("mean %.3f largest %d over %.3f%%\n", diff.mean, diff.largest,
                diff.over_fraction * 100.0);

    if (!options.diff_path.empty()) {
        std::vector<uint8_t> picture(pixels * 4);
        difference_image(reference.rgba, candidate.rgba, pixels, 4, picture);
        if (stbi_write_png(options.diff_path.c_str(), reference.width, reference.height, 4,
                           picture.data(), reference.width * 4) == 0) {
            std::fprintf(stderr, "image-compare: %s: cannot write the file\n",
                         options.diff_path.c_str());
            return 1;
        }
    }
    return within(diff, options.tolerance) ? 0 : 1;
}
