// A file, or a stretch of one, mapped read-only for as long as the object
// lives, so that a large file (a heap image) is read where the system keeps
// it, without a copy, and its pages can be mapped again elsewhere
// (address_space.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vek::platform {

class FileMapping {
public:
    // Opens and maps the whole file; empty when it cannot be, or is empty.
    explicit FileMapping(const char* path);
    // Maps the bytes of the file from the offset on; empty when they do not
    // all lie inside the file.
    FileMapping(const char* path, uint64_t offset, uint64_t size);
    ~FileMapping();
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;

    // The mapped bytes; empty when they could not be mapped.
    std::span<const uint8_t> bytes() const { return {data_, size_}; }
    // Commits the reserved range with the mapped bytes from the offset (a
    // multiple of the page size, as is the length), copy-on-write
    // (map_file_range) where they lie at a page boundary of the file, else
    // as a copy.
    bool map_into(void* start, size_t length, uint64_t offset) const;

private:
    void map(uint64_t offset, uint64_t size);

    int fd_ = -1;
    uint64_t file_offset_ = 0;     // of data_ in the file
    const uint8_t* mapping_ = nullptr;  // page-aligned start of the mapping
    size_t mapping_size_ = 0;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace vek::platform
