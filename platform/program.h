// What the running program knows of its own executable: the build id that
// the linker writes into it, which names one build of the program and no
// other, so that data made by one build (a heap image) is never taken by
// another; and where a section added to the executable after the link (the
// heap image) lies in its file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vek::platform {

// The bytes of the executable's GNU build-id note; empty when the program
// was linked without one.
std::vector<uint8_t> build_id();

// The running executable's file, readable whatever name it was started by
// and even when that name has been replaced since.
extern const char* const own_executable;

// Where a section of the executable's file lies: bytes from the offset.
struct SectionPlace {
    uint64_t offset;
    uint64_t size;
};

// The section of that name in the bytes of an ELF file, read from its
// section headers; none when the file is not a 64-bit ELF file whose
// headers, name table and section all lie inside it, or has no such section
// with contents.
std::optional<SectionPlace> find_section(std::span<const uint8_t> file, std::string_view name);
// The same in the executable's own file.
std::optional<SectionPlace> own_section(std::string_view name);

}  // namespace vek::platform
