#include "platform/file_mapping.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/address_space.h"

namespace vek::platform {

namespace {

// The file's size when it is a regular file that can be read; 0 otherwise.
uint64_t regular_file_size(int fd) {
    struct stat status;
    if (fd < 0 || fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0) return 0;
    return uint64_t(status.st_size);
}

uint64_t page_size() { return uint64_t(sysconf(_SC_PAGESIZE)); }

}  // namespace

FileMapping::FileMapping(const char* path) {
    fd_ = open(path, O_RDONLY | O_CLOEXEC);
    map(0, regular_file_size(fd_));
}

FileMapping::FileMapping(const char* path, uint64_t offset, uint64_t size) {
    fd_ = open(path, O_RDONLY | O_CLOEXEC);
    uint64_t file_size = regular_file_size(fd_);
    if (offset <= file_size && size <= file_size - offset) map(offset, size);
}

void FileMapping::map(uint64_t offset, uint64_t size) {
    if (size == 0) return;
    uint64_t start = offset - offset % page_size();
    size_t length = size_t(size + (offset - start));
    void* p = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd_, off_t(start));
    if (p == MAP_FAILED) return;
    mapping_ = static_cast<const uint8_t*>(p);
    mapping_size_ = length;
    file_offset_ = offset;
    data_ = mapping_ + (offset - start);
    size_ = size_t(size);
}

FileMapping::~FileMapping() {
    if (mapping_) munmap(const_cast<uint8_t*>(mapping_), mapping_size_);
    if (fd_ >= 0) close(fd_);
}

bool FileMapping::map_into(void* start, size_t length, uint64_t offset) const {
    if (!data_ || offset > size_ || length > size_ - offset) return false;
    if ((file_offset_ + offset) % page_size() == 0) {
        if (!map_file_range(start, length, fd_, file_offset_ + offset)) return false;
        // The pages are copied now, in one call, rather than at their first
        // write each: a page first read maps the file's page and a later
        // write replaces it, flushing the TLB each time, and the collector's
        // first marking writes to most pages. A kernel without the advice
        // leaves them to fault in one by one.
        madvise(start, length, MADV_POPULATE_WRITE);
        return true;
    }
    if (!commit_range(start, length)) return false;
    std::memcpy(start, data_ + offset, length);
    return true;
}

}  // namespace vek::platform
