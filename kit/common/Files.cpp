#include "kit/common/Files.hpp"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace Files {

bool writeAll(int fd, const void* bytes, size_t count) {
  const auto* next = static_cast<const char*>(bytes);
  while (count > 0) {
    ssize_t written = send(fd, next, count, MSG_NOSIGNAL);
    if (written < 0 && errno == ENOTSOCK) written = write(fd, next, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    next += written;
    count -= static_cast<size_t>(written);
  }
  return true;
}

std::optional<std::string> read(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream data;
  data << file.rdbuf();
  if (file.bad()) return std::nullopt;
  return data.str();
}

bool writeAtomically(const std::string& path, const std::string& data, mode_t permissions) {
  static std::atomic<uint64_t> temporaries{0};
  const std::filesystem::path target(path);
  const std::string temporary = (target.parent_path() / ("." + target.filename().string() + ".tmp." +
                                                         std::to_string(getpid()) + "." + std::to_string(++temporaries)))
                                    .string();
  // Created with its final permissions, so no one else can ever read it.
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, permissions & 0777);
  if (fd < 0) return false;
  size_t written = 0;
  while (written < data.size()) {
    ssize_t count = write(fd, data.data() + written, data.size() - written);
    if (count <= 0) break;
    written += static_cast<size_t>(count);
  }
  // open() applies the umask; the permissions asked for are the ones meant.
  bool ok = written == data.size() && fchmod(fd, permissions) == 0 && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok && rename(temporary.c_str(), path.c_str()) == 0) return true;
  const int error = errno;
  unlink(temporary.c_str());
  errno = error;
  return false;
}

}  // namespace Files
