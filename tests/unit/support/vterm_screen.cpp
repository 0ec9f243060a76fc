#include "tests/unit/support/vterm_screen.h"

#include <vterm.h>

#include "runtime/text/unicode.h"

namespace vek::test {

namespace {

int on_termprop(VTermProp prop, VTermValue* value, void* user) {
    auto* screen = static_cast<VtermScreen*>(user);
    switch (prop) {
    case VTERM_PROP_TITLE:
    case VTERM_PROP_ICONNAME: screen->title_set = true; break;
    case VTERM_PROP_ALTSCREEN: screen->alternate_screen = value->boolean; break;
    case VTERM_PROP_MOUSE: screen->mouse = value->number; break;
    case VTERM_PROP_CURSORVISIBLE: screen->cursor_visible = value->boolean; break;
    default: break;
    }
    return 1;
}

int on_cursor_move(VTermPos position, VTermPos, int, void* user) {
    auto* screen = static_cast<VtermScreen*>(user);
    if (screen->cursor_top < 0 || position.row < screen->cursor_top) screen->cursor_top = position.row;
    if (position.row > screen->cursor_bottom) screen->cursor_bottom = position.row;
    return 1;
}

void on_reply(const char* bytes, size_t length, void* user) {
    static_cast<VtermScreen*>(user)->replies.append(bytes, length);
}

int on_osc(const char* command, size_t length, void* user) {
    static_cast<VtermScreen*>(user)->osc.emplace_back(command, length);
    return 1;
}

const VTermScreenCallbacks SCREEN_CALLBACKS = {
    .damage = nullptr, .moverect = nullptr, .movecursor = on_cursor_move, .settermprop = on_termprop,
    .bell = nullptr, .resize = nullptr, .sb_pushline = nullptr, .sb_popline = nullptr,
};

const VTermParserCallbacks FALLBACKS = {
    .text = nullptr, .control = nullptr, .escape = nullptr, .csi = nullptr, .osc = on_osc, .dcs = nullptr,
    .resize = nullptr,
};

int colour_index(const VTermColor& colour, bool foreground, uint32_t& rgb) {
    if (foreground ? VTERM_COLOR_IS_DEFAULT_FG(&colour) : VTERM_COLOR_IS_DEFAULT_BG(&colour)) return -1;
    if (VTERM_COLOR_IS_INDEXED(&colour)) return colour.indexed.idx;
    rgb = uint32_t(colour.rgb.red) << 16 | uint32_t(colour.rgb.green) << 8 | colour.rgb.blue;
    return -2;
}

}  // namespace

VtermScreen::VtermScreen(int rows, int columns) : vt_(vterm_new(rows, columns)) {
    vterm_set_utf8(vt_, 1);
    vterm_output_set_callback(vt_, on_reply, this);
    VTermScreen* screen = vterm_obtain_screen(vt_);
    vterm_screen_set_callbacks(screen, &SCREEN_CALLBACKS, this);
    vterm_screen_set_unrecognised_fallbacks(screen, &FALLBACKS, this);
    vterm_screen_enable_altscreen(screen, 1);
    vterm_screen_reset(screen, 1);
}

VtermScreen::~VtermScreen() { vterm_free(vt_); }

void VtermScreen::feed(std::string_view bytes) { vterm_input_write(vt_, bytes.data(), bytes.size()); }

void VtermScreen::resize(int rows, int columns) { vterm_set_size(vt_, rows, columns); }

void VtermScreen::forget_events() {
    title_set = false;
    osc.clear();
    cursor_top = cursor_bottom = -1;
}

VtermScreen::Cell VtermScreen::cell(int row, int column) const {
    VTermScreenCell raw{};
    vterm_screen_get_cell(vterm_obtain_screen(vt_), VTermPos{row, column}, &raw);
    Cell cell{};
    for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && raw.chars[i] != 0; ++i) cell.text += char32_t(raw.chars[i]);
    cell.width = raw.width;
    cell.bold = raw.attrs.bold;
    cell.reverse = raw.attrs.reverse;
    cell.underline = raw.attrs.underline != 0;
    cell.italic = raw.attrs.italic;
    cell.strike = raw.attrs.strike;
    cell.foreground = colour_index(raw.fg, true, cell.foreground_rgb);
    cell.background = colour_index(raw.bg, false, cell.background_rgb);
    return cell;
}

std::string VtermScreen::row(int row, int columns) const {
    int rows = 0, all = 0;
    vterm_get_size(vt_, &rows, &all);
    if (columns < 0 || columns > all) columns = all;
    std::string text;
    for (int column = 0; column < columns;) {
        Cell shown = cell(row, column);
        if (shown.text.empty()) text += ' ';
        for (char32_t code : shown.text) {
            uint8_t bytes[4];
            text.append(reinterpret_cast<const char*>(bytes), size_t(unicode::encode_utf8_char(code, bytes)));
        }
        column += shown.width > 0 ? shown.width : 1;
    }
    return text;
}

int VtermScreen::cursor_row() const {
    VTermPos position{};
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &position);
    return position.row;
}

int VtermScreen::cursor_column() const {
    VTermPos position{};
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &position);
    return position.col;
}

}  // namespace vek::test
