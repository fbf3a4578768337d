#include "kit/actions/TextRepair.hpp"

#include <algorithm>
#include <cstdint>

#include "kit/common/Text.hpp"
#include "kit/perception/AX.hpp"
#include "kit/platform/Desktop.hpp"

namespace TextRepair {
namespace {

std::optional<std::string> readValue(const AXElement& element) { return AX::attribute<std::string>(element, "AXValue"); }

int64_t units(const std::vector<std::string>& characters, size_t from, size_t to) {
  int64_t count = 0;
  for (size_t i = from; i < to; ++i) count += static_cast<int64_t>(Text::utf16(characters[i]).size());
  return count;
}

std::string joined(const std::vector<std::string>& characters, size_t from, size_t to) {
  std::string text;
  for (size_t i = from; i < to; ++i) text += characters[i];
  return text;
}

}  // namespace

std::optional<std::string> settledText(const AXElement& element) {
  std::optional<std::string> last = readValue(element);
  for (int i = 0; i < 7; ++i) {
    Platform::clock().sleep(0.15);
    std::optional<std::string> now = readValue(element);
    if (now == last) return now;
    last = now;
  }
  return std::nullopt;
}

std::optional<std::string> settledValue(const AXElement& element, const std::string& expected) {
  std::optional<std::string> last;
  for (int i = 0; i < 25; ++i) {
    if (i > 0) Platform::clock().sleep(0.02);
    last = readValue(element);
    if (last == expected) break;
  }
  return last;
}

std::optional<std::vector<Edit>> edits(const std::string& actual, const std::string& expected) {
  const auto a = Text::characters(actual), b = Text::characters(expected);
  size_t prefix = 0;
  while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) ++prefix;
  size_t suffix = 0;
  while (suffix < a.size() - prefix && suffix < b.size() - prefix && a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix])
    ++suffix;
  const size_t n = a.size() - prefix - suffix, m = b.size() - prefix - suffix;
  if (n > 1500 || m > 1500) return std::nullopt;

  // Longest common subsequence of the middles, from the back, so the walk goes forward.
  std::vector<uint16_t> table((n + 1) * (m + 1), 0);
  auto at = [&](size_t i, size_t j) -> uint16_t& { return table[i * (m + 1) + j]; };
  for (size_t i = n; i-- > 0;)
    for (size_t j = m; j-- > 0;)
      at(i, j) = a[prefix + i] == b[prefix + j] ? uint16_t(at(i + 1, j + 1) + 1) : std::max(at(i + 1, j), at(i, j + 1));

  std::vector<Edit> runs;
  size_t i = 0, j = 0;
  while (i < n || j < m) {
    if (i < n && j < m && a[prefix + i] == b[prefix + j]) {
      ++i, ++j;
      continue;
    }
    const size_t startI = i, startJ = j;
    while ((i < n || j < m) && !(i < n && j < m && a[prefix + i] == b[prefix + j])) {
      if (j < m && (i == n || at(i, j + 1) >= at(i + 1, j))) ++j;
      else ++i;
    }
    if (i - startI > 12 || j - startJ > 12) return std::nullopt;
    runs.push_back({units(a, 0, prefix + startI), units(a, prefix + startI, prefix + i),
                    joined(b, prefix + startJ, prefix + j)});
  }
  if (runs.size() > 8) return std::nullopt;
  std::reverse(runs.begin(), runs.end());
  return runs;
}

bool apply(const std::vector<Edit>& edits, const AXElement& element, const std::string& expected, int64_t caret,
           const Typist& typist) {
  for (const Edit& edit : edits) {
    const TextRange range{edit.location, edit.length};
    if (AX::set(element, "AXSelectedTextRange", range) != AXError::success) return false;
    if (AX::attribute<TextRange>(element, "AXSelectedTextRange") != range) return false;
    if (edit.replacement.empty()) typist.backspace();
    else typist.type(edit.replacement);
  }
  if (settledValue(element, expected) != expected) return false;
  AX::set(element, "AXSelectedTextRange", TextRange{caret, 0});
  return settledText(element) == expected;
}

std::optional<std::string> replacing(const std::string& text, const TextRange& range, const std::string& with) {
  std::u16string units = Text::utf16(text);
  if (range.location < 0 || range.length < 0 || size_t(range.location + range.length) > units.size()) return std::nullopt;
  units.replace(size_t(range.location), size_t(range.length), Text::utf16(with));
  return Text::fromUTF16(units);
}

std::string quoted(const std::string& text, size_t limit) {
  std::string escaped;
  for (char c : text) {
    if (c == '\n') escaped += "\\n";
    else escaped += c;
  }
  const size_t count = Text::characterCount(escaped);
  if (count <= limit) return "\"" + escaped + "\"";
  return "\"" + Text::prefixCharacters(escaped, limit) + "\u2026\" (" + std::to_string(count) + " chars)";
}

}  // namespace TextRepair
