#include "platform/program.h"

#include <elf.h>
#include <link.h>

#include <cstring>

#include "platform/file_mapping.h"

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

bool holds(std::span<const uint8_t> file, uint64_t offset, uint64_t count) {
    return offset <= file.size() && count <= file.size() - offset;
}

bool is_elf64(const Elf64_Ehdr& header) {
    return std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 && header.e_ident[EI_CLASS] == ELFCLASS64 &&
           header.e_shentsize == sizeof(Elf64_Shdr);
}

// The headers of every section; empty when they do not lie in the file.
std::vector<Elf64_Shdr> section_headers(std::span<const uint8_t> file, const Elf64_Ehdr& header) {
    uint64_t size = uint64_t(header.e_shnum) * sizeof(Elf64_Shdr);
    if (!holds(file, header.e_shoff, size)) return {};
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    if (size) std::memcpy(sections.data(), file.data() + header.e_shoff, size);
    return sections;
}

// Whether the section's name in the name table, which lies in the file, is
// the name.
bool named(std::span<const uint8_t> file, const Elf64_Shdr& names, const Elf64_Shdr& section, std::string_view name) {
    if (section.sh_name >= names.sh_size || name.size() + 1 > names.sh_size - section.sh_name) return false;
    const uint8_t* stored = file.data() + names.sh_offset + section.sh_name;
    return std::memcmp(stored, name.data(), name.size()) == 0 && stored[name.size()] == 0;
}

}  // namespace

std::vector<uint8_t> build_id() {
    std::vector<uint8_t> id;
    dl_iterate_phdr(read_main_program, &id);
    return id;
}

std::optional<SectionPlace> find_section(std::span<const uint8_t> file, std::string_view name) {
    Elf64_Ehdr header;
    if (file.size() < sizeof header) return std::nullopt;
    std::memcpy(&header, file.data(), sizeof header);
    if (!is_elf64(header)) return std::nullopt;
    std::vector<Elf64_Shdr> sections = section_headers(file, header);
    if (header.e_shstrndx >= sections.size()) return std::nullopt;
    const Elf64_Shdr& names = sections[header.e_shstrndx];
    if (!holds(file, names.sh_offset, names.sh_size)) return std::nullopt;
    for (const Elf64_Shdr& section : sections) {
        if (section.sh_type == SHT_NOBITS || !named(file, names, section, name)) continue;
        if (!holds(file, section.sh_offset, section.sh_size)) return std::nullopt;
        return SectionPlace{section.sh_offset, section.sh_size};
    }
    return std::nullopt;
}

const char* const own_executable = "/proc/self/exe";

std::optional<SectionPlace> own_section(std::string_view name) {
    // Mapping the file reads only the pages that the headers and the name
    // table lie on.
    FileMapping file(own_executable);
    return find_section(file.bytes(), name);
}

}  // namespace vek::platform
