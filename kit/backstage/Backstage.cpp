#include "kit/backstage/Backstage.hpp"

#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "kit/backstage/InvisibleDisplay.hpp"
#include "kit/backstage/StageGeometry.hpp"
#include "kit/common/Log.hpp"
#include "kit/common/PlatformTexts.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/perception/AX.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/platform/Desktop.hpp"

namespace {

constexpr double moveTime = 2;        // seconds a window has to confirm a move
constexpr double quitTimeout = 8;
constexpr int dockLayer = 20;         // windows at this layer and above never cover
constexpr double reservedTop = 40;    // the top of the invisible display stays free
constexpr double launchDateTolerance = 2;

std::string describe(const Rect& frame) {
  auto n = [](double v) { return std::to_string(long(std::lround(v))); };
  return "(" + n(frame.origin.x) + ", " + n(frame.origin.y) + ", " + n(frame.size.width) + ", " +
         n(frame.size.height) + ")";
}

bool sameLaunch(std::optional<double> a, std::optional<double> b) {
  return !a || !b || std::abs(*a - *b) < launchDateTolerance;
}

bool near(Point a, Point b) { return std::abs(a.x - b.x) <= 1 && std::abs(a.y - b.y) <= 1; }

RecoveryEntry entryOf(const Guest& guest) {
  return {guest.window, guest.pid, guest.processLaunchDate, guest.home.origin, guest.parkedFrame,
          guest.restoreMinimized};
}

}  // namespace

Backstage& Backstage::shared() {
  static Backstage instance;
  return instance;
}

Backstage::~Backstage() {
  {
    std::lock_guard guard(timerLock_);
    timerStop_ = true;
  }
  timerWake_.notify_all();
  if (timer_.joinable()) timer_.join();
}

void Backstage::adopt() {
  auto desktop = Platform::desktopIfAny();
  if (desktop == desktop_) return;
  desktop_ = std::move(desktop);
  display_.reset();
  guests_.clear();
  pendingRecovery_.clear();
  journalReadError_.reset();
  journalWriteError_.reset();
  quitting_ = quitCancelled_ = false;
  frontGuestApp_.reset();
  if (!desktop_) return;
  // An invisible display left by a run that was killed is ours from now on.
  for (const auto& display : desktop_->windowServer().displays())
    if (display.isInvisible) display_ = display;
  if (opened_) recover();
}

void Backstage::recover() {
  try {
    for (auto& entry : BackstageJournal::load()) pendingRecovery_[entry.windowID] = entry;
  } catch (const std::exception& error) {
    journalReadError_ = "The backstage recovery journal could not be read; it was left unchanged.";
    Log::error(Log::backstage, std::string("Could not read backstage recovery journal: ") + error.what());
  }
  recoverUnchangedWindows();
}

void Backstage::open(bool housekeeping) {
  {
    std::lock_guard guard(lock_);
    opened_ = true;
    // Adopting a desktop recovers its windows, also one found later.
    if (Platform::desktopIfAny() != desktop_) adopt();
    else if (desktop_) recover();
  }
  if (housekeeping) startTimer();
}

void Backstage::recoverUnchangedWindows() {
  bool changed = false;
  for (auto it = pendingRecovery_.begin(); it != pendingRecovery_.end();) {
    const RecoveryEntry& entry = it->second;
    auto app = Apps::withPID(entry.pid);
    auto window = Apps::window(entry.windowID);
    const bool unchanged = app && sameLaunch(entry.processLaunchDate, app->launchDate) && window &&
                           window->pid == entry.pid &&
                           (!entry.parkedFrame || near(window->frame.origin, entry.parkedFrame->origin));
    if (unchanged && move(*window, entry.home, Platform::clock().now() + moveTime)) {
      Log::info(Log::backstage, "Window " + std::to_string(entry.windowID) + " is back home at " +
                                    describe({entry.home, window->frame.size}));
      it = pendingRecovery_.erase(it);
      changed = true;
    } else {
      ++it;
    }
  }
  if (changed) persistBestEffort();
}

