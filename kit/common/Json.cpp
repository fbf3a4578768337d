#include "kit/common/Json.hpp"

namespace JsonText {
namespace {

bool nestsTooDeep(std::string_view text) {
  int depth = 0;
  bool inString = false;
  bool escaped = false;
  for (char c : text) {
    if (inString) {
      if (escaped) escaped = false;
      else if (c == '\\') escaped = true;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > maxDepth) return true;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return false;
}

}  // namespace

std::optional<Json> parse(std::string_view text) {
  if (nestsTooDeep(text)) return std::nullopt;
  Json value = Json::parse(text.begin(), text.end(), nullptr, false);
  if (!value.is_discarded()) return value;
  WideJson wide = WideJson::parse(text.begin(), text.end(), nullptr, false);
  if (wide.is_discarded()) return std::nullopt;
  return Json(wide);
}

std::string compact(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string pretty(const Json& value) { return value.dump(2, ' ', false, Json::error_handler_t::replace); }

}  // namespace JsonText
