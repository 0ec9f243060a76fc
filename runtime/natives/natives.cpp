#include "runtime/natives/natives.h"

#include "runtime/core/raise.h"
#include "runtime/core/root.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/io/call.h"
#include "runtime/lexer/transcode.h"
#include "runtime/memory/image_state.h"
#include "runtime/natives/checksums.h"
#include "runtime/natives/compare.h"
#include "runtime/natives/compression.h"
#include "runtime/natives/control.h"
#include "runtime/natives/exits.h"
#include "runtime/natives/maths.h"
#include "runtime/natives/output.h"
#include "runtime/natives/parse.h"
#include "runtime/natives/sets.h"
#include "runtime/natives/system.h"
#include "runtime/natives/text.h"
#include "runtime/natives/words.h"

namespace vek::natives {

std::array<NativeFn, TABLE_SIZE> table{};

namespace {

constexpr int32_t PRINT_BUFFER_CELLS = 32;

Cell* print_buffer_cell = nullptr;  // in the root block, which the collector marks

Pending transcode_entry(bool, const int32_t* refinements) {
    const int32_t* r = refinements;
    lexer::transcode({.next = r[0], .one = r[1], .prescan = r[2], .scan = r[3], .part = r[4], .into = r[5], .trace = r[6]});
    return Pending::none;
}

// natives.def's order, in which native! values address the table (1-based).
constexpr NativeFn ENTRIES[NATIVE_COUNT] = {
#define X(name, entry, intrinsic, spec) entry,
#include "runtime/natives/natives.def"
#undef X
};

}  // namespace

void init() {
    table = {};
    for (uint32_t i = 0; i < NATIVE_COUNT; i++) table[i] = ENTRIES[i];
    image_state::keep_pointer("print buffer", print_buffer_cell);
}

void init_print_buffer() { print_buffer_cell = block::make_at(root::append(), PRINT_BUFFER_CELLS); }

Cell* print_buffer() { return print_buffer_cell; }

}  // namespace vek::natives
