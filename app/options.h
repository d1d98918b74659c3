// The show's command line, the same on every build: Windows hands WinMain
// the text after the program's name, and the Linux entry joins its
// arguments into the same text. Parsing writes into fixed storage only.
#pragma once

#include <cstddef>
#include <cstdint>

// Decoded music as the audio library counts it: 44100 Hz, 16-bit stereo.
inline constexpr int64_t kMusicBytesPerSecond = 176400;

// The show's shape: the scenes are composed for 960 x 544.
inline constexpr int kShowWidth = 960;
inline constexpr int kShowHeight = 544;

struct ShowOptions {
    bool help = false;                // -h, --help or /?: show the usage and end
    bool fullscreen = false;          // --fullscreen
    bool loop = false;                // --loop
    bool rehearse = false;            // --rehearse: the transport's keys and title
    bool window_given = false;        // --window WxH was given
    int window_width = kShowWidth;    // with --window the client area's size,
    int window_height = kShowHeight;  // without it the window's outer size
    int64_t from = 0;                 // --from POSITION, in bytes of decoded music
};

// Reads a command line ("--window 1280x720 --from 45s"; null is empty).
// Options may also be written --name=value. On a mistake returns false and
// puts a one-line message (no newline) into error.
bool parse_show_options(const char* command_line, ShowOptions* options, char* error,
                        size_t error_size);

// A position as bytes (176400) or seconds (45s, 12.5s, up to three
// decimals), a multiple of 4 bytes (one stereo sample); -1 if the text is
// neither or the position is beyond 2^31 bytes (the show's clock is 32-bit).
int64_t parse_music_position(const char* text, size_t length);

// The options and keys, as the help shows them.
const char* show_usage();

// The largest rectangle of the show's 960:544 shape inside width x height,
// centred; the bars left over are split evenly, the odd pixel on the right
// or bottom.
struct ShowFrame {
    int left;
    int top;
    int width;
    int height;
};
ShowFrame fit_show_frame(int width, int height);
