// The vekbin reader on any bytes: an input that does not start with the
// magic gets it (and a version byte) put in front, so that mutations reach
// the records. What decodes is molded, copied deeply and now and then
// collected over, so that a value that breaks its datatype's invariants
// shows there. Errors raised on the way (an invalid record above all) are
// the expected answers.
#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/actions/dispatch.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/gc/collector.h"
#include "runtime/io/vekbin_format.h"
#include "runtime/io/vekbin_reader.h"
#include "tests/fuzz/target.h"
#include "tests/unit/support/support.h"

namespace vek::fuzz {
namespace {

// Every record fits in far fewer bytes; longer inputs only slow each run.
constexpr size_t MAX_INPUT = 1 << 16;
// Molded text past this is cut: a value may hold a series many times over.
constexpr int32_t MOLD_LIMIT = 1 << 16;
// A full collection marks everything decoded, so a cell that breaks its
// layout shows there; at every input it would cost most of the run.
constexpr uint32_t COLLECT_EVERY = 256;
uint32_t runs = 0;

void decode_and_use(const std::vector<uint8_t>& bytes) {
    Cell target{TYPE_BLOCK, 0, 0, 0};
    block::make_at(&target, 1);
    test::raised([&] { vekbin::decode(bytes.data(), bytes.size(), &target); });
    test::raised([&] {
        Cell out{};
        string::rs_make_at(&out, 16);
        text::Sink sink{.buffer = &out, .limited = true, .limit = MOLD_LIMIT};
        actions::mold(&target, sink, false);
    });
    test::raised([&] {
        block::clone(&target, true, true);
        stack::pop(1);
    });
    if (++runs % COLLECT_EVERY == 0) gc::collect();
}

}  // namespace

void run_one(const uint8_t* data, size_t size) {
    size = std::min(size, MAX_INPUT);
    std::vector<uint8_t> bytes;
    if (size < vekbin::MAGIC_SIZE || std::memcmp(data, vekbin::MAGIC, vekbin::MAGIC_SIZE) != 0) {
        bytes.assign(vekbin::MAGIC, vekbin::MAGIC + vekbin::MAGIC_SIZE);
        bytes.push_back(vekbin::WRITER_VERSION);
    }
    bytes.insert(bytes.end(), data, data + size);
    decode_and_use(bytes);
}

}  // namespace vek::fuzz
