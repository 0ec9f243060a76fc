// The vekbin reader: turns the bytes of a vekbin file (vekbin_format.h) back
// into values, shared series and contexts kept shared, words bound again to
// their object and function contexts.
//
// Files are untrusted. Every count is checked against the bytes that are
// left before anything is allocated for it, every index against what it
// indexes, and every value against what its datatype may hold, so that a
// crafted file yields an error, never a value that breaks the runtime's
// invariants: a reference record may only stand for a cell that stores its
// data the same way (a string never over a block's cells), a bound word
// must name the word at its index in its context, a native!, action! or op!
// must be one of the runtime's own, and records nest at most
// vekbin::DEPTH_LIMIT deep.
//
// An object or function is stored in its parent before its values, spec
// and body are read, so that records inside it may refer to it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::vekbin {

// Decodes the vekbin file of `length` bytes at `data` (compact or fixed
// encoding, compressed or not) and appends each top-level value to the
// block! `target`, which must be a cell the collector sees (a C++ local or
// a stack cell). The bytes are copied before anything is allocated, so they
// may lie in a series buffer.
//
// Raises script invalid-data when the bytes do not start with the magic or
// are too short to hold a header, or when a compressed body does not
// decompress; script vb-invalid-record with the 1-based index of the
// failing byte (counted from the magic; inside a compressed body, as if the
// decompressed bytes followed the flags byte) for any other malformed or
// truncated input; access no-codec with the datatype for a record of a type
// that has no encoding (routine!, triple!, handle!, port!, event!). Values
// that pass the reader's checks but not their own datatype's (a map key of
// a type maps refuse, a function spec that is not valid) raise what their
// constructor raises.
void decode(const uint8_t* data, size_t length, const Cell* target);

// The same over the bytes of a binary! from its head to its tail; bytes
// without the magic raise script invalid-data with the binary.
void decode(const Cell* binary, const Cell* target);

}  // namespace vek::vekbin
