#pragma once
#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

using Json = nlohmann::json;

namespace JsonText {

// Deeper documents are refused before parsing: serialising them back (an echoed id,
// a request-id key) recurses once per level.
inline constexpr int maxDepth = 256;

// The parsed value, or none for text that is not JSON or nests deeper than maxDepth.
std::optional<Json> parse(std::string_view text);

// Compact text without escaped slashes; invalid UTF-8 in strings is replaced, never thrown.
std::string compact(const Json& value);
// The same, indented by two spaces per level.
std::string pretty(const Json& value);

}  // namespace JsonText
