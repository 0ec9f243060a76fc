// What editing actions tell a series' owner, recorded for their tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/core/cell.h"
#include "tests/unit/support/stack_fixture.h"

namespace vek::test::owner_reports {

struct Report {
    std::string action;
    int32_t index, part;
    std::string seen;  // the series as the handler saw it
};

extern std::vector<Report> reports;
// Set by a test whose handler shortens the series on the first report, as a
// handler running Vek code may.
extern bool shorten_on_first;

using Describe = std::string (*)(const Cell& series);
using Shorten = void (*)(const Cell* series);

// From install to restore every owner notification is recorded, the series
// described as the handler saw it.
void install(Describe describe, Shorten shorten);
void restore();

// Gives the series a fresh object as its owner. The owner table holds its
// owners weakly, so the owner is pushed on the evaluation stack: the fixture
// cuts the stack back after the test.
void own(Cell* series);

// Each test records the reports, the series described and (once a test sets
// shorten_on_first) shortened as given, and leaves the stacks as it found
// them.
template <Describe describe, Shorten shorten = nullptr>
class ReportsTest : public StackRestoringTest {
protected:
    void SetUp() override { install(describe, shorten); }
    void TearDown() override {
        restore();
        StackRestoringTest::TearDown();
    }
};

}  // namespace vek::test::owner_reports
