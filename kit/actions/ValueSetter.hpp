#pragma once
#include <sys/types.h>

#include <optional>
#include <string>

#include "kit/perception/Snapshot.hpp"

// Sets an element directly through accessibility (no pointer or key events) by its role,
// waits for the app to settle, and says in words what the element now holds. Failures
// are ToolErrors; a kept or reformatted value is a success the agent reads.
namespace ValueSetter {

std::string set(const std::string& value, const ElementRecord& record, pid_t pid);
std::string setToggle(const std::string& value, const AXElement& element);
std::string setNumber(const std::string& value, const AXElement& element);

// Waits (bounded) for a numeric value to move away from `from`.
std::optional<double> changedValue(const AXElement& element, double from);

}  // namespace ValueSetter
