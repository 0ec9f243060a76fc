#include "runtime/natives/vekbin_codec.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/callable/routine.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/io/vekbin_reader.h"
#include "runtime/io/vekbin_writer.h"

namespace vek::routines {

using routine::Arg;

namespace {

// A binary of this size or less holds no value: the shortest file that does
// takes 11 bytes (the magic, version and flags, two header varints and a
// one-byte record).
constexpr uint32_t SHORTEST_FILE = 10;

// The bytes to decode: a binary! as it is, the bytes a file! or url! names.
Cell* payload_bytes(Cell* payload) {
    uint32_t type = cell_type(payload);
    if (type == TYPE_BINARY) return payload;
    if (type != TYPE_FILE && type != TYPE_URL) fire(err::script::invalid_data, payload);
    return actions::read(payload, {.binary = true});
}

}  // namespace

Arg vekbin_encode(const Arg* args) {
    return Arg{.cell = vekbin::encode(args[0].cell, logic::get(args[1].cell))};
}

Arg vekbin_decode(const Arg* args) {
    Cell* bytes = payload_bytes(args[0].cell);
    if (binary::rs_length(bytes) <= SHORTEST_FILE) fire(err::script::invalid_data, bytes);
    Cell* values = block::make_at(stack::push_cell(), 1);
    vekbin::decode(bytes, values);
    if (block::rs_length(values) == 1) return Arg{.cell = stack::push(block::rs_head(values))};
    return Arg{.cell = values};
}

}  // namespace vek::routines
