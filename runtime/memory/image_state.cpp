#include "runtime/memory/image_state.h"

#include <cstring>

#include "runtime/memory/region.h"

namespace vek::image_state {

namespace {

struct Declared {
    const char* name;
    void* address;
    uint32_t size;                  // of the value's bytes; for a coded value, 0
    bool pointer;                   // a raw pointer into the region, saved as its offset
    const Codec* codec = nullptr;   // a value with a saved form of its own
};

std::vector<Declared>& declared() {
    static std::vector<Declared> values;
    return values;
}

void declare(const Declared& value) {
    for (Declared& known : declared())
        if (std::strcmp(known.name, value.name) == 0) {
            known = value;
            return;
        }
    declared().push_back(value);
}

constexpr uint32_t OFFSET_SIZE = sizeof(uint32_t);

uint32_t saved_size(const Declared& value) { return value.pointer ? OFFSET_SIZE : value.size; }

// Appends the value as an image keeps it: a pointer becomes its offset.
void append_value(const Declared& value, std::vector<uint8_t>& out) {
    if (value.codec) {
        value.codec->save(value.address, out);
        return;
    }
    size_t at = out.size();
    out.resize(at + saved_size(value));
    if (!value.pointer) {
        std::memcpy(out.data() + at, value.address, value.size);
        return;
    }
    void* pointer;
    std::memcpy(&pointer, value.address, sizeof pointer);
    uint32_t offset = uint32_t(region::off(pointer));
    std::memcpy(out.data() + at, &offset, OFFSET_SIZE);
}

bool value_fits(const Declared& value, std::span<const uint8_t> saved) {
    return value.codec ? value.codec->fits(saved) : saved.size() == saved_size(value);
}

void write_value(const Declared& value, std::span<const uint8_t> saved) {
    if (value.codec) {
        value.codec->restore(value.address, saved);
        return;
    }
    if (!value.pointer) {
        std::memcpy(value.address, saved.data(), value.size);
        return;
    }
    uint32_t offset;
    std::memcpy(&offset, saved.data(), OFFSET_SIZE);
    void* pointer = region::ptr(Off(offset));
    std::memcpy(value.address, &pointer, sizeof pointer);
}

// The saved value at the position, after its size. When the bytes end
// before it does: empty, and the position past the end.
std::span<const uint8_t> next_saved(std::span<const uint8_t> saved, size_t& at) {
    uint32_t size;
    bool cut = saved.size() - at < sizeof size;
    if (!cut) {
        std::memcpy(&size, saved.data() + at, sizeof size);
        at += sizeof size;
        cut = saved.size() - at < size;
    }
    if (cut) {
        at = saved.size() + 1;
        return {};
    }
    at += size;
    return saved.subspan(at - size, size);
}

void append_u32(std::vector<uint8_t>& out, uint32_t word) {
    uint8_t bytes[4];
    std::memcpy(bytes, &word, sizeof bytes);
    out.insert(out.end(), bytes, bytes + sizeof bytes);
}

// Whether the saved values have the declared count, and each fits its
// declaration.
bool fits(std::span<const uint8_t> saved) {
    size_t at = 0;
    for (const Declared& value : declared()) {
        std::span<const uint8_t> one = next_saved(saved, at);
        if (at > saved.size() || !value_fits(value, one)) return false;
    }
    return at == saved.size();
}

}  // namespace

void keep_bytes(const char* name, void* value, uint32_t size) { declare({name, value, size, false}); }

void keep_pointer_at(const char* name, void* pointer) { declare({name, pointer, uint32_t(sizeof(void*)), true}); }

void keep_coded(const char* name, void* value, const Codec& codec) { declare({name, value, 0, false, &codec}); }

std::vector<uint8_t> save() {
    std::vector<uint8_t> out;
    for (const Declared& value : declared()) {
        size_t at = out.size();
        append_u32(out, 0);
        append_value(value, out);
        uint32_t size = uint32_t(out.size() - at - sizeof size);
        std::memcpy(out.data() + at, &size, sizeof size);
    }
    return out;
}

bool restore(std::span<const uint8_t> saved) {
    if (!fits(saved)) return false;
    size_t at = 0;
    for (const Declared& value : declared()) write_value(value, next_saved(saved, at));
    return true;
}

std::string dump() {
    static constexpr char DIGITS[] = "0123456789ABCDEF";
    std::string text;
    std::vector<uint8_t> bytes;
    for (const Declared& value : declared()) {
        bytes.clear();
        append_value(value, bytes);
        text += value.name;
        text += ':';
        for (uint8_t byte : bytes) {
            text += DIGITS[byte >> 4];
            text += DIGITS[byte & 15];
        }
        text += '\n';
    }
    return text;
}

}  // namespace vek::image_state
