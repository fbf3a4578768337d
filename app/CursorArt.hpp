#pragma once
#include <array>
#include <string>
#include <vector>

#include "kit/platform/OverlayWindows.hpp"

// The picture of an agent's cursor: a dart in the agent's colour with a white outline,
// and a pill below it with the agent's name.
namespace CursorArt {

struct Color {
  OverlayColor fill;
  OverlayColor label;
};
inline constexpr std::array<Color, 6> palette{{
    {{255, 115, 64}, {255, 255, 255}},  // orange
    {{47, 124, 255}, {255, 255, 255}},  // blue
    {{162, 89, 255}, {255, 255, 255}},  // violet
    {{31, 199, 126}, {255, 255, 255}},  // green
    {{255, 77, 141}, {255, 255, 255}},  // pink
    {{255, 184, 0}, {26, 20, 0}},       // yellow
}};

inline constexpr Size windowSize{268, 96};
// Where the dart's tip lies in the window: the window's corner is this far up and left of the pointer.
inline constexpr Point tip{28, 28};
inline constexpr double widestPill = 190;
inline constexpr double characterWidth = 6;  // of the tag's text, estimated

// The dart's corners around its tip, pointing up and to the left.
std::vector<Point> dartPath(Point tip);
// The name as the tag shows it: cut with "…" where the pill would grow too wide.
std::string tagText(const std::string& name);
OverlayPicture picture(const std::string& name, const Color& color);

}  // namespace CursorArt
