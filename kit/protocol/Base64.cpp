#include "kit/protocol/Base64.hpp"

#include <cstring>

namespace Base64 {

namespace {
constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
}  // namespace

std::string encode(const std::vector<unsigned char>& bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    unsigned value = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
    for (int shift : {18, 12, 6, 0}) text += alphabet[(value >> shift) & 63];
  }
  if (size_t rest = bytes.size() - i; rest > 0) {
    unsigned value = bytes[i] << 16 | (rest == 2 ? bytes[i + 1] << 8 : 0);
    text += alphabet[(value >> 18) & 63];
    text += alphabet[(value >> 12) & 63];
    text += rest == 2 ? alphabet[(value >> 6) & 63] : '=';
    text += '=';
  }
  return text;
}

std::vector<unsigned char> decode(const std::string& text) {
  std::vector<unsigned char> bytes;
  unsigned value = 0;
  int bits = 0;
  for (char c : text) {
    const char* found = c == '\0' ? nullptr : std::strchr(alphabet, c);
    if (found == nullptr) break;
    value = value << 6 | static_cast<unsigned>(found - alphabet);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes.push_back(static_cast<unsigned char>(value >> bits));
    }
  }
  return bytes;
}

}  // namespace Base64
