#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <set>
#include <vector>

#include "kit/common/Json.hpp"
#include "kit/platform/WindowInfo.hpp"

// Window-list option bits and dictionary keys, as the window server names them.
namespace WindowListOption {
inline constexpr uint32_t all = 0;
inline constexpr uint32_t onScreenOnly = 1 << 0;
inline constexpr uint32_t onScreenAboveWindow = 1 << 1;
inline constexpr uint32_t onScreenBelowWindow = 1 << 2;
inline constexpr uint32_t includingWindow = 1 << 3;
inline constexpr uint32_t excludeDesktopElements = 1 << 4;
}  // namespace WindowListOption

namespace WindowKey {
inline constexpr const char* number = "kCGWindowNumber";
inline constexpr const char* ownerPID = "kCGWindowOwnerPID";
inline constexpr const char* ownerName = "kCGWindowOwnerName";
inline constexpr const char* name = "kCGWindowName";
inline constexpr const char* bounds = "kCGWindowBounds";  // {"X", "Y", "Width", "Height"}
inline constexpr const char* layer = "kCGWindowLayer";
inline constexpr const char* isOnscreen = "kCGWindowIsOnscreen";
inline constexpr const char* alpha = "kCGWindowAlpha";
}  // namespace WindowKey

using SpaceID = int64_t;

struct DisplayInfo {
  uint32_t id = 0;
  Rect frame;  // global screen points
  bool isMain = false;
  bool isInvisible = false;  // the invisible display covered windows are operated on
};

// The window server: the stack of windows, who is in front, Spaces and displays.
class WindowServer {
 public:
  virtual ~WindowServer() = default;
  // Front to back, one dictionary per window with the keys above.
  virtual Json windowList(uint32_t options, WindowNumber relativeTo) = 0;
  // The process the window server considers front, or none.
  virtual std::optional<pid_t> frontProcess() = 0;
  // The process that receives the keyboard, or none.
  virtual std::optional<pid_t> keyFocusProcess() = 0;
  virtual std::vector<SpaceID> spaces(WindowNumber window) = 0;
  virtual std::set<SpaceID> visibleSpaces() = 0;
  virtual std::vector<DisplayInfo> displays() = 0;
  // The window a pointer press at this point reaches (stacking, shape and input shape
  // considered): only its number and owner are filled in. None over the bare desktop.
  virtual std::optional<WindowInfo> windowAt(Point point) = 0;
  // The user's front window (the one that has their keyboard), or none.
  virtual std::optional<WindowNumber> frontWindow() = 0;
  // Makes the window front again as the user's own pager would; false when it could not be asked.
  virtual bool activate(WindowNumber window) = 0;

  // The invisible display: an area beside the real displays that no user sees, where
  // windows stay mapped, drawn and operable. None when this desktop cannot have one.
  // Once created it is listed by displays() until removed or lost.
  virtual std::optional<DisplayInfo> createInvisibleDisplay(Size) { return std::nullopt; }
  virtual void removeInvisibleDisplay(uint32_t) {}

  // What the desktop tells of a process's system drag and drop besides its drag image:
  // how many it has begun so far, and whether it holds the data of one now. Nothing
  // where the desktop tells nothing.
  struct DragSource {
    uint64_t begun = 0;
    bool holdsData = false;
  };
  virtual DragSource dragSource(pid_t) { return {}; }

  // The windows drawn on screen, front to back exactly as drawn, overlays included.
  virtual std::vector<WindowNumber> drawingOrder();
  // Returns when the stacking may have changed, at the latest after the timeout.
  virtual void waitForStackChange(std::chrono::milliseconds timeout);
};
