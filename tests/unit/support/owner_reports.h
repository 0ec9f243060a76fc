// What editing actions tell a series' owner, recorded for their tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/core/cell.h"

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

}  // namespace vek::test::owner_reports
