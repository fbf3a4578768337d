#pragma once
#include <string_view>

// Agents' master devices are named "tarnwick-<pid>-<n>", so the devices of any run, also
// one that was killed, are told apart from the user's.
namespace X11AgentNames {

inline constexpr std::string_view prefix = "tarnwick-";

}  // namespace X11AgentNames
