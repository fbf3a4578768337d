#pragma once
#include <string>
#include <vector>

namespace Base64 {

// Standard alphabet with padding, no line breaks.
std::string encode(const std::vector<unsigned char>& bytes);
// The bytes of standard Base64 text; stops at the first byte outside the alphabet.
std::vector<unsigned char> decode(const std::string& text);

}  // namespace Base64
