#include "app/CursorOverlay.hpp"

#include "app/CursorArt.hpp"
#include "kit/common/Log.hpp"

struct CursorOverlay::Cursor {
  std::shared_ptr<Desktop> desktop;  // the desktop the window was made on
  WindowNumber window = 0;
  size_t color = 0;
  WindowNumber target = 0;
  PointerPath path = PointerPath::resting({0, 0});
  double pathStart = 0;  // desktop clock
  TimedQueue::Clock::time_point playUntil;
  bool idle = false;
  uint64_t generation = 0;  // counts moves and pulses; an idle hide applies only to the latest

  OverlayWindows& overlays() { return *desktop->overlays(); }
  // Puts the tip on where the path is now; false once the path has ended.
  bool showTip() {
    const double elapsed = desktop->clock().now() - pathStart;
    const bool ended = elapsed >= path.duration || TimedQueue::Clock::now() >= playUntil;
    const Point at = ended ? path.end : path.point(elapsed);
    overlays().move(window, {at.x - CursorArt::tip.x, at.y - CursorArt::tip.y});
    return !ended;
  }
};

CursorOverlay::CursorOverlay(std::string stackWatchHelper) : stackWatchHelper_(std::move(stackWatchHelper)) {}

CursorOverlay::~CursorOverlay() {
  queue_.sync([this] {
    for (auto& [id, cursor] : cursors_) cursor->overlays().destroy(cursor->window);
    cursors_.clear();
    stackWatch_.reset();
  });
}

size_t CursorOverlay::colorIndex(AgentSession::Kind kind, const std::set<size_t>& used, int64_t sessionID) {
  const size_t preferred = kind == AgentSession::Kind::codex ? 1 : 0;
  if (!used.contains(preferred)) return preferred;
  for (size_t index = 0; index < CursorArt::palette.size(); ++index)
    if (!used.contains(index)) return index;
  return size_t(sessionID % int64_t(CursorArt::palette.size()));
}

void CursorOverlay::moveCursor(const AgentSession& session, const PointerPath& path, double startingAt,
                               WindowNumber above) {
  queue_.post([this, id = session.id, name = session.name, kind = session.kind, path, startingAt, above] {
    Cursor* cursor = cursorFor(id, name, kind);
    if (cursor == nullptr) return;
    const bool wasHidden = cursor->idle;
    const WindowNumber previous = cursor->target;
    cursor->idle = false;
    ++cursor->generation;
    cursor->target = above;
    cursor->path = path;
    cursor->pathStart = startingAt;
    play(*cursor);
    // Shown again only when the stack watch has seen the target: a hidden or covered
    // target must not show a cursor for a moment.
    if (above != previous || wasHidden) {
      cursor->overlays().orderOut(cursor->window);
      stackWatch().watch(cursor->window, above);
    }
    scheduleHide(id);
  });
}

void CursorOverlay::pulseCursor(const AgentSession& session) {
  queue_.post([this, id = session.id] {
    if (!cursors_.contains(id)) return;
    ++cursors_[id]->generation;
    scheduleHide(id);
  });
}

void CursorOverlay::removeCursor(const AgentSession& session) {
  queue_.post([this, id = session.id] {
    auto found = cursors_.find(id);
    if (found == cursors_.end()) return;
    std::unique_ptr<Cursor> cursor = std::move(found->second);
    cursors_.erase(found);
    stackWatch().watch(cursor->window, 0);
    cursor->overlays().destroy(cursor->window);
  });
}

std::optional<CursorOverlay::Shown> CursorOverlay::cursor(int64_t sessionID) {
  std::optional<Shown> shown;
  queue_.sync([&] {
    if (auto found = cursors_.find(sessionID); found != cursors_.end())
      shown = Shown{found->second->window, found->second->color, found->second->target};
  });
  return shown;
}

CursorOverlay::Cursor* CursorOverlay::cursorFor(int64_t sessionID, const std::string& name, AgentSession::Kind kind) {
  if (auto found = cursors_.find(sessionID); found != cursors_.end()) return found->second.get();
  auto desktop = Platform::desktopIfAny();
  if (!desktop || desktop->overlays() == nullptr) return nullptr;
  std::set<size_t> used;
  for (const auto& entry : cursors_) used.insert(entry.second->color);
  auto cursor = std::make_unique<Cursor>();
  cursor->desktop = desktop;
  cursor->color = colorIndex(kind, used, sessionID);
  auto window = desktop->overlays()->create(CursorArt::picture(name, CursorArt::palette[cursor->color]));
  if (!window) {
    Log::error("CursorOverlay", "no cursor window could be made for " + name);
    return nullptr;
  }
  cursor->window = *window;
  return (cursors_[sessionID] = std::move(cursor)).get();
}

void CursorOverlay::play(Cursor& cursor) {
  const auto length = std::chrono::duration<double>(std::max(0.0, cursor.path.duration));
  cursor.playUntil = TimedQueue::Clock::now() + std::chrono::duration_cast<TimedQueue::Clock::duration>(length) +
                     std::chrono::milliseconds(500);
  if (cursor.showTip() && !ticking_) {
    ticking_ = true;
    queue_.postAfter(frame, [this] { tick(); });
  }
}

// One frame of every path still playing.
void CursorOverlay::tick() {
  bool playing = false;
  for (auto& entry : cursors_) playing = entry.second->showTip() || playing;
  ticking_ = playing;
  if (playing) queue_.postAfter(frame, [this] { tick(); });
}

void CursorOverlay::scheduleHide(int64_t sessionID) {
  const uint64_t generation = cursors_.at(sessionID)->generation;
  queue_.postAfter(idleHide, [this, sessionID, generation] {
    auto found = cursors_.find(sessionID);
    if (found == cursors_.end() || found->second->generation != generation) return;
    Cursor& cursor = *found->second;
    stackWatch().watch(cursor.window, 0);
    cursor.idle = true;
    cursor.overlays().orderOut(cursor.window);
  });
}

void CursorOverlay::stackChanged(WindowNumber window, StackWatch::Change change) {
  for (auto& [id, cursor] : cursors_) {
    if (cursor->window != window) continue;
    if (change == StackWatch::Change::hidden || cursor->idle) {
      cursor->overlays().orderOut(window);
    } else if (cursor->target != 0) {
      cursor->overlays().orderAbove(window, cursor->target);
    }
    return;
  }
}

StackWatchClient& CursorOverlay::stackWatch() {
  if (!stackWatch_) {
    // A desktop that lives in this process is watched from a thread of it.
    auto desktop = Platform::desktopIfAny();
    const bool helperSees = desktop && desktop->reachableFromHelpers();
    stackWatch_ = std::make_unique<StackWatchClient>(
        queue_, helperSees ? stackWatchHelper_ : std::string(), [this](WindowNumber window, StackWatch::Change change) { stackChanged(window, change); });
  }
  return *stackWatch_;
}
