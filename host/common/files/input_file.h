// The programs' input files (the four textures and the music) as a user
// hands them over: any of those names may be a directory, a device, a FIFO,
// or a symbolic link to one of those instead of a file. None of them can be
// read as a file: a directory has no bytes (and a size that means nothing),
// /dev/zero never ends, and opening a FIFO for reading waits for a writer
// that may never come. Every reader of the programs goes through here, so
// that each one refuses them the same way, says what it found, and sizes its
// buffer from a length that was checked.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace files {

// What a path names, symbolic links followed.
enum class Kind : uint8_t {
    regular,
    absent,  // nothing there, or nothing that can be looked at
    directory,
    character_device,
    block_device,
    fifo,
    socket,
    other,
};

// What `path` names, found without opening it: no device sees an open and
// no FIFO is waited on.
Kind kind_of(const char* path);

// Why a thing of that kind is not read, in the words of the programs'
// messages ("a directory, not a file"); null for a regular file and for an
// absent one (opening that gives the system's own reason).
const char* refusal(Kind kind);

enum class Failure : uint8_t {
    none,
    cannot_open,    // reason: the system's ("No such file or directory")
    not_a_file,     // reason: refusal(kind)
    too_large,      // the file or the range asked for is longer than allowed
    cannot_read,    // a read failed, or the range starts past the end
    out_of_memory,  // no room for the bytes
};

struct Contents {
    std::vector<uint8_t> bytes;
    Failure failure = Failure::none;
    std::string reason;  // why, in a few words, when failure is not none

    bool ok() const { return failure == Failure::none; }
};

// The bytes [offset, offset + length) of the regular file at `path`; length
// 0 reads up to the end. Anything but a regular file is refused before it is
// opened (and again after, should the path have changed meanwhile), and a
// file (or range) of more than `max_bytes` before a byte is allocated. A file
// that shrinks while it is read gives what it still holds. Never throws.
Contents read_file(const char* path, uint64_t max_bytes, uint64_t offset = 0, uint64_t length = 0);

// read_file once it has looked at the path and found `looked` (kind_of):
// refuses anything but a regular or absent one, then opens the path and
// checks what the open gave, not the path, so that a path changed between
// the look and the open (a FIFO put in the file's place) is refused too,
// without waiting. Tests hand it a look that the path no longer matches.
Contents read_after_look(const char* path, Kind looked, uint64_t max_bytes, uint64_t offset = 0,
                         uint64_t length = 0);

}  // namespace files
