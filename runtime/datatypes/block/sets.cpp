#include "runtime/datatypes/block/sets.h"

#include <algorithm>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/series/ranges.h"
#include "runtime/tables/hash_table.h"

namespace vek::block {

namespace {

bool is_hash(const Cell* block) { return cell_type(block) == TYPE_HASH; }

// A copy of an input whose head lies no further than its tail.
Cell clamped(const Cell* input) {
    Cell copy = *input;
    set_series_index(&copy, std::min(series_index(&copy), series_buffer(&copy)->length()));
    return copy;
}

// One side of the operation: its cells are looked up by their record-first
// cells, through a hash table (a hash!'s own, else one made when first
// needed), except for block-like keys, which no table holds: those are
// compared cell by cell.
class Records {
public:
    Records(const Cell* block, uint32_t size, int op) : block_(*block), size_(size), op_(op) {
        if (is_hash(&block_)) table_ = hash_table_of(&block_);
    }

    bool contains(const Cell* key) {
        if (is_any_block(cell_type(key))) return scan(key);
        if (table_ == Node::none)
            table_ = hash_table::make(length_from_head(&block_), &block_, hash_table::KIND_VALUES, 0);
        auto head = int32_t(series_index(&block_));
        return hash_table::find(table_, key, head, int32_t(size_), op_, false, false) != nullptr;
    }

    void use_table(Node table) { table_ = table; }

private:
    bool scan(const Cell* key) {
        Node node = series_node(&block_);
        for (uint32_t i = series_index(&block_); i < node_buffer(node)->length(); i += size_) {
            Cell candidate = node_buffer(node)->cells()[i];
            if (actions::compare(&candidate, key, op_)) return true;
        }
        return false;
    }

    Cell block_;
    uint32_t size_;
    int op_;
    Node table_ = Node::none;
};

enum class Keep { all, members, strangers };

// The result being built: a block on the evaluation stack and the table of
// its record-first cells (of every cell when it is to be a hash!).
class Result {
public:
    Result(uint32_t capacity, uint32_t size, int op, bool hash)
        : cell_(push_only_star(int32_t(std::max(capacity, 1u)))), size_(size), op_(op), hash_(hash) {
        table_ = hash_table::make(capacity, cell_, hash_table::KIND_VALUES, 0);
    }

    // Copies each record of the input that is not held yet and that the
    // keep rule lets through.
    void pass(const Cell* input, Records* other, Keep keep) {
        Cell source = *input;
        Node node = series_node(&source);
        for (uint32_t i = series_index(&source); i < node_buffer(node)->length(); i += size_) {
            Cell key = node_buffer(node)->cells()[i];
            if (keep != Keep::all && other->contains(&key) != (keep == Keep::members)) continue;
            if (holds(&key)) continue;
            uint32_t end = std::min(i + size_, node_buffer(node)->length());
            for (uint32_t j = i; j < end; j++) add(node_buffer(node)->cells()[j], j == i);
        }
    }

    // Moves the result into the cell and drops it from the stack.
    void finish(Cell* into) {
        if (hash_) {
            set_type(cell_, TYPE_HASH);
            set_hash_table(cell_, table_);
        }
        *into = *cell_;
        stack::pop(1);
    }

private:
    bool holds(const Cell* key) {
        Records records(cell_, size_, op_);
        records.use_table(table_);
        return records.contains(key);
    }

    void add(Cell value, bool first) {
        rs_append(cell_, &value);
        if (first || hash_) hash_table::put(table_, rs_abs_at(cell_, series_buffer(cell_)->length() - 1));
    }

    Cell* cell_;
    uint32_t size_;
    int op_;
    bool hash_;
    Node table_;
};

}  // namespace

Cell* set_operation(Cell* first, const Cell* second, bool case_sensitive, const Cell* skip, SetMode mode) {
    uint32_t size = series::set_record_size(skip);
    bool two_inputs = mode != SET_UNIQUE;
    if (two_inputs && !is_any_block(cell_type(second))) fire(err::script::invalid_arg, second);
    Cell one = clamped(first);
    Cell two = two_inputs ? clamped(second) : one;
    int op = case_sensitive ? actions::COMP_STRICT_EQUAL : actions::COMP_EQUAL;

    uint32_t capacity = length_from_head(&one);
    if (mode == SET_UNION) capacity += length_from_head(&two);
    Result result(capacity, size, op, is_hash(&one) || (two_inputs && is_hash(&two)));
    Records in_one(&one, size, op);
    Records in_two(&two, size, op);
    switch (mode) {
        case SET_UNIQUE: result.pass(&one, nullptr, Keep::all); break;
        case SET_UNION:
            result.pass(&one, nullptr, Keep::all);
            result.pass(&two, nullptr, Keep::all);
            break;
        case SET_INTERSECT: result.pass(&one, &in_two, Keep::members); break;
        case SET_EXCLUDE: result.pass(&one, &in_two, Keep::strangers); break;
        case SET_DIFFERENCE:
            result.pass(&one, &in_two, Keep::strangers);
            result.pass(&two, &in_one, Keep::strangers);
            break;
    }
    result.finish(first);
    return first;
}

}  // namespace vek::block
