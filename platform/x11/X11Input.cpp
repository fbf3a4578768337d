#include "platform/x11/X11Input.hpp"

#include <X11/XKBlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <set>

#include <xkbcommon/xkbcommon.h>

#include "kit/common/Log.hpp"
#include "kit/common/Text.hpp"
#include "kit/platform/KeyboardLayouts.hpp"
#include "platform/x11/X11AgentNames.hpp"
#include "platform/x11/X11Windows.hpp"

namespace {

unsigned buttonNumber(MouseButton button) {
  switch (button) {
    case MouseButton::left: return 1;
    case MouseButton::middle: return 2;
    case MouseButton::right: return 3;
  }
  return 1;
}

X11Input::Toolkit toolkitOf(pid_t pid) {
  std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
  std::string line;
  while (std::getline(maps, line)) {
    if (line.find("libQt5Core") != std::string::npos || line.find("libQt6Core") != std::string::npos)
      return X11Input::Toolkit::qt;
  }
  char exe[512];
  ssize_t length = readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), exe, sizeof exe - 1);
  if (length <= 0) return X11Input::Toolkit::other;
  std::string path(exe, static_cast<size_t>(length));
  return path.find("chrom") != std::string::npos ? X11Input::Toolkit::chromium : X11Input::Toolkit::other;
}

}  // namespace

std::string X11Input::masterPrefix() { return std::string(X11AgentNames::prefix) + std::to_string(getpid()) + "-"; }

X11Input::X11Input(std::shared_ptr<X11Display> display, std::shared_ptr<X11SpareKeys> spareKeys,
                   std::function<std::optional<WindowNumber>(Point)> windowAt,
                   std::function<std::optional<pid_t>()> keyFocusProcess)
    : display_(std::move(display)),
      grabProbe_(*display_),
      spareKeys_(std::move(spareKeys)),
      windowAt_(std::move(windowAt)),
      primary_(std::move(keyFocusProcess)) {
  std::lock_guard guard(lock_);
  std::lock_guard xlock(display_->lock());
  removeLeftoverMasters();
}

X11Input::~X11Input() {
  std::lock_guard guard(lock_);
  std::lock_guard xlock(display_->lock());
  for (auto& [agent, devices] : agents_) removeMaster(devices.pointer);
  XSync(display_->raw(), False);
}

// Masters named after a process that no longer runs were left by a killed resident app.
void X11Input::removeLeftoverMasters() {
  int count = 0;
  XIDeviceInfo* info = XIQueryDevice(display_->raw(), XIAllMasterDevices, &count);
  for (int i = 0; i < count; ++i) {
    std::string name = info[i].name;
    if (info[i].use != XIMasterPointer || !name.starts_with(X11AgentNames::prefix)) continue;
    pid_t owner = static_cast<pid_t>(std::atol(name.c_str() + X11AgentNames::prefix.size()));
    if (owner > 0 && kill(owner, 0) != 0 && errno == ESRCH) {
      Log::info("Input", "removing the agent pointer left behind: " + name);
      removeMaster(info[i].deviceid);
    }
  }
  XIFreeDeviceInfo(info);
  XSync(display_->raw(), False);
}

void X11Input::removeMaster(int pointer) {
  XIRemoveMasterInfo remove{};
  remove.type = XIRemoveMaster;
  remove.deviceid = pointer;
  remove.return_mode = XIAttachToMaster;
  remove.return_pointer = 2;   // the virtual core pointer
  remove.return_keyboard = 3;  // the virtual core keyboard
  XIChangeHierarchy(display_->raw(), reinterpret_cast<XIAnyHierarchyChangeInfo*>(&remove), 1);
}

