#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/callable/action.h"
#include "runtime/datatypes/callable/callable.h"
#include "runtime/datatypes/callable/native.h"
#include "runtime/datatypes/callable/op.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/natives/boot_table.h"
#include "runtime/natives/compare.h"
#include "runtime/natives/control.h"
#include "runtime/natives/exits.h"
#include "runtime/natives/natives.h"
#include "runtime/natives/output.h"
#include "runtime/natives/words.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

using test::block_of;
using test::raised;
using test::text_of;

const Cell* global(const char* name) { return context::get_global_cell(symbol::make(name)); }

std::vector<std::string> split(const char* text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::string name_of(const Cell* word) { return symbol::get_c_string(word::symbol(word)); }

// The spec's values of one datatype, formed and joined by spaces.
std::string spec_words(const Cell* callable, uint32_t type) {
    Cell spec;
    callable::spec_block(callable, &spec);
    std::string out;
    SeriesBuffer* buffer = series_buffer(&spec);
    for (uint32_t i = series_index(&spec); i < buffer->length(); i++) {
        const Cell* value = buffer->cells() + i;
        if (cell_type(value) != type) continue;
        if (!out.empty()) out += ' ';
        if (type == TYPE_REFINEMENT) out += '/';
        out += name_of(value);
    }
    return out;
}

TEST(BootTable, NativesKeepTheirFixedPositions) {
    const auto names = split(
        "if unless either any all while until loop repeat forever foreach forall remove-each func "
        "function does has switch case do get set print prin equal? not-equal? strict-equal? "
        "lesser? greater? lesser-or-equal? greater-or-equal? same? not type? reduce compose stats "
        "bind in parse union intersect unique difference exclude complement? dehex enhex "
        "negative? positive? max min shift to-hex sine cosine tangent arcsine arccosine "
        "arctangent arctangent2 NaN? log-2 log-10 log-e exp square-root construct value? try "
        "uppercase lowercase as-pair as-point2D as-point3D as-money break continue exit return "
        "throw catch extend debase to-local-file wait checksum unset new-line new-line? enbase "
        "context? set-env get-env list-env now sign? as call zero? size? browse compress "
        "decompress recycle transcode apply");
    ASSERT_EQ(names.size(), natives::NATIVE_COUNT);
    for (uint32_t i = 0; i < natives::NATIVE_COUNT; i++) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(boot_table::native_entries[i].name, names[i]);
        const Cell* value = global(names[i].c_str());
        ASSERT_EQ(cell_type(value), TYPE_NATIVE);
        EXPECT_EQ(native::position(value), i + 1);
        EXPECT_NE(natives::table[i], nullptr);
    }
    for (uint32_t i = natives::NATIVE_COUNT; i < natives::TABLE_SIZE; i++)
        EXPECT_EQ(natives::table[i], nullptr);
}

TEST(BootTable, WrittenNativesSitAtTheirPositions) {
    struct Case {
        uint32_t index;
        natives::NativeFn entry;
    };
    const Case cases[] = {
        {0, natives::if_},        {8, natives::repeat},        {12, natives::remove_each},
        {19, natives::do_},       {21, natives::set},          {22, natives::print},
        {24, natives::equal_q},   {30, natives::greater_or_equal_q}, {32, natives::not_},
        {38, natives::in},        {68, natives::value_q},      {69, natives::try_},
        {76, natives::break_},    {79, natives::return_},      {81, natives::catch_},
        {87, natives::unset},     {89, natives::new_line_q},   {106, natives::apply},
    };
    for (const Case& c : cases) EXPECT_EQ(natives::table[c.index], c.entry) << c.index;
}

