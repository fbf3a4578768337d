#pragma once
#include <sys/types.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "kit/common/DeadlineLock.hpp"
#include "kit/common/Json.hpp"
#include "kit/platform/WindowInfo.hpp"

// Talks to the `tarnwick window-list` helper: one request line, one length-prefixed
// CBOR answer, each request bounded by the timeout. A stalled window server stalls
// the helper, never the resident app.
class WindowListTransport {
 public:
  static constexpr uint32_t maxPayload = 1u << 24;
  enum class Failure { timeout, closed, protocolError };

  WindowListTransport(std::string executable, std::vector<std::string> arguments, double timeout = 0.25)
      : executable_(std::move(executable)), arguments_(std::move(arguments)), timeout_(timeout) {}
  ~WindowListTransport();

  // The list, or none after any failure (the caller falls back).
  std::optional<Json> copy(uint32_t options, WindowNumber relativeTo);

 private:
  using Deadline = std::chrono::steady_clock::time_point;
  bool start();
  void stop();
  Json request(uint32_t options, WindowNumber relativeTo, Deadline deadline);

  std::string executable_;
  std::vector<std::string> arguments_;
  double timeout_;
  DeadlineLock lock_;  // serialises requests; guards everything below
  pid_t process_ = -1;
  int input_ = -1;
  int output_ = -1;
  Deadline retryAfter_{};
};
