#include "kit/setup/JsonEdit.hpp"

namespace {

constexpr std::string_view space = " \t\r\n";

}  // namespace


std::string JsonEdit::lineIndent(size_t offset) const {
  const size_t lineStart = text_.rfind('\n', offset);
  const size_t begin = lineStart == std::string::npos ? 0 : lineStart + 1;
  const size_t end = text_.find_first_not_of(" \t", begin);
  return text_.substr(begin, (end == std::string::npos ? text_.size() : end) - begin);
}

std::optional<std::string> JsonEdit::memberIndent(const JsonOutline::Object& object) const {
  if (!object.members.empty()) {
    const size_t first = text_.find_first_not_of(space, object.open + 1);
    if (text_.find('\n', object.open) > first) return std::nullopt;
    return lineIndent(first);
  }
  // An empty object follows the layout of the text as a whole.
  if (text_.find('\n') >= text_.find_last_not_of(space)) return std::nullopt;
  return lineIndent(object.open) + unit();
}

std::string JsonEdit::unit() const {
  const size_t line = text_.find("\n\t");
  return line != std::string::npos && line < text_.find("\n ") ? "\t" : "  ";
}

std::string JsonEdit::rendered(const Json& value, const std::optional<std::string>& indent) const {
  if (!indent) return JsonText::compact(value);
  const std::string step = unit();
  std::string text = value.dump(static_cast<int>(step.size()), step[0], false, Json::error_handler_t::replace);
  std::string result;
  for (char c : text) {
    result += c;
    if (c == '\n') result += *indent;
  }
  return result;
}

void JsonEdit::replaceValue(const JsonOutline::Member& member, const Json& value) {
  const size_t start = JsonOutline::valueStart(text_, member);
  // A multi-line text gets the value spread over lines below its key's indentation.
  const auto indent = text_.find('\n') < text_.find_last_not_of(space) ? std::optional(lineIndent(start)) : std::nullopt;
  text_.replace(start, member.valueEnd - start, rendered(value, indent));
}

void JsonEdit::addMember(const JsonOutline::Object& object, const std::string& key, const Json& value) {
  const auto indent = memberIndent(object);
  const std::string member = JsonText::compact(Json(key)) + ": " + rendered(value, indent);
  if (!object.members.empty()) {
    const size_t after = object.members.back().valueEnd;
    text_.insert(after, "," + (indent ? "\n" + *indent : std::string(" ")) + member);
    return;
  }
  const std::string inside = indent ? "\n" + *indent + member + "\n" + lineIndent(object.open) : member;
  text_.replace(object.open + 1, object.close - object.open - 1, inside);
}

std::string JsonEdit::text() const { return text_.ends_with('\n') ? text_ : text_ + "\n"; }
