#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <new>

namespace vek::platform {

namespace {

constexpr size_t CHUNK = 65536;

// Closes the descriptor on every way out of the function that opened it.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and tells whether the system took every byte: some file
    // systems report a failed write only here.
    bool close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// Reads up to length bytes; the count read, 0 at the end of the file, -1 on
// failure. Interruptions are resumed.
ssize_t read_once(int fd, uint8_t* into, size_t length) {
    for (;;) {
        ssize_t got = ::read(fd, into, length);
        if (got >= 0 || errno != EINTR) return got;
    }
}

// Moves to the offset: by seeking, or by reading where the file cannot seek.
bool skip_to(int fd, int64_t offset) {
    if (offset <= 0 || ::lseek(fd, off_t(offset), SEEK_SET) >= 0) return true;
    if (errno != ESPIPE) return false;
    uint8_t discard[4096];
    while (offset > 0) {
        ssize_t got = read_once(fd, discard, size_t(std::min<int64_t>(offset, sizeof discard)));
        if (got < 0) return false;
        if (got == 0) break;
        offset -= got;
    }
    return true;
}

// The bytes a regular file still holds past the offset; 0 when that is not
// known beforehand (pipes, devices, /proc files).
uint64_t known_remainder(const struct stat& status, int64_t offset) {
    if (!S_ISREG(status.st_mode) || status.st_size <= offset) return 0;
    return uint64_t(status.st_size - std::max<int64_t>(offset, 0));
}

// Reads until the end of the file or until wanted bytes came, failing once
// more than max came.
ReadStatus read_until(int fd, uint64_t wanted, size_t max, std::vector<uint8_t>& bytes) {
    while (bytes.size() < wanted) {
        if (bytes.size() > max) return ReadStatus::too_long;
        size_t at = bytes.size();
        size_t room = size_t(std::min<uint64_t>(wanted - at, CHUNK));
        bytes.resize(at + room);
        ssize_t got = read_once(fd, bytes.data() + at, room);
        if (got < 0) return ReadStatus::cannot_open;
        bytes.resize(at + size_t(got));
        if (got == 0) break;
    }
    return bytes.size() > max ? ReadStatus::too_long : ReadStatus::ok;
}

// ---------------------------------------------------------------- writing

bool write_all(int fd, const uint8_t* bytes, size_t length) {
    while (length > 0) {
        ssize_t put = ::write(fd, bytes, length);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        bytes += put;
        length -= size_t(put);
    }
    return true;
}

bool write_in_place(const char* path, const uint8_t* bytes, size_t length, int flags, int64_t offset) {
    Descriptor file(::open(path, O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0666));
    if (!file.valid()) return false;
    if (offset > 0 && ::lseek(file.get(), off_t(offset), SEEK_SET) < 0) return false;
    return write_all(file.get(), bytes, length) && file.close();
}

enum class Replacement : uint8_t { done, failed, not_possible };

// The absolute name of the file a path leads to, every link followed; empty
// when it cannot be resolved.
std::string resolved_target(const char* path) {
    char* real = ::realpath(path, nullptr);
    if (!real) return {};
    std::string target(real);
    std::free(real);
    return target;
}

// Gives the new file the old one's owner and group, as far as the process
// may: root gives it to anyone, others only to a group of their own. Answers
// whether it could.
bool take_ownership(int fd, const struct stat& old) {
    return ::fchown(fd, old.st_uid, old.st_gid) == 0 || ::fchown(fd, uid_t(-1), old.st_gid) == 0;
}

// Writes the bytes to a new file beside the target and renames it over the
// target. The new file takes the old one's permissions but not its set-user
// and set-group bits, which any write to the old file would have cleared.
// not_possible when no new file can be made or renamed there (the caller
// then writes in place); failed when the bytes did not all go out.
Replacement replace_through_new_file(const char* path, const struct stat& old, const uint8_t* bytes,
                                     size_t length) {
    std::string target = resolved_target(path);
    size_t slash = target.rfind('/');
    if (slash == std::string::npos) return Replacement::not_possible;
    std::string temporary = target.substr(0, slash + 1) + ".vek-write-XXXXXX";
    Descriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!file.valid()) return Replacement::not_possible;
    take_ownership(file.get(), old);
    if (::fchmod(file.get(), old.st_mode & 0777) != 0) {
        ::unlink(temporary.c_str());
        return Replacement::not_possible;
    }
    if (!write_all(file.get(), bytes, length) || !file.close()) {
        ::unlink(temporary.c_str());
        return Replacement::failed;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return Replacement::not_possible;
    }
    return Replacement::done;
}

bool replace_file(const char* path, const uint8_t* bytes, size_t length) {
    struct stat status;
    if (::stat(path, &status) == 0 && S_ISREG(status.st_mode)) {
        Replacement outcome = replace_through_new_file(path, status, bytes, length);
        if (outcome != Replacement::not_possible) return outcome == Replacement::done;
    }
    return write_in_place(path, bytes, length, O_TRUNC, 0);
}

bool is_directory_entry(DIR* directory, const dirent* entry) {
    if (entry->d_type == DT_DIR) return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) return false;
    struct stat status;
    return ::fstatat(::dirfd(directory), entry->d_name, &status, 0) == 0 && S_ISDIR(status.st_mode);
}

