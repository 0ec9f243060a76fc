#include "runtime/natives/image_codecs.h"

#include "runtime/datatypes/callable/routine.h"
#include "runtime/datatypes/image/image.h"

namespace vek::routines {

namespace {

using routine::Arg;
using image::FileFormat;

// Arguments: the image, then where (none, or the cell the bytes replace).
template <FileFormat format>
Arg encode_as(const Arg* args) {
    return Arg{.cell = image::encode(args[0].cell, args[1].cell, int32_t(format))};
}

// Argument: a binary! to decode, or a file! to load.
Arg decode_image(const Arg* args) { return Arg{.cell = image::decode(args[0].cell)}; }

}  // namespace

void init_image_codecs() {
    routine::register_fn("encode-bmp", encode_as<FileFormat::bmp>);
    routine::register_fn("encode-png", encode_as<FileFormat::png>);
    routine::register_fn("encode-gif", encode_as<FileFormat::gif>);
    routine::register_fn("encode-jpeg", encode_as<FileFormat::jpeg>);
    routine::register_fn("encode-tiff", encode_as<FileFormat::tiff>);
    routine::register_fn("decode-image", decode_image);
}

}  // namespace vek::routines