WindowInfo Backstage::admit(const WindowInfo& window, uint64_t agent) {
  std::lock_guard guard(lock_);
  adopt();
  if (quitting_) {
    throw ToolError(
        "Tarnwick is returning its windows before quitting. Try again after shutdown finishes or is cancelled.");
  }
  if (!desktop_) return window;
  applyDisplayLoss();
  checkNotDormant(window);
  Clock& clock = Platform::clock();
  if (auto guest = guests_.find(window.id); guest != guests_.end() && !guest->second.leaving) {
    guest->second.agents.insert(agent);
    return Apps::window(window.id).value_or(window);
  }
  auto front = Apps::frontmost();
  if (window.layer != 0 || !window.isOnScreen || (front && front->pid == window.pid) || !isCovered(window) ||
      !ensureDisplay()) {
    return window;
  }
  auto spot = spotFor(window.frame.size, window.id);
  if (!spot) return window;
  const double deadline = clock.now() + moveTime;
  Apps::axWindow(window, deadline);  // warms the app up before it has to answer the move
  Guest guest{.window = window.id,
              .pid = window.pid,
              .home = window.frame,
              .processLaunchDate = std::nullopt,
              .parkedFrame = {*spot, window.frame.size},
              .agents = {agent}};
  if (auto app = Apps::withPID(window.pid); app && app->launchDate > 0) guest.processLaunchDate = app->launchDate;
  guests_[window.id] = guest;
  lastUserPress_ = std::max(lastUserPress_, clock.now());  // earlier presses were not for it
  try {
    persistGuests();
  } catch (const std::exception& error) {
    guests_.erase(window.id);
    throw ToolError(std::string("The window was not moved because its recovery metadata could not be saved: ") +
                    error.what());
  }
  if (!move(window, *spot, deadline)) {
    Log::error(Log::backstage, "Window " + std::to_string(window.id) + " did not move to " + describe(guest.parkedFrame));
    throw ToolError(
        "The window did not confirm its backstage move; its original position is retained and return will be "
        "retried.");
  }
  Log::info(Log::backstage, "Window " + std::to_string(window.id) + " of pid " + std::to_string(window.pid) +
                                " moved from " + describe(window.frame) + " to the stage");
  WindowInfo moved = Apps::window(window.id).value_or(window);
  moved.frame.origin = *spot;
  return moved;
}

void Backstage::checkNotDormant(const WindowInfo& window) {
  auto app = Apps::withPID(window.pid);
  if (!app) return;
  switch (Apps::dormancy(window, *app)) {
    case Apps::Dormancy::appHidden: throw ToolError(std::string(PlatformTexts::hiddenAppNotRestored()));
    case Apps::Dormancy::minimized: throw ToolError(std::string(PlatformTexts::minimizedNotRestored()));
    case Apps::Dormancy::none: return;
  }
}

std::optional<std::vector<Rect>> Backstage::coveringFrames(const std::vector<WindowInfo>& stack, WindowNumber window) {
  std::vector<Rect> inFront;
  for (const auto& other : stack) {
    if (other.id == window) return inFront;
    if (other.isOnScreen && other.pid != getpid() && other.layer < dockLayer && !guests_.contains(other.id))
      inFront.push_back(other.frame);
  }
  return std::nullopt;
}

bool Backstage::isCovered(const WindowInfo& window) {
  auto inFront = coveringFrames(Apps::frontToBack(), window.id);
  if (!inFront) return false;
  std::vector<Rect> displays;
  for (const auto& display : desktop_->windowServer().displays())
    if (!display.isInvisible) displays.push_back(display.frame);
  return StageGeometry::isCovered(window.frame, *inFront, displays);
}

bool Backstage::ensureDisplay() {
  if (display_) return true;
  display_ = InvisibleDisplay::create();
  if (!display_) return false;
  Log::info(Log::backstage, "Backstage display " + std::to_string(display_->id) + " at " + describe(display_->frame));
  return true;
}

std::optional<Point> Backstage::spotFor(Size size, WindowNumber window) {
  Rect area = display_->frame;
  area.origin.y += reservedTop;
  area.size.height -= reservedTop;
  std::vector<Rect> others;
  for (const auto& [number, guest] : guests_)
    if (number != window) others.push_back(guest.parkedFrame);
  return StageGeometry::vacantSpot(size, area, others);
}

bool Backstage::move(const WindowInfo& window, Point to, double deadline) {
  Clock& clock = Platform::clock();
  auto element = Apps::axWindow(window, deadline);
  if (!element) {
    Log::error(Log::backstage, "Window " + std::to_string(window.id) + " has no accessibility element");
    return false;
  }
  const double remaining = std::clamp(deadline - clock.now(), 0.01, 0.25);
  if (AXStatus status = AX::set(AX::withTimeout(*element, remaining), "AXPosition", to); status != AXError::success) {
    Log::error(Log::backstage, "Moving window " + std::to_string(window.id) + " failed: AXError " +
                                   std::to_string(int(status)));
    return false;
  }
  while (true) {
    auto now = Apps::window(window.id);
    if (now && near(now->frame.origin, to)) return true;
    if (clock.now() >= deadline) return false;
    clock.sleep(0.025);
  }
}