bool is_dot_or_dot_dot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

FileTime utc_time(const timespec& moment) {
    tm fields;
    time_t seconds = moment.tv_sec;
    gmtime_r(&seconds, &fields);
    return FileTime{fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour,
                    fields.tm_min,         fields.tm_sec,     int32_t(moment.tv_nsec)};
}

}  // namespace

// ---------------------------------------------------------------- reading

FileBytes read_file(const char* path, int64_t offset, int64_t limit, size_t max) {
    FileBytes result{ReadStatus::cannot_open, {}};
    Descriptor file(::open(path, O_RDONLY | O_CLOEXEC));
    struct stat status;
    if (!file.valid() || ::fstat(file.get(), &status) != 0 || S_ISDIR(status.st_mode)) return result;
    if (!skip_to(file.get(), offset)) return result;
    uint64_t wanted = limit < 0 ? UINT64_MAX : uint64_t(limit);
    uint64_t expected = std::min(known_remainder(status, offset), wanted);
    if (expected > max) {
        result.status = ReadStatus::too_long;
        return result;
    }
    try {
        result.bytes.reserve(size_t(expected));
        result.status = read_until(file.get(), wanted, max, result.bytes);
    } catch (const std::bad_alloc&) {
        result.status = ReadStatus::no_memory;
    }
    if (result.status != ReadStatus::ok) result.bytes = {};
    return result;
}

// ---------------------------------------------------------------- writing

bool write_file(const char* path, const void* bytes, size_t length, WriteMode mode, int64_t offset) {
    auto data = static_cast<const uint8_t*>(bytes);
    switch (mode) {
    case WriteMode::replace: return replace_file(path, data, length);
    case WriteMode::append: return write_in_place(path, data, length, O_APPEND, 0);
    case WriteMode::at_offset: return write_in_place(path, data, length, 0, offset);
    }
    return false;
}

// ---------------------------------------------------------------- directories and status

std::optional<std::vector<DirectoryEntry>> list_directory(const char* path) {
    int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    DIR* directory = ::fdopendir(fd);
    if (!directory) {
        ::close(fd);
        return std::nullopt;
    }
    std::vector<DirectoryEntry> entries;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(directory);
        if (!entry) break;
        if (!is_dot_or_dot_dot(entry->d_name))
            entries.push_back(DirectoryEntry{entry->d_name, is_directory_entry(directory, entry)});
    }
    bool complete = errno == 0;
    ::closedir(directory);
    if (!complete) return std::nullopt;
    std::sort(entries.begin(), entries.end(),
              [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
    return entries;
}

std::optional<FileStatus> file_status(const char* path) {
    struct stat status;
    if (::stat(path, &status) != 0) return std::nullopt;
    return FileStatus{S_ISDIR(status.st_mode), int64_t(status.st_size), utc_time(status.st_mtim)};
}

bool path_exists(const char* path) {
    struct stat status;
    return ::stat(path, &status) == 0;
}

bool make_directory(const char* path) { return ::mkdir(path, 0777) == 0; }

bool make_private(const char* path, bool directory) {
    if (directory) return ::mkdir(path, 0700) == 0 || errno == EEXIST;
    Descriptor file(::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    return file.valid() ? file.close() : errno == EEXIST;
}

bool remove_file(const char* path) { return ::unlink(path) == 0; }

bool remove_directory(const char* path) { return ::rmdir(path) == 0; }

// Where the file system cannot refuse a replacement itself, the target is
// looked for first (another process may still make it in between).
bool rename_no_replace(const char* from, const char* to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
    struct stat status;
    if (::lstat(to, &status) == 0 || errno != ENOENT) return false;
    return ::rename(from, to) == 0;
}

}  // namespace vek::platform
