#include "kit/common/Text.hpp"

namespace Text {

std::string lowered(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

}  // namespace Text

namespace Text {

std::string withoutSoftHyphens(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\xC2' && i + 1 < text.size() && text[i + 1] == '\xAD') {
      ++i;
      continue;
    }
    result += text[i];
  }
  return result;
}

std::string trimmed(std::string_view text) {
  const char* space = " \t\n\r\f\v";
  size_t start = text.find_first_not_of(space);
  if (start == std::string_view::npos) return "";
  size_t end = text.find_last_not_of(space);
  return std::string(text.substr(start, end - start + 1));
}

}  // namespace Text
