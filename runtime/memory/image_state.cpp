#include "runtime/memory/image_state.h"

#include <cstring>

#include "runtime/memory/region.h"

namespace vek::image_state {

namespace {

struct Declared {
    const char* name;
    void* address;
    uint32_t size;
    bool pointer;
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

// The value's bytes as an image keeps them: a pointer becomes its offset.
void read_value(const Declared& value, uint8_t* out) {
    if (!value.pointer) {
        std::memcpy(out, value.address, value.size);
        return;
    }
    void* pointer;
    std::memcpy(&pointer, value.address, sizeof pointer);
    uint32_t offset = uint32_t(region::off(pointer));
    std::memcpy(out, &offset, OFFSET_SIZE);
}

void write_value(const Declared& value, const uint8_t* in) {
    if (!value.pointer) {
        std::memcpy(value.address, in, value.size);
        return;
    }
    uint32_t offset;
    std::memcpy(&offset, in, OFFSET_SIZE);
    void* pointer = region::ptr(Off(offset));
    std::memcpy(value.address, &pointer, sizeof pointer);
}

void append_u32(std::vector<uint8_t>& out, uint32_t word) {
    uint8_t bytes[4];
    std::memcpy(bytes, &word, sizeof bytes);
    out.insert(out.end(), bytes, bytes + sizeof bytes);
}

// Whether the saved values have the declared count and sizes.
bool fits(std::span<const uint8_t> saved) {
    size_t at = 0;
    for (const Declared& value : declared()) {
        uint32_t size;
        if (saved.size() - at < sizeof size) return false;
        std::memcpy(&size, saved.data() + at, sizeof size);
        at += sizeof size;
        if (size != saved_size(value) || saved.size() - at < size) return false;
        at += size;
    }
    return at == saved.size();
}

}  // namespace

void keep_bytes(const char* name, void* value, uint32_t size) { declare({name, value, size, false}); }

void keep_pointer_at(const char* name, void* pointer) { declare({name, pointer, uint32_t(sizeof(void*)), true}); }

std::vector<uint8_t> save() {
    std::vector<uint8_t> out;
    for (const Declared& value : declared()) {
        uint32_t size = saved_size(value);
        append_u32(out, size);
        out.resize(out.size() + size);
        read_value(value, out.data() + out.size() - size);
    }
    return out;
}

bool restore(std::span<const uint8_t> saved) {
    if (!fits(saved)) return false;
    const uint8_t* at = saved.data();
    for (const Declared& value : declared()) {
        at += sizeof(uint32_t);
        write_value(value, at);
        at += saved_size(value);
    }
    return true;
}

std::string dump() {
    static constexpr char DIGITS[] = "0123456789ABCDEF";
    std::string text;
    std::vector<uint8_t> bytes;
    for (const Declared& value : declared()) {
        bytes.resize(saved_size(value));
        read_value(value, bytes.data());
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
