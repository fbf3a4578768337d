#pragma once
#include <atspi/atspi.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "kit/platform/AXTypes.hpp"

// An AT-SPI text object's contents and geometry, with offsets in UTF-16 units as
// accessibility ranges count them (AT-SPI counts characters).
namespace AtspiTextReading {

std::optional<std::string> textOf(AtspiText* text);
int64_t utf16Offset(const std::string& text, int64_t characters);
int64_t characterOffset(const std::string& text, int64_t units);

// "AXRangeForPosition" (a screen Point), "AXBoundsForRange" and "AXStyleForRange" (a
// TextRange; the style is the attributes as one text, no value where they vary).
std::pair<AXStatus, AXValue> parameterized(AtspiText* text, const std::string& name, const AXValue& parameter);

}  // namespace AtspiTextReading
