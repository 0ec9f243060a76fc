// A fixture for tests that inspect what the collector keeps and frees.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "runtime/gc/collector.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/series.h"

namespace vek::test {

// Each test builds the layout it inspects, so nothing collects behind its
// back: allocation may not start the collector, and only collect() does.
class ManualCollectionTest : public testing::Test {
protected:
    void SetUp() override {
        memory::collector_enabled = false;
        memory::torture_interval = 0;
    }
    void TearDown() override { memory::torture_interval = saved_torture_; }

private:
    uint32_t saved_torture_ = memory::torture_interval;
};

// A byte buffer holding the text, made by the memory manager alone, so that
// what the collector does to it depends on no datatype; and its bytes back.
inline Node string_node(const char* text) {
    auto length = uint32_t(std::strlen(text));
    Node node = memory::alloc_bytes(length);
    SeriesBuffer* b = node_buffer(node);
    std::memcpy(b->first(), text, length);
    b->tail = b->offset + length;
    return node;
}

inline std::string text_of(Node node) {
    SeriesBuffer* b = node_buffer(node);
    return std::string(reinterpret_cast<const char*>(b->first()), b->used_bytes());
}

// Dead stack slots below the caller may still hold copies of what a test
// dropped; this overwrites them. Uninstrumented, so that the sanitizer puts
// no red zones around the array: they would be left unwritten, and the
// collection's own frames, which take their place, would leave them so too.
[[gnu::noinline]] __attribute__((no_sanitize("address"))) inline void scrub_stack() {
    volatile std::byte junk[32 * 1024];
    for (auto& b : junk) b = std::byte{0};
}

[[gnu::noinline]] inline void collect_clean() {
    scrub_stack();
    gc::collect();
}

// A collection that sees only the precise roots, for tests that hold all
// they keep there and expect the rest to be freed.
inline void collect_precisely() {
    gc::scan_stack = false;
    gc::collect();
    gc::scan_stack = true;
}

}  // namespace vek::test
