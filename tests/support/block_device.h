// A block device for a symbolic link to point at, for the tests of input
// files that are no files.
#pragma once

#include <filesystem>
#include <system_error>

namespace test_support {

// The first block device under /dev, or an empty path where there is none
// (a container may have none): the caller skips its case then.
inline std::filesystem::path some_block_device()
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev", error)) {
        if (std::filesystem::is_block_file(entry.symlink_status(error))) {
            return entry.path();
        }
    }
    return {};
}

}  // namespace test_support
