#include "kit/input/SharedKeyWindow.hpp"

#include "kit/common/Log.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/platform/Desktop.hpp"

SharedKeyWindow& SharedKeyWindow::shared() {
  static SharedKeyWindow instance;
  return instance;
}

AgentInput& SharedKeyWindow::devices() {
  AgentInput* input = Platform::desktop().input();
  if (input == nullptr) throw ToolError("This desktop takes no input from agents.");
  return *input;
}

void SharedKeyWindow::watchUser() {
  // Every take (re)states it, so a desktop installed later is watched as well.
  devices().watchUser([this](UserInputKind kind) { userInput(kind); });
}

void SharedKeyWindow::refreshHeld() {
  std::lock_guard guard(heldLock_);
  held_.clear();
  for (const auto& [pid, hold] : holds_) held_.insert(pid);
}

void SharedKeyWindow::releaseKeys(const Hold& hold) {
  for (const auto& [code, text] : hold.heldKeys) {
    AgentEvent up{.kind = AgentEvent::Kind::keyUp, .window = hold.window.id, .pid = hold.window.pid, .keyCode = code,
                  .text = text};
    devices().post(hold.agent, up);
  }
}

void SharedKeyWindow::take(Agent agent, const WindowInfo& window) {
  waitForUserPause(window.pid);
  std::lock_guard guard(lock_);
  watchUser();
  auto found = holds_.find(window.pid);
  if (found != holds_.end() && found->second.agent == agent && found->second.window.id == window.id &&
      !found->second.yielded) {
    found->second.window = window;
    return;  // already the agent's
  }
  if (found != holds_.end()) releaseKeys(found->second);
  holds_[window.pid] = {agent, window, false, {}};
  refreshHeld();
  Log::info("SharedKeyWindow", "take " + std::to_string(window.id) + " for agent " + std::to_string(agent));
  devices().take(agent, window);
}

void SharedKeyWindow::post(Agent agent, const AgentEvent& event, std::optional<Key> key) {
  std::unique_lock guard(lock_);
  for (auto hold = holds_.find(event.pid); hold != holds_.end() && hold->second.yielded;
       hold = holds_.find(event.pid)) {
    guard.unlock();
    waitForUserPause(event.pid);
    guard.lock();
    hold = holds_.find(event.pid);
    if (hold == holds_.end() || !hold->second.yielded) continue;
    Log::info("SharedKeyWindow", "retake " + std::to_string(hold->second.window.id));
    hold->second.yielded = false;
    devices().take(hold->second.agent, hold->second.window);
  }
  auto hold = holds_.find(event.pid);
  if (key && hold != holds_.end()) {
    // A key without a code is told apart by the character it types.
    if (key->down) hold->second.heldKeys.insert({key->code, event.text});
    else hold->second.heldKeys.erase({key->code, event.text});
  }
  devices().post(agent, event);
}

void SharedKeyWindow::release(Agent agent, pid_t pid) {
  std::lock_guard guard(lock_);
  auto hold = holds_.find(pid);
  if (hold == holds_.end() || hold->second.agent != agent) return;  // another agent holds it now
  Hold ended = std::move(hold->second);
  holds_.erase(hold);
  refreshHeld();
  releaseKeys(ended);
  Log::info("SharedKeyWindow", std::string("release: yielded ") + (ended.yielded ? "1" : "0"));
  if (!ended.yielded) devices().release(agent, pid);
}

void SharedKeyWindow::endSession(Agent agent) {
  std::vector<pid_t> pids;
  {
    std::lock_guard guard(lock_);
    for (const auto& [pid, hold] : holds_)
      if (hold.agent == agent) pids.push_back(pid);
  }
  for (pid_t pid : pids) release(agent, pid);
  if (AgentInput* input = Platform::desktopIfAny() ? Platform::desktop().input() : nullptr) input->removeAgent(agent);
}

void SharedKeyWindow::userInput(UserInputKind kind) {
  auto desktop = Platform::desktopIfAny();
  if (!desktop) return;
  auto pid = desktop->windowServer().keyFocusProcess();
  if (!pid) return;
  {
    std::lock_guard guard(heldLock_);
    if (!held_.contains(*pid)) return;
  }
  std::lock_guard guard(lock_);
  auto hold = holds_.find(*pid);
  if (hold == holds_.end() || hold->second.yielded) return;
  releaseKeys(hold->second);
  hold->second.heldKeys.clear();
  hold->second.yielded = true;
  Log::info("SharedKeyWindow", "yield on " + std::string(kind == UserInputKind::button ? "button" : "key") + " in " +
                                   std::to_string(*pid));
  // On X11 the app's own grabs follow whose pointer it was given, so a user's click
  // gives it back as well as a key.
  devices().release(hold->second.agent, *pid);
}

bool SharedKeyWindow::holds(pid_t pid) {
  std::lock_guard guard(lock_);
  return holds_.contains(pid);
}

bool SharedKeyWindow::yielded(pid_t pid) {
  std::lock_guard guard(lock_);
  auto hold = holds_.find(pid);
  return hold != holds_.end() && hold->second.yielded;
}
