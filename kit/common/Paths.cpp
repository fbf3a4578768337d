#include "kit/common/Paths.hpp"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace Paths {
namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string xdgBase(const char* variable, const char* fallback) {
  std::string base = environment(variable);
  // Relative values are invalid by the XDG rules and are ignored.
  if (base.empty() || base.front() != '/') base = home() + fallback;
  return base;
}

}  // namespace

std::string home() {
  std::string value = environment("HOME");
  if (!value.empty()) return value;
  if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return "/";
}

std::string stateDirectory() { return xdgBase("XDG_STATE_HOME", "/.local/state") + "/tarnwick"; }
std::string configHome() { return xdgBase("XDG_CONFIG_HOME", "/.config"); }
std::string configDirectory() { return configHome() + "/tarnwick"; }
std::string dataHome() { return xdgBase("XDG_DATA_HOME", "/.local/share"); }

bool makePrivateDirectory(const std::string& path) {
  std::string partial;
  size_t position = 0;
  while (position != std::string::npos) {
    position = path.find('/', position + 1);
    partial = path.substr(0, position);
    if (partial.empty()) continue;
    if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  // A folder of this user that others may enter is tightened; one of another user is refused.
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid()) return false;
  return (info.st_mode & 077) == 0 || chmod(path.c_str(), 0700) == 0;
}

std::string expandedHome(const std::string& path) {
  if (path == "~" || path.starts_with("~/")) return home() + path.substr(1);
  return path;
}

std::string shortenedHome(const std::string& path, const std::string& home) {
  if (!home.empty() && (path == home || path.starts_with(home + "/"))) return "~" + path.substr(home.size());
  return path;
}

std::string resolved(const std::string& path) {
  std::error_code error;
  auto real = std::filesystem::canonical(path, error);
  return error ? std::filesystem::path(path).lexically_normal().string() : real.string();
}

std::string ownExecutable() {
  std::error_code error;
  auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

std::string lastComponent(const std::string& path) {
  size_t end = path.find_last_not_of('/');
  if (end == std::string::npos) return path.empty() ? "" : "/";
  size_t start = path.find_last_of('/', end);
  return path.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1) + 1);
}

}  // namespace Paths
