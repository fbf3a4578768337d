#pragma once
#include <string>
#include <vector>

namespace Base64 {

// Standard alphabet with padding, no line breaks.
std::string encode(const std::vector<unsigned char>& bytes);

}  // namespace Base64
