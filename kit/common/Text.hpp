#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace Text {

// ASCII lower case; other bytes are left as they are.
std::string lowered(std::string_view text);

}  // namespace Text

namespace Text {

// Without soft hyphens (U+00AD), which app names carry for line breaking only.
std::string withoutSoftHyphens(std::string_view text);
std::string trimmed(std::string_view text);

}  // namespace Text

namespace Text {

// Without private-use characters (U+E000 to U+F8FF and planes 15 and 16), which apps use for icon glyphs.
std::string withoutPrivateUse(std::string_view text);
// Unicode scalars in UTF-8 text.
size_t characterCount(std::string_view text);
// The first `count` Unicode scalars.
std::string prefixCharacters(std::string_view text, size_t count);
// UTF-16 code units, as accessibility counts text offsets.
std::u16string utf16(std::string_view text);
// UTF-8 from UTF-16 code units; an unpaired surrogate becomes U+FFFD.
std::string fromUTF16(std::u16string_view units);
// Each Unicode scalar as its own UTF-8 text, in order.
std::vector<std::string> characters(std::string_view text);
// The Unicode scalar a one-character UTF-8 text starts with.
char32_t scalar(std::string_view character);
// A number as people write it: whole numbers without a decimal point.
std::string decimal(double value);

}  // namespace Text

namespace Text {

bool isValidUTF8(std::string_view text);
// The text with each invalid byte replaced by U+FFFD.
std::string validUTF8(std::string_view text);

}  // namespace Text

namespace Text {

// Text from elsewhere made safe to print on a terminal: control characters (C0, DEL and
// C1, escape sequences among them) shown as \xNN, invalid UTF-8 replaced.
std::string printable(std::string_view text);

// The last `lines` lines of a long output, after a line that says how many were cut, and
// at most its last 4000 bytes.
std::string lastLines(std::string_view text, size_t lines);

}  // namespace Text
