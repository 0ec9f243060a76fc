// The routines of the image codec objects in system/codecs (png, jpeg, bmp,
// gif, tiff): one encoder per file format, turning an image! into the
// format's bytes, and one decoder that all five share, since the format of
// the bytes is recognised from their signature, not from the codec used.
// Both are thin bridges to the image layer (runtime/datatypes/image/image.h),
// which raises their errors: an image without a side access bad-media, a
// file that cannot be loaded access cannot-open.
#pragma once

namespace vek::routines {

// Registers encode-bmp, encode-png, encode-gif, encode-jpeg, encode-tiff and
// decode-image under their names.
void init_image_codecs();

}  // namespace vek::routines
