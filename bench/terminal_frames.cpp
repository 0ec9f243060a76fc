// How long the terminal GUI takes to render a full window and build its
// frame: a 200 x 60 window holding 300 faces (texts, coloured bases, fields
// and buttons with the default rendering, 20 of them with images), rendered
// into cells and turned into escape sequences 1,000 times. Prints the median
// and the slowest tenth of the frame times and the bytes of a frame. The
// runtime is brought up as the unit tests bring it up; faces are objects
// with the facets of face!, their widgets made as show makes them.
//
// Usage: bench_terminal_frames [FRAMES]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/runtime_thread.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/eval/evaluator.h"
#include "runtime/init.h"
#include "runtime/lexer/lexer.h"
#include "runtime/memory/manager.h"
#include "tests/unit/support/shown_faces.h"
#include "view/backends/terminal/faces.h"
#include "view/backends/terminal/widgets.h"
#include "view/draw.h"

namespace {

using namespace vek;
using namespace vek::view::backends::terminal;

// A font, a para and the window.
constexpr const char* PROTOTYPES = R"(
red-font: make object! [color: 200.30.30 parent: none]
centred: make object! [align: 'center v-align: 'middle wrap?: false parent: none]
win: make tui-face [type: 'window size: 200x60]
)";

// The picture: 16 x 16 pixels of changing colours.
std::string picture() {
    std::string source = "picture: make image! [16x16 #{";
    char hex[8];
    for (int i = 0; i < 256; ++i) {
        std::snprintf(hex, sizeof hex, "%02X%02X%02X", i * 7 % 256, i * 3 % 256, i);
        source += hex;
    }
    return source + "}]\n";
}

// The faces: a grid of 10 columns and 30 rows of faces 20 x 2 cells, their
// kinds in turn, every fifteenth with the picture; then the window's pane.
std::string faces() {
    const char* kinds[] = {
        "type: 'text text: \"label %d\" font: red-font",
        "type: 'base color: %d.128.40",
        "type: 'field text: \"field text %d\" color: 255.255.255",
        "type: 'button text: \"Button %d\" para: centred color: 80.80.200",
    };
    std::string source, pane = "win/pane: reduce [";
    char line[256], spec[128];
    for (int i = 0; i < 300; ++i) {
        std::snprintf(spec, sizeof spec, kinds[i % 4], i % 256);
        std::snprintf(line, sizeof line, "f%d: make tui-face [%s offset: %dx%d size: 20x2 image: %s]\n", i, spec,
                      i % 10 * 20, i / 10 * 2, i % 15 == 14 ? "picture" : "none");
        source += line;
        pane += " f" + std::to_string(i);
    }
    return source + pane + "]\n";
}

void run(const char* source) {
    Cell code;
    lexer::scan(make_unset(&code), reinterpret_cast<const uint8_t*>(source), uint32_t(std::strlen(source)),
                {.wrap = true}, nullptr, nullptr, nullptr);
    if (eval::eval_block(&code) != Pending::none) std::abort();
}

Cell global(const char* name) { return *context::get_global_cell(symbol::make_case_folded(name)); }

void show_all() {
    WidgetId window = test::show_face(global("win"), 0);
    Cell pane = *facet(context::get_global_cell(symbol::make_case_folded("win")), vek::view::Facet::PANE);
    for (uint32_t i = 0; i < series_buffer(&pane)->length(); ++i)
        test::show_face(series_buffer(&pane)->cells()[i], window);
}

int bench(void* argument) {
    int frames = *static_cast<int*>(argument);
    runtime::init();
    memory::collector_enabled = true;
    init_widgets();
    init_words();
    view::draw::init_words();
    backend().screen.set_terminal_size(200, 60);
    backend().screen.full_screen = true;
    run(test::FACE_PROTOTYPE);
    run(PROTOTYPES);
    run(picture().c_str());
    run(faces().c_str());
    show_all();
    std::vector<double> times;
    size_t bytes = 0;
    for (int i = 0; i < frames; ++i) {
        auto start = std::chrono::steady_clock::now();
        render_tree();
        bytes = backend().screen.frame_text(false).size();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    std::printf("%d frames of 200x60 with 300 faces: median %.3f ms, 90th percentile %.3f ms, %zu bytes a frame\n",
                frames, times[times.size() / 2], times[times.size() * 9 / 10], bytes);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    return vek::platform::run_on_runtime_thread(bench, &frames);
}
