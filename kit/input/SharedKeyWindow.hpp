#pragma once
#include <sys/types.h>

#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "kit/platform/AgentInput.hpp"
#include "kit/platform/WindowInfo.hpp"

// The single place where every synthetic event is posted. Per app it remembers which
// agent holds it and with which window, steps aside the moment the user presses a key
// or button in that app, and takes the app back, after the user's pause, before the
// agent's next event.
//
// Lock order: lock_ before heldLock_. The user-input thread reads held_ under heldLock_
// only and takes lock_ afterwards, never the other way round. lock_ is not held while
// waiting for the user.
class SharedKeyWindow {
 public:
  using Agent = AgentInput::Agent;
  struct Key {
    uint32_t code = 0;
    bool down = false;
  };

  static SharedKeyWindow& shared();

  // Waits for the user's pause in the app, then makes the window the agent's.
  void take(Agent agent, const WindowInfo& window);
  // The only way an event is posted. Waits for the user's pause first when the user
  // has used the app since the agent last held it.
  void post(Agent agent, const AgentEvent& event, std::optional<Key> key = std::nullopt);
  // The agent's tool call is over: give the app back.
  void release(Agent agent, pid_t pid);
  // The agent's connection ended: release its apps and drop its devices.
  void endSession(Agent agent);

  // The user's own input, from the platform's watcher thread.
  void userInput(UserInputKind kind);

  // Returns when the user is not active in that app: at least 0.8 s after their last
  // key or click there, 10 s while their caret ends a word. Adds the wait to the
  // calling thread's PauseClock. Returns at once when the app is not in front.
  static void waitForUserPause(pid_t pid);
  static bool caretEndsWord(pid_t pid);

  // Whether the app is held, and whether the user made it step aside (tests, logs).
  bool holds(pid_t pid);
  bool yielded(pid_t pid);

 private:
  struct Hold {
    Agent agent = 0;
    WindowInfo window;
    bool yielded = false;
    std::set<std::pair<uint32_t, std::string>> heldKeys;  // code and character
  };

  SharedKeyWindow() = default;
  AgentInput& devices();
  void watchUser();
  void releaseKeys(const Hold& hold);
  void refreshHeld();

  std::mutex lock_;
  std::map<pid_t, Hold> holds_;
  std::mutex heldLock_;
  std::set<pid_t> held_;
};
