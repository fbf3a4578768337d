#include "kit/input/KeyboardGuard.hpp"

namespace KeyboardGuard {

std::optional<std::string> release(const RunningApp&) { return std::nullopt; }

}  // namespace KeyboardGuard
