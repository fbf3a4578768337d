#include "kit/bridge/WebBridgeSecret.hpp"

#include <sys/random.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "kit/common/Files.hpp"
#include "kit/common/Paths.hpp"
#include "kit/common/Text.hpp"
#include "kit/common/ToolError.hpp"

namespace WebBridgeSecret {
namespace {

bool isHexOfLength(const std::string& text, size_t length) {
  if (text.size() != length) return false;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// The file's trimmed contents when they are hex digits of the length, else a new value
// saved in their place.
std::string kept(const std::string& directory, const char* name, size_t length, const std::string& failure) {
  const std::string path = directory + "/" + name;
  if (auto existing = Files::read(path)) {
    std::string value = Text::trimmed(*existing);
    if (isHexOfLength(value, length)) return value;
  }
  std::string value = randomHex(length / 2);
  if (!Paths::makePrivateDirectory(directory) || !Files::writeAtomically(path, value, 0600)) throw ToolError(failure);
  return value;
}

}  // namespace

std::string randomHex(size_t count) {
  std::vector<unsigned char> bytes(count);
  size_t filled = 0;
  // EINTR is retried; a random source that keeps failing is an error, never a loop.
  for (int failures = 0; filled < count;) {
    ssize_t got = getrandom(bytes.data() + filled, count - filled, 0);
    if (got > 0) {
      filled += static_cast<size_t>(got);
    } else if (errno != EINTR && ++failures >= 8) {
      throw ToolError(std::string("The system's random source failed: ") + std::strerror(errno) + ".");
    }
  }
  std::string text;
  for (unsigned char byte : bytes) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", byte);
    text += digits;
  }
  return text;
}

std::string secret(const std::string& directory) {
  return kept(directory, secretFile, 64, "Could not save the web connection secret in " + directory + ".");
}

std::string deviceID(const std::string& directory) {
  return kept(directory, deviceFile, 32, "Could not save the device identifier in " + directory + ".");
}

}  // namespace WebBridgeSecret
