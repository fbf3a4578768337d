#pragma once
#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "kit/platform/AgentInput.hpp"
#include "platform/x11/X11Display.hpp"
#include "platform/x11/X11GrabProbe.hpp"
#include "platform/x11/X11SpareKeys.hpp"
#include "platform/x11/X11PrimaryKeeper.hpp"
#include "platform/x11/X11UserWatch.hpp"

// Agent input on X11: one XInput2 master pointer and keyboard per agent (send_core on),
// fed through its XTEST slaves, so the user's pointer never moves. An otherwise unused
// modifier stays locked on each agent keyboard, so the window manager's button grabs
// never match an agent's click. While an agent holds an app, the app's ClientPointer is
// the agent's master, so the app's own grabs and focus requests meet the agent's pair.
//
// Lock order: lock_ before the display's lock.
class X11Input : public AgentInput {
 public:
  // windowAt names the window a point reaches, as the window server does.
  X11Input(std::shared_ptr<X11Display> display, std::shared_ptr<X11SpareKeys> spareKeys,
           std::function<std::optional<WindowNumber>(Point)> windowAt,
           std::function<std::optional<pid_t>()> keyFocusProcess);
  ~X11Input() override;

  bool post(Agent agent, const AgentEvent& event) override;
  void take(Agent agent, const WindowInfo& window) override;
  void focusKeys(Agent agent, pid_t pid) override;
  void release(Agent agent, pid_t pid) override;
  void removeAgent(Agent agent) override;
  double userIdleSeconds() override { return watch_.idleSeconds(); }
  double userIdleSinceClick() override { return watch_.idleSinceClick(); }
  std::optional<UserPress> userLastPress() override { return watch_.lastPress(); }
  void watchUser(std::function<void(UserInputKind)> callback) override { watch_.setCallback(std::move(callback)); }
  // Some client grabbed the agent's pointer or keyboard: a menu or popup is open.
  bool heldByApp(Agent agent, pid_t pid) override;
  // Another client (a password prompt, a screen locker) grabbed the user's keyboard.
  bool secureInputEnabled() override;
  // An agent acts on the app through accessibility (input is noted as it is posted).
  void agentActs(pid_t pid) { primary_.agentActs(pid); }

  // The name prefix of this process's agent masters: "tarnwick-<pid>-".
  static std::string masterPrefix();

  enum class Toolkit { other, qt, chromium };

 private:
  struct Devices {
    int pointer = 0, keyboard = 0;          // masters
    int xtestPointer = 0, xtestKeyboard = 0;  // their XTEST slaves
    XDevice* pointerDevice = nullptr;
    XDevice* keyboardDevice = nullptr;
    uint32_t heldModifiers = 0;
    Point wheel{};  // points turned but not yet a whole wheel click
  };
  enum class Focus { none, pointerRoot, window };  // the agent keyboard's, set for keys
  struct Taken {
    Agent agent = 0;
    ::Window window = 0;
    int previousClientPointer = 0;
    Focus focus = Focus::none;
  };

  // These helpers expect lock_ and the display's lock held.
  // Wheel clicks (buttons 4 to 7) for the points turned; the rest is kept for the next event.
  void turnWheel(Devices& devices, Point wheel);
  Devices* devicesOf(Agent agent);
  void removeMaster(int pointer);
  void removeLeftoverMasters();
  void lockSpareModifier(int keyboard);
  void holdModifiers(Devices& devices, uint32_t modifiers);
  void moveTo(Devices& devices, Point point);
  Toolkit toolkit(pid_t pid);
  bool focusesWindowItself(pid_t pid);
  // These take the display's lock themselves; lock_ is held.
  void setKeyboardFocus(Devices& devices, Taken& taken, Focus focus);
  void aimKeys(Agent agent, Devices& devices, pid_t pid);
  uint32_t keyCodeFor(Agent agent, const AgentEvent& event);
  void publishAgentSources();

  std::shared_ptr<X11Display> display_;
  X11UserWatch watch_;
  X11GrabProbe grabProbe_;
  std::mutex lock_;
  std::map<Agent, Devices> agents_;
  std::map<pid_t, Taken> taken_;
  std::map<pid_t, Toolkit> toolkits_;
  std::shared_ptr<X11SpareKeys> spareKeys_;
  std::function<std::optional<WindowNumber>(Point)> windowAt_;
  X11PrimaryKeeper primary_;
};
