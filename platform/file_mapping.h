// A whole file mapped read-only for as long as the object lives, so that a
// large file (a heap image) is read where the system keeps it, without a
// copy, and its pages can be mapped again elsewhere (address_space.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vek::platform {

class FileMapping {
public:
    // Opens and maps the file; empty when it cannot be, or is empty.
    explicit FileMapping(const char* path);
    ~FileMapping();
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;

    // The file's bytes; empty when it could not be mapped.
    std::span<const uint8_t> bytes() const { return {data_, size_}; }
    // Maps bytes of the file from the offset copy-on-write over the reserved
    // range (map_file_range); offset and length are multiples of the page size.
    bool map_into(void* start, size_t length, uint64_t offset) const;

private:
    int fd_ = -1;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace vek::platform
