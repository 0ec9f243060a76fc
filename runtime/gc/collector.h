// The garbage collector. It marks precisely from the roots (the root block,
// the evaluation stacks and frames, and every module's registered roots),
// conservatively from the runtime thread's C++ stack, then sweeps and
// compacts the series frames. Buffers move; nodes never do, so a value, which
// holds a node, stays valid across a collection.
//
// What C++ code may rely on:
// - a node held in a local (or a cell held in a local) keeps its buffer
//   alive, but the buffer may move: re-read it through the node;
// - a pointer into a buffer held in a local keeps that buffer alive and in
//   place for as long as the pointer is in the frame, but not the cells past
//   its tail: a cell that was popped or cut is gone at the next allocation.
// Nothing kept on the C++ heap (std::vector, std::string, captures,
// exceptions) is seen: globals holding cells or nodes register a root.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"

namespace vek::gc {

// A hook is called once per collection. A root's hook marks what its module
// holds; a sweep runs once everything reachable is marked, and drops the dead
// entries of a weak table (a table keyed by nodes). Each is registered once,
// under a name that says what it holds ("lexer output"), so that a debug dump
// can tell what keeps buffers alive.
using Hook = void (*)();
void add_root(const char* name, Hook mark);
void remove_root(Hook mark);
void add_sweep(const char* name, Hook sweep);

// For a debug dump: the names of the registered roots and sweeps, in
// registration order.
struct Registered {
    std::vector<const char*> roots;
    std::vector<const char*> sweeps;
};
Registered registered();

// Counts from 0. Allocation starts collections only while
// memory::collector_enabled is set. The roots survive it, since modules
// register from their own initialisation, which comes first.
void init();

// One full collection, whether or not allocation may start one; on the
// runtime thread only, and never from a hook (checked in debug builds).
// Hooks and release callbacks must not throw. Should one do so anyway, the
// exception passes on once the heap is consistent: a mark hook's abandons
// the collection, a sweep hook's or a release callback's comes after the
// sweep has finished. Either way the next collection runs as usual.
void collect();
// Whether collections scan the C++ stack. Tests that expect something to be
// freed switch it off: a stale copy in a dead stack slot would keep it alive.
extern bool scan_stack;
void scrub_stack();  // zeroes the dead C++ stack below the caller's frame: its stale words keep nothing alive
// Whether a collection is under way.
bool active();

// Marking, for roots and sweeps. Each follows only what passes the node test (a node
// of a node frame whose buffer is in use and points back at it), and marks a
// buffer's contents by its kind: the cells of a cell buffer, what a
// hash-table record refers to, nothing for raw bytes.
void mark_node(Node node);
void mark_cells(const Cell* first, const Cell* last);
inline void mark_cell(const Cell* cell) { mark_cells(cell, cell + 1); }
// Whether the node's buffer is marked in the collection under way.
bool is_marked(Node node);

}  // namespace vek::gc
