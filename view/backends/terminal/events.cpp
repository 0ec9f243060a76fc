#include "view/backends/terminal/events.h"

#include <cmath>
#include <vector>

#include "runtime/core/unwind.h"
#include "runtime/core/sockets.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/event.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"
#include "view/backends/terminal/faces.h"
#include "view/backends/terminal/loop.h"

namespace vek::view::backends::terminal {

namespace {

// Message ids: the slot in the low bits, the slot's generation above, as
// widget ids are made.
constexpr uint32_t SLOT_BITS = 20;
constexpr uint32_t SLOT_MASK = (1u << SLOT_BITS) - 1;
constexpr uint32_t GENERATION_MASK = 0xFFF;

// The event! flag bits that the value itself carries.
constexpr uint32_t CELL_FLAGS = 0xFFC00000;

struct Slot {
    uint32_t generation;
    WidgetId widget;
    InputEvent event;
};

struct Messages {
    std::vector<Slot> slots = std::vector<Slot>(1);  // slot 0 names none
    std::vector<uint32_t> free_slots;                // given back, the last one reused first
};
Messages messages;

bool awake_in_vek(const Cell* event);
AwakeFn awake = awake_in_vek;

uint32_t open_message(WidgetId widget, const InputEvent& event) {
    uint32_t slot;
    if (messages.free_slots.empty()) {
        messages.slots.emplace_back();
        slot = uint32_t(messages.slots.size() - 1);
    } else {
        slot = messages.free_slots.back();
        messages.free_slots.pop_back();
    }
    Slot& taken = messages.slots[slot];
    taken.generation = (taken.generation + 1) & GENERATION_MASK;
    taken.widget = widget;
    taken.event = event;
    return (taken.generation << SLOT_BITS) | slot;
}

void close_message(uint32_t message) { messages.free_slots.push_back(message & SLOT_MASK); }

Slot* find_slot(uint32_t message) {
    uint32_t slot = message & SLOT_MASK;
    if (slot == 0 || slot >= messages.slots.size()) return nullptr;
    Slot& found = messages.slots[slot];
    return found.generation == message >> SLOT_BITS ? &found : nullptr;
}

// The event! of a message: its type and the flags and character key that
// the value carries itself.
Cell event_value(uint32_t message, const InputEvent& event) {
    uint32_t bits = event.flags & CELL_FLAGS;
    if (!(event.flags & KEY_SPECIAL) && event.key > 0) bits |= uint32_t(event.key) & event::KEY_MASK;
    Cell value;
    event::make_backend_at(&value, event.type, message, bits);
    return value;
}

// ---------------------------------------------------------------- the view's dispatcher

struct SavedStacks {
    Cell* top;
    Cell* arguments;
    stack::CallFrame* frames;
};

bool find_awake(Cell* function) {
    const Cell* system = context::get_global_cell(symbol_of(Word::SYSTEM));
    const Cell* view = system ? field(system, Word::VIEW) : nullptr;
    const Cell* found = view ? field(view, Word::AWAKE) : nullptr;
    if (!found || cell_type(found) != TYPE_FUNCTION) return false;
    *function = *found;
    return true;
}

// system/view/awake with the event, in a catch-all frame: whatever leaves
// an actor ends this dispatch alone, and the stacks are put back as they
// were.
bool awake_in_vek(const Cell* event) {
    Cell function;
    if (!find_awake(&function)) return false;
    Cell name;
    word::make_at(symbol_of(Word::AWAKE), &name);
    SavedStacks saved{stack::top, stack::arguments, stack::frames_top};
    bool done = false;
    try {
        stack::mark_try_all(&name);
        eval::push_callback_call(&function, &name, event, 1);
        eval::raise_pending(eval::call_function(&function, &name, eval::CALL_EVALUATOR));
        done = is_word(stack::arguments, Word::DONE);
    } catch (const VekThrow&) {
        sysrec.thrown_code = 0;
    }
    stack::set_frames_top(saved.frames);
    stack::arguments = saved.arguments;
    stack::top = saved.top;
    return done;
}

// ---------------------------------------------------------------- fields

constexpr Word SPECIAL_KEY_WORDS[] = {
    Word::UP,     Word::DOWN,    Word::RIGHT,   Word::LEFT,      Word::END,
    Word::HOME,   Word::INSERT,  Word::DELETE,  Word::PAGE_UP,   Word::PAGE_DOWN,
};
constexpr Word FUNCTION_KEY_WORDS[] = {
    Word::F1, Word::F2, Word::F3, Word::F4, Word::F5, Word::F6,
    Word::F7, Word::F8, Word::F9, Word::F10, Word::F11, Word::F12,
};

// The word of a special key's code; none for a code that names no key.
Cell* special_key(int32_t code, Cell* out) {
    int32_t arrow = KEY_UP - code;
    int32_t function_key = KEY_F1 - code;
    if (arrow >= 0 && arrow < int32_t(std::size(SPECIAL_KEY_WORDS)))
        return word::make_at(symbol_of(SPECIAL_KEY_WORDS[arrow]), out);
    if (function_key >= 0 && function_key < int32_t(std::size(FUNCTION_KEY_WORDS)))
        return word::make_at(symbol_of(FUNCTION_KEY_WORDS[function_key]), out);
    *out = blank_cell(TYPE_NONE);
    return out;
}

Cell* key_field(const InputEvent& event, Cell* out) {
    if (event.flags & KEY_SPECIAL) return special_key(event.key, out);
    *out = event.key > 0 ? char_::cell(uint32_t(event.key)) : blank_cell(TYPE_NONE);
    return out;
}

}  // namespace

AwakeFn set_awake(AwakeFn replacement) {
    AwakeFn old = awake;
    awake = replacement;
    return old;
}

bool send_widget_event(WidgetId id, const InputEvent& event) {
    Widget* widget = find_widget(id);
    if (!widget || (widget->flags & WIDGET_DISABLED)) return false;
    bool key = event.type == EVENT_KEY || event.type == EVENT_KEY_DOWN;
    if (widget->on_event && !key) {
        widget->on_event(*widget, event);
        widget = find_widget(id);
        if (!widget) return false;
    }
    if (cell_type(&widget->face) != TYPE_OBJECT) return false;
    uint32_t message = open_message(id, event);
    Cell value = event_value(message, event);
    bool done = awake(&value);
    close_message(message);
    return done;
}

const InputEvent* find_message(uint32_t message) {
    Slot* slot = find_slot(message);
    return slot ? &slot->event : nullptr;
}

WidgetId message_widget(uint32_t message) {
    Slot* slot = find_slot(message);
    return slot ? slot->widget : 0;
}

void forget_widget_messages(WidgetId id) {
    for (Slot& slot : messages.slots)
        if (slot.widget == id) slot.widget = 0;
}

void retire_messages() {
    for (uint32_t slot : messages.free_slots)
        messages.slots[slot].generation = (messages.slots[slot].generation + 1) & GENERATION_MASK;
}

Cell* event_field(uint32_t message, uint32_t field, Cell* out) {
    Slot* slot = find_slot(message);
    *out = blank_cell(TYPE_NONE);
    if (!slot) return out;
    const InputEvent& event = slot->event;
    switch (event::Field(field)) {
    case event::Field::face:
        if (Widget* widget = find_widget(slot->widget)) *out = widget->face;
        return out;
    case event::Field::offset:
        return pair::make_at(out, int32_t(std::trunc(event.x)), int32_t(std::trunc(event.y)));
    case event::Field::key: return key_field(event, out);
    case event::Field::picked:
        if (event.type == EVENT_WHEEL) *out = float_::cell(double(event.wheel));
        else *out = integer::cell(event.key);
        return out;
    default: return out;
    }
}

void init_events() {
    sockets::event_field = event_field;
    init_loop();
}

void reset_events() { messages = Messages{}; }

}  // namespace vek::view::backends::terminal
