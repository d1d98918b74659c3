// Command line of demo-capture.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace capture {

struct Options {
    std::string output;  // the MP4 to write; empty with --sheet alone
    int fps = 60;
    uint32_t width = 1920;
    uint32_t height = 1080;
    // Music positions in bytes, read as the demo reads --from.
    std::optional<int64_t> from;  // default the start of the track
    std::optional<int64_t> to;    // exclusive; default its end
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

// The x264 presets, fastest first.
inline constexpr const char* kPresets[] = {"ultrafast", "superfast", "veryfast", "faster",  "fast",
                                           "medium",    "slow",      "slower",   "veryslow"};

// Parses the arguments (without the program name). On a usage error returns
// null and writes the reason to error.
std::optional<Options> parse_options(int argc, const char* const* argv, std::string& error);

const char* usage();

}  // namespace capture
