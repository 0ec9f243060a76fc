#include "runtime/natives/boot_table.h"

#include <cstring>

#include "runtime/core/datatype.h"
#include "runtime/datatypes/callable/action.h"
#include "runtime/datatypes/callable/native.h"
#include "runtime/datatypes/callable/op.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/eval/stack.h"
#include "runtime/lexer/lexer.h"
#include "runtime/memory/series.h"

namespace vek::boot_table {

// Argument types are given where a native checks them or an action's entry
// reads the argument as an integer; an argument without a type block takes
// any value but unset!.
const std::array<NativeEntry, natives::NATIVE_COUNT> native_entries = {{
    {"if", "cond [any-type!] then-blk [block!]"},
    {"unless", "cond [any-type!] then-blk [block!]"},
    {"either", "cond [any-type!] true-blk [block!] false-blk [block!]"},
    {"any", "conds [block!]"},
    {"all", "conds [block!]"},
    {"while", "cond [block!] body [block!]"},
    {"until", "body [block!]"},
    {"loop", "count [integer! float!] body [block!]"},
    {"repeat", "'word [word!] value [integer! float!] body [block!]"},
    {"forever", "body [block!]"},
    {"foreach", "'word [word! block!] series [series! map!] body [block!]"},
    {"forall", "'word [word!] body [block!]"},
    {"remove-each", "'word [word! block!] data [series!] body [block!]"},
    {"func", "spec [block!] body [block!]"},
    {"function", "spec [block!] body [block!] /extern"},
    {"does", "body [block!]"},
    {"has", "vars [block!] body [block!]"},
    {"switch", "value [any-type!] cases [block!] /default case [block!]"},
    {"case", "cases [block!] /all"},
    {"do", "value [any-type!] /expand /args arg /next position [word!] /trace callback [function!]"},
    {"get", "word [any-word! any-path! object!] /any /case"},
    {"set", "word [any-word! block! object! any-path!] value [any-type!] /any /case /only /some"},
    {"print", "value [any-type!]"},
    {"prin", "value [any-type!]"},
    {"equal?", "value1 [any-type!] value2 [any-type!]"},
    {"not-equal?", "value1 [any-type!] value2 [any-type!]"},
    {"strict-equal?", "value1 [any-type!] value2 [any-type!]"},
    {"lesser?", "value1 [any-type!] value2 [any-type!]"},
    {"greater?", "value1 [any-type!] value2 [any-type!]"},
    {"lesser-or-equal?", "value1 [any-type!] value2 [any-type!]"},
    {"greater-or-equal?", "value1 [any-type!] value2 [any-type!]"},
    {"same?", "value1 [any-type!] value2 [any-type!]"},
    {"not", "value [any-type!]"},
    {"type?", "value [any-type!] /word"},
    {"reduce", "value [any-type!] /into out [any-block!]"},
    {"compose", "value [block!] /deep /only /into out [any-block!]"},
    {"stats", "/show /info"},
    {"bind", "word [block! any-word!] context [any-word! any-object! function!] /copy"},
    {"in", "object [any-object! any-function!] word [any-word! refinement!]"},
    {"parse", "input [binary! any-block! any-string!] rules [block!] /case /part length [number! series!] /trace callback [function!]"},
    {"union", "set1 [block! hash! string! bitset! typeset!] set2 [block! hash! string! bitset! typeset!] /case /skip size [integer!]"},
    {"intersect", "set1 [block! hash! string! bitset! typeset!] set2 [block! hash! string! bitset! typeset!] /case /skip size [integer!]"},
    {"unique", "set [block! hash! string!] /case /skip size [integer!]"},
    {"difference", "set1 [block! hash! string! bitset! typeset! date!] set2 [block! hash! string! bitset! typeset! date!] /case /skip size [integer!]"},
    {"exclude", "set1 [block! hash! string! bitset! typeset!] set2 [block! hash! string! bitset! typeset!] /case /skip size [integer!]"},
    {"complement?", "bits [bitset!]"},
    {"dehex", "value [any-string!]"},
    {"enhex", "value [any-string!]"},
    {"negative?", "number"},
    {"positive?", "number"},
    {"max", "value1 value2"},
    {"min", "value1 value2"},
    {"shift", "data bits /left /logical"},
    {"to-hex", "value /size length"},
    {"sine", "angle /radians"},
    {"cosine", "angle /radians"},
    {"tangent", "angle /radians"},
    {"arcsine", "sine /radians"},
    {"arccosine", "cosine /radians"},
    {"arctangent", "tangent /radians"},
    {"arctangent2", "y x /radians"},
    {"NaN?", "value"},
    {"log-2", "value"},
    {"log-10", "value"},
    {"log-e", "value"},
    {"exp", "value"},
    {"square-root", "value"},
    {"construct", "block /with object /only"},
    {"value?", "value [any-type!]"},
    {"try", "block [block!] /all /keep"},
    {"uppercase", "string /part limit"},
    {"lowercase", "string /part limit"},
    {"as-pair", "x y"},
    {"as-point2D", "x y"},
    {"as-point3D", "x y z"},
    {"as-money", "currency amount"},
    {"break", "/return value [any-type!]"},
    {"continue", ""},
    {"exit", ""},
    {"return", "value [any-type!]"},
    {"throw", "value [any-type!] /name word [word!]"},
    {"catch", "block [block!] /name word [word! block!]"},
    {"extend", "obj [object! map!] spec [block! hash! map!] /case"},
    {"debase", "value [any-string!] /base base-value [integer!]"},
    {"to-local-file", "path [file! string!] /full"},
    {"wait", "value [number! time! block! none!] /all"},
    {"checksum", "data [binary! string! file!] method [word!] /with spec [any-string! binary! integer!]"},
    {"unset", "word [word! block!]"},
    {"new-line", "position [any-list!] value [logic!] /all /skip size [integer!]"},
    {"new-line?", "position [any-list!]"},
    {"enbase", "value [binary! string!] /base base-value [integer!]"},
    {"context?", "word [any-word!]"},
    {"set-env", "var [any-string! any-word!] value [string! none!]"},
    {"get-env", "var [any-string! any-word!]"},
    {"list-env", ""},
    {"now", "/year /month /day /time /zone /date /weekday /yearday /precise /utc"},
    {"sign?", "number"},
    {"as", "type [datatype! block! paren! any-path! any-string!] spec [block! paren! any-path! any-string!]"},
    {"call", "cmd [string! file!] /wait /show /console /shell /input in [string! file! binary!] /output out [string! file! binary!] /error err [string! file! binary!]"},
    {"zero?", "value"},
    {"size?", "file"},
    {"browse", "url [url! file!]"},
    {"compress", "data [any-string! binary!] method [word!]"},
    {"decompress", "data [binary!] method [word!] /size sz [integer!]"},
    {"recycle", "/on /off"},
    {"transcode", "src [binary! string!] /next /one /prescan /scan /part length [integer! binary!] /into dst [block!] /trace callback [function! routine!]"},
    {"apply", "func [word! path! any-function!] args [block!] /all /safer"},
}};

const std::array<ActionEntry, ACTION_WORDS> action_entries = {{
    {"make", 1, "type spec"},
    {"random", 2, "value /seed /secure /only"},
    {"reflect", 3, "value field"},
    {"to", 4, "type spec"},
    {"form", 5, "value /part limit [integer!]"},
    {"mold", 6, "value /only /all /flat /part limit [integer!]"},
    {"absolute", 10, "value"},
    {"add", 11, "value1 value2"},
    {"divide", 12, "value1 value2"},
    {"multiply", 13, "value1 value2"},
    {"negate", 14, "number"},
    {"power", 15, "number exponent"},
    {"remainder", 16, "value1 value2"},
    {"round", 17, "n /to scale /even /down /half-down /floor /ceiling /half-ceiling"},
    {"subtract", 18, "value1 value2"},
    {"even?", 19, "number"},
    {"odd?", 20, "number"},
    {"and~", 21, "value1 value2"},
    {"complement", 22, "value"},
    {"or~", 23, "value1 value2"},
    {"xor~", 24, "value1 value2"},
    {"append", 25, "series value /part length /only /dup count [integer!]"},
    {"at", 26, "series index"},
    {"back", 27, "series"},
    {"change", 28, "series value /part range /only /dup count [integer!]"},
    {"clear", 29, "series"},
    {"copy", 30, "value /part length /deep /types kind"},
    {"find", 31, "series value /part length /only /case /same /any /with wild /skip size /last /reverse /tail /match"},
    {"head", 32, "series"},
    {"head?", 33, "series"},
    {"index?", 34, "series"},
    {"insert", 35, "series value /part length /only /dup count [integer!]"},
    {"length?", 36, "series"},
    {"move", 37, "origin target /part length"},
    {"next", 38, "series"},
    {"pick", 39, "series index"},
    {"poke", 40, "series index value"},
    {"put", 41, "series key value /case"},
    {"remove", 42, "series /part length /key key-arg"},
    {"reverse", 43, "series /part length /skip size"},
    {"select", 44, "series value /part length /only /case /same /any /with wild /skip size /last /reverse"},
    {"sort", 45, "series /case /skip size /compare comparator /part length /all /reverse /stable"},
    {"skip", 46, "series offset"},
    {"swap", 47, "series1 series2"},
    {"tail", 48, "series"},
    {"tail?", 49, "series"},
    {"take", 50, "series /part length /deep /last"},
    {"trim", 51, "series /head /tail /auto /lines /all /with str"},
    {"create", 52, "port"},
    {"close", 53, "port"},
    {"delete", 54, "file"},
    {"modify", 55, "target field value /case"},
    {"open", 56, "port /new /read /write /seek /allow access"},
    {"open?", 57, "port"},
    {"query", 58, "target"},
    {"read", 59, "source /part length /seek index /binary /lines /info /as encoding"},
    {"rename", 60, "from to"},
    {"update", 61, "port"},
    {"write", 62, "destination data /binary /lines /info /append /part length /seek index /allow access /as encoding"},
}};

// The internal symbol!, context! and triple! have no word; series! is a
// typeset word.
const std::array<DatatypeEntry, DATATYPE_WORDS> datatype_entries = {{
    {"unset!", TYPE_UNSET}, {"none!", TYPE_NONE}, {"logic!", TYPE_LOGIC},
    {"block!", TYPE_BLOCK}, {"paren!", TYPE_PAREN}, {"string!", TYPE_STRING},
    {"file!", TYPE_FILE}, {"url!", TYPE_URL}, {"char!", TYPE_CHAR},
    {"integer!", TYPE_INTEGER}, {"float!", TYPE_FLOAT}, {"word!", TYPE_WORD},
    {"set-word!", TYPE_SET_WORD}, {"lit-word!", TYPE_LIT_WORD}, {"get-word!", TYPE_GET_WORD},
    {"refinement!", TYPE_REFINEMENT}, {"issue!", TYPE_ISSUE}, {"native!", TYPE_NATIVE},
    {"action!", TYPE_ACTION}, {"op!", TYPE_OP}, {"function!", TYPE_FUNCTION},
    {"path!", TYPE_PATH}, {"lit-path!", TYPE_LIT_PATH}, {"set-path!", TYPE_SET_PATH},
    {"get-path!", TYPE_GET_PATH}, {"routine!", TYPE_ROUTINE}, {"bitset!", TYPE_BITSET},
    {"object!", TYPE_OBJECT}, {"typeset!", TYPE_TYPESET}, {"error!", TYPE_ERROR},
    {"vector!", TYPE_VECTOR}, {"hash!", TYPE_HASH}, {"pair!", TYPE_PAIR},
    {"percent!", TYPE_PERCENT}, {"tuple!", TYPE_TUPLE}, {"map!", TYPE_MAP},
    {"binary!", TYPE_BINARY}, {"time!", TYPE_TIME}, {"tag!", TYPE_TAG},
    {"email!", TYPE_EMAIL}, {"handle!", TYPE_HANDLE}, {"date!", TYPE_DATE},
    {"port!", TYPE_PORT}, {"money!", TYPE_MONEY}, {"ref!", TYPE_REF},
    {"point2D!", TYPE_POINT2D}, {"point3D!", TYPE_POINT3D}, {"image!", TYPE_IMAGE},
    {"event!", TYPE_EVENT}, {"triple!", TYPE_TRIPLE},
}};

const std::array<TypesetEntry, TYPESETS> typeset_entries = {{
    {"internal!", "unset!"},
    {"external!", "event!"},
    {"number!", "integer! float! percent!"},
    {"planar!", "pair! point2D!"},
    {"any-point!", "point2D! point3D!"},
    {"scalar!", "number! any-point! money! char! pair! tuple! time! date!"},
    {"any-word!", "word! set-word! lit-word! get-word!"},
    {"all-word!", "any-word! refinement! issue!"},
    {"any-list!", "block! paren! hash!"},
    {"any-path!", "path! lit-path! set-path! get-path!"},
    {"any-block!", "any-path! any-list!"},
    {"any-function!", "native! action! op! function! routine!"},
    {"any-object!", "object! error! port!"},
    {"any-string!", "string! file! url! tag! email! ref!"},
    {"series!", "binary! image! vector! any-block! any-string!"},
    {"immediate!", "scalar! all-word! none! logic! datatype! typeset! handle! date!"},
    {"default!", "series! immediate! any-object! external! any-function! map! bitset!"},
    {"any-type!", "default! internal!"},
}};

const std::array<OperatorEntry, OPERATORS> operator_entries = {{
    {"+", "add"}, {"-", "subtract"}, {"*", "multiply"}, {"/", "divide"},
    {"%", "remainder"}, {"=", "equal?"}, {"<>", "not-equal?"}, {"==", "strict-equal?"},
    {"=?", "same?"}, {"<", "lesser?"}, {">", "greater?"}, {"<=", "lesser-or-equal?"},
    {">=", "greater-or-equal?"}, {"**", "power"}, {"and", "and~"}, {"or", "or~"},
    {"xor", "xor~"},
}};

namespace {

void bind_global(const char* name, const Cell* value) {
    context::set_global(symbol::make(name), value);
}

// The text loaded as a block! into out.
Cell* load(const char* text, Cell* out) {
    auto bytes = reinterpret_cast<const uint8_t*>(text);
    lexer::scan(out, bytes, uint32_t(std::strlen(text)), {.wrap = true}, nullptr, nullptr, nullptr);
    return out;
}

// Every word is bound, its module registered or not, so that the specs'
// type blocks can name any datatype; the registry learns the names of those
// not registered yet, so that their datatype! values form and mold.
void bind_datatypes() {
    Cell value{TYPE_DATATYPE, TYPE_DATATYPE, 0, 0};
    bind_global("datatype!", &value);
    for (const DatatypeEntry& entry : datatype_entries) {
        uint32_t symbol = symbol::make(entry.name);
        datatype::NameEntry& known = datatype::name_table[entry.id];
        if (known.name == nullptr)
            known = {entry.name, uint32_t(std::strlen(entry.name) - 1), symbol};
        value.data1 = entry.id;
        context::set_global(symbol, &value);
    }
}

void bind_constants() {
    bind_global("none", &none::constant);
    bind_global("true", logic::constant(true));
    bind_global("false", logic::constant(false));
}

void bind_typesets() {
    for (const TypesetEntry& entry : typeset_entries) {
        Cell members;
        load(entry.members, &members);
        Cell set{TYPE_TYPESET, 0, 0, 0};
        typeset::clear(&set);
        uint32_t count = series_buffer(&members)->length();
        for (uint32_t i = 0; i < count; i++) typeset::add(&set, series_buffer(&members)->cells() + i);
        bind_global(entry.name, &set);
    }
}

void bind_natives() {
    for (uint32_t i = 0; i < natives::NATIVE_COUNT; i++) {
        Cell spec;
        Cell* value = native::push(load(native_entries[i].spec, &spec), i + 1);
        bind_global(native_entries[i].name, value);
        stack::pop(1);
    }
}

void bind_actions() {
    for (const ActionEntry& entry : action_entries) {
        Cell spec;
        Cell* value = action::push(load(entry.spec, &spec), entry.slot);
        bind_global(entry.name, value);
        stack::pop(1);
    }
}

void bind_operators() {
    for (const OperatorEntry& entry : operator_entries) {
        Cell source = *context::get_global_cell(symbol::make(entry.source));
        Cell* value = op::push(&source);
        bind_global(entry.name, value);
        stack::pop(1);
    }
}

}  // namespace

void init() {
    bind_datatypes();
    bind_constants();
    bind_typesets();
    bind_natives();
    bind_actions();
    bind_operators();
}

}  // namespace vek::boot_table
