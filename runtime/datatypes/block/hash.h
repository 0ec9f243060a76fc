// hash! (id 36, parent block!): a block whose values are indexed by a hash
// table (kind values, equal values sharing a bucket), so that find, select,
// put and the set operations answer without scanning. The cell is a block
// cell whose word 3 holds the table; the table indexes the whole buffer from
// its first cell, whatever the head. The block actions keep the index up to
// date as they edit; this module adds what a block lacks: making the index,
// copying it, molding with a "make hash! " prefix, and indexing again after
// sort and trim.
#pragma once

namespace vek::hash {

// Registers hash!, after block!.
void init();

}  // namespace vek::hash
