// The vekbin writer: serializes one value, with everything it reaches, into
// a vekbin file (the byte layout is in vekbin_format.h), in the compact
// encoding (varints, one lead byte per record) or the fixed one (whole
// 32-bit words).
//
// The first occurrence of a series buffer or of an object or function
// context is written in full and every later one as a reference path to it,
// so shared and cyclic values stay shared when read back. A word bound to an
// object or function context carries its index there and, the first time
// the context is met, the context's owner in full; a word of the global
// context, or of a context owned by no object or function, is written
// unbound.
//
// The walk reads the value graph without allocating on the Vek heap (the
// file is built in C++ memory), so nothing can move under it and no state
// of the writer needs to be a collector root. Each call keeps its own state:
// the writer is re-entrant.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/core/cell.h"

namespace vek::vekbin {

// The whole file for the value: compact encoding when compact is true, else
// the fixed one. Raises access no-codec with the value met that no record
// can hold (routine!, triple!, handle!, port!, event!, a bare context!, an
// op! made from a routine!), internal too-deep past DEPTH_LIMIT records
// nested in one another, and internal no-memory for a file larger than one
// binary! can hold.
std::vector<uint8_t> encode_bytes(const Cell* value, bool compact);

// encode_bytes into a new binary! (head 0) pushed on the evaluation stack;
// answers that cell. Raises as encode_bytes does.
Cell* encode(const Cell* value, bool compact);

}  // namespace vek::vekbin
