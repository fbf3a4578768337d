#pragma once
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "kit/common/Geometry.hpp"
#include "kit/platform/WindowInfo.hpp"

enum class MouseButton { left, right, middle };

// One synthetic event of an agent. Pointer events carry the global point; the window
// is the one the event is meant for, which the caller has checked is topmost there.
struct AgentEvent {
  enum class Kind { move, buttonDown, buttonUp, keyDown, keyUp, scroll };
  Kind kind = Kind::move;
  Point point{};
  WindowNumber window = 0;
  pid_t pid = 0;
  MouseButton button = MouseButton::left;
  int clickState = 1;      // 2 for the second press of a double click
  uint32_t modifiers = 0;  // KeyModifier bits held for this event
  uint32_t keyCode = 0;
  // For keys, the character the key types (UTF-8). With key code 0 the layout has no
  // key for it, and the platform types it another way.
  std::string text{};
  // For scrolls, wheel points: y towards the top (up), x towards the left.
  Point wheel{};
  // Wheel points of one click of a mouse wheel, where a platform turns whole clicks.
  static constexpr double wheelClick = 50;
};

// What the user did with their own devices.
enum class UserInputKind { key, modifier, button };

// Where the user's pointer was when they last pressed a button, and how long ago.
struct UserPress {
  Point point;
  double secondsAgo = 0;
};

// Each agent's own pointer and keyboard, separate from the user's, and what the user is
// doing with theirs. Agents are named by their session ids.
class AgentInput {
 public:
  using Agent = int64_t;
  virtual ~AgentInput() = default;

  // Posts through the agent's own devices, made on first use. False when the event
  // could not be posted.
  virtual bool post(Agent agent, const AgentEvent& event) = 0;
  // Makes the window the agent's key window in its app: the app's own pointer and
  // keyboard requests go to the agent's devices until release.
  virtual void take(Agent agent, const WindowInfo& window) = 0;
  // Points the agent's keyboard at the window taken in the app, for the keys that
  // follow; the app then reports its focused element as it does while it is in front.
  virtual void focusKeys(Agent, pid_t) {}
  // Gives the app back what take changed.
  virtual void release(Agent agent, pid_t pid) = 0;
  // The agent's devices are no longer needed (its connection ended).
  virtual void removeAgent(Agent agent) = 0;

  // Seconds since the user's last key or button press; a large value when none was seen.
  virtual double userIdleSeconds() = 0;
  // Seconds since the user's last button or modifier press: the input that changes
  // which window the user works in (typing alone does not).
  virtual double userIdleSinceClick() = 0;
  // The user's last button press; none before the first, or where it cannot be known.
  virtual std::optional<UserPress> userLastPress() { return std::nullopt; }
  // Called on a background thread for each of the user's key and button presses.
  virtual void watchUser(std::function<void(UserInputKind)> callback) = 0;
  // The app holds the agent's pointer or keyboard: a menu it opened took them, and with
  // them, on a real desktop, often the user's keyboard too.
  virtual bool heldByApp(Agent, pid_t) { return false; }
  // Another program has taken the whole keyboard (a password prompt).
  virtual bool secureInputEnabled() { return false; }
};
