#include "tests/unit/support/owner_reports.h"

#include "runtime/core/sockets.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/tables/ownership.h"

namespace vek::test::owner_reports {

std::vector<Report> reports;
bool shorten_on_first = false;

namespace {

Describe describe_series = nullptr;
Shorten shorten_series = nullptr;
sockets::NotifyOwnerFn saved_hook = nullptr;

bool record(const Cell*, const Cell*, const Cell* value, const Cell* action, const Cell*, int32_t index,
            int32_t part) {
    reports.push_back({symbol::get_c_string(word::symbol(action)), index, part, describe_series(*value)});
    if (shorten_on_first && reports.size() == 1) shorten_series(value);
    return true;
}

}  // namespace

void install(Describe describe, Shorten shorten) {
    describe_series = describe;
    shorten_series = shorten;
    saved_hook = sockets::notify_owner;
    sockets::notify_owner = record;
    reports.clear();
    shorten_on_first = false;
}

void restore() {
    sockets::notify_owner = saved_hook;
    shorten_on_first = false;
}

void own(Cell* series) {
    Cell owner{TYPE_OBJECT, uint32_t(context::create(1, false, false, nullptr, context::KIND_OBJECT)), 0, 0};
    stack::push(&owner);
    Cell field{};
    word::make_at(symbol::make("owned-field"), &field);
    ownership::set_owner(series, &owner, &field);
}

}  // namespace vek::test::owner_reports
