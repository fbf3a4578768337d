#pragma once
#include <string>

#include "kit/common/Json.hpp"
#include "kit/common/JsonOutline.hpp"

// One edit of a JSON text at a place its outline names, written in the text's own layout
// (one line per member with its indentation, or all on one line).
class JsonEdit {
 public:
  explicit JsonEdit(std::string text) : text_(std::move(text)) {}

  void replaceValue(const JsonOutline::Member& member, const Json& value);
  void addMember(const JsonOutline::Object& object, const std::string& key, const Json& value);

  // The edited text, ending with a line break.
  std::string text() const;

 private:
  // The indentation of the line that holds this offset.
  std::string lineIndent(size_t offset) const;
  // The indentation of the object's members, or none when it keeps them on its own line.
  std::optional<std::string> memberIndent(const JsonOutline::Object& object) const;
  std::string unit() const;
  std::string rendered(const Json& value, const std::optional<std::string>& indent) const;

  std::string text_;
};
