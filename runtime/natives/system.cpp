#include "runtime/natives/system.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/os.h"
#include "platform/process.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/sockets.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/compound/date.h"
#include "runtime/datatypes/container/map.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/number/time.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/file_path.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/gc/collector.h"
#include "runtime/memory/manager.h"
#include "runtime/natives/helpers.h"
#include "runtime/natives/natives.h"
#include "runtime/natives/output.h"
#include "runtime/text/unicode.h"

namespace vek::natives {

namespace {

// ---------------------------------------------------------------- text for the system

// The UTF-8 text of a string from its index, or of a word's name. Text
// holding U+0000 raises script invalid-arg with the value: the system would
// read it cut short, as another name or value.
std::string system_text(const Cell* value) {
    Cell* mark = stack::top;
    Cell* text = is_any_word(cell_type(value)) ? word::push_name_string(value) : stack::push(value);
    if (string::find_char(text, 0) >= 0) fire(err::script::invalid_arg, value);
    int32_t length = -1;
    const uint8_t* bytes = unicode::to_utf8_cstring(text, &length);
    std::string result(reinterpret_cast<const char*>(bytes), size_t(length));
    stack::top = mark;
    return result;
}

// A new string! of the system's UTF-8 text, pushed.
Cell* push_system_text(const std::string& text) {
    return string::load_utf8_strict(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()));
}

// ---------------------------------------------------------------- now

enum NowRefinement { YEAR, MONTH, DAY, TIME, ZONE, DATE, WEEKDAY, YEARDAY, PRECISE, UTC };

// Each refinement but /utc asks for one answer; /precise also goes with
// /time, which it refines.
void check_now_refinements(const int32_t* refinements) {
    int given = 0;
    for (int i = YEAR; i <= PRECISE; i++) given += present(refinements, i);
    bool precise_time = given == 2 && present(refinements, TIME) && present(refinements, PRECISE);
    if (given > 1 && !precise_time) fire(err::script::bad_refines);
}

// The stored seconds of a date at the UTC time of day: the local time of
// day (stored plus the zone's offset) falls in the day of the packed date,
// which the platform gave from the same clock reading.
double stored_seconds(double utc_seconds, uint32_t packed) {
    double local = utc_seconds + date::zone_seconds(packed);
    if (local >= time::SECONDS_PER_DAY) return utc_seconds - time::SECONDS_PER_DAY;
    if (local < 0.0) return utc_seconds + time::SECONDS_PER_DAY;
    return utc_seconds;
}

// The current date with its time and zone (zone 0 under utc), from one
// reading of the clock.
Cell current_date(bool utc, bool precise) {
    platform::ClockReading reading = platform::read_clock();
    uint32_t packed = platform::date_packed(utc, reading) | date::TIME_FLAG;
    double seconds = stored_seconds(platform::utc_time_of_day(precise, reading), packed);
    return date::cell(packed, seconds);
}

// The date's field that the refinement asks for, or the whole date, in the
// result cell.
void now_field(const Cell* date, const int32_t* refinements) {
    static constexpr struct {
        NowRefinement refinement;
        int32_t field;
    } fields[] = {
        {YEAR, date::FIELD_YEAR}, {MONTH, date::FIELD_MONTH},     {DAY, date::FIELD_DAY},
        {ZONE, date::FIELD_ZONE}, {TIME, date::FIELD_TIME},       {DATE, date::FIELD_DATE},
        {WEEKDAY, date::FIELD_WEEKDAY}, {YEARDAY, date::FIELD_YEARDAY},
    };
    for (const auto& entry : fields) {
        if (present(refinements, entry.refinement)) {
            date::field_at(stack::arguments, date, entry.field);
            return;
        }
    }
    copy_cell(date, stack::arguments);
}

// ---------------------------------------------------------------- as

enum class SeriesClass { none, block, string };

SeriesClass series_class(uint32_t type) {
    if (type == TYPE_BLOCK || type == TYPE_PAREN || is_any_path(type)) return SeriesClass::block;
    if (is_any_string(type)) return SeriesClass::string;
    return SeriesClass::none;
}

}  // namespace

// ---------------------------------------------------------------- maps and objects

Pending extend(bool check, const int32_t* refinements) {
    Cell* args = stack::arguments;
    if (check) {
        check_arg(0, type_bit(TYPE_OBJECT) | type_bit(TYPE_MAP));
        check_arg(1, type_bit(TYPE_BLOCK) | type_bit(TYPE_HASH) | type_bit(TYPE_MAP));
    }
    if (cell_type(args) != TYPE_MAP) fire(err::internal::not_done);
    map::extend(args, args + 1, present(refinements, 0));
    return Pending::none;
}

Pending context_q(bool check, const int32_t*) {
    Cell* args = stack::arguments;
    if (check) check_arg(0, ALL_WORD_TYPES);
    Node context = word::context(args);
    if (context == Node::none) fire(err::script::not_defined, args);
    copy_cell(context::owner_of(context), args);
    return Pending::none;
}

// ---------------------------------------------------------------- files and the browser

