#include "platform/program.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

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

// An open file read at offsets, every read inside its size.
class ElfFile {
public:
    explicit ElfFile(const char* path) : fd_(open(path, O_RDONLY | O_CLOEXEC)) {
        struct stat status;
        if (fd_ >= 0 && fstat(fd_, &status) == 0 && S_ISREG(status.st_mode)) size_ = uint64_t(status.st_size);
    }
    ~ElfFile() {
        if (fd_ >= 0) close(fd_);
    }
    ElfFile(const ElfFile&) = delete;
    ElfFile& operator=(const ElfFile&) = delete;

    bool holds(uint64_t offset, uint64_t count) const { return offset <= size_ && count <= size_ - offset; }

    bool read(void* out, uint64_t count, uint64_t offset) const {
        return holds(offset, count) && pread(fd_, out, count, off_t(offset)) == ssize_t(count);
    }

private:
    int fd_;
    uint64_t size_ = 0;
};

bool is_elf64(const Elf64_Ehdr& header) {
    return std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 && header.e_ident[EI_CLASS] == ELFCLASS64 &&
           header.e_shentsize == sizeof(Elf64_Shdr);
}

// The headers of every section; empty when they do not lie in the file.
std::vector<Elf64_Shdr> section_headers(const ElfFile& file, const Elf64_Ehdr& header) {
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    if (!file.read(sections.data(), uint64_t(header.e_shnum) * sizeof(Elf64_Shdr), header.e_shoff)) return {};
    return sections;
}

// Whether the section's name in the name table is the name.
bool named(const ElfFile& file, const Elf64_Shdr& names, const Elf64_Shdr& section, std::string_view name) {
    if (section.sh_name >= names.sh_size || name.size() + 1 > names.sh_size - section.sh_name) return false;
    std::vector<char> stored(name.size() + 1);
    return file.read(stored.data(), stored.size(), names.sh_offset + section.sh_name) &&
           std::string_view(stored.data(), name.size()) == name && stored.back() == '\0';
}

}  // namespace

std::vector<uint8_t> build_id() {
    std::vector<uint8_t> id;
    dl_iterate_phdr(read_main_program, &id);
    return id;
}

const char* const own_executable = "/proc/self/exe";

std::optional<SectionPlace> own_section(std::string_view name) {
    ElfFile file(own_executable);
    Elf64_Ehdr header;
    if (!file.read(&header, sizeof header, 0) || !is_elf64(header)) return std::nullopt;
    std::vector<Elf64_Shdr> sections = section_headers(file, header);
    if (header.e_shstrndx >= sections.size()) return std::nullopt;
    const Elf64_Shdr& names = sections[header.e_shstrndx];
    if (!file.holds(names.sh_offset, names.sh_size)) return std::nullopt;
    for (const Elf64_Shdr& section : sections) {
        if (section.sh_type == SHT_NOBITS || !named(file, names, section, name)) continue;
        if (!file.holds(section.sh_offset, section.sh_size)) return std::nullopt;
        return SectionPlace{section.sh_offset, section.sh_size};
    }
    return std::nullopt;
}

}  // namespace vek::platform
