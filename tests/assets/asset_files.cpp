#include "asset_files.h"

#include <gtest/gtest.h>
#include <mpg123.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace asset_test {

namespace fs = std::filesystem;

fs::path built_asset(const std::string& name)
{
    return fs::path(DEMO_ASSET_DIR) / name;
}

std::vector<uint8_t> read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error(path.string() + ": cannot open");
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

namespace {

struct HandleCloser {
    void operator()(mpg123_handle* h) const
    {
        mpg123_close(h);
        mpg123_delete(h);
    }
};

}  // namespace

Decoded decode_mp3(const fs::path& path)
{
    int error = MPG123_OK;
    std::unique_ptr<mpg123_handle, HandleCloser> handle(mpg123_new(nullptr, &error));
    if (!handle) {
        throw std::runtime_error("mpg123_new failed");
    }
    mpg123_format_none(handle.get());
    mpg123_format(handle.get(), 44100, MPG123_STEREO | MPG123_MONO, MPG123_ENC_SIGNED_16);
    if (mpg123_open(handle.get(), path.c_str()) != MPG123_OK) {
        throw std::runtime_error(path.string() + ": " + mpg123_strerror(handle.get()));
    }
    Decoded decoded;
    std::vector<unsigned char> buffer(1 << 16);
    for (;;) {
        size_t done = 0;
        const int result = mpg123_read(handle.get(), buffer.data(), buffer.size(), &done);
        const auto* samples = reinterpret_cast<const int16_t*>(buffer.data());
        decoded.samples.insert(decoded.samples.end(), samples, samples + done / 2);
        if (result == MPG123_NEW_FORMAT) {
            int encoding = 0;
            mpg123_getformat(handle.get(), &decoded.rate, &decoded.channels, &encoding);
        } else if (result == MPG123_DONE) {
            break;
        } else if (result != MPG123_OK) {
            throw std::runtime_error(path.string() + ": " + mpg123_strerror(handle.get()));
        }
    }
    return decoded;
}

RunResult run_generator(const std::vector<std::string>& args)
{
    // Tests run in parallel processes: each run gets its own file.
    static int runs = 0;
    const fs::path err_file =
        fs::path(::testing::TempDir()) /
        ("demo-assets-stderr-" + std::to_string(getpid()) + "-" + std::to_string(++runs) + ".txt");
    std::string command = std::string("'") + DEMO_ASSETS_EXE + "'";
    for (const std::string& arg : args) {
        command += " '" + arg + "'";
    }
    command += " >/dev/null 2>'" + err_file.string() + "'";
    const int status = std::system(command.c_str());
    RunResult result;
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const std::vector<uint8_t> err = read_file(err_file);
    result.err.assign(err.begin(), err.end());
    fs::remove(err_file);
    return result;
}

ScratchDir::ScratchDir(const std::string& name)
    : path_(fs::path(::testing::TempDir()) /
            ("demo-assets-" + name + "-" + std::to_string(getpid())))
{
    fs::remove_all(path_);
    fs::create_directories(path_);
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

}  // namespace asset_test
