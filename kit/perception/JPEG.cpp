#include "kit/perception/JPEG.hpp"

#include <turbojpeg.h>

#include <memory>

namespace JPEG {

std::optional<std::vector<unsigned char>> encode(const Image& image, int quality) {
  if (image.width <= 0 || image.height <= 0) return std::nullopt;
  std::unique_ptr<void, int (*)(tjhandle)> encoder(tjInitCompress(), tjDestroy);
  if (!encoder) return std::nullopt;
  unsigned char* output = nullptr;
  unsigned long size = 0;
  int status = tjCompress2(encoder.get(), image.rgb.data(), image.width, 0, image.height, TJPF_RGB, &output, &size,
                           TJSAMP_420, quality, TJFLAG_FASTDCT);
  std::unique_ptr<unsigned char, void (*)(unsigned char*)> owned(output, tjFree);
  if (status != 0 || output == nullptr) return std::nullopt;
  return std::vector<unsigned char>(output, output + size);
}

}  // namespace JPEG
