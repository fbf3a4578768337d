#pragma once
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "kit/common/Geometry.hpp"

// Accessibility statuses, with the values macOS gives them.
using AXStatus = int32_t;
namespace AXError {
inline constexpr AXStatus success = 0;
inline constexpr AXStatus failure = -25200;
inline constexpr AXStatus illegalArgument = -25201;
inline constexpr AXStatus invalidElement = -25202;
inline constexpr AXStatus cannotComplete = -25204;
inline constexpr AXStatus attributeUnsupported = -25205;
inline constexpr AXStatus actionUnsupported = -25206;
inline constexpr AXStatus notImplemented = -25208;
inline constexpr AXStatus apiDisabled = -25211;
inline constexpr AXStatus noValue = -25212;
}  // namespace AXError

// One accessibility element: the process it belongs to and the backend's identity for
// it. Equality ignores the messaging time-out, which travels with the reference.
struct AXElement {
  pid_t pid = 0;
  std::string id;
  double timeout = 0;  // seconds; 0 means the platform's default
  bool operator==(const AXElement& other) const { return pid == other.pid && id == other.id; }
};

template <>
struct std::hash<AXElement> {
  size_t operator()(const AXElement& element) const {
    return std::hash<std::string>()(element.id) * 31 + static_cast<size_t>(element.pid);
  }
};

struct TextRange {
  int64_t location = 0;
  int64_t length = 0;
  bool operator==(const TextRange&) const = default;
};

// An attribute value as accessibility hands it over, already decoded.
using AXValue = std::variant<std::monostate, bool, int64_t, double, std::string, Point, Size, Rect, TextRange,
                             AXElement, std::vector<AXElement>>;
