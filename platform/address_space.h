// Address space from the operating system: one reservation that commits and
// gives back whole pages on demand. Callers pass page-aligned ranges.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vek::platform {

// Reserves bytes of address space with no access and no backing store;
// nullptr when the system refuses.
void* reserve_address_space(size_t bytes);
// Makes a reserved range readable and writable; false when the system refuses.
bool commit_range(void* start, size_t bytes);
// Drops the pages' contents and makes the range inaccessible again; its next
// commit sees zeros.
bool decommit_range(void* start, size_t bytes);
// Commits a reserved range as a copy-on-write view of the file's bytes from
// the offset (a multiple of the page size): reads see the file, writes stay
// the process's own. decommit_range gives it back as any committed range.
// False when the system refuses.
bool map_file_range(void* start, size_t bytes, int fd, uint64_t offset);

}  // namespace vek::platform
