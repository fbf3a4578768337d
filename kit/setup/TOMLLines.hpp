#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The lines of a TOML text, read just far enough to know which table each line belongs
// to and which lines are headers or keys, so that one table can be replaced while every
// other byte of the user's file stays as it was.
struct TOMLLines {
  struct Line {
    std::string text;  // exactly as in the file, with its line ending
    std::optional<std::vector<std::string>> header;
    std::optional<std::vector<std::string>> key;
    std::vector<std::string> table;  // the root table is empty
    bool isBlankOrComment = false;
  };

  // None when the text has a form this reader cannot be sure of.
  static std::optional<TOMLLines> read(std::string_view text);

  std::vector<Line> lines;
};
