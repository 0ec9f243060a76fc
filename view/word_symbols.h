// The canonical symbols of a fixed list of words, interned once when the
// view starts, by which a module of the view recognises the words of its
// dialect or its faces in any spelling. The list is an enum and an array of
// names in the same order, both made from one .def file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/image_state.h"

namespace vek::view {

template <typename Word, size_t N>
class WordSymbols {
public:
    explicit constexpr WordSymbols(const char* const (&names)[N]) : names_(names) {}

    void intern() {
        for (size_t i = 0; i < N; ++i) symbols_[i] = symbol::make_case_folded(names_[i]);
    }
    // The symbols are heap state: a heap image keeps them.
    void keep_in_image(const char* name) { image_state::keep(name, symbols_); }
    uint32_t symbol(Word word) const { return symbols_[size_t(word)]; }
    // Whether the value is a word of any kind naming the word.
    bool is(const Cell* value, Word word) const {
        return is_any_word(cell_type(value)) && symbol::resolve(word::symbol(value)) == symbol(word);
    }

private:
    const char* const (&names_)[N];
    uint32_t symbols_[N] = {};
};

}  // namespace vek::view
