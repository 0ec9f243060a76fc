#include <gtest/gtest.h>

#include <string>

#include "runtime/core/error_catalog.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/gc/collector.h"

namespace vek::catalog {
namespace {

uint32_t sym(const char* name) { return symbol::make(name); }

void collect() {
    gc::collect();
}

// A template as one line: texts as they are, references as :arg1 or arg1.
std::string spelled(const ErrorId& id) {
    std::string out;
    for (uint32_t i = 0; i < id.piece_count; i++) {
        if (i > 0) out += ' ';
        if (id.pieces[i].kind == Piece::get_word) out += ':';
        out += id.pieces[i].text;
    }
    return out;
}

TEST(ErrorCatalog, CategoriesAndTheirTitles) {
    struct Row {
        const char* name;
        const char* title;
    };
    const Row rows[CATEGORY_COUNT] = {
        {"throw", "Throw Error"},   {"note", "note"},
        {"syntax", "Syntax Error"}, {"script", "Script Error"},
        {"math", "Math Error"},     {"access", "Access Error"},
        {"reserved1", "Reserved1 Error"}, {"reserved2", "Reserved2 Error"},
        {"user", "User Error"},     {"internal", "Internal Error"},
    };
    for (uint32_t i = 0; i < CATEGORY_COUNT; i++) {
        EXPECT_EQ(find_category(sym(rows[i].name)), int32_t(i)) << rows[i].name;
        EXPECT_STREQ(category(i).name, rows[i].name);
        EXPECT_STREQ(category(i).title, rows[i].title);
    }
    EXPECT_EQ(category(uint32_t(Category::reserved1)).id_count, 0u);
    EXPECT_EQ(category(uint32_t(Category::reserved2)).id_count, 0u);
    EXPECT_EQ(find_id(uint32_t(Category::reserved1), sym("code")), -1);
}

TEST(ErrorCatalog, CodesOfIdsFoundByName) {
    struct Row {
        const char* category;
        const char* id;
        uint32_t code;
    };
    for (Row row : {Row{"script", "expect-arg", 305}, Row{"access", "no-create", 511},
                    Row{"internal", "not-done", 909}, Row{"throw", "break", 0},
                    Row{"script", "vb-invalid-record", 393}, Row{"user", "message", 800}}) {
        int32_t cat = find_category(sym(row.category));
        ASSERT_GE(cat, 0) << row.category;
        int32_t position = find_id(uint32_t(cat), sym(row.id));
        ASSERT_GE(position, 2) << row.id;
        EXPECT_EQ(error_code(Category(cat), uint32_t(position)), row.code) << row.id;
    }
}

// Every err:: constant names the id at its position, and no id is missing.
TEST(ErrorCatalog, PositionsAgreeWithTheErrConstants) {
    struct Row {
        Category category;
        uint32_t position;
        const char* name;
    };
    const Row rows[] = {
        {Category::throw_, err::break_, "break"},
        {Category::throw_, err::return_, "return"},
        {Category::throw_, err::throw_, "throw"},
        {Category::throw_, err::continue_, "continue"},
        {Category::throw_, err::while_cond, "while-cond"},
        {Category::note, err::no_load, "no-load"},
        {Category::syntax, err::invalid, "invalid"},
        {Category::syntax, err::missing, "missing"},
        {Category::syntax, err::no_header, "no-header"},
        {Category::syntax, err::no_vs_header, "no-vs-header"},
        {Category::syntax, err::bad_header, "bad-header"},
        {Category::syntax, err::malconstruct, "malconstruct"},
        {Category::syntax, err::bad_char, "bad-char"},
        {Category::script, err::no_value, "no-value"},
        {Category::script, err::need_value, "need-value"},
        {Category::script, err::not_defined, "not-defined"},
        {Category::script, err::not_in_context, "not-in-context"},
        {Category::script, err::no_arg, "no-arg"},
        {Category::script, err::expect_arg, "expect-arg"},
        {Category::script, err::expect_val, "expect-val"},
        {Category::script, err::expect_type, "expect-type"},
        {Category::script, err::cannot_use, "cannot-use"},
        {Category::script, err::invalid_arg, "invalid-arg"},
        {Category::script, err::invalid_type, "invalid-type"},
        {Category::script, err::invalid_type_spec, "invalid-type-spec"},
        {Category::script, err::invalid_key_type, "invalid-key-type"},
        {Category::script, err::invalid_op, "invalid-op"},
        {Category::script, err::no_op_arg, "no-op-arg"},
        {Category::script, err::bad_op_spec, "bad-op-spec"},
        {Category::script, err::invalid_data, "invalid-data"},
        {Category::script, err::invalid_part, "invalid-part"},
        {Category::script, err::not_same_type, "not-same-type"},
        {Category::script, err::not_same_class, "not-same-class"},
        {Category::script, err::not_related, "not-related"},
        {Category::script, err::bad_func_def, "bad-func-def"},
        {Category::script, err::bad_func_arg, "bad-func-arg"},
        {Category::script, err::bad_func_extern, "bad-func-extern"},
        {Category::script, err::no_refine, "no-refine"},
        {Category::script, err::bad_refines, "bad-refines"},
        {Category::script, err::bad_refine, "bad-refine"},
        {Category::script, err::dup_refine, "dup-refine"},
        {Category::script, err::word_first, "word-first"},
        {Category::script, err::empty_path, "empty-path"},
        {Category::script, err::unset_path, "unset-path"},
        {Category::script, err::invalid_path, "invalid-path"},
        {Category::script, err::invalid_path_set, "invalid-path-set"},
        {Category::script, err::invalid_path_get, "invalid-path-get"},
        {Category::script, err::bad_path_type, "bad-path-type"},
        {Category::script, err::bad_path_type2, "bad-path-type2"},
        {Category::script, err::bad_path_set, "bad-path-set"},
        {Category::script, err::bad_field_set, "bad-field-set"},
        {Category::script, err::dup_vars, "dup-vars"},
        {Category::script, err::past_end, "past-end"},
        {Category::script, err::missing_arg, "missing-arg"},
        {Category::script, err::out_of_range, "out-of-range"},
        {Category::script, err::invalid_chars, "invalid-chars"},
        {Category::script, err::invalid_compare, "invalid-compare"},
        {Category::script, err::wrong_type, "wrong-type"},
        {Category::script, err::invalid_refine_arg, "invalid-refine-arg"},
        {Category::script, err::type_limit, "type-limit"},
        {Category::script, err::size_limit, "size-limit"},
        {Category::script, err::no_return, "no-return"},
        {Category::script, err::throw_usage, "throw-usage"},
        {Category::script, err::locked_word, "locked-word"},
        {Category::script, err::protected_, "protected"},
        {Category::script, err::bad_bad, "bad-bad"},
        {Category::script, err::bad_make_arg, "bad-make-arg"},
        {Category::script, err::bad_to_arg, "bad-to-arg"},
        {Category::script, err::invalid_months, "invalid-months"},
        {Category::script, err::invalid_spec_field, "invalid-spec-field"},
        {Category::script, err::missing_spec_field, "missing-spec-field"},
        {Category::script, err::move_bad, "move-bad"},
        {Category::script, err::too_long, "too-long"},
        {Category::script, err::invalid_char, "invalid-char"},
        {Category::script, err::bad_loop_series, "bad-loop-series"},
        {Category::script, err::wrong_denom, "wrong-denom"},
        {Category::script, err::bad_denom, "bad-denom"},
        {Category::script, err::invalid_obj_evt, "invalid-obj-evt"},
        {Category::script, err::parse_rule, "parse-rule"},
        {Category::script, err::parse_end, "parse-end"},
        {Category::script, err::parse_invalid_ref, "parse-invalid-ref"},
        {Category::script, err::parse_block, "parse-block"},
        {Category::script, err::parse_unsupported, "parse-unsupported"},
        {Category::script, err::parse_infinite, "parse-infinite"},
        {Category::script, err::parse_stack, "parse-stack"},
        {Category::script, err::parse_keep, "parse-keep"},
        {Category::script, err::parse_into_bad, "parse-into-bad"},
        {Category::script, err::parse_into_type, "parse-into-type"},
        {Category::script, err::draw_invalid, "draw-invalid"},
        {Category::script, err::draw_infinite, "draw-infinite"},
        {Category::script, err::invalid_data_facet, "invalid-data-facet"},
        {Category::script, err::face_type, "face-type"},
        {Category::script, err::not_window, "not-window"},
        {Category::script, err::bad_window, "bad-window"},
        {Category::script, err::not_linked, "not-linked"},
        {Category::script, err::not_event_type, "not-event-type"},
        {Category::script, err::invalid_facet_type, "invalid-facet-type"},
        {Category::script, err::vid_invalid_syntax, "vid-invalid-syntax"},
        {Category::script, err::rtd_invalid_syntax, "rtd-invalid-syntax"},
        {Category::script, err::rtd_no_match, "rtd-no-match"},
        {Category::script, err::react_bad_func, "react-bad-func"},
        {Category::script, err::react_not_enough, "react-not-enough"},
        {Category::script, err::react_no_match, "react-no-match"},
        {Category::script, err::react_bad_obj, "react-bad-obj"},
        {Category::script, err::react_gctx, "react-gctx"},
        {Category::script, err::lib_invalid_arg, "lib-invalid-arg"},
        {Category::script, err::vb_invalid_record, "vb-invalid-record"},
        {Category::math, err::zero_divide, "zero-divide"},
        {Category::math, err::overflow, "overflow"},
        {Category::math, err::positive, "positive"},
        {Category::access, err::cannot_open, "cannot-open"},
        {Category::access, err::cannot_close, "cannot-close"},
        {Category::access, err::invalid_utf8, "invalid-utf8"},
        {Category::access, err::not_open, "not-open"},
        {Category::access, err::no_connect, "no-connect"},
        {Category::access, err::no_scheme, "no-scheme"},
        {Category::access, err::unknown_scheme, "unknown-scheme"},
        {Category::access, err::invalid_spec, "invalid-spec"},
        {Category::access, err::invalid_port, "invalid-port"},
        {Category::access, err::invalid_actor, "invalid-actor"},
        {Category::access, err::no_port_action, "no-port-action"},
        {Category::access, err::no_create, "no-create"},
        {Category::access, err::no_codec, "no-codec"},
        {Category::access, err::bad_media, "bad-media"},
        {Category::access, err::invalid_cmd, "invalid-cmd"},
        {Category::user, err::message, "message"},
        {Category::internal, err::bad_path, "bad-path"},
        {Category::internal, err::not_here, "not-here"},
        {Category::internal, err::no_memory, "no-memory"},
        {Category::internal, err::wrong_mem, "wrong-mem"},
        {Category::internal, err::stack_overflow, "stack-overflow"},
        {Category::internal, err::limit_hit, "limit-hit"},
        {Category::internal, err::too_deep, "too-deep"},
        {Category::internal, err::no_cycle, "no-cycle"},
        {Category::internal, err::feature_na, "feature-na"},
        {Category::internal, err::not_done, "not-done"},
        {Category::internal, err::invalid_error, "invalid-error"},
        {Category::internal, err::routines, "routines"},
        {Category::internal, err::vek_system, "vek-system"},
        {Category::internal, err::deprecated, "deprecated"},
    };
    uint32_t per_category[CATEGORY_COUNT] = {};
    for (const Row& row : rows) {
        uint32_t cat = uint32_t(row.category);
        per_category[cat]++;
        ASSERT_LT(row.position - 2, category(cat).id_count) << row.name;
        EXPECT_STREQ(category(cat).ids[row.position - 2].name, row.name);
        EXPECT_EQ(find_id(cat, sym(row.name)), int32_t(row.position)) << row.name;
    }
    for (uint32_t i = 0; i < CATEGORY_COUNT; i++) EXPECT_EQ(per_category[i], category(i).id_count) << i;
}

TEST(ErrorCatalog, TemplatesKeepTheirFormAndPieces) {
    struct Row {
        Category category;
        uint32_t position;
        Form form;
        const char* spelled;
    };
    for (Row row : {
             Row{Category::math, err::zero_divide, Form::string, "attempt to divide by zero"},
             Row{Category::user, err::message, Form::word, "arg1"},
             Row{Category::note, err::no_load, Form::block, "cannot load:  :arg1"},
             Row{Category::script, err::expect_arg, Form::block,
                 ":arg1 does not allow :arg2 for its :arg3 argument"},
             Row{Category::script, err::bad_path_type, Form::block,
                 ":arg3 returned a :arg2 value, so :arg1 could not be accessed"},
             Row{Category::script, err::parse_infinite, Form::block,
                 "PARSE - infinite recursion at rule: [ :arg1 ]"},
             Row{Category::internal, err::deprecated, Form::block, "arg1 is DEPRECATED, please use arg2 instead"},
             Row{Category::internal, err::routines, Form::string,
                 "routines require compilation, from OS shell: `vek -r <script.vek>`"},
         }) {
        const ErrorId& id = category(uint32_t(row.category)).ids[row.position - 2];
        EXPECT_EQ(id.form, row.form) << id.name;
        EXPECT_EQ(spelled(id), row.spelled) << id.name;
    }
}

TEST(ErrorCatalog, LookupsIgnoreCaseAndSurviveCollections) {
    const uint32_t script = uint32_t(Category::script);
    for (int round = 0; round < 2; round++) {
        EXPECT_EQ(find_category(sym("SCRIPT")), int32_t(script));
        EXPECT_EQ(find_id(script, sym("No-Value")), int32_t(err::no_value));
        EXPECT_EQ(find_id(uint32_t(Category::math), sym("no-value")), -1);
        EXPECT_EQ(find_category(sym("no-such-category")), -1);
        EXPECT_STREQ(symbol::get_c_string(category_symbol(script)), "script");
        EXPECT_STREQ(symbol::get_c_string(id_symbol(uint32_t(Category::math), err::overflow)), "overflow");
        collect();
    }
}

}  // namespace
}  // namespace vek::catalog
