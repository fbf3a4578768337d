#include "kit/setup/TOMLLines.hpp"

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t'; }
bool isBare(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

// What carries over from one line to the next.
struct Scanner {
  std::string openMultiline;  // """ or ''' while a multi-line string is open
  int depth = 0;              // open [ and { brackets

  bool inside() const { return !openMultiline.empty() || depth > 0; }

  // Scans value text for strings, comments and brackets; false when it cannot be read.
  bool scan(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
      if (!openMultiline.empty()) {
        size_t close = openMultiline == "\"\"\"" ? findBasicClose(s, i) : s.find("'''", i);
        if (close == std::string_view::npos) return true;
        i = close + 3;
        openMultiline.clear();
        continue;
      }
      char c = s[i];
      if (c == '#' || c == '\n' || c == '\r') return true;
      if (c == '"' || c == '\'') {
        std::string triple(3, c);
        if (s.substr(i, 3) == triple) {
          openMultiline = triple;
          i += 3;
          continue;
        }
        size_t j = i + 1;
        while (j < s.size() && s[j] != c && s[j] != '\n') j += (c == '"' && s[j] == '\\') ? 2 : 1;
        if (j >= s.size() || s[j] != c) return false;  // a single-line string left open
        i = j + 1;
        continue;
      }
      if (c == '[' || c == '{') ++depth;
      if ((c == ']' || c == '}') && --depth < 0) return false;
      ++i;
    }
    return true;
  }

  static size_t findBasicClose(std::string_view s, size_t i) {
    for (; i < s.size(); ++i) {
      if (s[i] == '\\') {
        ++i;
        continue;
      }
      if (s.substr(i, 3) == "\"\"\"") return i;
    }
    return std::string_view::npos;
  }
};

// A dotted key path starting at i; i ends after it and any white space.
std::optional<std::vector<std::string>> keyPath(std::string_view s, size_t& i) {
  std::vector<std::string> keys;
  for (;;) {
    while (i < s.size() && isSpace(s[i])) ++i;
    std::string key;
    if (i < s.size() && (s[i] == '"' || s[i] == '\'')) {
      const char quote = s[i++];
      while (i < s.size() && s[i] != quote) {
        if (quote == '"' && s[i] == '\\' && i + 1 < s.size()) ++i;
        key += s[i++];
      }
      if (i >= s.size()) return std::nullopt;
      ++i;
    } else {
      while (i < s.size() && isBare(s[i])) key += s[i++];
      if (key.empty()) return std::nullopt;
    }
    keys.push_back(key);
    while (i < s.size() && isSpace(s[i])) ++i;
    if (i < s.size() && s[i] == '.') {
      ++i;
      continue;
    }
    return keys;
  }
}

bool onlyCommentFollows(std::string_view s, size_t i) {
  while (i < s.size() && (isSpace(s[i]) || s[i] == '\r' || s[i] == '\n')) ++i;
  return i == s.size() || s[i] == '#';
}

}  // namespace

std::optional<TOMLLines> TOMLLines::read(std::string_view text) {
  TOMLLines result;
  Scanner scanner;
  std::vector<std::string> table;
  size_t start = 0;
  while (start < text.size()) {
    size_t newline = text.find('\n', start);
    size_t end = newline == std::string_view::npos ? text.size() : newline + 1;
    std::string_view raw = text.substr(start, end - start);
    start = end;
    Line line{std::string(raw), std::nullopt, std::nullopt, table, false};

    if (scanner.inside()) {
      if (!scanner.scan(raw)) return std::nullopt;
      result.lines.push_back(std::move(line));
      continue;
    }
    size_t i = 0;
    while (i < raw.size() && (isSpace(raw[i]) || raw[i] == '\r' || raw[i] == '\n')) ++i;
    if (i == raw.size() || raw[i] == '#') {
      line.isBlankOrComment = true;
    } else if (raw[i] == '[') {
      const bool arrayOfTables = i + 1 < raw.size() && raw[i + 1] == '[';
      i += arrayOfTables ? 2 : 1;
      auto path = keyPath(raw, i);
      if (!path || i >= raw.size() || raw[i] != ']') return std::nullopt;
      ++i;
      if (arrayOfTables) {
        if (i >= raw.size() || raw[i] != ']') return std::nullopt;
        ++i;
      }
      if (!onlyCommentFollows(raw, i)) return std::nullopt;
      table = *path;
      line.header = *path;
      line.table = *path;
    } else {
      auto path = keyPath(raw, i);
      if (!path || i >= raw.size() || raw[i] != '=') return std::nullopt;
      if (!scanner.scan(raw.substr(i + 1))) return std::nullopt;
      line.key = *path;
    }
    result.lines.push_back(std::move(line));
  }
  if (scanner.inside()) return std::nullopt;
  return result;
}
