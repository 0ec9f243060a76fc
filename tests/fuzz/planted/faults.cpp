// A target with faults planted in it, as a decoder with a missing check
// would have them: an input starting with "wild" reads the zero page (a
// field of a null record: only the machine sees it), one starting with
// "null" reads through a null pointer (which the undefined-behaviour
// sanitizer sees first). The test beside it (faults.cmake) runs it in the
// sanitizer build.
#include <cstdint>
#include <cstring>

#include "tests/fuzz/target.h"

namespace vek::fuzz {
namespace {

bool starts_with(const uint8_t* data, size_t size, const char* word) {
    return size >= 4 && std::memcmp(data, word, 4) == 0;
}

}  // namespace

void run_one(const uint8_t* data, size_t size) {
    // volatile: the compiler may neither see where the pointers point nor
    // leave the reads out.
    const volatile uint8_t* volatile null_record = nullptr;
    const volatile uint8_t* volatile field = reinterpret_cast<const volatile uint8_t*>(uintptr_t(8));
    if (starts_with(data, size, "wild")) static_cast<void>(*field);
    if (starts_with(data, size, "null")) static_cast<void>(*null_record);
}

}  // namespace vek::fuzz
