#include "runtime/natives/image_codecs.h"

#include "runtime/datatypes/callable/routine.h"
#include "runtime/datatypes/image/image.h"

namespace vek::routines {

using routine::Arg;

template <image::FileFormat format>
Arg encode_as(const Arg* args) {
    return Arg{.cell = image::encode(args[0].cell, args[1].cell, int32_t(format))};
}

template Arg encode_as<image::FileFormat::bmp>(const Arg* args);
template Arg encode_as<image::FileFormat::png>(const Arg* args);
template Arg encode_as<image::FileFormat::gif>(const Arg* args);
template Arg encode_as<image::FileFormat::jpeg>(const Arg* args);
template Arg encode_as<image::FileFormat::tiff>(const Arg* args);

Arg decode_image(const Arg* args) { return Arg{.cell = image::decode(args[0].cell)}; }

}  // namespace vek::routines
