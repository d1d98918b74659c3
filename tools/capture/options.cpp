#include "tools/capture/options.h"

#include <charconv>
#include <cstring>
#include <string_view>

#include "app/options.h"

namespace capture {

namespace {

constexpr int kRates[] = {24, 25, 30, 50, 60, 120};

template <typename T>
std::optional<T> parse_number(const std::string& text)
{
    T value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

bool parse_size(const std::string& text, uint32_t& width, uint32_t& height)
{
    const size_t x = text.find('x');
    if (x == std::string::npos) {
        return false;
    }
    const auto w = parse_number<uint32_t>(text.substr(0, x));
    const auto h = parse_number<uint32_t>(text.substr(x + 1));
    // Even sizes only: H.264 in 4:2:0 needs them.
    if (!w || !h || *w < 16 || *h < 16 || *w > 8192 || *h > 8192 || *w % 2 || *h % 2) {
        return false;
    }
    width = *w;
    height = *h;
    return true;
}

bool arg_is(const char* value, const char* name)
{
    return std::string_view(value) == name;
}

}  // namespace

int64_t bytes_per_frame(int fps)
{
    return kMusicBytesPerSecond / fps;
}

std::optional<Options> parse_options(int argc, const char* const* argv, std::string& error)
{
    Options options;
    auto value_of = [&](int& i, const std::string& flag) -> const char* {
        if (i + 1 >= argc) {
            error = flag + " needs a value";
            return nullptr;
        }
        return argv[++i];
    };

    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            options.help = true;
            return options;
        }
        if (arg == "--fps") {
            const char* v = value_of(i, arg);
            if (!v)
                return std::nullopt;
            const auto fps = parse_number<int>(v);
            bool known = false;
            for (int rate : kRates)
                known = known || (fps && *fps == rate);
            if (!known) {
                error = std::string("--fps must be 24, 25, 30, 50, 60 or 120, not '") + v + "'";
                return std::nullopt;
            }
            options.fps = *fps;
        } else if (arg == "--size") {
            const char* v = value_of(i, arg);
            if (!v)
                return std::nullopt;
            if (!parse_size(v, options.width, options.height)) {
                error =
                    std::string("--size must be WIDTHxHEIGHT, even, 16 to 8192, not '") + v + "'";
                return std::nullopt;
            }
        } else if (arg == "--from" || arg == "--to") {
            const char* v = value_of(i, arg);
            if (!v)
                return std::nullopt;
            // The show's own reading of a position (app/options.h).
            const int64_t position = parse_music_position(v, std::strlen(v));
            if (position < 0) {
                error =
                    arg + " must be a byte position (12345) or seconds (12.5s), not '" + v + "'";
                return std::nullopt;
            }
            (arg == "--from" ? options.from : options.to) = position;
        } else if (arg == "--music") {
            const char* v = value_of(i, arg);
            if (!v)
                return std::nullopt;
            options.music = v;
        } else if (arg == "--preset") {
            const char* v = value_of(i, arg);
            if (!v)
                return std::nullopt;
            bool known = false;
            for (const char* preset : kPresets)
                known = known || arg_is(v, preset);
            if (!known) {
                error = std::string(
                            "--preset must be an x264 preset (ultrafast, superfast, "
                            "veryfast, faster, fast, medium, slow, slower, veryslow), "
                            "not '") +
                        v + "'";
                return std::nullopt;
            }
            options.preset = v;
        } else if (arg == "--frames") {
            const char* v = value_of(i, arg);
            if (!v)
                return std::nullopt;
            options.frames_dir = v;
        } else if (arg == "--sheet") {
            if (i + 2 >= argc) {
                error = "--sheet needs a frame count and a PNG file";
                return std::nullopt;
            }
            const auto frames = parse_number<int>(argv[i + 1]);
            if (!frames || *frames < 1 || *frames > 100) {
                error =
                    std::string("--sheet frame count must be 1 to 100, not '") + argv[i + 1] + "'";
                return std::nullopt;
            }
            options.sheet_frames = *frames;
            options.sheet_output = argv[i + 2];
            i += 2;
        } else if (!arg.empty() && arg[0] == '-') {
            error = "unknown option '" + arg + "'";
            return std::nullopt;
        } else if (options.output.empty()) {
            options.output = arg;
        } else {
            error = "more than one output file given ('" + options.output + "' and '" + arg + "')";
            return std::nullopt;
        }
    }

    if (options.output.empty() && options.sheet_frames == 0 && options.frames_dir.empty()) {
        error = "no output: give an MP4 file to write, --frames DIR or --sheet N FILE.png";
        return std::nullopt;
    }
    if (options.from && options.to && *options.to <= *options.from) {
        error = "--to must come after --from";
        return std::nullopt;
    }
    return options;
}

const char* usage()
{
    return R"(Usage: demo-capture [OPTIONS] OUTPUT.mp4
       demo-capture [OPTIONS] --sheet N SHEET.png [OUTPUT.mp4]
       demo-capture [OPTIONS] --frames DIR [OUTPUT.mp4]

Records the show to an H.264 MP4 with its music, rendering every frame
offscreen from its music position, faster than real time where the machine
allows. Frame k shows the music byte position FROM + k x 176400 / FPS, so
every run gives the same frames, bit for bit. Run it in the folder that holds
the textures (tree.dds, leaf.dds, ground.dds, grass.dds) and demo.mp3.

Options:
  --fps N           frames per second: 24, 25, 30, 50, 60 (default) or 120
  --size WxH        frame size in pixels (default 1920x1080; even numbers)
  --from POS        start of the range (default: the start of the music)
  --to POS          end of the range, exclusive (default: the end of the music)
                    POS is a byte position of the decoded music (12345) or
                    seconds (12.5s, up to three decimals); 176400 bytes
                    make one second, and positions stop short of 2^31 bytes
  --music FILE      the music (default demo.mp3)
  --sheet N FILE    write a contact sheet: N frames spread over the range, in
                    one PNG, each labelled with its time
  --frames DIR      also write every frame, exactly as rendered, as
                    DIR/frame-000000.png, DIR/frame-000001.png, ...
  --preset NAME     x264's speed against file size at the same quality
                    (CRF 20): ultrafast (default: fastest, largest file),
                    superfast, veryfast, faster, fast, medium, ... veryslow
  -h, --help        show this help

The MP4 appears only when it is complete; Ctrl-C stops the capture and
leaves no partial file. Needs the ffmpeg command-line tool.

Exit status: 0 done, 1 failure (ffmpeg missing or failing, music not
decodable, output not writable), 2 bad usage, 130 interrupted.
)";
}

}  // namespace capture
