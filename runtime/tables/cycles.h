// The cycle guard: the series (and object contexts) that forming, molding,
// comparing and copying are inside of right now, so that a series holding
// itself is met once and then shown as a marker instead of recursed into.
//
// The entries need no marking: each is the node of a value that the walk
// which pushed it holds, and nodes never move.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"
#include "runtime/text/sink.h"

namespace vek::cycles {

// Pushing the entry that fills the guard raises internal too-deep.
constexpr uint32_t CAPACITY = 1000;

// Stores the node and advances; the entry that would make the guard full
// empties it instead and raises internal too-deep.
void push(Node node);
// Both stop at an empty guard.
void pop();
void pop_n(uint32_t n);
// Empties the guard (also on too-deep and on evaluation stack overflow).
void reset();

bool find(Node node);
uint32_t depth();

// Enters a deep copy of the node: when it is being copied already (a value
// that holds itself) the guard is emptied and internal no-cycle raised, else
// the node is pushed, for the caller's Scope to pop.
void enter_copy(Node node);

// Whether the value's series (an object's context) is being processed
// already. If so the marker that stands for it is appended to the sink: with
// mold "[...]" for block! and hash!, "(...)" for paren!, "#[...]" for map!,
// "make object! [...]" for object!, "..." for everything else; without mold
// always "...".
bool detect(const Cell* value, text::Sink& out, bool mold);

// Keeps the guard's depth honest when a walk leaves early: at the end of the
// scope, however it ends, the depth goes back to what it was at its start
// unless it is already lower (the guard was emptied meanwhile).
class Scope {
public:
    Scope() : entry_depth_(depth()) {}
    // Pushes the node once the entry depth is recorded.
    explicit Scope(Node node) : Scope() { push(node); }
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    uint32_t entry_depth_;
};

}  // namespace vek::cycles