Pending to_local_file(bool check, const int32_t* refinements) {
    Cell* args = stack::arguments;
    if (check) check_arg(0, type_bit(TYPE_FILE) | type_bit(TYPE_STRING));
    Cell* local = string::rs_make_at(stack::push_cell(), string::rs_length(args));
    file::to_local_path(args, local, present(refinements, 0));
    copy_cell(local, args);
    return Pending::none;
}

// Hands the target to the desktop's opener. Without one (no desktop, the
// program not installed) nothing happens, as when no browser is set.
Pending browse(bool check, const int32_t*) {
    Cell* args = stack::arguments;
    if (check) check_arg(0, type_bit(TYPE_URL) | type_bit(TYPE_FILE));
    std::string target = cell_type(args) == TYPE_FILE ? std::string(file::to_os_path(args)) : system_text(args);
    platform::spawn_detached("xdg-open", {"xdg-open", target});
    make_unset(args);
    return Pending::none;
}

// ---------------------------------------------------------------- time

Pending wait(bool check, const int32_t*) {
    Cell* args = stack::arguments;
    if (check) check_arg(0, INTEGER_FLOAT_TYPES | type_bit(TYPE_TIME) | type_bit(TYPE_BLOCK) | type_bit(TYPE_NONE));
    double seconds;
    switch (cell_type(args)) {
    case TYPE_INTEGER: seconds = integer::get(args); break;
    case TYPE_FLOAT: seconds = cell_get_f64(args); break;
    case TYPE_TIME: seconds = time::get(args); break;
    default: fire(err::script::invalid_arg, args);
    }
    platform::wait(seconds);
    sockets::wait_pass();
    none::box();
    return Pending::none;
}

Pending now(bool, const int32_t* refinements) {
    check_now_refinements(refinements);
    Cell date = current_date(present(refinements, UTC), present(refinements, PRECISE));
    now_field(&date, refinements);
    return Pending::none;
}

// ---------------------------------------------------------------- the environment

Pending set_env(bool check, const int32_t*) {
    Cell* args = stack::arguments;
    if (check) {
        check_arg(0, ANY_STRING_TYPES | ALL_WORD_TYPES);
        check_arg(1, type_bit(TYPE_STRING) | type_bit(TYPE_NONE));
    }
    std::string name = system_text(args);
    bool removing = cell_type(args + 1) == TYPE_NONE;
    std::string value = removing ? std::string() : system_text(args + 1);
    // An empty name or one holding "=" names no variable.
    if (!platform::set_env(name.c_str(), removing ? nullptr : value.c_str())) fire(err::script::invalid_arg, args);
    copy_cell(args + 1, args);
    return Pending::none;
}

Pending get_env(bool check, const int32_t*) {
    Cell* args = stack::arguments;
    if (check) check_arg(0, ANY_STRING_TYPES | ALL_WORD_TYPES);
    std::string name = system_text(args);
    // A name holding "=" would match the tail of another variable's entry.
    std::optional<std::string> value;
    if (name.find('=') == std::string::npos) value = platform::get_env(name.c_str());
    if (!value) {
        none::box();
        return Pending::none;
    }
    copy_cell(push_system_text(*value), args);
    return Pending::none;
}

Pending list_env(bool, const int32_t*) {
    std::vector<std::pair<std::string, std::string>> variables = platform::list_env();
    Cell* pairs = block::push_only_star(int32_t(std::min<size_t>(variables.size() * 2, INT32_MAX)));
    for (const auto& [name, value] : variables) {
        Cell* mark = stack::top;
        block::rs_append(pairs, push_system_text(name));
        block::rs_append(pairs, push_system_text(value));
        stack::top = mark;
    }
    map::make_at(stack::arguments, pairs, uint32_t(variables.size()));
    return Pending::none;
}

// ---------------------------------------------------------------- series coercion

Pending as(bool check, const int32_t*) {
    Cell* args = stack::arguments;
    constexpr uint64_t SERIES_KINDS =
        type_bit(TYPE_BLOCK) | type_bit(TYPE_PAREN) | ANY_PATH_TYPES | ANY_STRING_TYPES;
    if (check) {
        check_arg(0, type_bit(TYPE_DATATYPE) | SERIES_KINDS);
        check_arg(1, SERIES_KINDS);
    }
    uint32_t target = cell_type(args) == TYPE_DATATYPE ? datatype::id(args) : cell_type(args);
    uint32_t source = cell_type(args + 1);
    SeriesClass kind = series_class(target);
    if (kind == SeriesClass::none || kind != series_class(source)) {
        Cell from = datatype::cell(source), to = datatype::cell(target);
        fire(err::script::not_same_class, &from, &to);
    }
    copy_cell(args + 1, args);
    set_type(args, target);
    return Pending::none;
}

// ---------------------------------------------------------------- the collector

Pending recycle(bool, const int32_t* refinements) {
    if (present(refinements, 0) || present(refinements, 1)) {
        memory::collector_enabled = present(refinements, 0);
        make_unset(stack::arguments);
        return Pending::none;
    }
    gc::collect();
    const int32_t no_refinements[] = {-1, -1};
    return stats(false, no_refinements);
}

}  // namespace vek::natives
