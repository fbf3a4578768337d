#include "kit/common/Language.hpp"

#include <cstdlib>
#include <string_view>

namespace Language {

bool prefersGerman() {
  for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') continue;
    return std::string_view(value).starts_with("de");
  }
  return false;
}

}  // namespace Language
