// Piped standard input as the console reads it, on any bytes: the first
// eight bytes seed the schedule, the rest is the input. The source hands the
// input over in chunks of random sizes, now and then answering an end of
// input in the middle (as a terminal does at Ctrl+D, and reads go on after
// it) or a failed read; line reads and byte reads of random sizes take turns
// at random until the input is used up. The bytes a byte read answers must
// be the input's next ones, whichever read took them in from the source; a
// malformed line raises invalid-utf8 and the next read goes on after it.
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "console/stdin_reader.h"
#include "runtime/datatypes/string/buffer.h"
#include "tests/fuzz/target.h"
#include "tests/unit/support/support.h"

namespace vek::fuzz {
namespace {

namespace reader = console::stdin_reader;
using reader::LineEnd;

constexpr size_t SEED_SIZE = 8;
constexpr size_t MAX_INPUT = 1 << 16;
// Beyond the buffer's own size (16 KiB) a chunk behaves as that size.
constexpr size_t LONGEST_CHUNK = 1 << 15;
// Line and byte reads past the end of input, before the run stops.
constexpr int READS_AT_END = 4;

// xorshift64*, seeded from the input, so an input always runs the same way.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed | 1) {}
    uint64_t next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 2685821657736338717ull;
    }
    size_t below(size_t n) { return size_t(next() % n); }

private:
    uint64_t state_;
};

// The input the source hands over, and how. The reader takes a plain
// function, so this lives at namespace scope.
struct Feed {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t given = 0;  // bytes handed over so far
    Random random{1};
};
Feed feed;

size_t chunk_size(Random& random) {
    switch (random.below(4)) {
    case 0: return 1;
    case 1: return 1 + random.below(16);
    case 2: return 1 + random.below(512);
    default: return 1 + random.below(LONGEST_CHUNK);
    }
}

int64_t source(uint8_t* destination, size_t room) {
    if (feed.given == feed.size) return 0;
    switch (feed.random.below(32)) {
    case 0: return 0;   // an end of input that more input follows
    case 1: return -1;  // a failed read
    default: break;
    }
    size_t n = std::min({chunk_size(feed.random), room, feed.size - feed.given});
    std::memcpy(destination, feed.data + feed.given, n);
    feed.given += n;
    return int64_t(n);
}

void expect(bool holds, const char* what) {
    if (!holds) throw std::logic_error(what);
}

// Where the reader stands in the input, as the reads show it: a byte read
// answers the bytes from there on; a line read ends after the next line feed
// the source has handed over, or where the handed-over bytes end. A line cut
// short by a byte that starts no UTF-8 sequence, or one that raised, ends
// somewhere the test does not work out. The position is known again once a
// read finds the end of input: the reader has then taken every byte the
// source gave.
struct Position {
    size_t at = 0;
    bool known = true;
    bool at_start = true;  // no read has taken a byte: a line read skips a byte-order mark

    void caught_up() {
        at = feed.given;
        known = true;
    }

    // raised: the line read raised, so its end is not known.
    void after_line(LineEnd end, bool raised) {
        if (at_start && feed.given >= 3 && std::memcmp(feed.data, "\xEF\xBB\xBF", 3) == 0) at = 3;
        at_start = false;
        if (!raised && (end == LineEnd::end_of_input || end == LineEnd::no_input)) return caught_up();
        known = known && !raised && end == LineEnd::line_feed;
        if (!known) return;
        const void* line_feed = std::memchr(feed.data + at, '\n', feed.given - at);
        at = line_feed ? size_t(static_cast<const uint8_t*>(line_feed) - feed.data) + 1 : feed.given;
    }

    void after_bytes(const uint8_t* bytes, int64_t got, size_t wanted) {
        expect(got >= -1 && got <= int64_t(wanted), "a byte read answered more than it was asked for");
        at_start = false;
        if (got <= 0) return caught_up();
        if (!known) return;
        expect(at + size_t(got) <= feed.given, "a byte read answered bytes the source never gave");
        expect(std::memcmp(bytes, feed.data + at, size_t(got)) == 0, "a byte read answered other bytes");
        at += size_t(got);
    }
};

void read_some_bytes(Random& random, Position& position) {
    uint8_t bytes[256];
    size_t wanted = 1 + random.below(sizeof bytes);
    position.after_bytes(bytes, reader::read_bytes(bytes, wanted), wanted);
}

void read_a_line(Position& position) {
    Cell line{};
    string::rs_make_at(&line, 16);
    LineEnd end = LineEnd::line_feed;
    bool raised = test::raised([&] { end = reader::read_line(&line); }) != 0;
    position.after_line(end, raised);
}

}  // namespace

void run_one(const uint8_t* data, size_t size) {
    uint64_t seed = 0;
    std::memcpy(&seed, data, std::min(size, SEED_SIZE));
    size_t skipped = std::min(size, SEED_SIZE);
    feed = Feed{.data = data + skipped, .size = std::min(size - skipped, MAX_INPUT), .given = 0,
                .random = Random(seed)};
    Random reads(seed * 31 + 7);
    reader::reset(source);
    Position position;
    for (int at_end = 0; at_end < READS_AT_END;) {
        if (feed.given == feed.size) at_end++;
        if (reads.below(2) == 0) read_a_line(position);
        else read_some_bytes(reads, position);
    }
    reader::reset([](uint8_t*, size_t) -> int64_t { return 0; });
}

}  // namespace vek::fuzz
