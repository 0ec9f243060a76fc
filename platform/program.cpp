#include "platform/program.h"

#include <elf.h>
#include <link.h>

#include <cstring>

namespace vek::platform {

namespace {

constexpr size_t note_align(size_t n) { return (n + 3) & ~size_t(3); }

// The build id among the notes of one PT_NOTE segment, if it holds one.
bool find_in_notes(const uint8_t* notes, size_t size, std::vector<uint8_t>& id) {
    size_t at = 0;
    while (at <= size && size - at >= sizeof(ElfW(Nhdr))) {
        ElfW(Nhdr) header;
        std::memcpy(&header, notes + at, sizeof header);
        size_t name_at = at + sizeof header;
        size_t desc_at = name_at + note_align(header.n_namesz);
        size_t end = desc_at + note_align(header.n_descsz);
        if (desc_at > size || header.n_descsz > size - desc_at) return false;
        bool gnu = header.n_namesz == 4 && std::memcmp(notes + name_at, "GNU", 4) == 0;
        if (gnu && header.n_type == NT_GNU_BUILD_ID) {
            id.assign(notes + desc_at, notes + desc_at + header.n_descsz);
            return true;
        }
        at = end;
    }
    return false;
}

// Called first for the executable itself; stops the walk there.
int read_main_program(dl_phdr_info* info, size_t, void* out) {
    auto& id = *static_cast<std::vector<uint8_t>*>(out);
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; i++) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_NOTE) continue;
        auto notes = reinterpret_cast<const uint8_t*>(info->dlpi_addr + segment.p_vaddr);
        if (find_in_notes(notes, segment.p_memsz, id)) break;
    }
    return 1;
}

}  // namespace

std::vector<uint8_t> build_id() {
    std::vector<uint8_t> id;
    dl_iterate_phdr(read_main_program, &id);
    return id;
}

}  // namespace vek::platform
