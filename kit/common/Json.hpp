#pragma once
#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <optional>
#include <vector>
#include <string>
#include <string_view>

using Json = nlohmann::json;
// The same values with numbers read as long double, so that a number beyond a double's
// range (1e400) is still read rather than refused.
using WideJson = nlohmann::basic_json<std::map, std::vector, std::string, bool, std::int64_t, std::uint64_t, long double>;

namespace JsonText {

// Deeper documents are refused before parsing: serialising them back (an echoed id,
// a request-id key) recurses once per level.
inline constexpr int maxDepth = 256;

// The parsed value, or none for text that is not JSON or nests deeper than maxDepth.
// Numbers beyond a double's range read as infinite (and are written as null).
std::optional<Json> parse(std::string_view text);

// Compact text without escaped slashes; invalid UTF-8 in strings is replaced, never thrown.
std::string compact(const Json& value);
// The same, indented by two spaces per level.
std::string pretty(const Json& value);

}  // namespace JsonText
