#include "runtime/eval/args_cache.h"

#include <new>

#include "runtime/core/fixed_words.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/callable/callable.h"
#include "runtime/datatypes/callable/function.h"
#include "runtime/datatypes/callable/op.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/memory/manager.h"

namespace vek::eval {

namespace {

enum EntryKind { ENTRY_ARGUMENT, ENTRY_RETURN, ENTRY_REFINEMENT, ENTRY_LOCALS };

struct SpecEntry {
    uint32_t spec_index;
    EntryKind kind;
    int32_t types_index;  // the type block after the word, -1 when none
};

bool is_local(const Cell* refinement) {
    return symbol::resolve(word::symbol(refinement)) ==
           symbol::resolve(word::symbol(fixed_words::refinement(fixed_words::Ref::local)));
}

Cell* spec_cell(Node spec_value, uint32_t index) { return node_buffer(spec_value)->cells() + index; }

// Visits the spec's entries in order, up to /local (visited last). A leading
// block holds a function's attributes, not types. The visitor may allocate:
// the spec is re-read at every step.
template <class Visit>
void walk_spec(Node spec_value, Visit visit) {
    uint32_t length = node_buffer(spec_value)->length();
    uint32_t i = length > 0 && cell_type(spec_cell(spec_value, 0)) == TYPE_BLOCK ? 1 : 0;
    for (; i < length; i++) {
        const Cell* cell = spec_cell(spec_value, i);
        int32_t types = i + 1 < length && cell_type(cell + 1) == TYPE_BLOCK ? int32_t(i + 1) : -1;
        switch (cell_type(cell)) {
            case TYPE_WORD: case TYPE_GET_WORD: case TYPE_LIT_WORD:
                visit(SpecEntry{i, ENTRY_ARGUMENT, types});
                break;
            case TYPE_SET_WORD:
                visit(SpecEntry{i, ENTRY_RETURN, types});
                break;
            case TYPE_REFINEMENT:
                if (is_local(cell)) {
                    visit(SpecEntry{i, ENTRY_LOCALS, -1});
                    return;
                }
                visit(SpecEntry{i, ENTRY_REFINEMENT, -1});
                break;
            default:
                break;
        }
    }
}

uint32_t mode_of(uint32_t word_type, EntryKind kind) {
    if (kind == ENTRY_RETURN) return ARG_RETURN;
    if (word_type == TYPE_GET_WORD) return ARG_GET;
    if (word_type == TYPE_LIT_WORD) return ARG_LITERAL;
    return ARG_NORMAL;
}

void append_typeset(Cell* cache, Node spec_value, const SpecEntry& entry) {
    uint32_t mode = mode_of(cell_type(spec_cell(spec_value, entry.spec_index)), entry.kind);
    Cell* typeset;
    if (entry.types_index >= 0 && series_buffer(spec_cell(spec_value, uint32_t(entry.types_index)))->length() >
                                      series_index(spec_cell(spec_value, uint32_t(entry.types_index)))) {
        Cell types = *spec_cell(spec_value, uint32_t(entry.types_index));
        typeset = typeset::make_from_spec_in_block(cache, &types);
    } else {
        typeset = typeset::make_any_in_block(cache);
    }
    typeset->header |= mode << ARG_MODE_SHIFT;
}

// The plan's summary, read from the cache entries.
CallPlan plan_summary(const Cell* entries, uint32_t length, bool native_like) {
    CallPlan plan{};
    bool leading = true;
    for (uint32_t i = 0; i < length; i++) {
        const Cell* entry = entries + i;
        if (cell_type(entry) == TYPE_REFINEMENT) {
            leading = false;
            plan.refinements++;
            if (plan.absent < 64) plan.absent_refinements |= uint64_t(1) << plan.absent;
            plan.absent++;
        } else if (cell_type(entry) == TYPE_TYPESET && arg_mode(entry) != ARG_RETURN) {
            if (leading) plan.arity++;
            else plan.absent++;
        } else if (cell_type(entry) == TYPE_INTEGER && !native_like) {
            plan.locals = integer::get(entry);
        }
    }
    // A native's absent refinements take no cell, only an empty slot.
    if (native_like) plan.absent = 0;
    plan.plain = native_like ? plan.refinements <= MAX_REFINEMENTS : plan.absent <= 64;
    return plan;
}

uint64_t type_bits(const Cell* typeset) {
    uint64_t bits = 0;
    for (uint32_t type = 0; type < TYPE_COUNT; type++)
        if (typeset::contains(typeset, type)) bits |= type_bit(type);
    return bits;
}

// A function! with compiled code cannot run as interpreted code: its calls
// take the general path, which raises for it.
bool compiled_function(const Cell* callable, uint32_t type) {
    if (type != TYPE_FUNCTION) return false;
    const Cell* code = callable::internal(callable) + function::INTERNAL_CODE;
    return cell_type(code) == TYPE_INTEGER && integer::get(code) != 0;
}

// The plan of the cache's entries, appended to it as a binary!.
void append_plan(const Cell* cache, bool native_like, bool compiled) {
    CallPlan summary = plan_summary(series_buffer(cache)->cells(), series_buffer(cache)->length(), native_like);
    if (compiled) summary.plain = false;
    uint32_t size = uint32_t(sizeof(CallPlan) + summary.arity * sizeof(PlanArgument));
    Cell plan_value = series_cell(TYPE_BINARY, memory::alloc_bytes(size));
    SeriesBuffer* bytes = series_buffer(&plan_value);
    bytes->tail = bytes->offset + size;
    auto* plan = new (bytes->first()) CallPlan(summary);
    auto* argument = reinterpret_cast<PlanArgument*>(plan + 1);
    const Cell* entries = series_buffer(cache)->cells();
    for (uint32_t i = 0; argument != plan_arguments(plan) + plan->arity; i++) {
        if (cell_type(entries + i) != TYPE_TYPESET || arg_mode(entries + i) == ARG_RETURN) continue;
        *argument++ = PlanArgument{type_bits(entries + i), arg_mode(entries + i), i};
    }
    *block::alloc_tail(cache) = plan_value;
}

}  // namespace

Node make_args_cache(const Cell* callable) {
    Cell value = *callable;
    uint32_t type = cell_type(&value) == TYPE_OP ? op::source_type(&value) : cell_type(&value);
    bool native_like = type == TYPE_NATIVE || type == TYPE_ACTION;
    Node spec_value = callable::spec_node(&value);

    uint32_t entries = 0, refinements = 0;
    int32_t locals_at = -1;
    walk_spec(spec_value, [&](const SpecEntry& e) {
        if (e.kind == ENTRY_LOCALS) {
            locals_at = int32_t(e.spec_index);
            return;
        }
        entries++;
        if (e.kind == ENTRY_REFINEMENT) refinements++;
    });
    bool counted = native_like ? refinements > 0 : locals_at >= 0;

    Cell cache = series_cell(TYPE_BLOCK, memory::alloc_cells(entries + (counted ? 1 : 0)));
    uint32_t ordinal = 0;
    walk_spec(spec_value, [&](const SpecEntry& e) {
        if (e.kind == ENTRY_ARGUMENT || e.kind == ENTRY_RETURN) {
            append_typeset(&cache, spec_value, e);
        } else if (e.kind == ENTRY_REFINEMENT) {
            Cell refinement = *spec_cell(spec_value, e.spec_index);
            refinement.header = TYPE_REFINEMENT;
            ordinal++;
            if (native_like) set_refinement_ordinal(&refinement, ordinal);
            *block::alloc_tail(&cache) = refinement;
        }
    });
    if (counted) {
        uint32_t count = refinements;
        if (!native_like) {
            Cell spec_block = series_cell(TYPE_BLOCK, spec_value);
            count = uint32_t(function::count_locals(&spec_block, uint32_t(locals_at), false));
        }
        *block::alloc_tail(&cache) = integer::cell(int32_t(count));
    }
    append_plan(&cache, native_like, compiled_function(&value, type));
    *callable::args_cache(&value) = cache;
    return series_node(&cache);
}

Node args_cache(const Cell* callable) {
    const Cell* cache = callable::args_cache(callable);
    if (cell_type(cache) == TYPE_BLOCK) return series_node(cache);
    return make_args_cache(callable);
}

const CallPlan* call_plan(const Cell* callable) {
    SeriesBuffer* cache = node_buffer(args_cache(callable));
    return reinterpret_cast<const CallPlan*>(series_buffer(cache->cells_tail() - 1)->first());
}

Cell* push_spec_word(const Cell* callable, uint32_t cache_index) {
    Node spec_value = callable::spec_node(callable);
    uint32_t seen = 0;
    int32_t found = -1;
    walk_spec(spec_value, [&](const SpecEntry& e) {
        if (e.kind != ENTRY_LOCALS && seen++ == cache_index && found < 0) found = int32_t(e.spec_index);
    });
    if (found < 0) return stack::push(fixed_words::word(fixed_words::Word::anon_tag));
    Cell* word = stack::push(spec_cell(spec_value, uint32_t(found)));
    word->header = TYPE_WORD;
    return word;
}

}  // namespace vek::eval
