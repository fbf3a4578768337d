#include "app/CursorArt.hpp"

#include <cmath>

#include "kit/common/Text.hpp"

namespace CursorArt {
namespace {

constexpr OverlayColor white{255, 255, 255};
constexpr double outlineWidth = 5.4;
constexpr double bodyStroke = 2.2;
constexpr double pillHeight = 18;
constexpr double pillPadding = 8;

}  // namespace

std::vector<Point> dartPath(Point at) {
  return {at, {at.x + 20, at.y + 7.8}, {at.x + 10, at.y + 10}, {at.x + 7.8, at.y + 20}};
}

std::string tagText(const std::string& name) {
  const size_t fits = size_t((widestPill - 2 * pillPadding) / characterWidth);
  if (Text::characterCount(name) <= fits) return name;
  return Text::prefixCharacters(name, fits - 1) + "…";
}

OverlayPicture picture(const std::string& name, const Color& color) {
  const std::string label = tagText(name);
  const auto dart = dartPath(tip);
  const double width = std::min(widestPill, std::ceil(characterWidth * double(Text::characterCount(label))) + 2 * pillPadding);
  const Rect pill{{tip.x + 15, tip.y + 19}, {width, pillHeight}};
  OverlayPicture picture{windowSize, {}};
  picture.shapes.push_back({OverlayShape::Kind::polygon, dart, {}, white, outlineWidth, {}});
  picture.shapes.push_back({OverlayShape::Kind::polygon, dart, {}, color.fill, bodyStroke, {}});
  picture.shapes.push_back({OverlayShape::Kind::pill, {}, pill, color.fill, 0, {}});
  const Rect line{{pill.origin.x + pillPadding, pill.origin.y}, {width - 2 * pillPadding, pillHeight}};
  picture.shapes.push_back({OverlayShape::Kind::text, {}, line, color.label, 0, label});
  return picture;
}

}  // namespace CursorArt
