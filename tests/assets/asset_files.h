#pragma once
// Test helpers: reading the generated files, decoding MP3 with libmpg123 (as
// the demo's Linux audio library does) and running the generator.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace asset_test {

// Where the build's `assets` target put the five files.
std::filesystem::path built_asset(const std::string& name);

std::vector<uint8_t> read_file(const std::filesystem::path& path);

struct Decoded {
    long rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;  // interleaved
    size_t frames() const { return channels ? samples.size() / static_cast<size_t>(channels) : 0; }
};

// Decodes a whole file with libmpg123's defaults (gapless on), 16-bit output.
Decoded decode_mp3(const std::filesystem::path& path);

struct RunResult {
    int exit_code = -1;
    std::string err;  // what the program wrote to stderr
};

// Runs demo-assets with `args` (each quoted for the shell).
RunResult run_generator(const std::vector<std::string>& args);

// An empty directory of this process, removed with everything in it at the
// end of the test.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& name);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace asset_test
