#include "kit/platform/Image.hpp"

#include <algorithm>
#include <cstring>

Image::Image(int width, int height, uint8_t r, uint8_t g, uint8_t b)
    : width(width), height(height), rgb(static_cast<size_t>(width) * height * 3) {
  for (size_t i = 0; i < rgb.size(); i += 3) {
    rgb[i] = r;
    rgb[i + 1] = g;
    rgb[i + 2] = b;
  }
}

void Image::draw(const Image& source, int x, int y) {
  const int left = std::max(0, x), right = std::min(width, x + source.width);
  if (left >= right) return;
  for (int row = std::max(0, y); row < std::min(height, y + source.height); ++row) {
    std::memcpy(pixel(left, row), source.pixel(left - x, row - y), static_cast<size_t>(right - left) * 3);
  }
}
