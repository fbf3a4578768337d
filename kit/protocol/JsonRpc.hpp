#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "kit/common/Json.hpp"

// JSON-RPC answers that carry the request's id exactly as the client wrote it: a number
// beyond any machine integer (123456789012345678901234567890) comes back as it went out.
namespace JsonRpc {

// The text of the request's "id" as written, or none when the line is no JSON object
// or has no id.
std::optional<std::string> idText(std::string_view line);

// {"id": idText, "jsonrpc": "2.0", key: value} on one line.
std::string answer(std::string_view idText, const char* key, const Json& value);

// The answer to a line too long to read, of which `beginning` is the start: an error
// for its id when the beginning holds one, else a parse error with a null id.
std::string tooLong(std::string_view beginning, size_t limit);

}  // namespace JsonRpc
