// A terminal for the line editor's tests: reads answer scripted chunks, the
// cursor-position query is answered with a set position, and every write is
// recorded.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "console/terminal.h"
#include "platform/terminal.h"

namespace vek::test {

class FakeTerminal final : public console::Terminal {
public:
    // Each read answers the next chunk: "" answers a time-out, RESIZE raises
    // the resize flag and answers an interrupted read; past the last chunk
    // every read fails, as at a hang-up.
    static constexpr const char* RESIZE = "<resize>";
    std::deque<std::string> chunks;
    std::vector<std::string> writes;  // every write but the cursor queries
    int32_t width = 20;
    int32_t height = 10;
    int32_t cursor_row = 5;  // 0-based, as the query's answer gives them
    int32_t cursor_column = 0;
    bool answers_queries = true;
    std::function<void()> on_resize;  // changes the window when RESIZE is read

    int64_t read(uint8_t* destination, size_t size, int) override {
        if (chunks.empty()) return platform::terminal::READ_FAILED;
        std::string chunk = std::move(chunks.front());
        chunks.pop_front();
        if (chunk == RESIZE) {
            resize_ = true;
            if (on_resize) on_resize();
            return platform::terminal::READ_INTERRUPTED;
        }
        if (chunk.empty()) return platform::terminal::READ_TIMED_OUT;
        size_t count = std::min(size, chunk.size());
        std::memcpy(destination, chunk.data(), count);
        if (count < chunk.size()) chunks.push_front(chunk.substr(count));
        return int64_t(count);
    }
    void write(std::string_view bytes) override {
        if (bytes != "\x1b[6n") {
            writes.emplace_back(bytes);
        } else if (answers_queries) {
            chunks.push_front("\x1b[" + std::to_string(cursor_row + 1) + ";" + std::to_string(cursor_column + 1) +
                              "R");
        }
    }
    int32_t columns() override { return width; }
    int32_t rows() override { return height; }
    bool take_resize() override { return std::exchange(resize_, false); }

private:
    bool resize_ = false;
};

}  // namespace vek::test
