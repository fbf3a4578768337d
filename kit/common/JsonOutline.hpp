#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where the members of a JSON text's top two levels of objects lie, as byte offsets, so
// that one member can be edited without rewriting (and so changing) anything else.
// Read with nlohmann's parser; a text with a repeated key in any object has no outline,
// since no edit of it could be sure which of the two counts.
struct JsonOutline {
  struct Object;
  struct Member {
    std::string key;
    size_t keyEnd = 0;    // just past the key's closing quote
    size_t valueEnd = 0;  // just past the value
    std::vector<Object> object;  // the value's outline when it is an object on the top two levels
  };
  struct Object {
    size_t open = 0;   // the offset of "{"
    size_t close = 0;  // the offset of "}"
    std::vector<Member> members;
    const Member* member(std::string_view key) const;
  };

  Object top;

  // The outline of a text whose value is an object, or none.
  static std::optional<JsonOutline> read(std::string_view text);
  // The outline of the members a cut-off text holds whole before it ends (the start of a
  // message too long to read), or none when it does not begin an object.
  static std::optional<JsonOutline> readBeginning(std::string_view text);
  // Where a member's value begins: after its key only white space and the colon come.
  static size_t valueStart(std::string_view text, const Member& member);
  // The text of a top-level member's value exactly as written, or none.
  static std::optional<std::string_view> memberText(std::string_view text, const Object& top, std::string_view key);
};
