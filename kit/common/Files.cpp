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

bool isExecutable(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error) && access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> read(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream data;
  data << file.rdbuf();
  if (file.bad()) return std::nullopt;
  return data.str();
}

bool writeAtomically(const std::string& path, const std::string& data, mode_t permissions, std::optional<Owner> owner) {
  static std::atomic<uint64_t> temporaries{0};
  const std::filesystem::path target(path);
  const std::string temporary = (target.parent_path() / ("." + target.filename().string() + ".tmp." +
                                                         std::to_string(getpid()) + "." + std::to_string(++temporaries)))
                                    .string();
  // Created with its final permissions, so no one else can ever read it; O_EXCL with
  // O_NOFOLLOW never writes through a link someone placed there.
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, permissions & 0600);
  if (fd < 0) return false;
  // open() applies the umask; the permissions asked for are the ones meant.
  bool ok = writeAll(fd, data.data(), data.size()) && (!owner || fchown(fd, owner->user, owner->group) == 0) &&
            fchmod(fd, permissions & 07777) == 0 && fsync(fd) == 0;
  int error = ok ? 0 : errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && rename(temporary.c_str(), path.c_str()) == 0) return true;
  if (ok) error = errno;
  unlink(temporary.c_str());
  errno = error;
  return false;
}

}  // namespace Files
