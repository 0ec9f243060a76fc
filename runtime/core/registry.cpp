#include "runtime/core/registry.h"

#include <cstring>

#include "runtime/datatypes/word/context.h"
#include "runtime/memory/image_state.h"
#include "runtime/datatypes/word/word.h"

namespace vek::registry {

std::array<ActionRow, TYPE_COUNT> action_table;
std::array<NameEntry, TYPE_COUNT> name_table;
uint32_t highest_id = 0;

void inherit() {}

namespace {

// An image keeps the symbols of the datatype words: the names are the
// program's own strings, registered again at every start.
constexpr image_state::Codec NAME_WORDS{
    [](const void*, std::vector<uint8_t>& out) {
        for (const NameEntry& entry : name_table) {
            auto bytes = reinterpret_cast<const uint8_t*>(&entry.word);
            out.insert(out.end(), bytes, bytes + sizeof entry.word);
        }
    },
    [](std::span<const uint8_t> saved) { return saved.size() == TYPE_COUNT * sizeof(uint32_t); },
    [](void*, std::span<const uint8_t> saved) {
        for (uint32_t id = 0; id < TYPE_COUNT; id++)
            std::memcpy(&name_table[id].word, saved.data() + id * sizeof(uint32_t), sizeof(uint32_t));
    },
};

}  // namespace

void init_tables() {
    action_table = {};
    name_table = {};
    highest_id = 0;
    image_state::keep_coded("datatype words", &name_table, NAME_WORDS);
    image_state::keep("highest datatype id", highest_id);
}

namespace {

uint32_t length_without_bang(const char* name) {
    size_t length = std::strlen(name);
    if (length > 0 && name[length - 1] == '!') length--;
    return uint32_t(length);
}

void make_word(NameEntry& entry) { entry.word = word::symbol(word::from_cstring(entry.name)); }

}  // namespace

void register_type(const DatatypeRecord& record) {
    if (record.id > highest_id) highest_id = record.id;
    name_table[record.id] = NameEntry{record.name, length_without_bang(record.name), 0};
    // Types registered during start-up get their words from make_words, once
    // the global context exists; later ones at once.
    if (context::global != Node::none) make_word(name_table[record.id]);
    ActionRow& row = action_table[record.id];
    const ActionRow& parent_row = action_table[record.parent];
    for (uint32_t i = 0; i < ACTION_SLOTS; i++) {
        bool take_parent = record.parent != 0 && record.actions[i] == INHERIT;
        row[i] = take_parent ? parent_row[i] : record.actions[i];
    }
}

void make_words() {
    for (uint32_t id = 1; id <= highest_id; id++) {
        NameEntry& entry = name_table[id];
        if (entry.name) make_word(entry);
    }
}

}  // namespace vek::registry
