#include "platform/image/codec.h"

namespace vek::platform::image {

Decoded decode_tiff(std::span<const uint8_t>, uint64_t) { return {Status::unsupported, {}}; }

Status encode_tiff(const Bitmap&, std::vector<uint8_t>&) { return Status::unsupported; }

}  // namespace vek::platform::image
