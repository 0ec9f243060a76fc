// The routines of the vekbin codec object in system/codecs: vekbin-encode
// turns any value into a vekbin file, compact or fixed; vekbin-decode turns
// the bytes of one (a binary!, or the file or URL that holds them) back into
// the value, or into the block of values when the file holds several.
#pragma once

#include "runtime/datatypes/callable/routine.h"

namespace vek::routines {

// vekbin-encode: the value, then whether to write the compact encoding.
routine::Arg vekbin_encode(const routine::Arg* args);

// vekbin-decode: a binary!, or the file! or url! to read. Answers the one
// value decoded, or the block of them when there are none or several.
routine::Arg vekbin_decode(const routine::Arg* args);

}  // namespace vek::routines
