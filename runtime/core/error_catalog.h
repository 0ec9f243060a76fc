// The error catalog as C++ data, made from the list in errors.def: the ten
// categories in order, each with its title and its ids, each id with its
// message template. Errors are made and formed from this table until the boot
// builds system/catalog/errors from it.
#pragma once

#include <cstdint>

namespace vek::catalog {

constexpr uint32_t CATEGORY_COUNT = 10;

// One element of a message template: a text, or a reference to an error
// field written as a get-word (:arg1) or as a plain word (arg1).
enum class Piece : uint8_t { text, get_word, word };

struct TemplatePiece {
    Piece kind;
    const char* text;  // the text, or the referenced field's name
};

// How the template is held: a lone string! printed whole, a lone word! whose
// value is the message (user/message), or a block! of pieces.
enum class Form : uint8_t { string, word, block };

struct ErrorId {
    const char* name;  // such as "zero-divide"
    Form form;
    const TemplatePiece* pieces;
    uint32_t piece_count;
};

struct ErrorCategory {
    const char* name;   // such as "math"
    const char* title;  // such as "Math Error"
    const ErrorId* ids;
    uint32_t id_count;
};

// Category i sits at index i; its id at position p (counting code and type
// as positions 0 and 1, as the err:: constants do) is ids[p - 2].
const ErrorCategory& category(uint32_t index);

// Interns the names of the categories and ids, once the symbol table exists.
// Making an error then only reads symbol ids: no-memory is raised without
// allocating.
void init();

// Lookups by the symbol id of a word's name; -1 when there is none.
int32_t find_category(uint32_t symbol);
int32_t find_id(uint32_t category, uint32_t symbol);  // a position, 2 and up

// Symbol ids of a category's and an id's name.
uint32_t category_symbol(uint32_t category);
uint32_t id_symbol(uint32_t category, uint32_t position);

}  // namespace vek::catalog
