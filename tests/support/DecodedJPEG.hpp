#pragma once
#include <optional>
#include <vector>

#include "kit/platform/Image.hpp"

// The pixels of a JPEG, or none when it is not a valid JPEG.
std::optional<Image> decodeJPEG(const std::vector<unsigned char>& jpeg);
