#include "view/routines.h"

#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/callable/routine.h"
#include "runtime/datatypes/word/word.h"
#include "view/facets.h"
#include "view/stand_ins.h"
#include "view/backends/terminal/routines.h"

namespace vek::view {

namespace {

routine::Arg face_facets(const routine::Arg*) {
    Cell* words = block::push_only_star(int32_t(FACET_COUNT));
    for (uint32_t n = 1; n <= FACET_COUNT; n++) word::load_in(words, FACET_WORDS[n]);
    return {.cell = words};
}

}  // namespace

void init() {
    routine::register_fn("face-facets", face_facets);
    register_stand_ins();
    backends::terminal::init();
}

}  // namespace vek::view