bool Backstage::isGuest(WindowNumber window) {
  std::lock_guard guard(lock_);
  adopt();
  return guests_.contains(window);
}

void Backstage::returnGuests(const std::vector<WindowNumber>& windows, double deadline) {
  bool changed = false;
  for (WindowNumber number : windows) {
    auto found = guests_.find(number);
    if (found == guests_.end()) continue;
    Guest& guest = found->second;
    guest.leaving = true;
    auto window = Apps::window(number);
    if (!window) {
      guests_.erase(found);  // closed meanwhile: nothing to bring back
      changed = true;
      continue;
    }
    if (move(*window, guest.home.origin, deadline)) {
      Log::info(Log::backstage, "Window " + std::to_string(number) + " is back home at " + describe(guest.home));
      guests_.erase(found);
      changed = true;
    } else {
      Log::error(Log::backstage, "Could not rescue window " + std::to_string(number));
      guest.leaving = false;
    }
  }
  if (changed) persistBestEffort();
}

void Backstage::agentLeft(uint64_t agent) {
  std::lock_guard guard(lock_);
  adopt();
  std::vector<WindowNumber> idle;
  for (auto& [number, guest] : guests_) {
    if (guest.agents.erase(agent) && guest.agents.empty()) idle.push_back(number);
  }
  if (!idle.empty()) returnGuests(idle, Platform::clock().now() + moveTime);
}

bool Backstage::closeAll() {
  std::lock_guard guard(lock_);
  adopt();
  if (!desktop_) return true;
  quitting_ = true;
  std::vector<WindowNumber> all;
  for (const auto& [number, guest] : guests_) all.push_back(number);
  returnGuests(all, Platform::clock().now() + quitTimeout);
  if (!guests_.empty()) {
    quitting_ = false;
    quitCancelled_ = true;
    Log::error(Log::backstage, "Quitting was cancelled: " + std::to_string(guests_.size()) + " window(s) did not return");
    return false;
  }
  if (display_) desktop_->windowServer().removeInvisibleDisplay(display_->id);
  display_.reset();
  return true;
}

void Backstage::applyDisplayLoss() {
  if (!display_ || InvisibleDisplay::listed(display_->id)) return;
  Log::error(Log::backstage, "Backstage display " + std::to_string(display_->id) + " was lost");
  // What is left of it (a screen grown for it, a CRTC driving it) goes too.
  desktop_->windowServer().removeInvisibleDisplay(display_->id);
  display_.reset();
  // Windows still there with their process go home; where the others went is not known,
  // so they stay in the journal, unresolved.
  std::vector<WindowNumber> all;
  for (const auto& [number, guest] : guests_) {
    auto window = Apps::window(number);
    if (window && window->pid == guest.pid) all.push_back(number);
  }
  returnGuests(all, Platform::clock().now() + moveTime);
  for (const auto& [number, guest] : guests_) pendingRecovery_[number] = entryOf(guest);
  guests_.clear();
}

void Backstage::tick() {
  std::lock_guard guard(lock_);
  adopt();
  if (!desktop_) return;
  // Windows of an earlier run may be listed only a moment after the start.
  const double now = Platform::clock().now();
  if (!pendingRecovery_.empty() && now - lastRecovery_ >= 1) {
    lastRecovery_ = now;
    recoverUnchangedWindows();
  }
  if (guests_.empty()) return;
  applyDisplayLoss();
  const size_t before = guests_.size();
  std::erase_if(guests_, [](const auto& entry) { return !Apps::window(entry.first); });
  if (guests_.size() != before) persistBestEffort();
  sendHomeWhenUserFronts(now);
  sendHomeWhereTheUserClicks();
  rescueLandedWindows(now);
  if (guests_.empty()) quitCancelled_ = false;
}

void Backstage::sendHomeWhenUserFronts(double now) {
  auto front = Apps::frontmost();
  const bool guestInFront = front && std::any_of(guests_.begin(), guests_.end(), [&](const auto& entry) {
                              return entry.second.pid == front->pid;
                            });
  if (!guestInFront) {
    frontGuestApp_.reset();
    return;
  }
  if (!frontGuestApp_ || frontGuestApp_->first != front->pid) frontGuestApp_ = {front->pid, now};
  AgentInput* input = desktop_->input();
  const double lastUserInput = input ? now - input->userIdleSeconds() : -1e9;
  if (now - frontGuestApp_->second < 0.5 || lastUserInput < frontGuestApp_->second - 2) return;
  Log::info(Log::backstage, "The user brought pid " + std::to_string(front->pid) + " to the front");
  std::vector<WindowNumber> theirs;
  for (const auto& [number, guest] : guests_)
    if (guest.pid == front->pid) theirs.push_back(number);
  frontGuestApp_.reset();
  returnGuests(theirs, now + moveTime);
}

