#include "view/routines.h"

#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/word/word.h"
#include "view/facets.h"

namespace vek::view {

routine::Arg face_facets(const routine::Arg*) {
    Cell* words = block::push_only_star(int32_t(FACET_COUNT));
    for (uint32_t n = 1; n <= FACET_COUNT; n++) word::load_in(words, FACET_WORDS[n]);
    return {.cell = words};
}

}  // namespace vek::view
