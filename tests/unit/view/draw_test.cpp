// The calls that the draw walk makes on a canvas, recorded: the argument
// cells each primitive is handed (the values between the first and the last
// position it gets, molded), the colours and flags.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "runtime/datatypes/word/symbol.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/stack_fixture.h"
#include "view/draw.h"

namespace vek {
namespace {

using namespace view::draw;

// The cells from first to last, molded and spaced; "[]" for the empty run
// whose last cell is the one before its first.
std::string span(const Cell* first, const Cell* last) {
    if (last + 1 == first) return "[]";
    std::string text;
    for (const Cell* cell = first; cell <= last; ++cell) text += (text.empty() ? "" : " ") + test::molded(*cell);
    return text;
}

std::string hex(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

const char* target_name(Target target) {
    return target == Target::pen ? "pen" : target == Target::fill_pen ? "fill-pen" : "all";
}

const char* word_name(Word word) {
    switch (word) {
    case Word::LINEAR: return "linear";
    case Word::PAD: return "pad";
    case Word::REFLECT: return "reflect";
    case Word::REPLACE: return "replace";
    case Word::INTERSECT: return "intersect";
    default: return "?";
    }
}

class Recorder : public Canvas {
public:
    std::string calls;

    void begin(const Cell*) override { add("begin"); }
    void end() override { add("end"); }
    void pen(Colour colour, bool off, bool fill) override {
        add(std::string(fill ? "fill-pen " : "pen ") + (off ? "off" : hex(colour.value)) +
            (colour.has_alpha ? " alpha" : ""));
    }
    void gradient_pen(const Gradient& g) override {
        add(std::string("gradient ") + word_name(g.kind) + " " + std::to_string(g.colour_count) +
            (g.geometry ? " " + test::molded(*g.geometry) : " no-geometry") + (g.focal ? " focal " : " ") +
            word_name(g.repeat) + (g.fill ? " fill" : ""));
    }
    void line_pattern(const Cell* first, const Cell* last) override { add("line-pattern " + span(first, last)); }
    void box(const Cell* first, const Cell* last) override { add("box " + span(first, last)); }
    void line(const Cell* first, const Cell* last) override { add("line " + span(first, last)); }
    void circle(const Cell* centre, const Cell* last) override { add("circle " + span(centre, last)); }
    void anti_alias(bool on) override { add(on ? "anti-alias on" : "anti-alias off"); }
    void spline(const Cell* first, const Cell* last, bool closed) override {
        add("spline " + span(first, last) + (closed ? " closed" : ""));
    }
    void shadow(const Cell* offset, int32_t blur, int32_t spread, uint32_t colour, bool inset) override {
        add("shadow " + test::molded(*offset) + " " + std::to_string(blur) + " " + std::to_string(spread) + " " +
            hex(colour) + (inset ? " inset" : ""));
    }
    void clip(const Cell* first, const Cell* last, bool rectangle, Word mode) override {
        add("clip " + span(first, last) + (rectangle ? " rect " : " path ") + word_name(mode));
    }
    void clip_end() override { add("clip-end"); }
    void push_state() override { add("push"); }
    void pop_state() override { add("pop"); }
    void rotate(Target target, const Cell* first, const Cell* last) override {
        add(std::string("rotate ") + target_name(target) + " " + span(first, last));
    }
    void transform(Target target, const Cell* first, const Cell* scale, const Cell* last) override {
        add(std::string("transform ") + target_name(target) + " " + span(first, last) + " scale " +
            test::molded(*scale));
    }
    void matrix(Target target, const Cell* block) override {
        add(std::string("matrix ") + target_name(target) + " " + test::molded(*block));
    }
    void shape_begin(bool draw) override { add(draw ? "shape" : "shape-for-clip"); }
    bool shape_end() override { return add("shape-end"), true; }
    void shape_move(const Cell* point, bool relative) override {
        add("move " + test::molded(*point) + (relative ? " relative" : ""));
    }
    void shape_line(const Cell* first, const Cell* last, bool relative) override {
        add("line " + span(first, last) + (relative ? " relative" : ""));
    }
    void shape_arc(const Cell* end, bool sweep, bool large, bool relative) override {
        add("arc " + test::molded(*end) + (sweep ? " sweep" : "") + (large ? " large" : "") +
            (relative ? " relative" : ""));
    }
    void shape_curve(ShapeCurve, const Cell* first, const Cell* last, bool relative) override {
        add("curve " + span(first, last) + (relative ? " relative" : ""));
    }
    void shape_close() override { add("close"); }

private:
    void add(const std::string& call) { calls += (calls.empty() ? "" : "; ") + call; }
};

class DrawWalk : public test::NativeFrameTest {
protected:
    void SetUp() override {
        NativeFrameTest::SetUp();
        init_words();
    }

    std::string walk(const char* source) {
        Recorder recorder;
        Cell block = test::load_code(source);
        do_draw(recorder, nullptr, &block, false);
        return recorder.calls;
    }
};

struct WalkRow {
    const char* source;  // a draw block's content
    const char* calls;   // what the canvas heard
};

TEST_F(DrawWalk, CallsAndTheirPositions) {
    const WalkRow rows[] = {
        {"", ""},
        {"box 0x0 10x10 5 box 1x1 2x2", "begin; box 0x0 10x10 5; box 1x1 2x2; end"},
        {"line 0x0 10x10 20x0 circle 5x5 2 3", "begin; line 0x0 10x10 20x0; circle 5x5 2 3; end"},
        {"line-pattern line-pattern 4 2 spline 0x0 1x1 closed",
         "begin; line-pattern []; line-pattern 4 2; spline 0x0 1x1 closed; end"},
        {"pen 1.2.3 pen 1.2.3.4 fill-pen off", "begin; pen 00030201; pen 04030201 alpha; fill-pen off; end"},
        {"fill-pen linear", "begin; gradient linear 2 no-geometry pad fill; end"},
        {"pen linear 1.2.3 0.5 4.5.6 7.8.9 0x0 10x0 reflect", "begin; gradient linear 3 0x0 reflect; end"},
        {"anti-alias on anti-alias off anti-alias foo", "begin; anti-alias on; anti-alias off; anti-alias on; end"},
        {"shadow 2x2 3 0.0.255 inset shadow off", "begin; shadow 2x2 3 0 00FF0000 inset; shadow off 0 0 00000000; end"},
        {"shape [move 0x0 'line 10x0 0x10 close]",
         "begin; shape; move 0x0; line 10x0 0x10 relative; close; shape-end; end"},
        {"shape ['arc 10x10 5 5 0 large sweep [move 1x1]]",
         "begin; shape; arc 10x10 sweep large relative; move 1x1; shape-end; end"},
        {"rotate 'pen 30 rotate 30 5x5 [box 0x0 5x5]",
         "begin; rotate pen 30; push; rotate all 30 5x5; box 0x0 5x5; pop; end"},
        {"transform 0x0 30 1 2 5x5 matrix 'fill-pen [1 0 0 1 0 0] push [line 0x0 1x1]",
         "begin; transform all 0x0 30 1 2 5x5 scale 1; matrix fill-pen [1 0 0 1 0 0]; push; line 0x0 1x1; pop; end"},
        {"clip 0x0 10x10 intersect clip 5x5 8x8 [clip 1x1 2x2] clip 0x0 1x1",
         "begin; clip 0x0 10x10 rect intersect; push; clip 5x5 8x8 rect intersect; clip 1x1 2x2 rect replace; "
         "clip-end; pop; clip 0x0 1x1 rect intersect; end"},
        {"clip [move 0x0] [box 0x0 1x1]",
         "begin; shape-for-clip; move 0x0; push; clip [move 0x0] path replace; box 0x0 1x1; clip-end; pop; end"},
    };
    for (const WalkRow& row : rows) EXPECT_EQ(walk(row.source), row.calls) << row.source;
}

}  // namespace
}  // namespace vek
