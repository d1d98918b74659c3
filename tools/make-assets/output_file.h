#pragma once
// Writing an output file so that a reader never sees half of it.

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>

namespace assets {

// A failure that names the file and the cause.
class FileError : public std::runtime_error {
public:
    FileError(const std::filesystem::path& path, const std::string& cause)
        : std::runtime_error(path.string() + ": " + cause)
    {
    }
};

// Writes `bytes` to "<path>.part" and renames it to `path` once complete.
// Throws FileError.
void write_file_atomically(const std::filesystem::path& path, std::span<const uint8_t> bytes);

}  // namespace assets
