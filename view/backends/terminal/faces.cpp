#include "view/backends/terminal/faces.h"

#include <algorithm>

#include "runtime/core/raise.h"
#include "runtime/datatypes/compound/tuple.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/image_state.h"
#include "view/backends/terminal/screen.h"
#include "view/backends/terminal/text.h"
#include "view/word_symbols.h"

namespace vek::view::backends::terminal {

namespace {

constexpr const char* WORD_NAMES[] = {
#define VEK_TUI_WORD(NAME, word) word,
#include "view/backends/terminal/words.def"
#undef VEK_TUI_WORD
};
WordSymbols<Word, size_t(Word::COUNT)> words(WORD_NAMES);

struct FlagWord {
    Word word;
    uint32_t bit;
};
constexpr FlagWord FLAG_WORDS[] = {
    {Word::ALL_OVER, FACE_ALL_OVER}, {Word::FOCUSABLE, FACE_FOCUSABLE}, {Word::TRI_STATE, 0x20000},
    {Word::SCROLLABLE, 0x40000},     {Word::PASSWORD, FACE_PASSWORD},   {Word::NO_SYNC, 0x100000},
    {Word::FULLSCREEN, FACE_FULLSCREEN}, {Word::POPUP, 0x1000000},     {Word::MODAL, 0x2000000},
    {Word::RESIZE, 0x4000000},       {Word::NO_BUTTONS, 0x8000000},     {Word::NO_MAX, 0x10000000},
    {Word::NO_MIN, 0x20000000},      {Word::NO_TITLE, 0x40000000},      {Word::NO_BORDER, 0x80000000},
};

uint32_t flag_bit(const Cell* value) {
    if (is_any_word(cell_type(value)))
        for (const FlagWord& flag : FLAG_WORDS)
            if (is_word(value, flag.word)) return flag.bit;
    fire(err::script::invalid_arg, value);
}

}  // namespace

void init_word_hooks() { words.keep_in_image("terminal backend words"); }

void init_words() { words.intern(); }

uint32_t symbol_of(Word word) { return words.symbol(word); }

bool is_word(const Cell* value, Word word) { return words.is(value, word); }

bool is_face(const Cell* value) {
    return cell_type(value) == TYPE_OBJECT && object::field_count(value) >= FACET_COUNT;
}

Cell* facet(const Cell* face, Facet which) { return object::get_values(face) + (uint32_t(which) - 1); }

Cell* field(const Cell* object, Word name) {
    if (cell_type(object) != TYPE_OBJECT) return nullptr;
    return object::find_field(object, symbol_of(name));
}

TextView text_of(const Cell* string) {
    SeriesBuffer* buffer = series_buffer(string);
    uint32_t index = std::min(series_index(string), buffer->length());
    return TextView(buffer->at(index), buffer->unit(), buffer->length() - index);
}

uint32_t colour_of(const Cell* value) {
    if (cell_type(value) != TYPE_TUPLE) return COLOUR_DEFAULT;
    uint8_t alpha = tuple::size(value) > 3 ? tuple::get_byte(value, 3) : 0;
    return cell_colour({tuple::get_byte(value, 0), tuple::get_byte(value, 1), tuple::get_byte(value, 2)}, alpha);
}

uint32_t alignment_of(const Cell* para) {
    uint32_t flags = 0;
    if (const Cell* align = field(para, Word::ALIGN)) {
        if (is_word(align, Word::RIGHT)) flags |= ALIGN_RIGHT;
        if (is_word(align, Word::CENTER)) flags |= ALIGN_CENTER;
    }
    if (const Cell* v_align = field(para, Word::V_ALIGN)) {
        if (is_word(v_align, Word::MIDDLE)) flags |= ALIGN_MIDDLE;
        if (is_word(v_align, Word::BOTTOM)) flags |= ALIGN_BOTTOM;
    }
    const Cell* wrap = field(para, Word::WRAP_Q);
    if (wrap && cell_type(wrap) == TYPE_LOGIC && logic::get(wrap)) flags |= ALIGN_WRAP;
    return flags;
}

uint32_t face_flags(const Cell* flags) {
    uint32_t type = cell_type(flags);
    if (type == TYPE_NONE) return 0;
    if (!is_any_block(type)) return flag_bit(flags);
    uint32_t bits = 0;
    Node node = series_node(flags);
    for (uint32_t i = series_index(flags); i < node_buffer(node)->length(); ++i)
        bits |= flag_bit(&node_buffer(node)->cells()[i]);
    return bits;
}

}  // namespace vek::view::backends::terminal
