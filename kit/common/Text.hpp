#pragma once
#include <string>
#include <string_view>

namespace Text {

// ASCII lower case; other bytes are left as they are.
std::string lowered(std::string_view text);

}  // namespace Text
