#include "runtime/core/root.h"

#include <cstddef>

#include "runtime/core/raise.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/gc/collector.h"
#include "runtime/memory/image_state.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/region.h"
#include "runtime/memory/series.h"

namespace vek::root {

Cell block{};

namespace {

constexpr uint32_t ARGUMENT_STACK_INDEX = 0;
constexpr uint32_t FRAME_STACK_INDEX = 1;
constexpr uint32_t NO_MEMORY_INDEX = 2;
constexpr uint32_t STACK_OVERFLOW_INDEX = 3;

// Enough for a series frame of the largest size the memory manager makes and
// a node frame, which is what catching and reporting an error may need.
constexpr size_t RESERVE_BYTES = size_t(4) << 20;
// The reserve's pages, nullptr while handed back.
void* reserve = nullptr;

Cell make_block(Node node) { return series_cell(TYPE_BLOCK, node); }

Cell* cell_at(uint32_t index) { return series_buffer(&block)->cells() + index; }

void mark_root_block() { gc::mark_cell(&block); }

[[noreturn]] void limit_hit() {
    Cell capacity = integer::cell(int32_t(ROOT_CELLS));
    fire(err::internal::limit_hit, &capacity);
}

}  // namespace

void init() {
    block = make_block(memory::alloc_series_heap(ROOT_CELLS, sizeof(Cell), 0));
    Cell arguments = make_block(memory::alloc_series_heap(ARGUMENT_STACK_CELLS, sizeof(Cell), 0));
    Cell frames = make_block(memory::alloc_series_heap(FRAME_STACK_CELLS, sizeof(Cell), 0));
    *append() = arguments;
    *append() = frames;
    append();  // the no-memory error
    append();  // the stack-overflow error
}

void init_hooks() {
    gc::add_root("root block", mark_root_block);
    image_state::keep("root block", block);
}

Cell* append() {
    SeriesBuffer* buffer = series_buffer(&block);
    if (buffer->length() >= ROOT_CELLS) limit_hit();
    Cell* cell = buffer->cells_tail();
    buffer->tail = buffer->tail + sizeof(Cell);
    return make_unset(cell);
}

Cell* argument_stack() { return cell_at(ARGUMENT_STACK_INDEX); }
Cell* frame_stack() { return cell_at(FRAME_STACK_INDEX); }
Cell* no_memory_error() { return cell_at(NO_MEMORY_INDEX); }
Cell* stack_overflow_error() { return cell_at(STACK_OVERFLOW_INDEX); }

bool reserve_held() { return reserve != nullptr; }

void release_reserve() {
    if (!reserve) return;
    region::release_pages(reserve, RESERVE_BYTES);
    reserve = nullptr;
}

void take_reserve() {
    if (!reserve) reserve = region::commit_pages(RESERVE_BYTES);
}

}  // namespace vek::root
