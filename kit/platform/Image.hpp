#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// An 8-bit RGB image, rows top to bottom.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // width * height * 3 bytes

  Image() = default;
  Image(int width, int height, uint8_t r = 0, uint8_t g = 0, uint8_t b = 0);
  uint8_t* pixel(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
  const uint8_t* pixel(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
  // Copies the source with its top-left corner at (x, y), clipped to this image.
  void draw(const Image& source, int x, int y);
  // This image at another size; each pixel averages the source pixels it covers.
  Image scaled(int newWidth, int newHeight) const;
};
