#include "output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace assets {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string errno_text()
{
    return std::strerror(errno);
}

}  // namespace

void write_file_atomically(const std::filesystem::path& path, std::span<const uint8_t> bytes)
{
    std::filesystem::path part = path;
    part += ".part";
    {
        std::unique_ptr<std::FILE, FileCloser> file(std::fopen(part.c_str(), "wb"));
        if (!file) {
            throw FileError(part, "cannot create: " + errno_text());
        }
        if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
            std::fflush(file.get()) != 0) {
            const std::string cause = "cannot write: " + errno_text();
            file.reset();
            std::filesystem::remove(part);
            throw FileError(part, cause);
        }
        if (std::fclose(file.release()) != 0) {
            const std::string cause = "cannot close: " + errno_text();
            std::filesystem::remove(part);
            throw FileError(part, cause);
        }
    }
    std::error_code error;
    std::filesystem::rename(part, path, error);
    if (error) {
        std::filesystem::remove(part);
        throw FileError(path,
                        "cannot rename from " + part.filename().string() + ": " + error.message());
    }
}

}  // namespace assets
