#include "runtime/actions/dispatch.h"

#include <algorithm>
#include <array>

#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/memory/series.h"

namespace vek::actions {

namespace {

using registry::ActionFn;

// ---------------------------------------------------------------- port actors

// Native actor tables, numbered from 1 by registration; they hold code, not
// cells, so the collector has nothing to see here.
constexpr uint32_t MAX_PORT_ACTORS = 64;
std::array<const PortActorTable*, MAX_PORT_ACTORS + 1> port_actors{};
uint32_t port_actor_count = 0;

// A port's fields come in a fixed order: spec, scheme, actor, ...
constexpr uint32_t PORT_ACTOR_FIELD = 2;

// The native actor table serving the port, or nullptr when its actor is no
// handle of a registered table.
const PortActorTable* native_actor(const Cell* port) {
    if (object::field_count(port) <= PORT_ACTOR_FIELD) return nullptr;
    const Cell* actor = object::get_values(port) + PORT_ACTOR_FIELD;
    if (cell_type(actor) != TYPE_HANDLE) return nullptr;
    auto number = uint32_t(integer::get(actor));
    return number >= 1 && number <= port_actor_count ? port_actors[number] : nullptr;
}

template <class Fn>
Fn lookup(const Cell* value, uint32_t slot) {
    return reinterpret_cast<Fn>(lookup_for_value(value, slot));
}

// ---------------------------------------------------------------- series arguments

// The types whose values hold a series buffer that /part may count in.
bool has_buffer(uint32_t type) {
    return is_series(type) || type == TYPE_MAP;
}

// A head left beyond the tail (the buffer was shortened through another
// value) is pulled back to the tail.
void clamp_head(Cell* series) {
    uint32_t total = series_buffer(series)->length();
    if (series_index(series) > total) set_series_index(series, total);
}

// The element count that a /part argument stands for, measured from the
// limited series' head: an integer! as it is, or a position in the limited
// series itself when positions are allowed.
int32_t part_count(const Cell* limited, const Cell* part, bool positions_allowed) {
    if (cell_type(part) == TYPE_INTEGER) return integer::get(part);
    if (!positions_allowed || cell_type(part) != cell_type(limited) ||
        series_node(part) != series_node(limited))
        fire(err::script::invalid_refine_arg,
             fixed_words::refinement(fixed_words::Ref::part), part);
    Cell position = *part;
    clamp_head(&position);
    return int32_t(series_index(&position)) - int32_t(series_index(limited));
}

// Moves the series' head back by up to count elements, never below the
// first one; answers how far it moved.
int32_t move_head_back(Cell* series, int32_t count) {
    uint32_t back = uint32_t(std::min<int64_t>(-int64_t(count), series_index(series)));
    set_series_index(series, series_index(series) - back);
    return int32_t(back);
}

// The /part count of append and insert, which limits the inserted value.
// Answers false when there is nothing to insert. The value's head may move
// back for a negative count.
bool resolve_insert_part(Cell* value, const Cell* part, int32_t* count) {
    *count = -1;
    if (part == nullptr) return true;
    if (!has_buffer(cell_type(value))) fire(err::script::invalid_part, part);
    clamp_head(value);
    int32_t n = part_count(value, part, true);
    if (n == 0 || (n < 0 && series_index(value) == 0)) return false;
    *count = n < 0 ? move_head_back(value, n) : n;
    return true;
}

// The /part count of change, which limits the replaced range of the target.
// A negative count moves the target's head back over the range it names.
void resolve_change_part(Cell* series, const Cell* part, int32_t* count) {
    *count = -1;
    if (part == nullptr) return;
    uint32_t type = cell_type(series);
    bool positional = has_buffer(type) && type != TYPE_IMAGE;
    if (positional) clamp_head(series);
    int32_t n = part_count(series, part, positional);
    if (n < 0) n = positional ? move_head_back(series, n) : 0;
    *count = n;
}

// The /dup count; false when it asks for no copy at all.
bool resolve_dup(const Cell* dup, int32_t* count) {
    *count = dup == nullptr ? 1 : integer::get(dup);
    return *count >= 1;
}

void append_or_insert(Cell* series, const Cell* value, const Cell* part, bool only,
                      const Cell* dup, bool append) {
    if (!append && has_buffer(cell_type(series))) clamp_head(series);
    Cell limited = *value;
    int32_t part_length, dup_count;
    if (!resolve_insert_part(&limited, part, &part_length)) return;
    if (!resolve_dup(dup, &dup_count)) return;
    auto slot = append ? registry::SLOT_APPEND : registry::SLOT_INSERT;
    lookup<InsertFn>(series, slot)(series, &limited, part_length, only, dup_count, append);
}

// A new empty string! pushed on the stack, for form and mold to write into.
Cell* push_text_buffer() {
    Cell buffer{};
    string::rs_make_at(&buffer, 16);
    return stack::push(&buffer);
}

// The text buffer cut to the /part limit and moved into result; the stack
// is cut back to where it was before the buffer was pushed.
Cell* finish_text(Cell* buffer, const Cell* part, int32_t limit, Cell* result) {
    if (part != nullptr) string::limit_buffer(series_buffer(buffer), uint32_t(limit));
    copy_cell(buffer, result);
    stack::top = buffer;
    return result;
}

// The datatype that make and to build: the one a datatype! names.
uint32_t target_type(const Cell* prototype) {
    return cell_type(prototype) == TYPE_DATATYPE ? datatype::id(prototype) : cell_type(prototype);
}

}  // namespace

// ---------------------------------------------------------------- lookup

registry::ActionFn get_action(uint32_t type, const Cell* value, uint32_t slot) {
    if (cell_type(value) == TYPE_PORT && slot >= registry::SLOT_APPEND) {
        if (const PortActorTable* table = native_actor(value)) {
            ActionFn entry = (*table)[slot - registry::SLOT_APPEND];
            if (entry == nullptr) fire(err::access::no_port_action);
            return entry;
        }
    }
    ActionFn entry = registry::action(type, slot);
    if (registry::implemented(entry)) return entry;
    error::raise_expect_arg(type, 0);
}

registry::ActionFn get_path_action(const Cell* value, const Cell* path, const Cell* element,
                                   int32_t index) {
    uint32_t type = cell_type(value);
    ActionFn entry = registry::action(type, registry::SLOT_EVAL_PATH);
    if (registry::implemented(entry)) return entry;
    Cell datatype = datatype::cell(type);
    if (path == nullptr) fire(err::script::bad_path_type2, element, &datatype);
    // The path as far as the step whose value could not be accessed.
    uint32_t start = std::min(series_index(path), series_buffer(path)->length());
    uint32_t available = series_buffer(path)->length() - start;
    uint32_t count = index < 0 ? 0 : std::min(uint32_t(index) + 1, available);
    Node steps = series::copy_part(series_node(path), start, count);
    Cell reached{cell_type(path), 0, uint32_t(steps), 0};
    fire(err::script::bad_path_type, path, &datatype, &reached);
}

uint32_t register_port_actor(const PortActorTable* table) {
    if (port_actor_count == MAX_PORT_ACTORS) fire(err::internal::limit_hit);
    port_actors[++port_actor_count] = table;
    return port_actor_count;
}

// ---------------------------------------------------------------- typed dispatchers

Cell* make(Cell* prototype, const Cell* spec) {
    uint32_t type = target_type(prototype);
    auto implementation = reinterpret_cast<MakeFn>(get_action(type, prototype, registry::SLOT_MAKE));
    return implementation(prototype, spec, type);
}

Cell* to(Cell* prototype, const Cell* spec) {
    uint32_t type = target_type(prototype);
    auto implementation = reinterpret_cast<MakeFn>(get_action(type, prototype, registry::SLOT_TO));
    return implementation(prototype, spec, type);
}

Cell* random(Cell* value, bool seed, bool secure, bool only) {
    return lookup<RandomFn>(value, registry::SLOT_RANDOM)(value, seed, secure, only);
}

void reflect(Cell* value, uint32_t field) {
    lookup<ReflectFn>(value, registry::SLOT_REFLECT)(value, field);
}

void form(const Cell* value, text::Sink& out) {
    lookup<FormFn>(value, registry::SLOT_FORM)(value, out);
}

void mold(const Cell* value, text::Sink& out, bool only) {
    lookup<MoldFn>(value, registry::SLOT_MOLD)(value, out, only);
}

Cell* form_to_string(const Cell* value, const Cell* part, Cell* result) {
    if (part == nullptr && cell_type(value) == TYPE_INTEGER) return integer::form_at(result, integer::get(value));
    int32_t limit = part != nullptr ? integer::get(part) : text::NO_LIMIT;
    if (limit <= 0) return string::rs_make_at(result, 0);
    Cell* buffer = push_text_buffer();
    text::Sink out{.buffer = buffer, .limited = part != nullptr, .limit = limit};
    form(value, out);
    return finish_text(buffer, part, limit, result);
}

Cell* mold_to_string(const Cell* value, const Cell* part, Cell* result, MoldFlags flags) {
    int32_t limit = part != nullptr ? integer::get(part) : text::NO_LIMIT;
    if (limit <= 0) return string::rs_make_at(result, 0);
    Cell* buffer = push_text_buffer();
    text::Sink out{.buffer = buffer, .limited = part != nullptr, .limit = limit, .all = flags.all,
                   .flat = flags.flat};
    mold(value, out, flags.only);
    return finish_text(buffer, part, limit, result);
}

Cell* eval_path_typed(Cell* parent, const Cell* element, const PathArgs& args) {
    auto implementation = reinterpret_cast<EvalPathFn>(get_path_action(parent, args.path, element, args.index));
    return implementation(parent, element, args);
}

int32_t compare_typed(const Cell* value1, const Cell* value2, int32_t op) {
    return lookup<CompareFn>(value1, registry::SLOT_COMPARE)(value1, value2, op);
}

Cell* absolute(Cell* value) { return lookup<UnaryFn>(value, registry::SLOT_ABSOLUTE)(value); }

Cell* add(Cell* value1, Cell* value2) {
    return lookup<ArithmeticFn>(value1, registry::SLOT_ADD)(value1, value2);
}

Cell* divide(Cell* value1, Cell* value2) {
    return lookup<ArithmeticFn>(value1, registry::SLOT_DIVIDE)(value1, value2);
}

Cell* multiply(Cell* value1, Cell* value2) {
    return lookup<ArithmeticFn>(value1, registry::SLOT_MULTIPLY)(value1, value2);
}

Cell* negate(Cell* value) { return lookup<UnaryFn>(value, registry::SLOT_NEGATE)(value); }

Cell* power(Cell* value, Cell* exponent) {
    return lookup<ArithmeticFn>(value, registry::SLOT_POWER)(value, exponent);
}

Cell* remainder(Cell* value1, Cell* value2) {
    return lookup<ArithmeticFn>(value1, registry::SLOT_REMAINDER)(value1, value2);
}

Cell* round(Cell* value, const RoundArgs& args) {
    return lookup<RoundFn>(value, registry::SLOT_ROUND)(value, args);
}

Cell* subtract(Cell* value1, Cell* value2) {
    return lookup<ArithmeticFn>(value1, registry::SLOT_SUBTRACT)(value1, value2);
}

bool even(const Cell* value) { return lookup<ParityFn>(value, registry::SLOT_EVEN)(value); }
bool odd(const Cell* value) { return lookup<ParityFn>(value, registry::SLOT_ODD)(value); }

Cell* and_(Cell* value1, Cell* value2) {
    return lookup<ArithmeticFn>(value1, registry::SLOT_AND)(value1, value2);
}

Cell* complement(Cell* value) {
    return lookup<UnaryFn>(value, registry::SLOT_COMPLEMENT)(value);
}

Cell* or_(Cell* value1, Cell* value2) {
    return lookup<ArithmeticFn>(value1, registry::SLOT_OR)(value1, value2);
}

Cell* xor_(Cell* value1, Cell* value2) {
    return lookup<ArithmeticFn>(value1, registry::SLOT_XOR)(value1, value2);
}

void append(Cell* series, const Cell* value, const Cell* part, bool only, const Cell* dup) {
    append_or_insert(series, value, part, only, dup, true);
}

void insert(Cell* series, const Cell* value, const Cell* part, bool only, const Cell* dup) {
    append_or_insert(series, value, part, only, dup, false);
}

void change(Cell* series, Cell* value, const Cell* part, bool only, const Cell* dup) {
    int32_t part_length, dup_count;
    resolve_change_part(series, part, &part_length);
    if (!resolve_dup(dup, &dup_count)) return;
    lookup<ChangeFn>(series, registry::SLOT_CHANGE)(series, value, part_length, only, dup_count);
}

void at() { lookup<NavigateFn>(stack::arguments, registry::SLOT_AT)(); }
void back() { lookup<NavigateFn>(stack::arguments, registry::SLOT_BACK)(); }
void head() { lookup<NavigateFn>(stack::arguments, registry::SLOT_HEAD)(); }
void head_q() { lookup<NavigateFn>(stack::arguments, registry::SLOT_HEAD_Q)(); }
void index_q() { lookup<NavigateFn>(stack::arguments, registry::SLOT_INDEX_Q)(); }
void next() { lookup<NavigateFn>(stack::arguments, registry::SLOT_NEXT)(); }
void skip() { lookup<NavigateFn>(stack::arguments, registry::SLOT_SKIP)(); }
void tail() { lookup<NavigateFn>(stack::arguments, registry::SLOT_TAIL)(); }
void tail_q() { lookup<NavigateFn>(stack::arguments, registry::SLOT_TAIL_Q)(); }

void clear(Cell* series) { lookup<ClearFn>(series, registry::SLOT_CLEAR)(series); }

Cell* copy(Cell* value, Cell* result, const Cell* part, bool deep, const Cell* kind) {
    if (kind != nullptr && cell_type(kind) != TYPE_DATATYPE && cell_type(kind) != TYPE_TYPESET) {
        constexpr uint32_t KIND_ARGUMENT = 5;  // value /part length /deep /types kind
        error::raise_expect_arg(cell_type(kind), KIND_ARGUMENT);
    }
    return lookup<CopyFn>(value, registry::SLOT_COPY)(value, result, part, deep, kind);
}

Cell* find(Cell* series, const Cell* value, const FindArgs& args) {
    return lookup<FindFn>(series, registry::SLOT_FIND)(series, value, args);
}

Cell* length_q(Cell* series) {
    int32_t length = lookup<LengthFn>(series, registry::SLOT_LENGTH_Q)(series);
    if (length == -1) return copy_cell(&none::constant, series);
    return integer::make_at(series, length);
}

Cell* move(Cell* origin, Cell* target, const Cell* part) {
    return lookup<MoveFn>(origin, registry::SLOT_MOVE)(origin, target, part);
}

int32_t index_number(const Cell* index) {
    switch (cell_type(index)) {
    case TYPE_INTEGER: return integer::get(index);
    case TYPE_CHAR: return integer::get(index);
    case TYPE_LOGIC: return logic::get(index) ? 1 : 2;
    default: return 0;
    }
}

Cell* pick(Cell* series, const Cell* index) {
    return lookup<PickFn>(series, registry::SLOT_PICK)(series, index_number(index), index);
}

Cell* poke(Cell* series, const Cell* index, Cell* value) {
    return lookup<PokeFn>(series, registry::SLOT_POKE)(series, index_number(index), value, index);
}

Cell* put(Cell* series, const Cell* key, Cell* value, bool case_sensitive) {
    return lookup<PutFn>(series, registry::SLOT_PUT)(series, key, value, case_sensitive);
}

void remove(Cell* series, const Cell* part, const Cell* key) {
    lookup<RemoveFn>(series, registry::SLOT_REMOVE)(series, part, key);
}

void reverse(Cell* series, const Cell* part, const Cell* skip) {
    lookup<ReverseFn>(series, registry::SLOT_REVERSE)(series, part, skip);
}

Cell* select(Cell* series, const Cell* value, const SelectArgs& args) {
    return lookup<SelectFn>(series, registry::SLOT_SELECT)(series, value, args);
}

Cell* sort(Cell* series, const SortArgs& args) {
    return lookup<SortFn>(series, registry::SLOT_SORT)(series, args);
}

void swap(Cell* series1, Cell* series2) {
    lookup<SwapFn>(series1, registry::SLOT_SWAP)(series1, series2);
}

Cell* take(Cell* series, const Cell* part, bool deep, bool last) {
    return lookup<TakeFn>(series, registry::SLOT_TAKE)(series, part, deep, last);
}

void trim(Cell* series, const TrimArgs& args) {
    lookup<TrimFn>(series, registry::SLOT_TRIM)(series, args);
}

// ---------------------------------------------------------------- ports and files

Cell* create(Cell* port) { return lookup<PortFn>(port, registry::SLOT_CREATE)(port); }
Cell* close(Cell* port) { return lookup<PortFn>(port, registry::SLOT_CLOSE)(port); }
Cell* delete_(Cell* port) { return lookup<PortFn>(port, registry::SLOT_DELETE)(port); }
Cell* open_q(Cell* port) { return lookup<PortFn>(port, registry::SLOT_OPEN_Q)(port); }
Cell* query(Cell* port) { return lookup<PortFn>(port, registry::SLOT_QUERY)(port); }
Cell* update(Cell* port) { return lookup<PortFn>(port, registry::SLOT_UPDATE)(port); }

Cell* modify(Cell* target, const Cell* field, const Cell* value, bool case_sensitive) {
    return lookup<ModifyFn>(target, registry::SLOT_MODIFY)(target, field, value, case_sensitive);
}

Cell* open(Cell* port, const OpenArgs& args) { return lookup<OpenFn>(port, registry::SLOT_OPEN)(port, args); }

Cell* read(Cell* source, const ReadArgs& args) { return lookup<ReadFn>(source, registry::SLOT_READ)(source, args); }

Cell* rename(Cell* from, const Cell* to) {
    return lookup<RenameFn>(from, registry::SLOT_RENAME)(from, to);
}

Cell* write(Cell* destination, const Cell* data, const WriteArgs& args) {
    return lookup<WriteFn>(destination, registry::SLOT_WRITE)(destination, data, args);
}

}  // namespace vek::actions
