#include "runtime/core/error_catalog.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "runtime/datatypes/word/symbol.h"

namespace vek::catalog {

namespace {

// Template pieces: a text, or a reference to the error's arguments.
#define S(string) TemplatePiece{Piece::text, string}
#define G1 TemplatePiece{Piece::get_word, "arg1"}
#define G2 TemplatePiece{Piece::get_word, "arg2"}
#define G3 TemplatePiece{Piece::get_word, "arg3"}
#define W1 TemplatePiece{Piece::word, "arg1"}
#define W2 TemplatePiece{Piece::word, "arg2"}

// Each list gives, per id: the name of its pieces array, the id's name and
// its pieces. Listed in code order: an id's position is its place here + 2.
#define VEK_THROW_IDS(X)                                                                                      \
    X(break_, "break", S("no loop to break"))                                                                 \
    X(return_, "return", S("return or exit not in function"))                                                 \
    X(throw_, "throw", S("no catch for throw:"), G1)                                                          \
    X(continue_, "continue", S("no loop to continue"))                                                        \
    X(while_cond, "while-cond", S("BREAK/CONTINUE cannot be used in WHILE condition block"))

#define VEK_NOTE_IDS(X) X(no_load, "no-load", S("cannot load: "), G1)

#define VEK_SYNTAX_IDS(X)                                                                                     \
    X(invalid, "invalid", G1, S("invalid"), G2, S("at"), G3)                                                  \
    X(missing, "missing", G1, S("missing"), G2, S("at"), G3)                                                  \
    X(no_header, "no-header", S("script is missing a Vek header:"), G1)                                       \
    X(no_vs_header, "no-vs-header", S("script is missing a Vek/System header:"), G1)                          \
    X(bad_header, "bad-header", S("script header is not valid:"), G1)                                         \
    X(malconstruct, "malconstruct", G1, S("invalid construction spec at"), G2)                                \
    X(bad_char, "bad-char", G1, S("invalid character at"), G2)

#define VEK_SCRIPT_IDS(X)                                                                                     \
    X(no_value, "no-value", G1, S("has no value"))                                                            \
    X(need_value, "need-value", G1, S("needs a value"))                                                       \
    X(not_defined, "not-defined", G1, S("word is not bound to a context"))                                    \
    X(not_in_context, "not-in-context", S("context for"), G1, S("is not available"))                          \
    X(no_arg, "no-arg", G1, S("is missing its"), G2, S("argument"))                                           \
    X(expect_arg, "expect-arg", G1, S("does not allow"), G2, S("for its"), G3, S("argument"))                 \
    X(expect_val, "expect-val", S("expected"), G1, S("not"), G2)                                              \
    X(expect_type, "expect-type", G1, G2, S("field must be of type"), G3)                                     \
    X(cannot_use, "cannot-use", S("cannot use"), G1, S("on"), G2, S("value"))                                 \
    X(invalid_arg, "invalid-arg", S("invalid argument:"), G1)                                                 \
    X(invalid_type, "invalid-type", G1, S("type is not allowed here"))                                        \
    X(invalid_type_spec, "invalid-type-spec", S("invalid type specifier:"), G1)                               \
    X(invalid_key_type, "invalid-key-type", S("invalid key type:"), G1)                                       \
    X(invalid_op, "invalid-op", S("invalid operator:"), G1)                                                   \
    X(no_op_arg, "no-op-arg", G1, S("operator is missing an argument"))                                       \
    X(bad_op_spec, "bad-op-spec",                                                                             \
      S("making an op! requires a function with only 2 arguments and no lit/get-word on left argument"))      \
    X(invalid_data, "invalid-data", S("data not in correct format:"), G1)                                     \
    X(invalid_part, "invalid-part", S("invalid /part count:"), G1)                                            \
    X(not_same_type, "not-same-type", S("values must be of the same type"))                                   \
    X(not_same_class, "not-same-class", S("cannot coerce"), G1, S("to"), G2)                                  \
    X(not_related, "not-related", S("incompatible argument for"), G1, S("of"), G2)                            \
    X(bad_func_def, "bad-func-def", S("invalid function definition:"), G1)                                    \
    X(bad_func_arg, "bad-func-arg", S("function argument"), G1, S("is not valid"))                            \
    X(bad_func_extern, "bad-func-extern", S("invalid /extern value:"), G1)                                    \
    X(no_refine, "no-refine", G1, S("has no refinement called"), G2)                                          \
    X(bad_refines, "bad-refines", S("incompatible or invalid refinements"))                                   \
    X(bad_refine, "bad-refine", S("invalid refinement value:"), G1)                                           \
    X(dup_refine, "dup-refine", S("duplicate refinement usage in:"), G1)                                      \
    X(word_first, "word-first", S("path must start with a word:"), G1)                                        \
    X(empty_path, "empty-path", S("cannot evaluate an empty path value"))                                     \
    X(unset_path, "unset-path", G2, S("is unset in path"), G1)                                                \
    X(invalid_path, "invalid-path", S("cannot access"), G2, S("in path"), G1)                                 \
    X(invalid_path_set, "invalid-path-set", S("unsupported type in"), G1, S("set-path"))                      \
    X(invalid_path_get, "invalid-path-get", S("unsupported type in"), G1, S("get-path"))                      \
    X(bad_path_type, "bad-path-type", G3, S("returned a"), G2, S("value, so"), G1, S("could not be accessed")) \
    X(bad_path_type2, "bad-path-type2", S("path element >"), G1, S("< does not apply to"), G2, S("type"))     \
    X(bad_path_set, "bad-path-set", S("cannot set"), G2, S("in path"), G1)                                    \
    X(bad_field_set, "bad-field-set", S("cannot set"), G1, S("field to"), G2, S("datatype"))                  \
    X(dup_vars, "dup-vars", S("duplicate variable specified:"), G1)                                           \
    X(past_end, "past-end", S("out of range or past end"))                                                    \
    X(missing_arg, "missing-arg", S("missing a required argument or refinement"))                             \
    X(out_of_range, "out-of-range", S("value out of range:"), G1)                                             \
    X(invalid_chars, "invalid-chars", S("contains invalid characters"))                                       \
    X(invalid_compare, "invalid-compare", S("cannot compare"), G1, S("with"), G2)                             \
    X(wrong_type, "wrong-type", S("datatype assertion failed for:"), G1)                                      \
    X(invalid_refine_arg, "invalid-refine-arg", S("invalid"), G1, S("argument:"), G2)                         \
    X(type_limit, "type-limit", G1, S("overflow/underflow"))                                                  \
    X(size_limit, "size-limit", S("maximum limit reached:"), G1)                                              \
    X(no_return, "no-return", S("block did not return a value"))                                              \
    X(throw_usage, "throw-usage", S("invalid use of a thrown error value"))                                   \
    X(locked_word, "locked-word", S("protected word - cannot modify:"), G1)                                   \
    X(protected_, "protected", S("protected value or series - cannot modify"))                                \
    X(bad_bad, "bad-bad", G1, S("error:"), G2)                                                                \
    X(bad_make_arg, "bad-make-arg", S("cannot MAKE"), G1, S("from:"), G2)                                     \
    X(bad_to_arg, "bad-to-arg", S("cannot MAKE/TO"), G1, S("from:"), G2)                                      \
    X(invalid_months, "invalid-months", S("invalid system/locale/month list"))                                \
    X(invalid_spec_field, "invalid-spec-field", S("invalid"), G1, S("field in spec block"))                   \
    X(missing_spec_field, "missing-spec-field", G1, S("not found in spec block"))                             \
    X(move_bad, "move-bad", S("Cannot MOVE elements from"), G1, S("to"), G2)                                  \
    X(too_long, "too-long", S("Content too long"))                                                            \
    X(invalid_char, "invalid-char", S("Invalid char! value:"), G1)                                            \
    X(bad_loop_series, "bad-loop-series", S("Loop series changed to invalid value:"), G1)                     \
    X(wrong_denom, "wrong-denom", G1, S("not same denomination as"), G2)                                      \
    X(bad_denom, "bad-denom", S("invalid denomination:"), G1)                                                 \
    X(invalid_obj_evt, "invalid-obj-evt", S("invalid object event handler:"), G1)                             \
    X(parse_rule, "parse-rule", S("PARSE - invalid rule or usage of rule:"), G1)                              \
    X(parse_end, "parse-end", S("PARSE - unexpected end of rule after:"), G1)                                 \
    X(parse_invalid_ref, "parse-invalid-ref", S("PARSE - get-word refers to a different series!"), G1)        \
    X(parse_block, "parse-block", S("PARSE - input must be of any-block! type:"), G1)                         \
    X(parse_unsupported, "parse-unsupported",                                                                 \
      S("PARSE - matching by datatype not supported for any-string! input"))                                  \
    X(parse_infinite, "parse-infinite", S("PARSE - infinite recursion at rule: ["), G1, S("]"))               \
    X(parse_stack, "parse-stack", S("PARSE - stack limit reached"))                                           \
    X(parse_keep, "parse-keep", S("PARSE - KEEP is used without a wrapping COLLECT"))                         \
    X(parse_into_bad, "parse-into-bad", S("PARSE - COLLECT INTO/AFTER invalid series! argument"))             \
    X(parse_into_type, "parse-into-type",                                                                     \
      S("PARSE - COLLECT INTO/AFTER expects a series! of compatible datatype"))                               \
    X(draw_invalid, "draw-invalid", S("DRAW - invalid input at:"), G1)                                        \
    X(draw_infinite, "draw-infinite", S("DRAW - infinite recursion at:"), G1)                                 \
    X(invalid_data_facet, "invalid-data-facet", S("invalid DATA facet content"), G1)                          \
    X(face_type, "face-type", S("VIEW - invalid face type:"), G1)                                             \
    X(not_window, "not-window", S("VIEW - expected a window root face"))                                      \
    X(bad_window, "bad-window", S("VIEW - a window face cannot be nested in another window"))                 \
    X(not_linked, "not-linked", S("VIEW - face not linked to a window"))                                      \
    X(not_event_type, "not-event-type", S("VIEW - not a valid event type"), G1)                               \
    X(invalid_facet_type, "invalid-facet-type", S("VIEW - invalid rate value:"), G1)                          \
    X(vid_invalid_syntax, "vid-invalid-syntax", S("VID - invalid syntax at:"), G1)                            \
    X(rtd_invalid_syntax, "rtd-invalid-syntax", S("RTD - invalid syntax at:"), G1)                            \
    X(rtd_no_match, "rtd-no-match", S("RTD - opening/closing tag not matching for:"), G1)                     \
    X(react_bad_func, "react-bad-func", S("REACT - /LINK option requires a function! as argument"))           \
    X(react_not_enough, "react-not-enough", S("REACT - reactive functions must accept at least 2 arguments")) \
    X(react_no_match, "react-no-match", S("REACT - objects block length must match reaction function arg count")) \
    X(react_bad_obj, "react-bad-obj", S("REACT - target can only contain object values"))                     \
    X(react_gctx, "react-gctx", S("REACT - word"), G1, S("is not a reactor's field"))                         \
    X(lib_invalid_arg, "lib-invalid-arg", S("LIBVEK - invalid argument for"), G1)                             \
    X(vb_invalid_record, "vb-invalid-record", S("VEKBIN - invalid record at index"), G1)

#define VEK_MATH_IDS(X)                                                                                       \
    X(zero_divide, "zero-divide", S("attempt to divide by zero"))                                             \
    X(overflow, "overflow", S("math or number overflow"))                                                     \
    X(positive, "positive", S("positive number required"))

#define VEK_ACCESS_IDS(X)                                                                                     \
    X(cannot_open, "cannot-open", S("cannot open:"), G1)                                                      \
    X(cannot_close, "cannot-close", S("cannot close:"), G1)                                                   \
    X(invalid_utf8, "invalid-utf8", S("invalid UTF-8 encoding:"), G1)                                         \
    X(not_open, "not-open", S("port is not open:"), G1)                                                       \
    X(no_connect, "no-connect", S("cannot connect:"), G1, S("reason: timeout"))                               \
    X(no_scheme, "no-scheme", S("missing port scheme:"), G1)                                                  \
    X(unknown_scheme, "unknown-scheme", S("scheme is unknown:"), G1)                                          \
    X(invalid_spec, "invalid-spec", S("invalid spec or options:"), G1)                                        \
    X(invalid_port, "invalid-port", S("invalid port object (invalid field values)"))                          \
    X(invalid_actor, "invalid-actor", S("invalid port actor (must be handle or object)"))                     \
    X(no_port_action, "no-port-action", S("port action not supported"))                                       \
    X(no_create, "no-create", S("cannot create:"), G1)                                                        \
    X(no_codec, "no-codec", S("cannot decode or encode (no codec):"), G1)                                     \
    X(bad_media, "bad-media", S("bad media data (corrupt image, sound, video)"))                              \
    X(invalid_cmd, "invalid-cmd", S("invalid port command:"), G1)

// The whole message is the error's first argument.
#define VEK_USER_IDS(X) X(message, "message", W1)

#define VEK_INTERNAL_IDS(X)                                                                                   \
    X(bad_path, "bad-path", S("bad path:"), W1)                                                               \
    X(not_here, "not-here", W1, S("not supported on your system"))                                            \
    X(no_memory, "no-memory", S("not enough memory"))                                                         \
    X(wrong_mem, "wrong-mem", S("failed to release memory"))                                                  \
    X(stack_overflow, "stack-overflow", S("stack overflow"))                                                  \
    X(limit_hit, "limit-hit", S("internal limit reached:"), G1)                                               \
    X(too_deep, "too-deep", S("block or paren series is too deep to process"))                                \
    X(no_cycle, "no-cycle", S("circular reference not allowed"))                                              \
    X(feature_na, "feature-na", S("feature not available"))                                                   \
    X(not_done, "not-done", S("reserved for future use (or not yet implemented)"))                            \
    X(invalid_error, "invalid-error", S("invalid error object field value:"), G1)                             \
    X(routines, "routines", S("routines require compilation, from OS shell: `vek -r <script.vek>`"))          \
    X(vek_system, "vek-system", S("contains Vek/System code which requires compilation"))                     \
    X(deprecated, "deprecated", W1, S("is DEPRECATED, please use"), W2, S("instead"))

// A lone text is held as a string, a lone word as the word; anything else is
// a block of pieces.
template <size_t N>
constexpr ErrorId make_id(const char* name, const TemplatePiece (&pieces)[N]) {
    Form form = N > 1 ? Form::block : pieces[0].kind == Piece::text ? Form::string : Form::word;
    return ErrorId{name, form, pieces, uint32_t(N)};
}

#define VEK_PIECES(var, name, ...) constexpr TemplatePiece var[] = {__VA_ARGS__};
#define VEK_ID(var, name, ...) make_id(name, var),

#define VEK_CATEGORY_IDS(space, LIST)                                                                         \
    namespace space {                                                                                         \
    LIST(VEK_PIECES)                                                                                          \
    constexpr ErrorId ids[] = {LIST(VEK_ID)};                                                                 \
    }

VEK_CATEGORY_IDS(throw_ids, VEK_THROW_IDS)
VEK_CATEGORY_IDS(note_ids, VEK_NOTE_IDS)
VEK_CATEGORY_IDS(syntax_ids, VEK_SYNTAX_IDS)
VEK_CATEGORY_IDS(script_ids, VEK_SCRIPT_IDS)
VEK_CATEGORY_IDS(math_ids, VEK_MATH_IDS)
VEK_CATEGORY_IDS(access_ids, VEK_ACCESS_IDS)
VEK_CATEGORY_IDS(user_ids, VEK_USER_IDS)
VEK_CATEGORY_IDS(internal_ids, VEK_INTERNAL_IDS)

#undef VEK_CATEGORY_IDS
#undef VEK_ID
#undef VEK_PIECES
#undef VEK_THROW_IDS
#undef VEK_NOTE_IDS
#undef VEK_SYNTAX_IDS
#undef VEK_SCRIPT_IDS
#undef VEK_MATH_IDS
#undef VEK_ACCESS_IDS
#undef VEK_USER_IDS
#undef VEK_INTERNAL_IDS
#undef W2
#undef W1
#undef G3
#undef G2
#undef G1
#undef S

template <size_t N>
constexpr ErrorCategory make_category(const char* name, const char* title, const ErrorId (&ids)[N]) {
    return ErrorCategory{name, title, ids, uint32_t(N)};
}

constexpr ErrorCategory categories[CATEGORY_COUNT] = {
    make_category("throw", "Throw Error", throw_ids::ids),
    make_category("note", "note", note_ids::ids),
    make_category("syntax", "Syntax Error", syntax_ids::ids),
    make_category("script", "Script Error", script_ids::ids),
    make_category("math", "Math Error", math_ids::ids),
    make_category("access", "Access Error", access_ids::ids),
    ErrorCategory{"reserved1", "Reserved1 Error", nullptr, 0},
    ErrorCategory{"reserved2", "Reserved2 Error", nullptr, 0},
    make_category("user", "User Error", user_ids::ids),
    make_category("internal", "Internal Error", internal_ids::ids),
};

constexpr uint32_t FIRST_ID_POSITION = 2;  // after the code and type fields

constexpr uint32_t most_ids() {
    uint32_t most = 0;
    for (const ErrorCategory& c : categories) most = std::max(most, c.id_count);
    return most;
}
constexpr uint32_t MAX_IDS = most_ids();

// Symbol ids of the names, 0 until interned. Interning happens on the first
// lookup (the symbol table must exist by then); symbol ids never change, so
// the cache holds across collections.
std::array<uint32_t, CATEGORY_COUNT> category_symbols{};
std::array<std::array<uint32_t, MAX_IDS>, CATEGORY_COUNT> id_symbols{};
bool categories_interned = false;
std::array<bool, CATEGORY_COUNT> ids_interned{};

void intern_category_names() {
    if (categories_interned) return;
    for (uint32_t i = 0; i < CATEGORY_COUNT; i++) category_symbols[i] = symbol::make(categories[i].name);
    categories_interned = true;
}

void intern_id_names(uint32_t index) {
    if (ids_interned[index]) return;
    const ErrorCategory& cat = categories[index];
    for (uint32_t i = 0; i < cat.id_count; i++) id_symbols[index][i] = symbol::make(cat.ids[i].name);
    ids_interned[index] = true;
}

}  // namespace

const ErrorCategory& category(uint32_t index) { return categories[index]; }

// Words match whatever their letter case, as words do everywhere.
int32_t find_category(uint32_t sym) {
    intern_category_names();
    uint32_t wanted = symbol::resolve(sym);
    for (uint32_t i = 0; i < CATEGORY_COUNT; i++) {
        if (symbol::resolve(category_symbols[i]) == wanted) return int32_t(i);
    }
    return -1;
}

int32_t find_id(uint32_t cat, uint32_t sym) {
    intern_id_names(cat);
    uint32_t wanted = symbol::resolve(sym);
    for (uint32_t i = 0; i < categories[cat].id_count; i++) {
        if (symbol::resolve(id_symbols[cat][i]) == wanted) return int32_t(i + FIRST_ID_POSITION);
    }
    return -1;
}

uint32_t category_symbol(uint32_t cat) {
    intern_category_names();
    return category_symbols[cat];
}

uint32_t id_symbol(uint32_t cat, uint32_t position) {
    intern_id_names(cat);
    return id_symbols[cat][position - FIRST_ID_POSITION];
}

}  // namespace vek::catalog
