#pragma once
#include <string>
#include <string_view>

namespace Text {

// ASCII lower case; other bytes are left as they are.
std::string lowered(std::string_view text);

}  // namespace Text

namespace Text {

// Without soft hyphens (U+00AD), which app names carry for line breaking only.
std::string withoutSoftHyphens(std::string_view text);
std::string trimmed(std::string_view text);

}  // namespace Text
