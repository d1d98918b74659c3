// Command line of demo-capture.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace capture {

inline constexpr int64_t kBytesPerSecond = 176400;  // 44100 Hz, stereo, 16-bit

// A music position as given: bytes, or seconds (with an "s" suffix).
struct Position {
    int64_t bytes = 0;
};

struct Options {
    std::string output;  // the MP4 to write; empty with --sheet alone
    int fps = 60;
    uint32_t width = 1920;
    uint32_t height = 1080;
    std::optional<int64_t> from;  // music bytes; default the start of the track
    std::optional<int64_t> to;    // music bytes, exclusive; default its end
    std::string music = "demo.mp3";
    int sheet_frames = 0;  // 0: no contact sheet
    std::string sheet_output;
    std::string frames_dir;  // also write every frame as a PNG here
    std::string preset;      // x264 preset; empty for the encoder's default
    bool help = false;
};

// Bytes of music per video frame: 176400 / fps, a whole number for every
// rate the tool accepts.
int64_t bytes_per_frame(int fps);

// Parses "12345" (bytes) or "12.5s" (seconds, rounded down to a whole sample
// frame of 4 bytes). Null for anything else or a negative value.
std::optional<int64_t> parse_position(const std::string& text);

// The x264 presets, fastest first.
inline constexpr const char* kPresets[] = {"ultrafast", "superfast", "veryfast", "faster",  "fast",
                                           "medium",    "slow",      "slower",   "veryslow"};

// Parses the arguments (without the program name). On a usage error returns
// null and writes the reason to error.
std::optional<Options> parse_options(int argc, const char* const* argv, std::string& error);

const char* usage();

}  // namespace capture
