#include "host/common/files/input_file.h"

#ifdef __EMSCRIPTEN__
#include <emscripten/heap.h>
#include <malloc.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace files {
namespace {

Contents refused(Failure failure, std::string reason)
{
    Contents contents;
    contents.failure = failure;
    contents.reason = std::move(reason);
    return contents;
}

// How many bytes to read from a file of `size` bytes, or the refusal.
bool plan_range(uint64_t size, uint64_t offset, uint64_t length, uint64_t max_bytes,
                uint64_t& count, Contents& refusal_out)
{
    if (offset > size) {
        refusal_out = refused(Failure::cannot_read,
                              "cannot read from byte " + std::to_string(offset) +
                                  ": the file holds " + std::to_string(size) + " bytes");
        return false;
    }
    const uint64_t available = size - offset;
    count = length == 0 ? available : std::min(length, available);
    if (count > max_bytes) {
        refusal_out =
            refused(Failure::too_large, "the file is " + std::to_string(size) + " bytes; at most " +
                                            std::to_string(max_bytes) + " are read");
        return false;
    }
    return true;
}

#ifdef __EMSCRIPTEN__
// The web build catches no exceptions: a failed allocation would end the
// program instead of throwing. So the room is measured first: what the heap
// may still grow by and the free block at its top, less a margin for what
// the caller allocates next (its decoded texture, its strings).
bool heap_has_room(uint64_t count)
{
    constexpr uint64_t kMargin = uint64_t{4} << 20;
    const struct mallinfo info = mallinfo();
    const uint64_t room = uint64_t{emscripten_get_heap_max()} - emscripten_get_heap_size() +
                          static_cast<uint64_t>(info.keepcost);
    return count + kMargin <= room;
}
#endif

// Room for `count` bytes, or the refusal when there is none.
bool make_room(Contents& contents, uint64_t count)
{
#ifdef __EMSCRIPTEN__
    if (!heap_has_room(count)) {
        contents = refused(Failure::out_of_memory,
                           "no room in memory for its " + std::to_string(count) + " bytes");
        return false;
    }
#endif
    try {
        contents.bytes.resize(static_cast<size_t>(count));
        return true;
    } catch (const std::bad_alloc&) {
        contents = refused(Failure::out_of_memory,
                           "no room in memory for its " + std::to_string(count) + " bytes");
        return false;
    }
}

#ifdef _WIN32

Kind kind_from_attributes(DWORD attributes)
{
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Kind::directory;
    }
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        return Kind::character_device;
    }
    return Kind::regular;
}

// What an open handle reads from: device names ("NUL", "CON", "COM1") and
// pipes look like files to GetFileAttributes but not to GetFileType.
Kind kind_of_handle(HANDLE handle)
{
    switch (GetFileType(handle)) {
    case FILE_TYPE_DISK:
        return Kind::regular;
    case FILE_TYPE_CHAR:
        return Kind::character_device;
    case FILE_TYPE_PIPE:
        return Kind::fifo;
    default:
        return Kind::other;
    }
}

Contents read_open_file(std::FILE* file, uint64_t max_bytes, uint64_t offset, uint64_t length)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    const Kind kind = kind_of_handle(handle);
    if (kind != Kind::regular) {
        return refused(Failure::not_a_file, refusal(kind));
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle, &size) || size.QuadPart < 0) {
        return refused(Failure::cannot_read, "cannot tell the file's size");
    }
    uint64_t count = 0;
    Contents contents;
    if (!plan_range(static_cast<uint64_t>(size.QuadPart), offset, length, max_bytes, count,
                    contents) ||
        !make_room(contents, count)) {
        return contents;
    }
    if (_fseeki64(file, static_cast<long long>(offset), SEEK_SET) != 0) {
        return refused(Failure::cannot_read, std::string("cannot read: ") + std::strerror(errno));
    }
    const size_t got = std::fread(contents.bytes.data(), 1, contents.bytes.size(), file);
    if (std::ferror(file) != 0) {
        return refused(Failure::cannot_read,
                       std::string("cannot read: ") + std::strerror(errno != 0 ? errno : EIO));
    }
    contents.bytes.resize(got);
    return contents;
}

