#include "platform/file_mapping.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/address_space.h"

namespace vek::platform {

FileMapping::FileMapping(const char* path) {
    fd_ = open(path, O_RDONLY | O_CLOEXEC);
    struct stat status;
    if (fd_ < 0 || fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0) return;
    void* p = mmap(nullptr, size_t(status.st_size), PROT_READ, MAP_PRIVATE, fd_, 0);
    if (p == MAP_FAILED) return;
    data_ = static_cast<const uint8_t*>(p);
    size_ = size_t(status.st_size);
}

FileMapping::~FileMapping() {
    if (data_) munmap(const_cast<uint8_t*>(data_), size_);
    if (fd_ >= 0) close(fd_);
}

bool FileMapping::map_into(void* start, size_t length, uint64_t offset) const {
    return fd_ >= 0 && map_file_range(start, length, fd_, offset);
}

}  // namespace vek::platform
