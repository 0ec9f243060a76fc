// The type predicates: one registered routine per test, each taking one
// value of any type as a cell and answering a logic! by value.

#include <array>
#include <cstddef>
#include <string_view>
#include <utility>

#include "runtime/datatypes/callable/routine.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/natives/routines.h"

namespace vek::routines {

namespace {

using routine::Arg;

Arg logic_value(bool flag) { return Arg{.integer = flag ? 1 : 0}; }

// ---------------------------------------------------------------- exact types

template <uint32_t Type>
Arg is_type(const Arg* args) {
    return logic_value(cell_type(args[0].cell) == Type);
}

struct ExactTest {
    std::string_view name;
    routine::Fn fn;
};

constexpr ExactTest EXACT_TESTS[] = {
    {"bitset?", is_type<TYPE_BITSET>},       {"binary?", is_type<TYPE_BINARY>},
    {"block?", is_type<TYPE_BLOCK>},         {"char?", is_type<TYPE_CHAR>},
    {"email?", is_type<TYPE_EMAIL>},         {"file?", is_type<TYPE_FILE>},
    {"float?", is_type<TYPE_FLOAT>},         {"get-path?", is_type<TYPE_GET_PATH>},
    {"get-word?", is_type<TYPE_GET_WORD>},   {"hash?", is_type<TYPE_HASH>},
    {"integer?", is_type<TYPE_INTEGER>},     {"issue?", is_type<TYPE_ISSUE>},
    {"lit-path?", is_type<TYPE_LIT_PATH>},   {"lit-word?", is_type<TYPE_LIT_WORD>},
    {"logic?", is_type<TYPE_LOGIC>},         {"map?", is_type<TYPE_MAP>},
    {"none?", is_type<TYPE_NONE>},           {"pair?", is_type<TYPE_PAIR>},
    {"paren?", is_type<TYPE_PAREN>},         {"path?", is_type<TYPE_PATH>},
    {"percent?", is_type<TYPE_PERCENT>},     {"refinement?", is_type<TYPE_REFINEMENT>},
    {"set-path?", is_type<TYPE_SET_PATH>},   {"set-word?", is_type<TYPE_SET_WORD>},
    {"string?", is_type<TYPE_STRING>},       {"tag?", is_type<TYPE_TAG>},
    {"time?", is_type<TYPE_TIME>},           {"typeset?", is_type<TYPE_TYPESET>},
    {"tuple?", is_type<TYPE_TUPLE>},         {"unset?", is_type<TYPE_UNSET>},
    {"url?", is_type<TYPE_URL>},             {"word?", is_type<TYPE_WORD>},
    {"image?", is_type<TYPE_IMAGE>},         {"date?", is_type<TYPE_DATE>},
    {"money?", is_type<TYPE_MONEY>},         {"ref?", is_type<TYPE_REF>},
    {"point2D?", is_type<TYPE_POINT2D>},     {"point3D?", is_type<TYPE_POINT3D>},
    {"handle?", is_type<TYPE_HANDLE>},       {"error?", is_type<TYPE_ERROR>},
    {"action?", is_type<TYPE_ACTION>},       {"native?", is_type<TYPE_NATIVE>},
    {"datatype?", is_type<TYPE_DATATYPE>},   {"function?", is_type<TYPE_FUNCTION>},
    {"object?", is_type<TYPE_OBJECT>},       {"op?", is_type<TYPE_OP>},
    {"routine?", is_type<TYPE_ROUTINE>},     {"vector?", is_type<TYPE_VECTOR>},
    {"event?", is_type<TYPE_EVENT>},
};

// ---------------------------------------------------------------- typesets

struct TypesetTest {
    std::string_view name;
    const char* typeset_word;
};

constexpr TypesetTest TYPESET_TESTS[] = {
    {"any-list?", "any-list!"},     {"any-block?", "any-block!"},   {"any-function?", "any-function!"},
    {"any-object?", "any-object!"}, {"any-path?", "any-path!"},     {"any-string?", "any-string!"},
    {"any-word?", "any-word!"},     {"series?", "series!"},         {"number?", "number!"},
    {"immediate?", "immediate!"},   {"scalar?", "scalar!"},         {"all-word?", "all-word!"},
    {"any-point?", "any-point!"},   {"planar?", "planar!"},
};
constexpr size_t TYPESET_TEST_COUNT = std::size(TYPESET_TESTS);

// The symbol ids of the typeset words, in TYPESET_TESTS order; plain
// numbers, nothing for the collector.
std::array<uint32_t, TYPESET_TEST_COUNT> typeset_symbols{};

// Whether the global word's current value is a typeset holding the type; a
// word rebound to anything else, or never set, holds no types.
bool in_global_typeset(uint32_t symbol, uint32_t type) {
    const Cell* global = context::global_cell();
    int32_t position = context::find_word(global, symbol, true);
    if (position < 0) return false;
    const Cell* value = context::values_base(global) + word::index(context::word_at(global, uint32_t(position)));
    return cell_type(value) == TYPE_TYPESET && typeset::contains(value, type);
}

template <size_t I>
Arg in_typeset(const Arg* args) {
    return logic_value(in_global_typeset(typeset_symbols[I], cell_type(args[0].cell)));
}

template <size_t... I>
void register_typeset_tests(std::index_sequence<I...>) {
    ((typeset_symbols[I] = symbol::make(TYPESET_TESTS[I].typeset_word),
      routine::register_fn(TYPESET_TESTS[I].name, in_typeset<I>)),
     ...);
}

}  // namespace

void init_predicates() {
    for (const ExactTest& test : EXACT_TESTS) routine::register_fn(test.name, test.fn);
    register_typeset_tests(std::make_index_sequence<TYPESET_TEST_COUNT>());
}

}  // namespace vek::routines