TEST(BootTable, RefinementsFollowTheSpecs) {
    // Entries read refinement i of the spec from refinements[i].
    struct Case {
        const char* name;
        const char* refinements;
    };
    const Case cases[] = {
        {"switch", "/default"},
        {"do", "/expand /args /next /trace"},
        {"set", "/any /case /only /some"},
        {"compose", "/deep /only /into"},
        {"new-line", "/all /skip"},
        {"try", "/all /keep"},
        {"transcode", "/next /one /prescan /scan /part /into /trace"},
        {"mold", "/only /all /flat /part"},
        {"round", "/to /even /down /half-down /floor /ceiling /half-ceiling"},
        {"copy", "/part /deep /types"},
        {"find", "/part /only /case /same /any /with /skip /last /reverse /tail /match"},
        {"select", "/part /only /case /same /any /with /skip /last /reverse"},
        {"sort", "/case /skip /compare /part /all /reverse /stable"},
        {"trim", "/head /tail /auto /lines /all /with"},
        {"read", "/part /seek /binary /lines /info /as"},
        {"write", "/binary /lines /info /append /part /seek /allow /as"},
        {"open", "/new /read /write /seek /allow"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(spec_words(global(c.name), TYPE_REFINEMENT), c.refinements) << c.name;
    // copy's /types check names the spec's sixth word.
    EXPECT_EQ(spec_words(global("copy"), TYPE_WORD), "value length kind");
}

// A misspelt type word would only surface when a call first checks it.
TEST(BootTable, EveryTypeWordOfEverySpecHasAType) {
    auto check = [](const char* name) {
        Cell spec;
        callable::spec_block(global(name), &spec);
        SeriesBuffer* buffer = series_buffer(&spec);
        for (uint32_t i = 0; i < buffer->length(); i++) {
            const Cell* types = buffer->cells() + i;
            if (cell_type(types) != TYPE_BLOCK) continue;
            SeriesBuffer* inner = series_buffer(types);
            for (uint32_t k = 0; k < inner->length(); k++) {
                uint32_t type = cell_type(context::get(inner->cells() + k));
                EXPECT_TRUE(type == TYPE_DATATYPE || type == TYPE_TYPESET)
                    << name << ": " << name_of(inner->cells() + k);
            }
        }
    };
    for (const auto& entry : boot_table::native_entries) check(entry.name);
    for (const auto& entry : boot_table::action_entries) check(entry.name);
}

TEST(BootTable, ActionWordsHoldTheirSlots) {
    const auto names = split(
        "make random reflect to form mold - - - absolute add divide multiply negate power "
        "remainder round subtract even? odd? and~ complement or~ xor~ append at back change clear "
        "copy find head head? index? insert length? move next pick poke put remove reverse select "
        "sort skip swap tail tail? take trim create close delete modify open open? query read "
        "rename update write");
    ASSERT_EQ(names.size(), actions::ACTION_TABLE_SIZE);
    for (uint32_t slot = 1; slot <= actions::ACTION_TABLE_SIZE; slot++) {
        SCOPED_TRACE(names[slot - 1]);
        EXPECT_EQ(actions::action_table[slot - 1] == nullptr, slot == registry::SLOT_EMPTY);
        if (names[slot - 1] == "-") continue;
        const Cell* value = global(names[slot - 1].c_str());
        ASSERT_EQ(cell_type(value), TYPE_ACTION);
        EXPECT_EQ(action::slot(value), slot);
    }
}

TEST(BootTable, OperatorsWrapTheirNativeOrAction) {
    struct Case {
        const char* name;
        uint32_t source_type;
        uint32_t position;  // natives-table position or action slot
    };
    const Case cases[] = {
        {"+", TYPE_ACTION, 11}, {"-", TYPE_ACTION, 18},  {"*", TYPE_ACTION, 13},
        {"/", TYPE_ACTION, 12}, {"%", TYPE_ACTION, 16},  {"**", TYPE_ACTION, 15},
        {"and", TYPE_ACTION, 21}, {"or", TYPE_ACTION, 23}, {"xor", TYPE_ACTION, 24},
        {"=", TYPE_NATIVE, 25}, {"<>", TYPE_NATIVE, 26}, {"==", TYPE_NATIVE, 27},
        {"<", TYPE_NATIVE, 28}, {">", TYPE_NATIVE, 29},  {"<=", TYPE_NATIVE, 30},
        {">=", TYPE_NATIVE, 31}, {"=?", TYPE_NATIVE, 32},
    };
    static_assert(std::size(cases) == boot_table::OPERATORS);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Cell* value = global(c.name);
        ASSERT_EQ(cell_type(value), TYPE_OP);
        EXPECT_EQ(op::source_type(value), c.source_type);
        Cell source;
        op::unwrap(value, &source);
        EXPECT_EQ(cell_type(&source), c.source_type);
        EXPECT_EQ(native::position(&source), c.position);
    }
}

TEST(BootTable, TypesetsHoldTheirTypes) {
    using Types = std::vector<uint32_t>;
    auto join = [](std::initializer_list<Types> parts) {
        Types all;
        for (const Types& part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    const Types number = {TYPE_INTEGER, TYPE_FLOAT, TYPE_PERCENT};
    const Types any_point = {TYPE_POINT2D, TYPE_POINT3D};
    const Types scalar = join({number, any_point, {TYPE_MONEY, TYPE_CHAR, TYPE_PAIR, TYPE_TUPLE,
                                                   TYPE_TIME, TYPE_DATE}});
    const Types any_word = {TYPE_WORD, TYPE_SET_WORD, TYPE_LIT_WORD, TYPE_GET_WORD};
    const Types all_word = join({any_word, {TYPE_REFINEMENT, TYPE_ISSUE}});
    const Types any_list = {TYPE_BLOCK, TYPE_PAREN, TYPE_HASH};
    const Types any_path = {TYPE_PATH, TYPE_LIT_PATH, TYPE_SET_PATH, TYPE_GET_PATH};
    const Types any_function = {TYPE_NATIVE, TYPE_ACTION, TYPE_OP, TYPE_FUNCTION, TYPE_ROUTINE};
    const Types any_object = {TYPE_OBJECT, TYPE_ERROR, TYPE_PORT};
    const Types any_string = {TYPE_STRING, TYPE_FILE, TYPE_URL, TYPE_TAG, TYPE_EMAIL, TYPE_REF};
    const Types series = join({{TYPE_BINARY, TYPE_IMAGE, TYPE_VECTOR}, any_path, any_list, any_string});
    const Types immediate = join({scalar, all_word, {TYPE_NONE, TYPE_LOGIC, TYPE_DATATYPE,
                                                     TYPE_TYPESET, TYPE_HANDLE}});
    const Types default_ = join({series, immediate, any_object, any_function,
                                 {TYPE_EVENT, TYPE_MAP, TYPE_BITSET}});
    // Every datatype but the internal symbol!, context!, triple! and series!.
    Types any_type;
    for (uint32_t id = TYPE_DATATYPE; id <= TYPE_EVENT; id++)
        if (id != TYPE_SYMBOL && id != TYPE_CONTEXT && id != TYPE_TRIPLE && id != TYPE_SERIES)
            any_type.push_back(id);
    struct Case {
        const char* name;
        Types members;
    };
    const Case cases[] = {
        {"internal!", {TYPE_UNSET}}, {"external!", {TYPE_EVENT}}, {"number!", number},
        {"planar!", {TYPE_PAIR, TYPE_POINT2D}}, {"any-point!", any_point}, {"scalar!", scalar},
        {"any-word!", any_word}, {"all-word!", all_word}, {"any-list!", any_list},
        {"any-path!", any_path}, {"any-block!", join({any_path, any_list})},
        {"any-function!", any_function}, {"any-object!", any_object},
        {"any-string!", any_string}, {"series!", series}, {"immediate!", immediate},
        {"default!", default_}, {"any-type!", any_type},
    };
    static_assert(std::size(cases) == boot_table::TYPESETS);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Cell* set = global(c.name);
        ASSERT_EQ(cell_type(set), TYPE_TYPESET);
        for (uint32_t id = 0; id < TYPE_COUNT; id++) {
            bool expected = std::find(c.members.begin(), c.members.end(), id) != c.members.end();
            EXPECT_EQ(typeset::contains(set, id), expected) << "type " << id;
        }
    }
}

// C++ code asks the type list for a class, Vek code the typeset of the same
// name: both must hold the same types.
TEST(BootTable, TypeClassesAreTheTypesetsOfTheirNames) {
    struct Class {
        const char* name;
        bool (*holds)(uint32_t type);
    } classes[] = {
        {"any-word!", is_any_word},   {"all-word!", is_all_word},         {"any-path!", is_any_path},
        {"any-list!", is_any_list},   {"any-block!", is_any_block},       {"any-string!", is_any_string},
        {"series!", is_series},       {"any-function!", is_any_function}, {"any-object!", is_any_object},
        {"number!", is_number},       {"scalar!", is_scalar},             {"immediate!", is_immediate},
    };
    for (const Class& c : classes) {
        SCOPED_TRACE(c.name);
        const Cell* set = global(c.name);
        ASSERT_EQ(cell_type(set), TYPE_TYPESET);
        for (uint32_t id = 0; id < TYPE_COUNT; id++)
            EXPECT_EQ(c.holds(id), typeset::contains(set, id)) << "type " << id;
    }
}

// The specs' type blocks name datatypes whose modules may not be
// registered yet; each of them still molds by its name.
TEST(BootTable, EveryDatatypeHasItsWord) {
    for (const auto& entry : boot_table::datatype_entries) {
        SCOPED_TRACE(entry.name);
        const Cell* value = global(entry.name);
        ASSERT_EQ(cell_type(value), TYPE_DATATYPE);
        EXPECT_EQ(datatype::id(value), entry.id);
        Cell text;
        actions::mold_to_string(value, nullptr, &text);
        EXPECT_EQ(text_of(&text), entry.name);
    }
    EXPECT_EQ(datatype::id(global("datatype!")), uint32_t(TYPE_DATATYPE));
}

// The datatype words are made from the type list: a type missed there would
// only surface when a script names it.
TEST(BootTable, EveryTypeButTheInternalOnesNamesItsDatatype) {
    for (uint32_t id = 0; id < TYPE_COUNT; id++) {
        const char* name = types::table[id].name;
        if (name == nullptr) continue;
        SCOPED_TRACE(name);
        const Cell* value = global(name);
        if (id == TYPE_SYMBOL || id == TYPE_CONTEXT) {
            EXPECT_NE(cell_type(value), TYPE_DATATYPE);
        } else if (id == TYPE_SERIES) {
            EXPECT_EQ(cell_type(value), TYPE_TYPESET);
        } else {
            ASSERT_EQ(cell_type(value), TYPE_DATATYPE);
            EXPECT_EQ(datatype::id(value), id);
        }
    }
}

// Each test calls inside a native frame, as the evaluator does.
class ActionEntry : public test::StackRestoringTest {
protected:
    // Calls the slot's entry with the values of the text as arguments; answers
    // the result molded.
    std::string call(const char* name, const char* arguments, std::vector<int32_t> refinements) {
        Cell word = *word::from_cstring(name);
        stack::mark_native(&word);
        Cell values = block_of(arguments);
        for (uint32_t i = 0; i < series_buffer(&values)->length(); i++)
            stack::push(series_buffer(&values)->cells() + i);
        uint32_t slot = action::slot(global(name));
        refinements.resize(16, -1);
        actions::action_table[slot - 1](refinements.data());
        Cell text;
        actions::mold_to_string(stack::arguments, nullptr, &text);
        stack::unwind();
        return text_of(&text);
    }
};

constexpr int32_t ON = 0;  // a refinement without argument: present at any position

TEST_F(ActionEntry, RefinementsReachTheDatatype) {
    struct Case {
        const char* name;
        const char* arguments;
        std::vector<int32_t> refinements;
        const char* expected;
    };
    const Case cases[] = {
        {"append", "[1 2] [a b] 2", {-1, ON, 2}, "[1 2 [a b] [a b]]"},
        {"append", "[1] [a b c] 2", {2, -1, -1}, "[1 a b]"},
        {"append", "[1] [a b] 0", {-1, -1, 2}, "[1]"},
        {"insert", "[1 2] 0", {-1, -1, -1}, "[1 2]"},
        {"copy", "[1 2 3] 2", {1, -1, -1}, "[1 2]"},
        {"find", "[1 2 3 2 4] 2", {-1, -1, -1, -1, -1, -1, -1, ON}, "[2 4]"},
        {"find", "[1 2 3] 2", {-1, -1, -1, -1, -1, -1, -1, -1, -1, ON}, "[3]"},
        {"select", "[a 1 b 2] b", {}, "2"},
        {"sort", "[2 3 1]", {-1, -1, -1, -1, -1, ON}, "[3 2 1]"},
        {"take", "[1 2 3]", {-1, -1, ON}, "3"},
        {"form", "[a b] 2", {1}, "\"a \""},
        {"mold", "[a [b]]", {ON, -1, -1, -1}, "\"a [b]\""},
        {"add", "1 2", {}, "3"},
        {"power", "2 10", {}, "1024"},
        {"next", "[1 2 3]", {}, "[2 3]"},
        {"at", "[1 2 3] 3", {}, "[3]"},
        {"pick", "[a b c] 2", {}, "b"},
        {"poke", "[a b c] 2 9", {}, "9"},
        {"length?", "[a b c]", {}, "3"},
        {"odd?", "3", {}, "true"},
        {"negate", "5", {}, "-5"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(call(c.name, c.arguments, c.refinements), c.expected) << c.name << " " << c.arguments;
}

TEST_F(ActionEntry, MissingImplementationNamesTheAction) {
    Cell error;
    EXPECT_EQ(raised([&] { call("append", "1 2", {}); }, &error),
              error_code(err::script::expect_arg));
    EXPECT_EQ(name_of(error::field(&error, error::FIELD_ARG1)), "append");
}

}  // namespace
}  // namespace vek
