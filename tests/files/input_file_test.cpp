// The input-file reader every program reads its textures and music through:
// a regular file, directly or through a symbolic link, gives its bytes;
// anything else under the name (a directory, a FIFO, a device, a socket, or
// a link to one) is refused with what it is, without waiting on it; sizes
// are checked before anything is allocated, and no room is an answer rather
// than an exception.
#include "host/common/files/input_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/block_device.h"
#include "tests/support/failing_allocation.h"

namespace {

namespace fs = std::filesystem;
using files::Failure;
using files::Kind;

class InputFile : public testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::path(testing::TempDir()) /
                  ("input_file_test_" +
                   std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    // A file of `size` bytes, byte i being i modulo 251.
    std::string write(const std::string& name, size_t size)
    {
        std::vector<char> bytes(size);
        for (size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<char>(i % 251);
        }
        const fs::path path = folder_ / name;
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<long>(size));
        return path.string();
    }

    fs::path folder_;
};

std::vector<uint8_t> expected_bytes(size_t from, size_t to)
{
    std::vector<uint8_t> bytes;
    for (size_t i = from; i < to; ++i) {
        bytes.push_back(static_cast<uint8_t>(i % 251));
    }
    return bytes;
}

// Reads `path`, giving up after a generous wait: a reader that opened a
// FIFO without O_NONBLOCK waits for a writer, which is then supplied so that
// the test can fail instead of hanging.
// With `looked`, reads as read_file does after a look that found that.
files::Contents read_without_waiting(const std::string& path,
                                     std::optional<Kind> looked = std::nullopt)
{
    auto reading = std::async(std::launch::async, [path, looked] {
        return looked ? files::read_after_look(path.c_str(), *looked, 1 << 20)
                      : files::read_file(path.c_str(), 1 << 20);
    });
    if (reading.wait_for(std::chrono::seconds(30)) == std::future_status::ready) {
        return reading.get();
    }
    ADD_FAILURE() << "reading " << path << " waited for a writer";
    const int writer = open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) {
        close(writer);
    }
    return reading.get();
}

TEST_F(InputFile, ReadsARegularFileDirectlyAndThroughASymbolicLink)
{
    const std::string file = write("music.mp3", 1000);
    const fs::path link = folder_ / "link.mp3";
    fs::create_symlink(file, link);

    for (const std::string& path : {file, link.string()}) {
        EXPECT_EQ(files::kind_of(path.c_str()), Kind::regular) << path;
        const files::Contents contents = files::read_file(path.c_str(), 1000);
        ASSERT_TRUE(contents.ok()) << path << ": " << contents.reason;
        EXPECT_EQ(contents.bytes, expected_bytes(0, 1000)) << path;
    }
    EXPECT_EQ(files::refusal(Kind::regular), nullptr);
}

TEST_F(InputFile, ReadsTheRangeAskedForAndNoMore)
{
    const std::string file = write("music.mp3", 100);

    files::Contents contents = files::read_file(file.c_str(), 20, 10, 20);
    ASSERT_TRUE(contents.ok()) << contents.reason;
    EXPECT_EQ(contents.bytes, expected_bytes(10, 30));
    // Length 0 reads to the end; a length past the end stops there.
    contents = files::read_file(file.c_str(), 100, 90, 0);
    EXPECT_EQ(contents.bytes, expected_bytes(90, 100));
    contents = files::read_file(file.c_str(), 100, 95, 50);
    EXPECT_EQ(contents.bytes, expected_bytes(95, 100));
    contents = files::read_file(file.c_str(), 100, 100, 0);
    ASSERT_TRUE(contents.ok()) << contents.reason;
    EXPECT_TRUE(contents.bytes.empty());

    contents = files::read_file(file.c_str(), 100, 101, 0);
    EXPECT_EQ(contents.failure, Failure::cannot_read);
    EXPECT_EQ(contents.reason, "cannot read from byte 101: the file holds 100 bytes");
}

TEST_F(InputFile, AMissingFileGetsTheSystemsReason)
{
    const fs::path missing = folder_ / "missing.dds";
    const fs::path dangling = folder_ / "dangling.dds";
    fs::create_symlink(missing, dangling);

    for (const fs::path& path : {missing, dangling}) {
        EXPECT_EQ(files::kind_of(path.c_str()), Kind::absent) << path;
        const files::Contents contents = files::read_file(path.c_str(), 1000);
        EXPECT_EQ(contents.failure, Failure::cannot_open) << path;
        EXPECT_EQ(contents.reason, "No such file or directory") << path;
    }
    EXPECT_EQ(files::refusal(Kind::absent), nullptr);
}

struct NotAFile {
    const char* name;
    std::function<void(const fs::path&, const fs::path& folder)> make;
    Kind kind;
    const char* said;
};

