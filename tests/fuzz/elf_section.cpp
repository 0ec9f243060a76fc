// Any bytes as an executable file in which the start looks for its heap
// image section: the section headers and the name table are read only where
// they lie inside the file, and a section found lies inside it too.
#include <stdexcept>

#include "platform/program.h"
#include "tests/fuzz/target.h"

namespace vek::fuzz {

void run_one(const uint8_t* data, size_t size) {
    std::optional<platform::SectionPlace> found = platform::find_section({data, size}, ".vek_image");
    if (found && (found->offset > size || found->size > size - found->offset))
        throw std::logic_error("a section found outside the file");
}

}  // namespace vek::fuzz
