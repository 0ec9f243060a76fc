#include "runtime/core/fixed_words.h"

#include <array>

#include "runtime/core/stack.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/gc/collector.h"
#include "runtime/memory/image_state.h"

namespace vek::fixed_words {

uint32_t self_symbol = 0;

namespace {

#define VEK_FIXED_NAME(id, name) name,
constexpr std::array<const char*, SYMBOL_COUNT> symbol_names{VEK_FIXED_SYMBOLS(VEK_FIXED_NAME)};
constexpr std::array<const char*, WORD_COUNT> word_names{
    VEK_FIXED_SYMBOL_WORDS(VEK_FIXED_NAME) VEK_FIXED_TEXT_WORDS(VEK_FIXED_NAME)};
constexpr std::array<const char*, REFINEMENT_COUNT> refinement_names{VEK_FIXED_REFINEMENTS(VEK_FIXED_NAME)};
#undef VEK_FIXED_NAME

std::array<uint32_t, SYMBOL_COUNT> symbol_ids{};
std::array<Cell, WORD_COUNT> word_cells{};
std::array<Cell, REFINEMENT_COUNT> refinement_cells{};
Cell ooo{};

void mark_words() {
    gc::mark_cells(word_cells.data(), word_cells.data() + word_cells.size());
    gc::mark_cells(refinement_cells.data(), refinement_cells.data() + refinement_cells.size());
    gc::mark_cell(&ooo);
}

}  // namespace

void init_hooks() {
    gc::add_root("fixed words", mark_words);
    image_state::keep("fixed symbols", symbol_ids);
    image_state::keep("fixed words", word_cells);
    image_state::keep("fixed refinements", refinement_cells);
    image_state::keep("fixed issue ooo", ooo);
    image_state::keep("self symbol", self_symbol);
    image_state::keep("anonymous frame symbol", stack::anon_symbol);
    image_state::keep("body frame symbol", stack::body_symbol);
}

void init() {
    for (uint32_t i = 0; i < SYMBOL_COUNT; i++) symbol_ids[i] = symbol::make(symbol_names[i]);
    for (uint32_t i = 0; i < WORD_COUNT; i++) word_cells[i] = *word::from_cstring(word_names[i]);
    self_symbol = symbol(Sym::self);
    stack::anon_symbol = word::symbol(word(Word::anon_tag));
    stack::body_symbol = word::symbol(word(Word::body_tag));
}

void init_refinements() {
    for (uint32_t i = 0; i < REFINEMENT_COUNT; i++) {
        refinement_cells[i] = *refinement::make_in_root(refinement_names[i]);
    }
}

void init_issues() { ooo = *issue::from_cstring("ooo"); }

uint32_t symbol(Sym s) { return symbol_ids[uint32_t(s)]; }
const Cell* word(Word w) { return &word_cells[uint32_t(w)]; }
int32_t position_of_word(const Cell* value, std::span<const Word> words) {
    if (cell_type(value) != TYPE_WORD) return -1;
    uint32_t symbol = symbol::resolve(word::symbol(value));
    for (size_t i = 0; i < words.size(); i++)
        if (symbol::resolve(word::symbol(word(words[i]))) == symbol) return int32_t(i);
    return -1;
}

const Cell* refinement(Ref r) { return &refinement_cells[uint32_t(r)]; }
const Cell* issue_ooo() { return &ooo; }

}  // namespace vek::fixed_words