X11Input::Devices* X11Input::devicesOf(Agent agent) {
  if (auto found = agents_.find(agent); found != agents_.end()) return &found->second;
  Display* d = display_->raw();
  const std::string name = masterPrefix() + std::to_string(agent);
  XIAddMasterInfo add{};
  add.type = XIAddMaster;
  add.name = const_cast<char*>(name.c_str());
  add.send_core = True;  // without it Firefox, Qt and Chromium lose the agent's input
  add.enable = True;
  XIChangeHierarchy(d, reinterpret_cast<XIAnyHierarchyChangeInfo*>(&add), 1);
  XSync(d, False);
  Devices devices;
  int count = 0;
  XIDeviceInfo* info = XIQueryDevice(d, XIAllDevices, &count);
  for (int i = 0; i < count; ++i) {
    std::string device = info[i].name;
    if (device == name + " pointer") devices.pointer = info[i].deviceid;
    else if (device == name + " keyboard") devices.keyboard = info[i].deviceid;
    else if (device == name + " XTEST pointer") devices.xtestPointer = info[i].deviceid;
    else if (device == name + " XTEST keyboard") devices.xtestKeyboard = info[i].deviceid;
  }
  XIFreeDeviceInfo(info);
  if (devices.pointer == 0 || devices.xtestPointer == 0 || devices.xtestKeyboard == 0) {
    Log::error(Log::desktop, "could not make the agent's pointer " + name);
    if (devices.pointer != 0) removeMaster(devices.pointer);
    return nullptr;
  }
  devices.pointerDevice = XOpenDevice(d, static_cast<XID>(devices.xtestPointer));
  devices.keyboardDevice = XOpenDevice(d, static_cast<XID>(devices.xtestKeyboard));
  if (devices.pointerDevice == nullptr || devices.keyboardDevice == nullptr) {
    removeMaster(devices.pointer);
    return nullptr;
  }
  lockSpareModifier(devices.keyboard);
  // A new master keyboard follows the pointer; until keys are meant for a window, it has none.
  XISetFocus(d, devices.keyboard, None, CurrentTime);
  auto& stored = agents_[agent] = devices;
  publishAgentSources();
  return &stored;
}

void X11Input::publishAgentSources() {
  std::set<int> sources;
  for (const auto& [agent, devices] : agents_) {
    sources.insert({devices.pointer, devices.keyboard, devices.xtestPointer, devices.xtestKeyboard});
  }
  primary_.setAgentSources(sources);
  watch_.setAgentSources(std::move(sources));
}

void X11Input::lockSpareModifier(int keyboard) {
  XModifierKeymap* map = XGetModifierMapping(display_->raw());
  if (map == nullptr) return;
  unsigned spare = 0;
  for (int modifier = 7; modifier >= 3 && spare == 0; --modifier) {  // Mod5 down to Mod1
    bool used = false;
    for (int k = 0; k < map->max_keypermod; ++k) used |= map->modifiermap[modifier * map->max_keypermod + k] != 0;
    if (!used) spare = 1u << modifier;
  }
  XFreeModifiermap(map);
  if (spare == 0) {
    Log::info("Input", "no spare modifier to lock: the window manager may see agent clicks");
    return;
  }
  XkbLockModifiers(display_->raw(), static_cast<unsigned>(keyboard), spare, spare);
}

void X11Input::holdModifiers(Devices& devices, uint32_t modifiers) {
  static const std::pair<uint32_t, KeySym> keys[] = {{KeyModifier::shift, XK_Shift_L},
                                                     {KeyModifier::control, XK_Control_L},
                                                     {KeyModifier::alt, XK_Alt_L},
                                                     {KeyModifier::super, XK_Super_L},
                                                     {KeyModifier::option, XK_ISO_Level3_Shift}};
  for (const auto& [bit, symbol] : keys) {
    bool want = (modifiers & bit) != 0, held = (devices.heldModifiers & bit) != 0;
    if (want == held) continue;
    KeyCode code = XKeysymToKeycode(display_->raw(), symbol);
    if (code == 0) continue;
    XTestFakeDeviceKeyEvent(display_->raw(), devices.keyboardDevice, code, want, nullptr, 0, CurrentTime);
    devices.heldModifiers ^= bit;
  }
}

void X11Input::moveTo(Devices& devices, Point point) {
  int axes[2] = {static_cast<int>(point.x), static_cast<int>(point.y)};
  XTestFakeDeviceMotionEvent(display_->raw(), devices.pointerDevice, False, 0, axes, 2, CurrentTime);
}

bool X11Input::post(Agent agent, const AgentEvent& event) {
  primary_.agentActs(event.pid);
  std::lock_guard guard(lock_);
  Devices* devices = nullptr;
  {
    std::lock_guard xlock(display_->lock());
    devices = devicesOf(agent);
  }
  if (devices == nullptr) return false;
  const bool key = event.kind == AgentEvent::Kind::keyDown || event.kind == AgentEvent::Kind::keyUp;
  uint32_t keyCode = event.keyCode;
  if (key) {
    keyCode = keyCodeFor(agent, event);
    if (keyCode == 0) return true;  // nothing types it; skipped
    if (event.kind == AgentEvent::Kind::keyDown) aimKeys(agent, *devices, event.pid);
  }
  std::lock_guard xlock(display_->lock());
  Display* d = display_->raw();
  switch (event.kind) {
    case AgentEvent::Kind::move: moveTo(*devices, event.point); break;
    case AgentEvent::Kind::buttonDown:
      holdModifiers(*devices, event.modifiers);
      moveTo(*devices, event.point);
      XTestFakeDeviceButtonEvent(d, devices->pointerDevice, buttonNumber(event.button), True, nullptr, 0, CurrentTime);
      break;
    case AgentEvent::Kind::buttonUp:
      moveTo(*devices, event.point);
      XTestFakeDeviceButtonEvent(d, devices->pointerDevice, buttonNumber(event.button), False, nullptr, 0, CurrentTime);
      holdModifiers(*devices, 0);
      break;
    case AgentEvent::Kind::scroll:
      moveTo(*devices, event.point);
      turnWheel(*devices, event.wheel);
      break;
    case AgentEvent::Kind::keyDown:
    case AgentEvent::Kind::keyUp:
      XTestFakeDeviceKeyEvent(d, devices->keyboardDevice, keyCode, event.kind == AgentEvent::Kind::keyDown, nullptr, 0,
                              CurrentTime);
      break;
  }
  XFlush(d);
  return true;
}

