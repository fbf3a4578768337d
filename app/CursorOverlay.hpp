#pragma once
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "app/StackWatchClient.hpp"
#include "kit/common/TimedQueue.hpp"
#include "kit/platform/Desktop.hpp"
#include "kit/tools/AgentSession.hpp"
#include "kit/tools/CursorPresenter.hpp"

// One visible cursor per agent: a small picture that glides along the agent's pointer
// path, drawn directly above the window the agent works in, so that whatever the user
// puts in front of that window covers the cursor too. All cursor state lives on the
// overlay's own thread; the presenter calls only post work there.
class CursorOverlay : public CursorPresenter {
 public:
  static constexpr auto idleHide = std::chrono::seconds(45);
  static constexpr auto frame = std::chrono::milliseconds(16);

  // `stackWatchHelper`: the executable that serves `stack-watch`; empty to watch the
  // stacking from a thread of this process.
  explicit CursorOverlay(std::string stackWatchHelper = {});
  ~CursorOverlay() override;

  void moveCursor(const AgentSession& session, const PointerPath& path, double startingAt,
                  WindowNumber above) override;
  void pulseCursor(const AgentSession& session) override;
  void removeCursor(const AgentSession& session) override;

  // The palette index for a new cursor, given the indexes live cursors use.
  static size_t colorIndex(AgentSession::Kind kind, const std::set<size_t>& used, int64_t sessionID);

  // What tests look at: the overlay window of the session's cursor and its palette index.
  struct Shown {
    WindowNumber window = 0;
    size_t color = 0;
    WindowNumber target = 0;
  };
  std::optional<Shown> cursor(int64_t sessionID);

 private:
  struct Cursor;
  Cursor* cursorFor(int64_t sessionID, const std::string& name, AgentSession::Kind kind);
  void play(Cursor& cursor);
  void tick();
  void scheduleHide(int64_t sessionID);
  void stackChanged(WindowNumber window, StackWatch::Change change);
  StackWatchClient& stackWatch();

  const std::string stackWatchHelper_;
  // Touched only on queue_'s thread.
  std::map<int64_t, std::unique_ptr<Cursor>> cursors_;
  std::unique_ptr<StackWatchClient> stackWatch_;
  bool ticking_ = false;
  TimedQueue queue_;  // last: its thread ends before the state above goes
};
