#include "runtime/tables/cycles.h"

#include <algorithm>
#include <array>

#include "runtime/core/raise.h"
#include "runtime/datatypes/object/object.h"

namespace vek::cycles {
namespace {

std::array<Node, CAPACITY> guard{};
uint32_t position = 0;

Node node_looked_up(const Cell* value) {
    return is_any_object(cell_type(value)) ? object::context_node(value) : series_node(value);
}

const char* mold_marker(uint32_t type) {
    switch (type) {
    case TYPE_BLOCK:
    case TYPE_HASH: return "[...]";
    case TYPE_PAREN: return "(...)";
    case TYPE_MAP: return "#[...]";
    case TYPE_OBJECT: return "make object! [...]";
    default: return "...";
    }
}

}  // namespace

void push(Node node) {
    guard[position++] = node;
    if (position == CAPACITY) {
        reset();
        fire(err::internal::too_deep);
    }
}

void pop() { pop_n(1); }

void pop_n(uint32_t n) { position -= std::min(n, position); }

void reset() { position = 0; }

void enter_copy(Node node) {
    if (find(node)) {
        reset();
        fire(err::internal::no_cycle);
    }
    push(node);
}

bool find(Node node) {
    return std::find(guard.begin(), guard.begin() + position, node) != guard.begin() + position;
}

uint32_t depth() { return position; }

bool detect(const Cell* value, text::Sink& out, bool mold) {
    if (!find(node_looked_up(value))) return false;
    out.append(mold ? mold_marker(cell_type(value)) : "...");
    return true;
}

Scope::~Scope() { position = std::min(position, entry_depth_); }

}  // namespace vek::cycles
