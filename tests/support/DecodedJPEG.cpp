#include "tests/support/DecodedJPEG.hpp"

#include <turbojpeg.h>

std::optional<Image> decodeJPEG(const std::vector<unsigned char>& jpeg) {
  tjhandle decoder = tjInitDecompress();
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  if (tjDecompressHeader3(decoder, jpeg.data(), jpeg.size(), &width, &height, &subsampling, &colorspace) != 0) {
    tjDestroy(decoder);
    return std::nullopt;
  }
  Image image(width, height);
  int status = tjDecompress2(decoder, jpeg.data(), jpeg.size(), image.rgb.data(), width, 0, height, TJPF_RGB, 0);
  tjDestroy(decoder);
  if (status != 0) return std::nullopt;
  return image;
}