void X11Input::turnWheel(Devices& devices, Point wheel) {
  // X has no pixel wheel for synthetic devices: whole clicks, each about three lines of text.
  constexpr double pointsPerClick = AgentEvent::wheelClick;
  // A turn the other way starts afresh, as a hand reversing its wheel does.
  auto add = [](double& kept, double turn) { kept = kept * turn < 0 ? turn : kept + turn; };
  add(devices.wheel.x, wheel.x);
  add(devices.wheel.y, wheel.y);
  auto click = [&](unsigned button) {
    XTestFakeDeviceButtonEvent(display_->raw(), devices.pointerDevice, button, True, nullptr, 0, CurrentTime);
    XTestFakeDeviceButtonEvent(display_->raw(), devices.pointerDevice, button, False, nullptr, 0, CurrentTime);
  };
  for (; devices.wheel.y >= pointsPerClick; devices.wheel.y -= pointsPerClick) click(4);
  for (; devices.wheel.y <= -pointsPerClick; devices.wheel.y += pointsPerClick) click(5);
  for (; devices.wheel.x >= pointsPerClick; devices.wheel.x -= pointsPerClick) click(6);
  for (; devices.wheel.x <= -pointsPerClick; devices.wheel.x += pointsPerClick) click(7);
}

// Characters the keymap lacks, and Shift or AltGr characters for Qt, which reads text
// modifiers from the core keyboard and so ignores the agent's, type through a lent code.
uint32_t X11Input::keyCodeFor(Agent agent, const AgentEvent& event) {
  const bool lacksKey = event.keyCode == 0;
  const bool qtLevel = toolkit(event.pid) == Toolkit::qt &&
                       (event.modifiers & (KeyModifier::shift | KeyModifier::option)) != 0;
  if (event.text.empty() || !(lacksKey || qtLevel)) return event.keyCode;
  const xkb_keysym_t keysym = xkb_utf32_to_keysym(Text::scalar(event.text));
  if (keysym == XKB_KEY_NoSymbol) return 0;
  auto code = event.kind == AgentEvent::Kind::keyDown ? spareKeys_->lend(agent, keysym) : spareKeys_->lent(agent, keysym);
  if (!code) Log::info("Input", "no spare keycode left to type " + event.text);
  return code.value_or(0);
}

X11Input::Toolkit X11Input::toolkit(pid_t pid) {
  auto found = toolkits_.find(pid);
  if (found != toolkits_.end()) return found->second;
  return toolkits_[pid] = toolkitOf(pid);
}

bool X11Input::focusesWindowItself(pid_t pid) { return toolkit(pid) != Toolkit::other; }

void X11Input::setKeyboardFocus(Devices& devices, Taken& taken, Focus focus) {
  if (taken.focus == focus) return;
  std::lock_guard xlock(display_->lock());
  XISetFocus(display_->raw(), devices.keyboard, focus == Focus::window ? taken.window : PointerRoot, CurrentTime);
  taken.focus = focus;
}

// Keys need the agent keyboard's focus; pointer actions leave it alone, because every
// focus change of a master keyboard reaches the window manager as a core focus event.
// PointerRoot sends keys to the window under the agent's pointer, so it serves only
// while that is the target; otherwise the focus goes on the window itself, which also
// reaches a covered window.
void X11Input::aimKeys(Agent agent, Devices& devices, pid_t pid) {
  auto taken = taken_.find(pid);
  if (taken == taken_.end() || taken->second.agent != agent) return;
  if (focusesWindowItself(pid)) return setKeyboardFocus(devices, taken->second, Focus::window);
  Point pointer{-1, -1};
  {
    std::lock_guard xlock(display_->lock());
    ::Window root = 0, child = 0;
    double rootX = 0, rootY = 0, x = 0, y = 0;
    XIButtonState buttons{};
    XIModifierState modifiers{};
    XIGroupState group{};
    if (XIQueryPointer(display_->raw(), devices.pointer, display_->root(), &root, &child, &rootX, &rootY, &x, &y,
                       &buttons, &modifiers, &group))
      pointer = {rootX, rootY};
    XFree(buttons.mask);
  }
  const bool overTarget = windowAt_ && windowAt_(pointer) == WindowNumber(taken->second.window);
  setKeyboardFocus(devices, taken->second, overTarget ? Focus::pointerRoot : Focus::window);
}

