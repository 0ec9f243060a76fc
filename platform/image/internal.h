// What the library decoders and encoders share and nothing else sees: the
// reading of the libraries' messages for failed allocations.
#pragma once

#include <string_view>

#include "platform/image/codec.h"

namespace vek::platform::image {

// Whether a library's error message reports a failed allocation (the image
// libraries tell it apart from bad data only by their text). Allocates
// nothing, so library callbacks may use it.
bool names_memory_failure(std::string_view message);

}  // namespace vek::platform::image
