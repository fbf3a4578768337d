#pragma once
#include <optional>
#include <vector>

#include "kit/platform/Image.hpp"

namespace JPEG {

// Baseline JPEG through libjpeg-turbo; none when encoding fails.
std::optional<std::vector<unsigned char>> encode(const Image& image, int quality = 82);

}  // namespace JPEG
