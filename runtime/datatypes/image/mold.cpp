// image!: the construction text that form and mold write,
//   make image! [WxH #{RRGGBB...}]             every pixel opaque
//   make image! [WxH #{RRGGBB...} #{TT...}]    some pixel not opaque
// with the colours and the transparencies (255 - alpha) of the pixels from
// the head, ten pixels a line unless flat.
//
// The pixels lie outside the Vek heap and never move; the image is held in
// a local cell so that the appends, which may collect, keep it alive.
#include <algorithm>

#include "runtime/datatypes/image/internal.h"
#include "runtime/datatypes/number/integer.h"

namespace vek::image {

namespace {

constexpr uint32_t LINE_PIXELS = 10;
// From this many pixels on, the colours go on lines of their own.
constexpr uint32_t LINED_PIXELS = 8;

// What a text holds and how it is laid out.
struct Layout {
    bool only;      // no "make image! [" and "]"
    bool flat;      // no line breaks
    int32_t level;  // the indentation of the pixel lines
};

char* hex_byte(char* at, uint32_t byte) {
    static constexpr char DIGITS[] = "0123456789ABCDEF";
    *at++ = DIGITS[byte >> 4];
    *at++ = DIGITS[byte & 15];
    return at;
}

// The hexadecimal text of n pixels from first: R G B each, or the
// transparency alone. Answers its length.
uint32_t pixels_text(const uint32_t* first, uint32_t n, bool colours, char* text) {
    char* at = text;
    for (uint32_t i = 0; i < n; i++) {
        uint32_t pixel = first[i];
        if (colours) {
            at = hex_byte(at, red_of(pixel));
            at = hex_byte(at, green_of(pixel));
            at = hex_byte(at, blue_of(pixel));
        } else {
            at = hex_byte(at, 255 - alpha_of(pixel));
        }
    }
    return uint32_t(at - text);
}

void outer_line(text::Sink& out, int32_t level) { out.new_line(std::max(level - 1, 0)); }

// The colours of count pixels, as a binary's bytes are laid out: many pixels
// start on a line of their own, and a line ends after every ten.
void write_colours(const uint32_t* first, uint32_t count, text::Sink& out, const Layout& layout) {
    bool lines = !layout.flat && count >= LINED_PIXELS;
    out.append(" #{");
    if (lines) out.new_line(layout.level);
    for (uint32_t done = 0; done < count && !out.used_up();) {
        char text[6 * LINE_PIXELS];
        uint32_t n = std::min(LINE_PIXELS, count - done);
        out.append(text, pixels_text(first + done, n, true, text));
        done += n;
        if (n == LINE_PIXELS && !layout.flat) out.new_line(layout.level);
    }
    if (lines && count % LINE_PIXELS != 0) outer_line(out, layout.level);
    out.append("}");
}

// The transparencies of count pixels, on lines of their own unless flat.
void write_transparencies(const uint32_t* first, uint32_t count, text::Sink& out, const Layout& layout) {
    out.append(" #{");
    if (!layout.flat) out.new_line(layout.level);
    for (uint32_t done = 0; done < count && !out.used_up();) {
        char text[2 * LINE_PIXELS];
        uint32_t n = std::min(LINE_PIXELS, count - done);
        if (done > 0 && !layout.flat) out.new_line(layout.level);
        out.append(text, pixels_text(first + done, n, false, text));
        done += n;
    }
    if (!layout.flat) outer_line(out, layout.level);
    out.append("}");
}

bool any_transparent(const uint32_t* first, uint32_t count) {
    return std::any_of(first, first + count, [](uint32_t pixel) { return alpha_of(pixel) < 255; });
}

void write_text(const Cell* value, text::Sink& out, const Layout& layout) {
    Cell image = *value;
    if (!layout.only) out.append("make image! [");
    out.append(integer::to_decimal_text(int32_t(width(&image))).c_str());
    out.append("x");
    out.append(integer::to_decimal_text(int32_t(height(&image))).c_str());
    uint32_t total = pixel_count(&image);
    if (total == 0) {
        out.append(" #{}");
    } else {
        uint32_t from = std::min(head(&image), total);
        const uint32_t* first = pixels_of(node(&image)) + from;
        write_colours(first, total - from, out, layout);
        if (any_transparent(first, total - from) && !out.used_up())
            write_transparencies(first, total - from, out, layout);
    }
    if (!layout.only) out.append("]");
}

}  // namespace

void form(const Cell* value, text::Sink& out) { write_text(value, out, {.only = false, .flat = false, .level = 0}); }

void mold(const Cell* value, text::Sink& out, bool only) {
    write_text(value, out, {.only = only, .flat = out.flat, .level = out.indent + 1});
}

}  // namespace vek::image
