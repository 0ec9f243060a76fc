// The image file: a header, the table of page runs, the saved C++ values,
// then, from the next page boundary on, the stored pages of the runs. A run
// of pages that are all zeros (the emergency reserve, the unused end of a
// frame) is not stored: it is committed again, and committed pages read
// zeros. Stored pages start at page boundaries, so that the file could be
// mapped where it lies.
#include "boot/heap_image.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "boot/library.h"
#include "platform/file_mapping.h"
#include "platform/files.h"
#include "platform/program.h"
#include "runtime/core/flags.h"
#include "runtime/datatypes/handle.h"
#include "runtime/init.h"
#include "runtime/memory/externals.h"
#include "runtime/memory/image_state.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/poison.h"
#include "runtime/memory/region.h"
#include "runtime/tables/random.h"

namespace vek::boot::heap_image {

namespace {

constexpr char MAGIC[8] = {'V', 'e', 'k', 'I', 'm', 'a', 'g', 'e'};
constexpr uint32_t FORMAT_VERSION = 2;
constexpr uint32_t BUILD_ID_ROOM = 64;
constexpr uint32_t CHECKSUM_ROOM = 40;

struct Header {
    char magic[8];                 // MAGIC
    uint32_t version;              // FORMAT_VERSION
    uint32_t hash_seed;            // the hash tables' seed the heap was hashed with
    uint32_t build_id_size;        // bytes of build_id in use
    uint8_t build_id[BUILD_ID_ROOM];  // the executable's build id
    char library[CHECKSUM_ROOM];   // library_checksum()
    uint32_t run_count;            // entries of the run table after the header
    uint32_t state_size;           // bytes of saved C++ values after the table
    uint64_t checksum;             // checksum_of the whole file, this field read as 0
    uint64_t size;                 // of the whole file
    uint64_t reserved_;            // 0
};
static_assert(sizeof(Header) == 160);

// Pages of the heap at an offset; stored at file_offset, or all zeros when
// file_offset is 0.
struct RunEntry {
    uint64_t start;
    uint64_t length;
    uint64_t file_offset;
};

uint64_t page_round(uint64_t n) { return (n + region::PAGE - 1) & ~uint64_t(region::PAGE - 1); }

// Fletcher's two sums over the file's 64-bit words, each kept in eight
// lanes: `sum` adds the words, so any changed byte changes it, and `weighted`
// adds the running sums, so moved words change it too. Every start checks
// the whole image, which its pages then hold in memory: two additions per
// word, which the compiler does two words at a time, cost a third of a
// multiplying hash, and a damaged file is what the sum must catch, not a
// forged one (the file is as trusted as the code beside it).
struct Checksum {
    // Two words, as one register of the vector unit holds them.
    using Lanes = uint64_t __attribute__((vector_size(16)));
    static constexpr size_t WAYS = 4;
    static constexpr size_t BLOCK = WAYS * sizeof(Lanes);

    Lanes sum[WAYS] = {};
    Lanes weighted[WAYS] = {};

    static Lanes words(const uint8_t* bytes) {
        Lanes lanes;
        std::memcpy(&lanes, bytes, sizeof lanes);
        return lanes;
    }

