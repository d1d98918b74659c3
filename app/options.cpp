#include "app/options.h"

#include <charconv>
#include <cstdio>
#include <string_view>

namespace {

constexpr int kMinWindowSide = 64;
constexpr int kMaxWindowSide = 16384;
constexpr int64_t kMaxPosition = int64_t{1} << 31;

// The next word of the command line; words are separated by blanks, and a
// quoted part ("...") may hold blanks, as Windows' own rule has it.
std::string_view next_word(std::string_view& rest, char* storage, size_t storage_size)
{
    size_t i = 0;
    while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t')) {
        ++i;
    }
    size_t length = 0;
    bool quoted = false;
    for (; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && (c == ' ' || c == '\t')) {
            break;
        }
        if (length + 1 < storage_size) {
            storage[length++] = c;
        }
    }
    rest.remove_prefix(i);
    return {storage, length};
}

bool parse_int(std::string_view text, int64_t* value)
{
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, *value);
    return !text.empty() && error == std::errc() && stop == end;
}

bool parse_window_size(std::string_view text, int* width, int* height)
{
    const size_t x = text.find('x');
    if (x == std::string_view::npos) {
        return false;
    }
    int64_t w = 0;
    int64_t h = 0;
    if (!parse_int(text.substr(0, x), &w) || !parse_int(text.substr(x + 1), &h)) {
        return false;
    }
    if (w < kMinWindowSide || h < kMinWindowSide || w > kMaxWindowSide || h > kMaxWindowSide) {
        return false;
    }
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    return true;
}

bool fail(char* error, size_t error_size, const char* format, std::string_view word)
{
    std::snprintf(error, error_size, format, static_cast<int>(word.size()), word.data());
    return false;
}

}  // namespace

int64_t parse_music_position(const char* text, size_t length)
{
    std::string_view word(text, length);
    if (word.empty()) {
        return -1;
    }
    int64_t bytes = 0;
    if (word.back() == 's') {
        // Seconds with up to three decimals, counted in milliseconds so that
        // "45s" and "45.000s" give the same bytes on every build.
        word.remove_suffix(1);
        const size_t point = word.find('.');
        int64_t whole = 0;
        int64_t millis = 0;
        if (!parse_int(word.substr(0, point), &whole) || whole < 0 || whole > kMaxPosition) {
            return -1;
        }
        if (point != std::string_view::npos) {
            const std::string_view decimals = word.substr(point + 1);
            if (decimals.empty() || decimals.size() > 3 ||
                decimals.find_first_not_of("0123456789") != std::string_view::npos) {
                return -1;
            }
            parse_int(decimals, &millis);
            for (size_t i = decimals.size(); i < 3; ++i) {
                millis *= 10;
            }
        }
        bytes = (whole * 1000 + millis) * kMusicBytesPerSecond / 1000;
    } else if (!parse_int(word, &bytes) || bytes < 0) {
        return -1;
    }
    if (bytes >= kMaxPosition) {
        return -1;
    }
    return bytes - bytes % 4;
}

bool parse_show_options(const char* command_line, ShowOptions* options, char* error,
                        size_t error_size)
{
    *options = ShowOptions{};
    std::string_view rest = command_line != nullptr ? command_line : "";
    char word_storage[256];
    char value_storage[256];
    while (true) {
        std::string_view word = next_word(rest, word_storage, sizeof word_storage);
        if (word.empty()) {
            return true;
        }
        if (word == "-h" || word == "--help" || word == "/?") {
            options->help = true;
            return true;
        }
        if (word == "--fullscreen") {
            options->fullscreen = true;
            continue;
        }
        if (word == "--loop") {
            options->loop = true;
            continue;
        }
        if (word == "--rehearse") {
            options->rehearse = true;
            continue;
        }

        // The options with a value: "--name value" or "--name=value".
        std::string_view name = word;
        std::string_view value;
        const size_t equals = word.find('=');
        if (equals != std::string_view::npos) {
            name = word.substr(0, equals);
            value = word.substr(equals + 1);
        }
        if (name != "--window" && name != "--from") {
            return fail(error, error_size, "unknown option '%.*s'", word);
        }
        if (equals == std::string_view::npos) {
            value = next_word(rest, value_storage, sizeof value_storage);
        }
        if (name == "--window") {
            options->window_given = true;
            if (!parse_window_size(value, &options->window_width, &options->window_height)) {
                return fail(error, error_size,
                            "--window needs WIDTHxHEIGHT, each side 64 to 16384, such as "
                            "1280x720, not '%.*s'",
                            value);
            }
        } else {
            options->from = parse_music_position(value.data(), value.size());
            if (options->from < 0) {
                return fail(error, error_size,
                            "--from needs a music position in bytes (8000000) or seconds "
                            "(45s, 12.5s), not '%.*s'",
                            value);
            }
        }
    }
}

const char* show_usage()
{
    return "Usage: demo [--fullscreen] [--window WxH] [--from POSITION] [--loop]\n"
           "            [--rehearse]\n"
           "\n"
           "Plays the show with its music, demo.mp3, and the four textures\n"
           "(tree.dds, grass.dds, ground.dds, leaf.dds) from the working folder.\n"
           "\n"
           "  --fullscreen      cover the whole monitor at its current mode, without\n"
           "                    the mouse cursor; the picture keeps its 960:544 shape,\n"
           "                    with black bars where the monitor's shape differs\n"
           "  --window WxH      the size of the window's inside, where the picture\n"
           "                    goes, with bars if its shape is not 960:544\n"
           "                    (without it: a 960x544 window)\n"
           "  --from POSITION   start at a music position: bytes of decoded music\n"
           "                    (8000000) or seconds (45s); 176400 bytes make a second\n"
           "  --loop            start again from the beginning when the music ends\n"
           "  --rehearse        let the keys below pause and move the show, and show\n"
           "                    the time and the scene in the window's title\n"
           "  -h, --help, /?    show this help\n"
           "\n"
           "Keys: Esc or Alt-F4 end the show, Alt-Enter switches between window\n"
           "and fullscreen. With --rehearse: Space or K pause and resume, Left and\n"
           "Right go 5 seconds back and on, Home to the start, 1 to 5 to a scene.\n";
}

ShowFrame fit_show_frame(int width, int height)
{
    // Compare width:height with 960:544 without rounding: which side fills.
    int frame_width = width;
    int frame_height = height;
    if (int64_t{width} * kShowHeight > int64_t{height} * kShowWidth) {
        frame_width =
            static_cast<int>((int64_t{height} * kShowWidth + kShowHeight / 2) / kShowHeight);
    } else {
        frame_height =
            static_cast<int>((int64_t{width} * kShowHeight + kShowWidth / 2) / kShowWidth);
    }
    return {(width - frame_width) / 2, (height - frame_height) / 2, frame_width, frame_height};
}