void X11Input::focusKeys(Agent agent, pid_t pid) {
  std::lock_guard guard(lock_);
  auto devices = agents_.find(agent);
  if (devices != agents_.end()) aimKeys(agent, devices->second, pid);
}

void X11Input::take(Agent agent, const WindowInfo& window) {
  primary_.agentActs(window.pid);
  std::lock_guard guard(lock_);
  std::unique_lock xlock(display_->lock());
  Devices* devices = devicesOf(agent);
  if (devices == nullptr) return;
  Display* d = display_->raw();
  Taken taken{agent, static_cast<::Window>(window.id), 2, Focus::none};
  if (auto previous = taken_.find(window.pid); previous != taken_.end()) {
    taken.previousClientPointer = previous->second.previousClientPointer;
  } else {
    int current = 0;
    if (XIGetClientPointer(d, taken.window, &current) && current != 0) taken.previousClientPointer = current;
  }
  XISetClientPointer(d, taken.window, devices->pointer);
  taken_[window.pid] = taken;
  XSync(d, False);
  xlock.unlock();
  // Qt and Chromium activate themselves when clicked while unfocused (measured): give
  // them the agent keyboard's focus first.
  if (focusesWindowItself(window.pid)) setKeyboardFocus(*devices, taken_[window.pid], Focus::window);
}

void X11Input::release(Agent agent, pid_t pid) {
  std::lock_guard guard(lock_);
  auto found = taken_.find(pid);
  if (found == taken_.end() || found->second.agent != agent) return;
  std::unique_lock xlock(display_->lock());
  Display* d = display_->raw();
  XISetClientPointer(d, found->second.window, found->second.previousClientPointer);
  auto devices = agents_.find(agent);
  if (devices != agents_.end()) {
    // Back onto the user's own focus window: the window manager hears of every master
    // keyboard's focus change, and a change to none would leave it with no front window.
    // An app clicked in the background may have focused itself on the agent's keyboard
    // (Qt answers the window manager's take-focus through its client pointer's keyboard).
    ::Window userFocus = None, agentFocus = None;
    int revert = 0;
    XGetInputFocus(d, &userFocus, &revert);
    XIGetFocus(d, devices->second.keyboard, &agentFocus);
    if (found->second.focus != Focus::none || (agentFocus != None && agentFocus != userFocus))
      XISetFocus(d, devices->second.keyboard, userFocus, CurrentTime);
  }
  taken_.erase(found);
  XSync(d, False);
  xlock.unlock();
  spareKeys_->giveBack(agent);
}

void X11Input::removeAgent(Agent agent) {
  std::lock_guard guard(lock_);
  auto found = agents_.find(agent);
  if (found == agents_.end()) return;
  std::unique_lock xlock(display_->lock());
  Display* d = display_->raw();
  for (auto it = taken_.begin(); it != taken_.end();) {
    if (it->second.agent != agent) {
      ++it;
      continue;
    }
    XISetClientPointer(d, it->second.window, it->second.previousClientPointer);
    it = taken_.erase(it);
  }
  holdModifiers(found->second, 0);
  XCloseDevice(d, found->second.pointerDevice);
  XCloseDevice(d, found->second.keyboardDevice);
  removeMaster(found->second.pointer);
  XSync(d, False);
  agents_.erase(found);
  publishAgentSources();
  xlock.unlock();
  spareKeys_->giveBack(agent);
}

bool X11Input::heldByApp(Agent agent, pid_t pid) {
  std::lock_guard guard(lock_);
  auto found = agents_.find(agent);
  if (found == agents_.end()) return false;
  std::lock_guard displayGuard(display_->lock());
  // Only an open popup of the app can hold the devices: probe only then.
  const auto windows = X11Windows::stack(*display_);
  if (std::none_of(windows.begin(), windows.end(), [&](const X11Window& window) {
        return window.pid == pid && window.overrideRedirect && window.onScreen() && window.layer == 101;
      })) {
    return false;
  }
  return grabProbe_.heldByAnother(found->second.pointer) || grabProbe_.heldByAnother(found->second.keyboard);
}

bool X11Input::secureInputEnabled() {
  std::lock_guard displayGuard(display_->lock());
  return grabProbe_.userKeyboardHeldByAnother();
}
