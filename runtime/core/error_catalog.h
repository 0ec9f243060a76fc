// The error catalog as C++ data, made from the list in errors.def: the ten
// categories in order, each with its title and its ids, each id with its
// message template. Errors are made and formed from this table until the boot
// builds system/catalog/errors from it (push_object) and attaches the system
// object; from then on the lookups below read that object first, and fall
// back to the table wherever a script left the object without what they ask
// (a category that is no object, a missing id, a template of another type).
// Raising by a C++ id (fire) names the error by the table's words, so that
// no-memory and stack-overflow are made without allocating, whatever the
// object holds.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

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

// Declares the symbol ids that init leaves (at every start).
void init_hooks();
// Interns the names of the categories and ids, once the symbol table exists.
// Making an error then only reads symbol ids: no-memory is raised without
// allocating.
void init();

// Lookups by the symbol id of a word's name; -1 when there is none. An id
// is looked for in the catalog object's category, then in the table.
int32_t find_category(uint32_t symbol);
int32_t find_id(uint32_t category, uint32_t symbol);  // a position, 2 and up
int32_t find_table_id(uint32_t category, uint32_t symbol);  // in the table only

// Symbol ids of a category's and an id's name, from the table.
uint32_t category_symbol(uint32_t category);
uint32_t id_symbol(uint32_t category, uint32_t position);

// ---------------------------------------------------------------- the catalog object

// The number of ids of the category: the table's count, or its object's
// fields after code and type when it has an object holding more.
uint32_t id_count(uint32_t category);
// The symbol id of the id at the position: the table's within the table's
// ids, the object's past them; 0 when there is none.
uint32_t id_name(uint32_t category, uint32_t position);

// The category's title: its object's type field when that is a string!
// (copied into *out, answering true), else false and the table's title
// stands.
bool object_title(uint32_t category, Cell* out);
// The id's template in the category's object, when that holds a string!,
// block! or word! under the id's name: copied into *out, answering true.
bool object_template(uint32_t category, uint32_t symbol, Cell* out);

// A new system/catalog/errors object pushed on the evaluation stack: one
// object per category, in order, holding code (integer!), type (string!)
// and a field per id holding its template: a string!, a word! (arg1), or a
// block! of strings and get-words or words.
Cell* push_object();

}  // namespace vek::catalog