// A press where a guest would be seen, were it home, is the user reaching for it.
void Backstage::sendHomeWhereTheUserClicks() {
  AgentInput* input = desktop_->input();
  auto press = input ? input->userLastPress() : std::nullopt;
  if (!press) return;
  const double pressedAt = Platform::clock().now() - press->secondsAgo;
  if (pressedAt <= lastUserPress_) return;
  lastUserPress_ = pressedAt;
  const auto stack = Apps::frontToBack();
  std::vector<WindowNumber> reached;
  for (const auto& [number, guest] : guests_) {
    if (!guest.home.contains(press->point)) continue;
    auto inFront = coveringFrames(stack, number);
    if (inFront && std::none_of(inFront->begin(), inFront->end(),
                                [&](const Rect& frame) { return frame.contains(press->point); }))
      reached.push_back(number);
  }
  if (reached.empty()) return;
  Log::info(Log::backstage, "The user clicked where window " + std::to_string(reached.front()) + " belongs");
  returnGuests(reached, Platform::clock().now() + moveTime);
}

// A window a guest's app opened on the invisible display belongs where the user sees it.
void Backstage::rescueLandedWindows(double now) {
  if (!display_) return;
  std::optional<Rect> main;
  for (const auto& display : desktop_->windowServer().displays())
    if (display.isMain) main = display.frame;
  if (!main) return;
  std::set<pid_t> guestApps;
  for (const auto& [number, guest] : guests_) guestApps.insert(guest.pid);
  for (const auto& window : Apps::frontToBack()) {
    if (window.layer != 0 || guests_.contains(window.id) || !guestApps.contains(window.pid)) continue;
    if (!display_->frame.contains(window.frame.center())) continue;
    Log::info(Log::backstage, "Window " + std::to_string(window.id) + " of pid " + std::to_string(window.pid) +
                                  " landed on the backstage; moving it to the main screen");
    move(window, {main->origin.x + 80, main->origin.y + 80}, now + moveTime);
  }
}

std::vector<RecoveryEntry> Backstage::journalEntries() const {
  std::vector<RecoveryEntry> entries;
  for (const auto& [number, entry] : pendingRecovery_) entries.push_back(entry);
  for (const auto& [number, guest] : guests_) entries.push_back(entryOf(guest));
  return entries;
}

void Backstage::persistGuests() { BackstageJournal::save(journalEntries()); }

void Backstage::persistBestEffort() {
  try {
    persistGuests();
    journalWriteError_.reset();
  } catch (const std::exception& error) {
    journalWriteError_ = "Backstage recovery metadata could not be updated. In-memory window ownership is retained.";
    Log::error(Log::backstage, error.what());
  }
}

std::optional<std::string> Backstage::recoveryStatus() {
  std::lock_guard guard(lock_);
  adopt();
  std::vector<std::string> parts;
  if (journalReadError_) parts.push_back(*journalReadError_);
  if (journalWriteError_) parts.push_back(*journalWriteError_);
  if (quitCancelled_) {
    parts.push_back(
        "Quitting was cancelled because window return did not finish within eight seconds. The display and recovery "
        "ownership were retained.");
  }
  if (!pendingRecovery_.empty()) {
    parts.push_back(std::to_string(pendingRecovery_.size()) +
                    " unresolved backstage window record(s) are retained in backstage-recovery.json. Their identity, "
                    "position or user ownership could not be verified after display loss or restart; they were not "
                    "moved automatically.");
  }
  if (parts.empty()) return std::nullopt;
  std::string text = parts.front();
  for (size_t i = 1; i < parts.size(); ++i) text += " " + parts[i];
  return text;
}

void Backstage::startTimer() {
  std::lock_guard guard(timerLock_);
  if (timer_.joinable() || timerStop_) return;
  timer_ = std::thread([this] {
    std::unique_lock wait(timerLock_);
    while (!timerWake_.wait_for(wait, std::chrono::milliseconds(250), [this] { return timerStop_; })) {
      wait.unlock();
      tick();
      wait.lock();
    }
  });
}
