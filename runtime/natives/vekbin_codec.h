// The routines of the vekbin codec object in system/codecs: vekbin-encode
// turns any value into a vekbin file, compact or fixed; vekbin-decode turns
// the bytes of one (a binary!, or the file or URL that holds them) back into
// the value, or into the block of values when the file holds several.
#pragma once

namespace vek::routines {

// Registers vekbin-encode and vekbin-decode under their names.
void init_vekbin_codec();

}  // namespace vek::routines
