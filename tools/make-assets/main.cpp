// demo-assets: writes the demo's four textures and its music track.
//
//   demo-assets OUTDIR                         all five files into OUTDIR
//   demo-assets --only music|textures OUTDIR   just the track or just the textures
//   demo-assets --short-track SECONDS FILE     the first SECONDS of the track, faded out
//
// The output is the same, byte for byte, on every run.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <future>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mp3_encoder.h"
#include "output_file.h"
#include "song.h"
#include "textures.h"

namespace {

namespace fs = std::filesystem;
using namespace assets;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr const char* kTrackFile = "demo.mp3";

constexpr const char* kSynopsis =
    "usage: demo-assets [--only music|textures] OUTDIR\n"
    "       demo-assets --short-track SECONDS FILE\n"
    "       demo-assets --help\n";

constexpr const char* kDescription =
    "\n"
    "Writes the demo's input files, the same bytes on every run:\n"
    "  tree.dds, leaf.dds, ground.dds, grass.dds   textures with full mip chains\n"
    "  demo.mp3                                    the music, about 112 s, 192 kbit/s\n"
    "\n"
    "  --only music|textures   write only the track or only the four textures\n"
    "  --short-track SECONDS FILE\n"
    "                          write the first SECONDS (0.1 to 60) of the track,\n"
    "                          faded out at the end, to FILE\n"
    "  --help                  show this text\n"
    "\n"
    "Each file is written under a temporary name and renamed when complete.\n"
    "Exit status: 0 done, 1 a file could not be made, 2 bad usage.\n";

struct Options {
    bool music = true;
    bool textures = true;
    std::optional<double> short_seconds;
    fs::path target;  // OUTDIR, or FILE with --short-track
};

struct UsageError {
    std::string message;
};

std::optional<double> parse_seconds(const std::string& text)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !std::isfinite(value) || value < 0.1 ||
        value > 60.0) {
        return std::nullopt;
    }
    return value;
}

Options parse(const std::vector<std::string>& args)
{
    Options options;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--only") {
            if (i + 1 >= args.size()) {
                throw UsageError{"--only needs 'music' or 'textures'"};
            }
            const std::string& what = args[++i];
            if (what != "music" && what != "textures") {
                throw UsageError{"--only takes 'music' or 'textures', not '" + what + "'"};
            }
            options.music = what == "music";
            options.textures = what == "textures";
        } else if (arg == "--short-track") {
            if (i + 1 >= args.size()) {
                throw UsageError{"--short-track needs SECONDS and FILE"};
            }
            options.short_seconds = parse_seconds(args[++i]);
            if (!options.short_seconds) {
                throw UsageError{"--short-track: SECONDS must be a number from 0.1 to 60, not '" +
                                 args[i] + "'"};
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError{"unknown option '" + arg + "'"};
        } else {
            positional.push_back(arg);
        }
    }
    if (options.short_seconds && (!options.music || !options.textures)) {
        throw UsageError{"--short-track cannot be combined with --only"};
    }
    if (positional.size() != 1) {
        throw UsageError{options.short_seconds ? "--short-track needs exactly one FILE"
                                               : "exactly one OUTDIR is needed"};
    }
    options.target = positional.front();
    return options;
}

// Prints a line whenever the stage changes or another tenth is done.
class ProgressLine {
public:
    explicit ProgressLine(std::string file) : file_(std::move(file)) {}
    void operator()(std::string_view stage, double fraction)
    {
        const int tenth = static_cast<int>(fraction * 10.0);
        if (stage != stage_ || tenth != tenth_) {
            stage_ = stage;
            tenth_ = tenth;
            std::fprintf(stderr, "%s: %.*s %3d%%\n", file_.c_str(), static_cast<int>(stage.size()),
                         stage.data(), tenth * 10);
        }
    }

private:
    std::string file_;
    std::string stage_;
    int tenth_ = -1;
};

void write_track(const fs::path& path, int64_t frames, bool short_track)
{
    ProgressLine line(path.filename().string());
    const Progress progress = [&line](std::string_view stage, double fraction) {
        line(stage, fraction);
    };
    const std::vector<int16_t> pcm =
        short_track ? render_short_track(frames, progress) : render_song(frames, progress);
    const std::vector<uint8_t> mp3 = encode_mp3(pcm, progress);
    write_file_atomically(path, mp3);
    std::fprintf(stderr, "%s: %zu bytes, %.2f s\n", path.string().c_str(), mp3.size(),
                 static_cast<double>(frames) / kSampleRate);
}

void write_textures(const fs::path& dir)
{
    for (const TextureAsset& asset : kTextureAssets) {
        const fs::path path = dir / asset.file_name;
        const std::vector<uint8_t> bytes = make_texture_file(asset);
        write_file_atomically(path, bytes);
        std::fprintf(stderr, "%s: %zu bytes\n", path.string().c_str(), bytes.size());
    }
}

void make_directory(const fs::path& dir)
{
    std::error_code error;
    fs::create_directories(dir, error);
    if (error) {
        throw FileError(dir, "cannot create directory: " + error.message());
    }
    if (!fs::is_directory(dir)) {
        throw FileError(dir, "not a directory");
    }
}

int run(const Options& options)
{
    if (options.short_seconds) {
        const auto frames =
            static_cast<int64_t>(std::llround(*options.short_seconds * kSampleRate));
        write_track(options.target, frames, true);
        return 0;
    }
    make_directory(options.target);
    // The textures are made on a second thread while the music renders.
    std::future<void> textures;
    if (options.textures) {
        textures = std::async(std::launch::async, write_textures, options.target);
    }
    if (options.music) {
        write_track(options.target / kTrackFile, kTrackFrames, false);
    }
    if (textures.valid()) {
        textures.get();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(kSynopsis, stdout);
            std::fputs(kDescription, stdout);
            return 0;
        }
    }
    Options options;
    try {
        options = parse(args);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "demo-assets: %s\n%s", error.message.c_str(), kSynopsis);
        return kExitUsage;
    }
    try {
        return run(options);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "demo-assets: %s\n", error.what());
        return kExitFailure;
    }
}
