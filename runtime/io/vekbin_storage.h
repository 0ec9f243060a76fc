// How each type keeps the data of its node, as the vekbin reader and writer
// must agree on it. A reference record reads back as the cell its path
// reaches, retyped to the record's own type: so a reference may only stand
// for a record of the same storage, or one layout would be read through
// another (a string's bytes as a block's cells).
#pragma once

#include <cstdint>

#include "runtime/core/types.h"

namespace vek::vekbin {

// op and word are the writer's own: a word may reach its context through
// any record that carries it, and an op! built on a function is remembered
// as an op so that only words refer to it.
enum class Storage : uint8_t { none, cells, hash, text, binary, vector, bitset, image, map, object, function, op, word };

// none for a type that keeps no node of its own that a reference could share.
inline Storage storage_of(uint32_t type) {
    switch (type) {
    case TYPE_BLOCK: case TYPE_PAREN: case TYPE_PATH: case TYPE_LIT_PATH: case TYPE_SET_PATH: case TYPE_GET_PATH:
        return Storage::cells;
    case TYPE_HASH: return Storage::hash;
    case TYPE_STRING: case TYPE_FILE: case TYPE_URL: case TYPE_TAG: case TYPE_EMAIL: case TYPE_REF:
        return Storage::text;
    case TYPE_BINARY: return Storage::binary;
    case TYPE_VECTOR: return Storage::vector;
    case TYPE_BITSET: return Storage::bitset;
    case TYPE_IMAGE: return Storage::image;
    case TYPE_MAP: return Storage::map;
    case TYPE_OBJECT: return Storage::object;
    case TYPE_FUNCTION: return Storage::function;
    default: return Storage::none;
    }
}

}  // namespace vek::vekbin
