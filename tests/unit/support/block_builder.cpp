#include "tests/unit/support/block_builder.h"

#include <cctype>
#include <cstring>
#include <stdexcept>

#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/manager.h"
#include "runtime/tables/hash_table.h"

namespace vek::test {

namespace {

struct Reader {
    const char* at;
};

bool delimiter(char c) { return c == '\0' || std::isspace(uint8_t(c)) || std::strchr("[]()\"", c); }

// Skips blanks; answers whether a line break was among them.
bool skip_blanks(Reader& r) {
    bool line_break = false;
    while (*r.at && std::isspace(uint8_t(*r.at))) line_break |= *r.at++ == '\n';
    return line_break;
}

Cell word_cell(const std::string& name, uint32_t type) {
    Cell cell{TYPE_WORD, 0, 0, 0};
    word::make_at(symbol::make(name.c_str()), &cell);
    return *set_type(&cell, type);
}

Cell step_cell(const std::string& step) {
    if (!step.empty() && (std::isdigit(uint8_t(step[0])) || step[0] == '-')) {
        Cell cell{TYPE_INTEGER, 0, 0, 0};
        return *integer::make_at(&cell, std::stoi(step));
    }
    return word_cell(step, TYPE_WORD);
}

Cell path_cell(std::string token) {
    uint32_t type = TYPE_PATH;
    if (token[0] == '\'') type = TYPE_LIT_PATH;
    if (token[0] == ':') type = TYPE_GET_PATH;
    if (type != TYPE_PATH) token.erase(0, 1);
    if (token.back() == ':') {
        type = TYPE_SET_PATH;
        token.pop_back();
    }
    Cell path{TYPE_UNSET, 0, 0, 0};
    block::make_at(&path, 4);
    size_t start = 0;
    for (size_t slash; (slash = token.find('/', start)) != std::string::npos; start = slash + 1) {
        Cell step = step_cell(token.substr(start, slash - start));
        block::rs_append(&path, &step);
    }
    Cell step = step_cell(token.substr(start));
    block::rs_append(&path, &step);
    return *set_type(&path, type);
}

Cell token_cell(const std::string& token) {
    if (token.find('/', 1) != std::string::npos) return path_cell(token);
    if (std::isdigit(uint8_t(token[0])) || (token[0] == '-' && token.size() > 1 && std::isdigit(uint8_t(token[1]))))
        return step_cell(token);
    if (token.back() == ':') return word_cell(token.substr(0, token.size() - 1), TYPE_SET_WORD);
    switch (token[0]) {
    case '\'': return word_cell(token.substr(1), TYPE_LIT_WORD);
    case ':': return word_cell(token.substr(1), TYPE_GET_WORD);
    case '/': return word_cell(token.substr(1), TYPE_REFINEMENT);
    case '#': return word_cell(token.substr(1), TYPE_ISSUE);
    default: return word_cell(token, TYPE_WORD);
    }
}

Cell read_block(Reader& r, char close, uint32_t type);

Cell read_value(Reader& r) {
    char c = *r.at;
    if (c == '[') return ++r.at, read_block(r, ']', TYPE_BLOCK);
    if (c == '(') return ++r.at, read_block(r, ')', TYPE_PAREN);
    if (c == '"') {
        const char* end = std::strchr(++r.at, '"');
        if (!end) throw std::invalid_argument("unclosed string");
        Cell cell{TYPE_UNSET, 0, 0, 0};
        string::load(reinterpret_cast<const uint8_t*>(r.at), uint32_t(end - r.at), &cell, string::Encoding::utf8);
        r.at = end + 1;
        return cell;
    }
    const char* start = r.at;
    while (!delimiter(*r.at)) r.at++;
    if (r.at == start) throw std::invalid_argument(std::string("unexpected ") + c);
    return token_cell(std::string(start, r.at));
}

Cell read_block(Reader& r, char close, uint32_t type) {
    Cell block{TYPE_UNSET, 0, 0, 0};
    block::make_at(&block, 4);
    for (;;) {
        bool line_break = skip_blanks(r);
        if (*r.at == close) break;
        if (*r.at == '\0') throw std::invalid_argument("unclosed block");
        Cell value = read_value(r);
        if (line_break) value.header |= CELL_NEW_LINE;
        block::rs_append(&block, &value);
    }
    if (close) r.at++;
    return *set_type(&block, type);
}

}  // namespace

Cell block_of(const char* text) {
    Reader r{text};
    return read_block(r, '\0', TYPE_BLOCK);
}

Cell block_of(std::initializer_list<Cell> cells, uint32_t type) {
    Cell block{type, 0, uint32_t(memory::alloc_cells(uint32_t(cells.size()))), 0};
    for (const Cell& cell : cells) *block::alloc_tail(&block) = cell;
    return block;
}

Cell hash_of(const char* text) {
    Cell block = block_of(text);
    Node table = hash_table::make(block::length_from_head(&block), &block, hash_table::KIND_VALUES, 0);
    set_type(&block, TYPE_HASH);
    block::set_hash_table(&block, table);
    return block;
}

Cell first_of(const char* text) {
    Cell block = block_of(text);
    return *block::rs_abs_at(&block, 0);
}

Cell nested_block(uint32_t depth) {
    Cell outer = block_of("");
    for (uint32_t i = 0; i < depth; i++) {
        Cell inner = outer;
        outer = block_of("");
        block::rs_append(&outer, &inner);
    }
    return outer;
}

std::string text_of(const Cell* string) {
    std::string out;
    for (uint32_t i = 0; i < string::buffer_length(string); i++) out += char(string::rs_abs_at(string, i));
    return out;
}

}  // namespace vek::test
