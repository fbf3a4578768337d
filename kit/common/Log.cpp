#include "kit/common/Log.hpp"

#include <syslog.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace Log {
namespace {

bool alsoToStandardError() {
  static const bool enabled = [] {
    const char* value = std::getenv("TARNWICK_LOG");
    return value != nullptr && std::strcmp(value, "stderr") == 0;
  }();
  return enabled;
}

void write(int priority, std::string_view category, std::string_view message) {
  static std::once_flag opened;
  std::call_once(opened, [] { openlog("tarnwick", LOG_PID, LOG_USER); });
  std::string line;
  line.reserve(category.size() + message.size() + 3);
  line.append(category).append(": ").append(message);
  syslog(priority, "%s", line.c_str());
  if (alsoToStandardError()) {
    line.insert(0, "tarnwick ");
    line.push_back('\n');
    // One write call per entry keeps concurrent entries from interleaving.
    [[maybe_unused]] auto written = ::write(STDERR_FILENO, line.data(), line.size());
  }
}

}  // namespace

void info(std::string_view category, std::string_view message) { write(LOG_INFO, category, message); }
void error(std::string_view category, std::string_view message) { write(LOG_ERR, category, message); }

}  // namespace Log