TEST_F(InputFile, RefusesWhatIsNotAFileAndSaysWhatItIs)
{
    const NotAFile cases[] = {
        {"directory", [](const fs::path& path, const fs::path&) { fs::create_directory(path); },
         Kind::directory, "a directory, not a file"},
        {"link to a directory",
         [](const fs::path& path, const fs::path& folder) {
             fs::create_directory(folder / "elsewhere");
             fs::create_directory_symlink(folder / "elsewhere", path);
         },
         Kind::directory, "a directory, not a file"},
        {"FIFO",
         [](const fs::path& path, const fs::path&) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); },
         Kind::fifo, "a FIFO (named pipe), not a file"},
        {"link to dev-zero",
         [](const fs::path& path, const fs::path&) { fs::create_symlink("/dev/zero", path); },
         Kind::character_device, "a character device, not a file"},
        {"link to dev-null",
         [](const fs::path& path, const fs::path&) { fs::create_symlink("/dev/null", path); },
         Kind::character_device, "a character device, not a file"},
        {"socket",
         [](const fs::path& path, const fs::path&) {
             const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
             ASSERT_GE(listener, 0);
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             ASSERT_LT(path.string().size(), sizeof address.sun_path);
             std::strcpy(address.sun_path, path.c_str());
             EXPECT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
             close(listener);
         },
         Kind::socket, "a socket, not a file"},
    };
    for (const NotAFile& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = folder_ / (std::string(c.name) + ".dds");
        c.make(path, folder_);
        EXPECT_EQ(files::kind_of(path.c_str()), c.kind);
        EXPECT_STREQ(files::refusal(c.kind), c.said);

        const files::Contents contents = read_without_waiting(path.string());
        EXPECT_EQ(contents.failure, Failure::not_a_file);
        EXPECT_EQ(contents.reason, c.said);
        EXPECT_TRUE(contents.bytes.empty());
    }
}

TEST_F(InputFile, RefusesALinkToABlockDevice)
{
    const fs::path device = test_support::some_block_device();
    if (device.empty()) {
        GTEST_SKIP() << "no block device under /dev on this machine";
    }
    const fs::path link = folder_ / "demo.mp3";
    fs::create_symlink(device, link);
    EXPECT_EQ(files::kind_of(link.c_str()), Kind::block_device) << device;
    const files::Contents contents = read_without_waiting(link.string());
    EXPECT_EQ(contents.failure, Failure::not_a_file) << device;
    EXPECT_EQ(contents.reason, "a block device, not a file") << device;
}

// A file replaced between read_file's look at the path and its open: what
// was opened is refused for what it is, and a FIFO is not waited on.
TEST_F(InputFile, WhatTookTheFilesPlaceAfterTheLookIsRefused)
{
    const std::pair<std::function<void(const fs::path&)>, const char*> swaps[] = {
        {[](const fs::path& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); },
         "a FIFO (named pipe), not a file"},
        {[](const fs::path& path) { fs::create_symlink("/dev/zero", path); },
         "a character device, not a file"},
    };
    for (const auto& [swap, said] : swaps) {
        SCOPED_TRACE(said);
        const std::string file = write("demo.mp3", 1000);
        ASSERT_EQ(files::kind_of(file.c_str()), Kind::regular);
        fs::remove(file);
        swap(file);
        const files::Contents contents = read_without_waiting(file, Kind::regular);
        EXPECT_EQ(contents.failure, Failure::not_a_file);
        EXPECT_EQ(contents.reason, said);
        EXPECT_TRUE(contents.bytes.empty());
        fs::remove(file);
    }
}

TEST_F(InputFile, RefusesAFileLongerThanAllowedBeforeAllocatingForIt)
{
    const std::string file = write("grass.dds", 100);
    test_support::FailingAllocations no_room_for_the_file(100);

    files::Contents contents = files::read_file(file.c_str(), 99);
    EXPECT_EQ(contents.failure, Failure::too_large);
    EXPECT_EQ(contents.reason, "the file is 100 bytes; at most 99 are read");
    // The range read is what counts.
    contents = files::read_file(file.c_str(), 40, 50, 40);
    ASSERT_TRUE(contents.ok()) << contents.reason;
    EXPECT_EQ(contents.bytes, expected_bytes(50, 90));
    EXPECT_EQ(no_room_for_the_file.refused(), 0u);
}

TEST_F(InputFile, NoRoomForTheBytesIsAnAnswerNotAnException)
{
    const std::string file = write("demo.mp3", 65536);
    files::Contents contents;
    {
        test_support::FailingAllocations no_room(65536);
        contents = files::read_file(file.c_str(), 1 << 20);
        EXPECT_GE(no_room.refused(), 1u);
    }
    EXPECT_EQ(contents.failure, Failure::out_of_memory);
    EXPECT_EQ(contents.reason, "no room in memory for its 65536 bytes");
    EXPECT_TRUE(contents.bytes.empty());
}

}  // namespace
