#pragma once
#include <optional>
#include <stdexcept>
#include <string>

#include "kit/common/Json.hpp"

// The configuration texts with Tarnwick's entry in them. Each returns none when the text
// already holds the entry, and throws Unreadable for a text it cannot edit with certainty.
// Everything else in the text stays as it was written, byte for byte.
namespace MergedConfig {

struct Unreadable : std::runtime_error {
  Unreadable() : std::runtime_error("unreadable configuration") {}
};

std::optional<std::string> json(const std::optional<std::string>& data, const std::string& container,
                                const std::string& name, const Json& entry);
std::optional<std::string> codex(const std::optional<std::string>& data, const std::string& executable);
// A TOML basic string.
std::string tomlQuoted(const std::string& text);

}  // namespace MergedConfig
