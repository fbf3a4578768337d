#include "kit/protocol/JsonRpc.hpp"

#include "kit/common/JsonOutline.hpp"
#include "kit/common/Lines.hpp"

namespace JsonRpc {
namespace {

std::optional<std::string> idIn(std::string_view text, const std::optional<JsonOutline>& outline) {
  if (!outline) return std::nullopt;
  auto id = JsonOutline::memberText(text, outline->top, "id");
  if (!id) return std::nullopt;
  return std::string(*id);
}

}  // namespace

std::optional<std::string> requestID(std::string_view line) {
  if (auto outline = JsonOutline::read(line)) {
    return outline->top.member("method") ? idIn(line, outline) : std::nullopt;
  }
  auto parsed = JsonText::parse(line);
  if (!parsed || !parsed->is_object() || !parsed->contains("method") || !parsed->contains("id")) return std::nullopt;
  return JsonText::compact((*parsed)["id"]);
}

std::optional<std::string> replyID(std::string_view line) {
  const std::string_view beginning = line.substr(0, LineReader::beginningKept);
  auto outline = JsonOutline::readBeginning(beginning);
  if (!outline || outline->top.member("method")) return std::nullopt;
  return idIn(beginning, outline);
}

std::string answer(std::string_view idText, const char* key, const Json& value) {
  // Keys are written in order, so the id is the first member; its text goes in as it came.
  const std::string rest = JsonText::compact(Json{{"jsonrpc", "2.0"}, {key, value}});
  return "{\"id\":" + std::string(idText) + "," + rest.substr(1);
}

std::string tooLong(std::string_view beginning, size_t limit) {
  const std::string message =
      "The message is longer than " + std::to_string(limit >> 20) + " MiB, the most Tarnwick reads; it was not read.";
  if (auto id = idIn(beginning, JsonOutline::readBeginning(beginning))) {
    return answer(*id, "error", Json{{"code", -32600}, {"message", message}});
  }
  return answer("null", "error", Json{{"code", -32700}, {"message", message}});
}

}  // namespace JsonRpc