    // Bytes whose count is a multiple of BLOCK. The sums stay in locals, so
    // that they stay in registers.
    void add_blocks(const uint8_t* bytes, size_t size) {
        Lanes a0 = sum[0], a1 = sum[1], a2 = sum[2], a3 = sum[3];
        Lanes b0 = weighted[0], b1 = weighted[1], b2 = weighted[2], b3 = weighted[3];
        for (size_t at = 0; at < size; at += BLOCK) {
            a0 += words(bytes + at);
            a1 += words(bytes + at + sizeof(Lanes));
            a2 += words(bytes + at + 2 * sizeof(Lanes));
            a3 += words(bytes + at + 3 * sizeof(Lanes));
            b0 += a0, b1 += a1, b2 += a2, b3 += a3;
        }
        sum[0] = a0, sum[1] = a1, sum[2] = a2, sum[3] = a3;
        weighted[0] = b0, weighted[1] = b1, weighted[2] = b2, weighted[3] = b3;
    }
    // Bytes of any count, the last block filled up with zeros.
    void add(const uint8_t* bytes, size_t size) {
        size_t whole = size & ~(BLOCK - 1);
        add_blocks(bytes, whole);
        add_last({bytes + whole, size - whole});
    }
    // The bytes after the last whole block, fewer than BLOCK, filled up
    // with zeros to one.
    void add_last(std::span<const uint8_t> bytes) {
        uint8_t last[BLOCK] = {};
        if (!bytes.empty()) std::memcpy(last, bytes.data(), bytes.size());
        add_blocks(last, sizeof last);
    }
    // The lanes and the size mixed into one word by multiplications and
    // rotations, so that each lane reaches every bit of the result.
    uint64_t result(uint64_t size) const {
        constexpr uint64_t PRIME = 0x9E3779B97F4A7C15u;
        uint64_t mixed = size;
        for (const Lanes& lanes : sum)
            for (int lane = 0; lane < 2; lane++) mixed = std::rotl((mixed ^ lanes[lane]) * PRIME, 31);
        for (const Lanes& lanes : weighted)
            for (int lane = 0; lane < 2; lane++) mixed = std::rotl((mixed ^ lanes[lane]) * PRIME, 31);
        return mixed;
    }
};

// Where the stored pages start: at the page after the header, the run
// table and the saved values, or at the file's end.
uint64_t pages_start(std::span<const uint8_t> file, const Header& header) {
    uint64_t at = page_round(sizeof header + uint64_t(header.run_count) * sizeof(RunEntry) + header.state_size);
    return std::min<uint64_t>(at, file.size());
}

// The checksum of a file, of at least a header, runs over the header (its
// own checksum read as 0), the table and the saved values, then the stored
// pages. start_sum adds the first part; the caller adds the pages, read
// from the file or where load put them.
Checksum start_sum(std::span<const uint8_t> file) {
    Header header;
    std::memcpy(&header, file.data(), sizeof header);
    header.checksum = 0;
    Checksum sum;
    sum.add(reinterpret_cast<const uint8_t*>(&header), sizeof header);
    sum.add(file.data() + sizeof header, pages_start(file, header) - sizeof header);
    return sum;
}

uint64_t checksum_of(std::span<const uint8_t> file) {
    Header header;
    std::memcpy(&header, file.data(), sizeof header);
    uint64_t pages = pages_start(file, header);
    Checksum sum = start_sum(file);
    sum.add(file.data() + pages, file.size() - pages);
    return sum.result(file.size());
}

// ---- what the image is made of ----

bool all_zero(const std::byte* page) {
    uint64_t words[region::PAGE / sizeof(uint64_t)];
    std::memcpy(words, page, sizeof words);
    return std::all_of(std::begin(words), std::end(words), [](uint64_t word) { return word == 0; });
}

// The used runs of the heap cut where pages turn from zeros to data and
// back; file_offset 1 marks the runs to store until their place is known.
std::vector<RunEntry> runs_to_write() {
    std::vector<RunEntry> entries;
    for (const region::Run& run : region::used_runs()) {
        poison::allow(region::base + run.start, run.length);
        for (uint64_t page = run.start; page < run.start + run.length; page += region::PAGE) {
            uint64_t stored = all_zero(region::base + page) ? 0 : 1;
            if (!entries.empty() && entries.back().start + entries.back().length == page &&
                entries.back().file_offset == stored)
                entries.back().length += region::PAGE;
            else
                entries.push_back({page, region::PAGE, stored});
        }
    }
    return entries;
}

bool reaches_handle() {
    bool found = false;
    memory::for_each_buffer(
        [](SeriesBuffer* b, void* context) {
            if (!(b->flags & BUF_USED) || (b->flags & BUF_KIND_MASK) != BUF_KIND_CELLS) return;
            for (const Cell* cell = b->cells(); cell < b->cells_tail(); cell++)
                if (cell_type(cell) == TYPE_HANDLE && handle::kind(cell) != handle::Kind::null)
                    *static_cast<bool*>(context) = true;
        },
        &found);
    return found;
}

// Why no image may be made now, if it may not.
std::optional<std::string_view> refusal(const std::vector<uint8_t>& build_id) {
    if (externals::any_live()) return "an external value is live (an image, a codec's or the system's resource)";
    if (reaches_handle()) return "a handle! other than the null handle is reachable";
    if (build_id.empty() || build_id.size() > BUILD_ID_ROOM) return "the program has no build id";
    return std::nullopt;
}

Header header_for(const std::vector<uint8_t>& build_id) {
    Header header{};
    std::memcpy(header.magic, MAGIC, sizeof MAGIC);
    header.version = FORMAT_VERSION;
    header.hash_seed = hash_seed;
    header.build_id_size = uint32_t(build_id.size());
    std::memcpy(header.build_id, build_id.data(), build_id.size());
    std::string_view library = library_checksum();
    std::memcpy(header.library, library.data(), std::min<size_t>(library.size(), CHECKSUM_ROOM));
    return header;
}

template <class T> void put(std::vector<uint8_t>& file, size_t at, const T& value) {
    std::memcpy(file.data() + at, &value, sizeof value);
}

std::vector<uint8_t> image_file(const std::vector<uint8_t>& build_id) {
    if (build_id.size() > BUILD_ID_ROOM) return {};
    std::vector<RunEntry> runs = runs_to_write();
    std::vector<uint8_t> state = image_state::save();
    Header header = header_for(build_id);
    header.run_count = uint32_t(runs.size());
    header.state_size = uint32_t(state.size());
    uint64_t at = page_round(sizeof header + runs.size() * sizeof(RunEntry) + state.size());
    for (RunEntry& run : runs) {
        if (!run.file_offset) continue;
        run.file_offset = at;
        at += run.length;
    }
    header.size = at;
    std::vector<uint8_t> file(at);
    put(file, 0, header);
    for (size_t i = 0; i < runs.size(); i++) put(file, sizeof header + i * sizeof(RunEntry), runs[i]);
    std::memcpy(file.data() + sizeof header + runs.size() * sizeof(RunEntry), state.data(), state.size());
    for (const RunEntry& run : runs)
        if (run.file_offset) std::memcpy(file.data() + run.file_offset, region::base + run.start, run.length);
    seal(file);
    return file;
}

// ---- what is taken back ----

struct Image {
    std::vector<RunEntry> runs;
    std::span<const uint8_t> state;
};

bool names_this_program(const Header& header) {
    std::vector<uint8_t> build_id = platform::build_id();
    std::string_view library = library_checksum();
    return std::memcmp(header.magic, MAGIC, sizeof MAGIC) == 0 && header.version == FORMAT_VERSION &&
           header.hash_seed == hash_seed && !build_id.empty() && header.build_id_size == build_id.size() &&
           std::memcmp(header.build_id, build_id.data(), build_id.size()) == 0 && library.size() <= CHECKSUM_ROOM &&
           std::string_view(header.library, library.size()) == library;
}

// Runs in address order, whole pages inside what this reservation hands out;
// the stored ones fill the file from pages_start to its end, one after the
// other, so that the stored pages are the file's.
bool runs_fit(const std::vector<RunEntry>& runs, uint64_t pages, uint64_t file_size) {
    uint64_t end = region::LOW_GUARD;
    uint64_t next_stored = pages;
    for (const RunEntry& run : runs) {
        bool whole = run.start % region::PAGE == 0 && run.length % region::PAGE == 0 && run.length > 0;
        if (!whole || run.start < end || run.length > UINT32_MAX || !region::holds(run.start + run.length))
            return false;
        end = run.start + run.length;
        if (!run.file_offset) continue;
        if (run.file_offset != next_stored || run.length > file_size - next_stored) return false;
        next_stored += run.length;
    }
    return next_stored == file_size;
}

// The image the file holds, when it is one that this program made and its
// parts lie where they should; its checksum is not compared.
std::optional<Image> parse_image(std::span<const uint8_t> file) {
    Header header;
    if (file.size() < sizeof header) return std::nullopt;
    std::memcpy(&header, file.data(), sizeof header);
    if (header.size != file.size() || !names_this_program(header)) return std::nullopt;
    uint64_t table = uint64_t(header.run_count) * sizeof(RunEntry);
    uint64_t data_start = sizeof header + table + header.state_size;
    if (data_start > file.size()) return std::nullopt;
    Image image;
    image.runs.resize(header.run_count);
    if (table) std::memcpy(image.runs.data(), file.data() + sizeof header, table);
    image.state = file.subspan(sizeof header + table, header.state_size);
    if (!runs_fit(image.runs, pages_start(file, header), file.size())) return std::nullopt;
    return image;
}

bool sealed(std::span<const uint8_t> file) {
    Header header;
    std::memcpy(&header, file.data(), sizeof header);
    return header.checksum == checksum_of(file);
}

// Whether the image's checksum holds, its stored pages read from the heap
// where put_pages placed them: every byte is summed once, in pages that the
// heap holds now anyway, rather than once more in the file's.
bool sealed_in_heap(std::span<const uint8_t> file, const std::vector<RunEntry>& runs) {
    Header header;
    std::memcpy(&header, file.data(), sizeof header);
    Checksum sum = start_sum(file);
    for (const RunEntry& run : runs) {
        if (!run.file_offset) continue;
        poison::allow(region::base + run.start, run.length);
        sum.add_blocks(reinterpret_cast<const uint8_t*>(region::base + run.start), run.length);
    }
    sum.add_last({});
    return header.checksum == sum.result(file.size());
}

void decommit(const std::vector<RunEntry>& runs, size_t count) {
    for (size_t i = 0; i < count; i++) region::decommit_run({runs[i].start, runs[i].length});
}

// Maps the stored runs into place, copy-on-write, and commits the runs of
// zeros; on failure, gives back what it took.
bool put_pages(const Image& image, const platform::FileMapping& file) {
    for (size_t i = 0; i < image.runs.size(); i++) {
        const RunEntry& run = image.runs[i];
        bool placed = run.file_offset ? file.map_into(region::base + run.start, run.length, run.file_offset)
                                      : region::commit_run({run.start, run.length});
        if (!placed) {
            decommit(image.runs, i);
            return false;
        }
    }
    return true;
}

bool load_mapped(const platform::FileMapping& file) {
    if (!region::used_runs().empty()) return false;
    std::optional<Image> image = parse_image(file.bytes());
    if (!image || !put_pages(*image, file)) return false;
    if (!sealed_in_heap(file.bytes(), image->runs) || !image_state::restore(image->state)) {
        decommit(image->runs, image->runs.size());
        return false;
    }
    memory::poison_free_space();
    runtime::init_restored();
    return true;
}

}  // namespace

std::vector<uint8_t> contents() { return image_file(platform::build_id()); }

void seal(std::span<uint8_t> file) {
    if (file.size() < sizeof(Header)) return;
    uint64_t checksum = checksum_of(file);
    std::memcpy(file.data() + offsetof(Header, checksum), &checksum, sizeof checksum);
}

bool acceptable(std::span<const uint8_t> file) { return parse_image(file) && sealed(file); }

bool make(const char* path) {
    std::vector<uint8_t> build_id = platform::build_id();
    if (std::optional<std::string_view> why = refusal(build_id)) {
        std::printf("No heap image made: %.*s.\n", int(why->size()), why->data());
        return false;
    }
    std::vector<uint8_t> file = image_file(build_id);
    if (platform::write_file(path, file.data(), file.size(), platform::WriteMode::replace, 0)) return true;
    std::printf("No heap image made: %s cannot be written.\n", path);
    return false;
}

bool load(const char* path) {
    platform::FileMapping file(path);
    return load_mapped(file);
}

bool load_embedded() {
    std::optional<platform::SectionPlace> section = platform::own_section(VEK_IMAGE_SECTION);
    if (!section) return false;
    platform::FileMapping file(platform::own_executable, section->offset, section->size);
    return load_mapped(file);
}

}  // namespace vek::boot::heap_image
