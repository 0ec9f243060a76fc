// The routines of the image codec objects in system/codecs (png, jpeg, bmp,
// gif, tiff): one encoder per file format, turning an image! into the
// format's bytes, and one decoder that all five share, since the format of
// the bytes is recognised from their signature, not from the codec used.
// Both are thin bridges to the image layer (runtime/datatypes/image/image.h),
// which raises their errors: an image without a side access bad-media, a
// file that cannot be loaded access cannot-open.
#pragma once

#include "runtime/datatypes/callable/routine.h"
#include "runtime/datatypes/image/image.h"

namespace vek::routines {

// encode-bmp ... encode-tiff: the image, then where (none, or the cell the
// bytes replace). Instantiated for the five formats.
template <image::FileFormat format>
routine::Arg encode_as(const routine::Arg* args);

// decode-image: a binary! to decode, or a file! to load.
routine::Arg decode_image(const routine::Arg* args);

}  // namespace vek::routines
