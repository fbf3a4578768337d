#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "kit/common/Json.hpp"

// JSON-RPC answers that carry the request's id exactly as the client wrote it: a number
// beyond any machine integer (123456789012345678901234567890) comes back as it went out.
namespace JsonRpc {

// The id, as written, of a request (a JSON object with a "method") that carries one, or
// none. A request the outline cannot read (a key given twice) has its id re-serialised.
std::optional<std::string> requestID(std::string_view line);

// The id, as written, of a reply (a JSON object without "method"), or none. Answers
// carry their id first, so the beginning of a long reply is enough.
std::optional<std::string> replyID(std::string_view line);

// {"id": idText, "jsonrpc": "2.0", key: value} on one line.
std::string answer(std::string_view idText, const char* key, const Json& value);

// The answer to a line too long to read, of which `beginning` is the start: an error
// for its id when the beginning holds one, else a parse error with a null id.
std::string tooLong(std::string_view beginning, size_t limit);

}  // namespace JsonRpc
