// Files and directories over POSIX: reading and writing whole files or parts
// of them, directory listings, status, and the path operations (make,
// remove, rename). Each call opens what it needs and closes it before it
// returns; every descriptor is opened close-on-exec. Paths are NUL-terminated
// bytes as the system takes them. Failures come back as plain results (false,
// nullopt, a status), never as exceptions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vek::platform {

// ---------------------------------------------------------------- reading

enum class ReadStatus : uint8_t {
    ok,
    cannot_open,  // the file could not be opened, positioned or read
    too_long,     // more than the caller's maximum would have come
    no_memory,    // the bytes found no room in memory
};

struct FileBytes {
    ReadStatus status;           // what came of the read
    std::vector<uint8_t> bytes;  // what was read, when it came out ok
};

// Reads the file from offset bytes on (0 from the start) up to limit bytes
// (a negative limit reads to the end of the file). Works alike on regular
// files and on files whose size reads 0 (pipes, devices, /proc): it reads
// until the end of the file, skipping the offset by reading where the file
// cannot be positioned. An offset past the end reads nothing. Asking for, or
// finding, more than max bytes gives too_long without reading them all.
FileBytes read_file(const char* path, int64_t offset, int64_t limit, size_t max);

// ---------------------------------------------------------------- writing

enum class WriteMode : uint8_t {
    replace,    // the file becomes the bytes
    append,     // the bytes go after the file's end
    at_offset,  // the bytes overwrite the file from the offset, the rest kept
};

// Writes all the bytes to the file, making it when it does not exist. A
// replacing write of an existing regular file goes to a new file in the same
// directory, with the old file's permissions (and its owner and group as far
// as the process may give them), which is then renamed over the old one (over a symbolic link's target, not over the link): a write that
// fails leaves the old file as it was. When that new file cannot be made (a
// directory that may not be written), and for new files and special files
// (devices, FIFOs), the bytes are written in place. False when the file could
// not be opened or positioned, or when any byte was not written.
bool write_file(const char* path, const void* bytes, size_t length, WriteMode mode, int64_t offset);

// ---------------------------------------------------------------- directories and status

struct DirectoryEntry {
    std::string name;  // the entry's name as the system holds it
    bool directory;    // a directory, or a symbolic link to one
};

// The entries of the directory but "." and "..", sorted by the bytes of
// their names; nullopt when it cannot be listed.
std::optional<std::vector<DirectoryEntry>> list_directory(const char* path);

// A moment of a file's history, in UTC.
struct FileTime {
    int32_t year, month, day;         // month and day from 1
    int32_t hour, minute, second;     // the time of day
    int32_t nanosecond;               // within the second
};

struct FileStatus {
    bool directory;     // a directory (symbolic links are followed)
    int64_t size;       // bytes, as the metadata gives them
    FileTime modified;  // the last modification of the contents
};

// The status of what the path names, following symbolic links; nullopt when
// there is nothing there or it cannot be reached.
std::optional<FileStatus> file_status(const char* path);

// Whether anything (file, directory, device) is there, following links.
bool path_exists(const char* path);

// Makes the directory (its permissions from the process's umask); false when
// the system refuses, also when something of that name exists.
bool make_directory(const char* path);

// Makes a directory (when directory is true) or an empty file that only the
// process's user may use (modes 0700 and 0600, narrowed further by the
// umask), unless something of that name exists already, which is left as it
// is. False when the system refuses.
bool make_private(const char* path, bool directory);

// Removes a file (not a directory) / an empty directory; false on failure.
bool remove_file(const char* path);
bool remove_directory(const char* path);

// Renames, never replacing: false when the target exists, as on any failure.
bool rename_no_replace(const char* from, const char* to);

}  // namespace vek::platform
