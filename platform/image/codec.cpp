#include "platform/image/codec.h"

namespace vek::platform::image {

std::optional<Format> sniff(std::span<const uint8_t>) { return std::nullopt; }

Decoded decode(std::span<const uint8_t>, uint64_t) { return {Status::unsupported, {}}; }

Status encode(const Bitmap&, Format, std::vector<uint8_t>&) { return Status::unsupported; }

}  // namespace vek::platform::image
