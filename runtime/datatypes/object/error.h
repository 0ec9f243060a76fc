// error!: the value every script-level failure is made of. An error is an
// object cell (type 34, class id 1, no event record) whose context holds ten
// fields in a fixed order:
//   code   integer!: category index x 100 + the id's offset in its category
//   type   the category word (script, math, ...)
//   id     the id word within the category (no-value, zero-divide, ...)
//   arg1 arg2 arg3   the message's arguments, none when absent
//   near   the code near the failure
//   where  the word of the function in which the error arose
//   stack  while in flight an integer! (the frame position at the raise);
//          once a catcher captured it, a block of function words
//   files  the source files active at the raise, or none
// New errors are copies of the prototype system/standard/error, whose fields
// are all none.
//
// The catalog errors are made and formed from is system/catalog/errors once
// the boot attached the system object, and the C++ table before, and
// wherever a script left that object without what is asked
// (runtime/core/error_catalog.h). The type and id fields hold unbound words
// carrying the catalog names' symbols: they compare, mold and form as the
// catalog's words do, but name no value.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/raise.h"
#include "runtime/text/sink.h"

namespace vek::error {

constexpr uint32_t CLASS_ID = 1;

enum Field : uint32_t {
    FIELD_CODE, FIELD_TYPE, FIELD_ID, FIELD_ARG1, FIELD_ARG2, FIELD_ARG3,
    FIELD_NEAR, FIELD_WHERE, FIELD_STACK, FIELD_FILES, FIELD_COUNT,
};

constexpr uint32_t stack_field_index() { return FIELD_STACK; }

// Registers error!.
void init();
// Interns the catalog's names and builds the prototype system/standard/error,
// kept in the root block, and the reserved errors in their root cells. Runs
// once the symbol table and the global context exist; errors raised before
// that travel as integer! codes (see fire).
void init_prototype();
bool ready();
const Cell* prototype();

// The value cell of a field; valid until the next call that may allocate.
Cell* field(const Cell* error, Field f);

// The error made at start-up for a no-memory or stack-overflow code, kept in
// the root block; nullptr for any other code and before start-up made them.
// There is one value per code: each raise renews it.
Cell* reserved(uint32_t code);
// Readies a reserved error for a raise of its code without allocating: the
// fields are reset, near and stack set as for a new error, and where holds an
// unbound word naming the innermost named frame (looking the word up could
// allocate).
void renew(const Cell* error, uint32_t code);

// Takes the trace of the named call frames up to the position in the error's
// stack field, while they are there, for its Stack line and a capture to
// name once they are gone; nothing when the field holds no position. It
// allocates nothing in the Vek heap.
void keep_trace(const Cell* error);

// For a catch point to call on what an error throw left: an integer! code,
// thrown for an error raised before error values existed or while another
// error was being made, becomes in place the error it names; anything else is
// left as it is. Making that error may raise.
void resolve_bare_code(Cell* thrown);

// A new error! pushed on the evaluation stack, of the id and its category,
// with the arguments given stored in arg1 to arg3.
Cell* create(err::AnyId id, const Cell* arg1 = nullptr,
             const Cell* arg2 = nullptr, const Cell* arg3 = nullptr);

// The error's formed text, with the stack-trace setting given instead of
// read from the system fields.
void form_traced(const Cell* value, text::Sink& out, const Cell* stack_trace);

// Appends a message template block: strings as they are, a word or get-word
// as the value of the error's field of that name (formed for syntax errors,
// else molded flat), each cut to 80 units; one space between two elements.
void form_template(const Cell* error, text::Sink& out, const Cell* block);

// Stores the value into where when where is none.
void fill_where(const Cell* error, const Cell* value);
// The symbol ids of the type and id words.
uint32_t type_symbol(const Cell* error);
uint32_t id_symbol(const Cell* error);

// The n-th argument word (from 0) of the spec of the function named by the
// innermost named call frame; the word <anon> when there is none.
const Cell* get_arg_word(uint32_t n);

// For an error whose stack field holds a frame position: the field becomes
// a block of the words of the named call frames up to it, as deep as the
// stack-trace setting asks (1 when it is no positive integer!), and files a
// copy of the state/source-files block when that is not empty.
void capture_stack(const Cell* error);

// Raises script bad-make-arg with the datatype and the spec.
[[noreturn]] void raise_bad_make_arg(const Cell* type, const Cell* spec);

// Raises script expect-arg naming the running function, the datatype and the
// function's argument word at the position (from 0), as a failed argument
// check does.
[[noreturn]] void raise_expect_arg(uint32_t type, uint32_t position);

// Prints the error as print does: its formed text and a line end, through
// the print hooks.
void print(const Cell* error);

}  // namespace vek::error
