#include "platform/x11/AtspiTextReading.hpp"

#include <algorithm>
#include <map>

#include "kit/common/Text.hpp"

namespace AtspiTextReading {
namespace {

std::optional<std::string> textBetween(AtspiText* text, gint end) {
  GError* error = nullptr;
  gchar* read = atspi_text_get_text(text, 0, end, &error);
  std::optional<std::string> result;
  if (error == nullptr && read != nullptr) result = read;
  g_free(read);
  g_clear_error(&error);
  return result;
}

std::pair<AXStatus, AXValue> none(AXStatus status) { return {status, {}}; }

std::optional<Rect> extents(AtspiRect* rect) {
  if (rect == nullptr) return std::nullopt;
  Rect result{{double(rect->x), double(rect->y)}, {double(rect->width), double(rect->height)}};
  g_free(rect);
  if (result.size.height <= 0) return std::nullopt;
  return result;
}

// An empty range is the caret's place: the left edge of the character after it, else
// the right edge of the one before.
std::optional<Rect> caretBounds(AtspiText* text, gint offset) {
  const gint count = atspi_text_get_character_count(text, nullptr);
  const bool after = offset >= count && offset > 0;
  auto character = extents(atspi_text_get_character_extents(text, after ? offset - 1 : offset, ATSPI_COORD_TYPE_SCREEN, nullptr));
  if (!character) return std::nullopt;
  if (after) character->origin.x += character->size.width;
  character->size.width = 0;
  return character;
}

std::optional<std::string> uniformStyle(AtspiText* text, gint start, gint end) {
  gint runStart = 0, runEnd = 0;
  GError* error = nullptr;
  GHashTable* attributes = atspi_text_get_attribute_run(text, start, FALSE, &runStart, &runEnd, &error);
  if (error != nullptr) {
    g_clear_error(&error);
    return std::nullopt;
  }
  std::map<std::string, std::string> sorted;
  if (attributes != nullptr) {
    GHashTableIter each;
    gpointer key = nullptr, value = nullptr;
    g_hash_table_iter_init(&each, attributes);
    while (g_hash_table_iter_next(&each, &key, &value)) {
      // The writing direction is the paragraph's, not the characters' formatting; entries report it, text views do not.
      if (std::string_view(static_cast<const char*>(key)) == "direction") continue;
      sorted[static_cast<const char*>(key)] = value != nullptr ? static_cast<const char*>(value) : "";
    }
    g_hash_table_unref(attributes);
  }
  // A run that ends before the range does means the attributes change inside it.
  if (end > start && (runStart > start || runEnd < end)) return std::nullopt;
  std::string style;
  for (const auto& [key, value] : sorted) style += key + "=" + value + ";";
  return style;
}

// GTK 3's entries answer -1 to every offset_at_point: their characters are asked one by
// one instead (a field's worth; a point right of the last one means the end).
constexpr gint charactersScanned = 1000;
std::optional<gint> offsetByExtents(AtspiText* text, Point point) {
  const gint count = std::min(atspi_text_get_character_count(text, nullptr), charactersScanned);
  std::optional<gint> afterLast;
  for (gint offset = 0; offset < count; ++offset) {
    AtspiRect* rect = atspi_text_get_character_extents(text, offset, ATSPI_COORD_TYPE_SCREEN, nullptr);
    if (rect == nullptr) continue;
    const bool onLine = point.y >= rect->y && point.y < rect->y + rect->height;
    const bool inside = onLine && point.x >= rect->x && point.x < rect->x + rect->width;
    if (onLine && point.x >= rect->x + rect->width) afterLast = offset + 1;
    g_free(rect);
    if (inside) return offset;
  }
  return afterLast;
}

std::optional<gint> offsetAt(AtspiText* text, Point point) {
  GError* error = nullptr;
  const gint offset = atspi_text_get_offset_at_point(text, gint(point.x), gint(point.y), ATSPI_COORD_TYPE_SCREEN, &error);
  if (error == nullptr && offset >= 0) return offset;
  g_clear_error(&error);
  return offsetByExtents(text, point);
}

}  // namespace

// GTK 4.8 answers "" to the end -1 that means "to the end"; its length is asked then.
// Browsers mark where a child object sits in the text (U+FFFC), which is no text.
std::optional<std::string> textOf(AtspiText* text) {
  auto whole = textBetween(text, -1);
  if (whole && whole->empty()) {
    const gint count = atspi_text_get_character_count(text, nullptr);
    if (count > 0) whole = textBetween(text, count);
  }
  if (whole) {
    constexpr std::string_view objectMark = "\xEF\xBF\xBC";
    for (size_t at; (at = whole->find(objectMark)) != std::string::npos;) whole->erase(at, objectMark.size());
  }
  return whole;
}

// AT-SPI counts characters; accessibility ranges count UTF-16 units, as agents do.
int64_t utf16Offset(const std::string& text, int64_t characters) {
  int64_t units = 0;
  for (const auto& character : Text::characters(text)) {
    if (characters-- <= 0) break;
    units += Text::scalar(character) >= 0x10000 ? 2 : 1;
  }
  return units;
}

int64_t characterOffset(const std::string& text, int64_t units) {
  int64_t characters = 0;
  for (const auto& character : Text::characters(text)) {
    if (units <= 0) break;
    units -= Text::scalar(character) >= 0x10000 ? 2 : 1;
    ++characters;
  }
  return characters;
}

std::pair<AXStatus, AXValue> parameterized(AtspiText* text, const std::string& name, const AXValue& parameter) {
  const std::string all = textOf(text).value_or("");
  if (name == "AXRangeForPosition" && std::holds_alternative<Point>(parameter)) {
    auto offset = offsetAt(text, std::get<Point>(parameter));
    if (!offset) return none(AXError::noValue);
    const int64_t start = utf16Offset(all, *offset);
    return {AXError::success, TextRange{start, utf16Offset(all, *offset + 1) - start}};
  }
  if (!std::holds_alternative<TextRange>(parameter)) return none(AXError::illegalArgument);
  const TextRange range = std::get<TextRange>(parameter);
  const gint start = gint(characterOffset(all, range.location));
  const gint end = gint(characterOffset(all, range.location + range.length));
  if (name == "AXBoundsForRange") {
    auto bounds = start == end ? caretBounds(text, start)
                               : extents(atspi_text_get_range_extents(text, start, end, ATSPI_COORD_TYPE_SCREEN, nullptr));
    return bounds ? std::pair<AXStatus, AXValue>{AXError::success, *bounds} : none(AXError::noValue);
  }
  if (name == "AXStyleForRange") {
    auto style = uniformStyle(text, start, end);
    return style ? std::pair<AXStatus, AXValue>{AXError::success, *style} : none(AXError::noValue);
  }
  return none(AXError::attributeUnsupported);
}

}  // namespace AtspiTextReading
