// How the terminal backend reads faces and the fonts and paras they use: a
// facet by its position in face!, a field of a font or para by name, a
// colour as a cell colour, a para as alignment flags, the flags block as
// bits. The words it reads by are interned once (words.def).
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "view/backends/terminal/text.h"
#include "view/facets.h"

namespace vek::view::backends::terminal {

enum class Word : uint32_t {
#define VEK_TUI_WORD(NAME, word) NAME,
#include "view/backends/terminal/words.def"
#undef VEK_TUI_WORD
    COUNT
};

// Interns the words; before any other call.
void init_words();
// Declares the words' symbol ids (at every start).
void init_word_hooks();
// The word's canonical symbol.
uint32_t symbol_of(Word word);
// Whether the value is a word of any kind naming the word, in any spelling.
bool is_word(const Cell* value, Word word);

// Whether the value is an object with the facets of face!.
bool is_face(const Cell* value);
// The facet's value cell: valid until the next call that may allocate.
Cell* facet(const Cell* face, Facet which);
// The field's value of an object, nullptr when the value is no object or
// lacks the field; valid until the next call that may allocate.
Cell* field(const Cell* object, Word name);

// The characters of a string from its index: valid until the next call
// that may allocate.
TextView text_of(const Cell* string);

// A tuple! as a cell colour by the 256-colour rule, or the default colour
// for another value or a fully transparent tuple.
uint32_t colour_of(const Cell* value);
// A para's alignment flags (Alignment): left and top for a missing or
// unknown word.
uint32_t alignment_of(const Cell* para);

// The face flags of the flags facet (a word, a block of words, or none).
// An unknown word, or a value of another kind, raises script invalid-arg.
enum FaceFlag : uint32_t {
    FACE_ALL_OVER = 0x1,
    FACE_FOCUSABLE = 0x2,
    FACE_PASSWORD = 0x80000,
    FACE_FULLSCREEN = 0x200000,
};
uint32_t face_flags(const Cell* flags);

}  // namespace vek::view::backends::terminal
