#include "kit/common/Text.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

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

namespace Text {
namespace {

size_t sequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead >> 5) == 0x6) return 2;
  if ((lead >> 4) == 0xE) return 3;
  if ((lead >> 3) == 0x1E) return 4;
  return 1;  // a stray continuation or invalid byte stands alone
}

uint32_t codePoint(std::string_view sequence) {
  auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(sequence[i])); };
  switch (sequence.size()) {
    case 2: return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
    case 3: return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    case 4: return (byte(0) & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 | (byte(3) & 0x3F);
    default: return byte(0);
  }
}

template <typename Visit>
void eachCharacter(std::string_view text, Visit visit) {
  for (size_t i = 0; i < text.size();) {
    size_t length = std::min(sequenceLength(static_cast<unsigned char>(text[i])), text.size() - i);
    if (!visit(text.substr(i, length))) return;
    i += length;
  }
}

}  // namespace

std::string withoutPrivateUse(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  eachCharacter(text, [&](std::string_view character) {
    uint32_t point = codePoint(character);
    bool privateUse = (point >= 0xE000 && point <= 0xF8FF) || point >= 0xF0000;
    if (!privateUse || character.size() == 1) result.append(character);
    return true;
  });
  return result;
}

size_t characterCount(std::string_view text) {
  size_t count = 0;
  eachCharacter(text, [&](std::string_view) { return ++count, true; });
  return count;
}

std::string prefixCharacters(std::string_view text, size_t count) {
  std::string result;
  eachCharacter(text, [&](std::string_view character) {
    if (count == 0) return false;
    --count;
    result.append(character);
    return true;
  });
  return result;
}

std::u16string utf16(std::string_view text) {
  std::u16string units;
  eachCharacter(text, [&](std::string_view character) {
    uint32_t point = codePoint(character);
    if (point >= 0x10000) {
      point -= 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (point >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (point & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(point));
    }
    return true;
  });
  return units;
}

std::string fromUTF16(std::u16string_view units) {
  std::string text;
  auto append = [&](uint32_t point) {
    if (point < 0x80) {
      text.push_back(static_cast<char>(point));
    } else if (point < 0x800) {
      text.push_back(static_cast<char>(0xC0 | point >> 6));
      text.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else if (point < 0x10000) {
      text.push_back(static_cast<char>(0xE0 | point >> 12));
      text.push_back(static_cast<char>(0x80 | (point >> 6 & 0x3F)));
      text.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else {
      text.push_back(static_cast<char>(0xF0 | point >> 18));
      text.push_back(static_cast<char>(0x80 | (point >> 12 & 0x3F)));
      text.push_back(static_cast<char>(0x80 | (point >> 6 & 0x3F)));
      text.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    }
  };
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t unit = units[i];
    bool high = unit >= 0xD800 && unit < 0xDC00, low = unit >= 0xDC00 && unit < 0xE000;
    if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
      append(0x10000 + ((unit - 0xD800) << 10) + (units[++i] - 0xDC00));
    } else {
      append(high || low ? 0xFFFD : unit);
    }
  }
  return text;
}

std::vector<std::string> characters(std::string_view text) {
  std::vector<std::string> list;
  eachCharacter(text, [&](std::string_view character) { return list.emplace_back(character), true; });
  return list;
}

char32_t scalar(std::string_view character) { return character.empty() ? 0 : codePoint(character); }

std::string decimal(double value) {
  if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15) {
    return std::to_string(static_cast<long long>(value));
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

}  // namespace Text

namespace Text {
namespace {

// The length of the valid UTF-8 sequence at i, or 0.
size_t validSequenceAt(std::string_view text, size_t i) {
  unsigned char lead = static_cast<unsigned char>(text[i]);
  size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || i + length > text.size()) return 0;
  for (size_t j = 1; j < length; ++j) {
    if ((static_cast<unsigned char>(text[i + j]) >> 6) != 0x2) return 0;
  }
  return length;
}

}  // namespace

bool isValidUTF8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    size_t length = validSequenceAt(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string validUTF8(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    size_t length = validSequenceAt(text, i);
    if (length == 0) {
      result += "\uFFFD";
      ++i;
    } else {
      result.append(text.substr(i, length));
      i += length;
    }
  }
  return result;
}

}  // namespace Text

namespace Text {

std::string printable(std::string_view text) {
  const std::string valid = validUTF8(text);
  std::string result;
  for (size_t i = 0; i < valid.size(); ++i) {
    const auto byte = static_cast<unsigned char>(valid[i]);
    // C1 controls are U+0080 to U+009F: 0xC2 then 0x80 to 0x9F in UTF-8.
    const bool c1 = byte == 0xC2 && i + 1 < valid.size() && static_cast<unsigned char>(valid[i + 1]) <= 0x9F;
    if (byte < 0x20 || byte == 0x7F || c1) {
      const unsigned value = c1 ? static_cast<unsigned char>(valid[++i]) : byte;
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", value);
      result += escaped;
    } else {
      result += valid[i];
    }
  }
  return result;
}

std::string lastLines(std::string_view text, size_t lines) {
  // Where each line starts; a final line break ends the last line, it starts none.
  std::vector<size_t> starts{0};
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == '\n') starts.push_back(i + 1);
  }
  const size_t cut = starts.size() > lines ? starts.size() - lines : 0;
  std::string tail(text.substr(starts[cut]));
  // A single endless line is cut as well, at a character boundary.
  constexpr size_t maxBytes = 4000;
  if (tail.size() > maxBytes) {
    size_t from = tail.size() - maxBytes;
    while (from < tail.size() && (static_cast<unsigned char>(tail[from]) & 0xC0) == 0x80) ++from;
    tail = "\u2026" + tail.substr(from);
  }
  return cut == 0 ? tail : "(" + std::to_string(cut) + " earlier lines not shown)\n" + tail;
}

}  // namespace Text