#else

Kind kind_from_mode(mode_t mode)
{
    if (S_ISREG(mode)) {
        return Kind::regular;
    }
    if (S_ISDIR(mode)) {
        return Kind::directory;
    }
    if (S_ISCHR(mode)) {
        return Kind::character_device;
    }
    if (S_ISBLK(mode)) {
        return Kind::block_device;
    }
    if (S_ISFIFO(mode)) {
        return Kind::fifo;
    }
    if (S_ISSOCK(mode)) {
        return Kind::socket;
    }
    return Kind::other;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

Contents read_open_file(int fd, uint64_t max_bytes, uint64_t offset, uint64_t length)
{
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        return refused(Failure::cannot_read, std::string("cannot read: ") + std::strerror(errno));
    }
    const Kind kind = kind_from_mode(status.st_mode);
    if (kind != Kind::regular) {
        return refused(Failure::not_a_file, refusal(kind));
    }
    uint64_t count = 0;
    Contents contents;
    if (!plan_range(static_cast<uint64_t>(status.st_size), offset, length, max_bytes, count,
                    contents) ||
        !make_room(contents, count)) {
        return contents;
    }
    size_t got = 0;
    while (got < contents.bytes.size()) {
        const ssize_t read = pread(fd, contents.bytes.data() + got, contents.bytes.size() - got,
                                   static_cast<off_t>(offset + got));
        if (read < 0 && errno == EINTR) {
            continue;
        }
        if (read < 0) {
            return refused(Failure::cannot_read,
                           std::string("cannot read: ") + std::strerror(errno));
        }
        if (read == 0) {
            break;  // the file shrank meanwhile
        }
        got += static_cast<size_t>(read);
    }
    contents.bytes.resize(got);
    return contents;
}

#endif

}  // namespace

Kind kind_of(const char* path)
{
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesA(path);
    return attributes == INVALID_FILE_ATTRIBUTES ? Kind::absent : kind_from_attributes(attributes);
#else
    struct stat status {};
    return stat(path, &status) != 0 ? Kind::absent : kind_from_mode(status.st_mode);
#endif
}

const char* refusal(Kind kind)
{
    switch (kind) {
    case Kind::regular:
    case Kind::absent:
        return nullptr;
    case Kind::directory:
        return "a directory, not a file";
    case Kind::character_device:
        return "a character device, not a file";
    case Kind::block_device:
        return "a block device, not a file";
    case Kind::fifo:
        return "a FIFO (named pipe), not a file";
    case Kind::socket:
        return "a socket, not a file";
    case Kind::other:
        break;
    }
    return "not a regular file";
}

Contents read_file(const char* path, uint64_t max_bytes, uint64_t offset, uint64_t length)
{
    return read_after_look(path, kind_of(path), max_bytes, offset, length);
}

Contents read_after_look(const char* path, Kind looked, uint64_t max_bytes, uint64_t offset,
                         uint64_t length)
{
    try {
        if (looked != Kind::regular && looked != Kind::absent) {
            return refused(Failure::not_a_file, refusal(looked));
        }
#ifdef _WIN32
        // The C library's open, for its errno reasons; what the handle reads
        // from is checked before a byte is read.
        std::FILE* file = std::fopen(path, "rb");
        if (file == nullptr) {
            return refused(Failure::cannot_open, std::strerror(errno));
        }
        Contents contents = read_open_file(file, max_bytes, offset, length);
        std::fclose(file);
        return contents;
#else
        // Non-blocking, should a FIFO have taken the file's place since the
        // look above: the open then returns at once and fstat refuses it.
        const Descriptor fd(open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        if (fd.get() < 0) {
            return refused(Failure::cannot_open, std::strerror(errno));
        }
        return read_open_file(fd.get(), max_bytes, offset, length);
#endif
    } catch (const std::bad_alloc&) {
        // From the reason's own text: a short one fits in the string itself.
        Contents contents;
        contents.failure = Failure::out_of_memory;
        contents.reason = "out of memory";
        return contents;
    }
}

}  // namespace files
