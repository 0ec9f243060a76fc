// The routine of the JSON decoder in the library: unescape resolves the
// escapes of a JSON string's content in place.
#pragma once

namespace vek::routines {

// Registers unescape under its name.
void init_json_codec();

}  // namespace vek::routines
