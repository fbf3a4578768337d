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

Image Image::scaled(int newWidth, int newHeight) const {
  if (newWidth == width && newHeight == height) return *this;
  Image result(newWidth, newHeight);
  if (width == 0 || height == 0) return result;
  const double stepX = static_cast<double>(width) / newWidth, stepY = static_cast<double>(height) / newHeight;
  for (int y = 0; y < newHeight; ++y) {
    const int top = static_cast<int>(y * stepY);
    const int bottom = std::clamp(static_cast<int>((y + 1) * stepY), top + 1, height);
    for (int x = 0; x < newWidth; ++x) {
      const int left = static_cast<int>(x * stepX);
      const int right = std::clamp(static_cast<int>((x + 1) * stepX), left + 1, width);
      unsigned sum[3] = {0, 0, 0};
      for (int sy = top; sy < bottom; ++sy) {
        for (int sx = left; sx < right; ++sx) {
          const uint8_t* p = pixel(sx, sy);
          sum[0] += p[0], sum[1] += p[1], sum[2] += p[2];
        }
      }
      const unsigned count = static_cast<unsigned>((bottom - top) * (right - left));
      uint8_t* out = result.pixel(x, y);
      for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>(sum[c] / count);
    }
  }
  return result;
}
