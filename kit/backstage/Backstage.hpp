#pragma once
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "kit/backstage/BackstageJournal.hpp"
#include "kit/backstage/Guest.hpp"
#include "kit/platform/WindowInfo.hpp"
#include "kit/platform/WindowServer.hpp"

class Desktop;

// The invisible display on which windows the user's windows cover are operated, and
// the guests parked there. Every guest is written to the recovery journal before it
// moves, goes home when the user brings its app to the front, when no agent works in
// it any more, and before the app quits.
//
// One lock guards all state; it is held while a window moves (at most a few seconds)
// and never while an agent waits for the user. It is taken before any platform lock.
class Backstage {
 public:
  static Backstage& shared();
  ~Backstage();

  // At start-up: reads the journal, returns the windows of an earlier run that can be
  // verified, and starts the housekeeping timer unless told not to.
  void open(bool housekeeping = true);
  // The window to operate on: moved to the invisible display when the user's windows
  // cover it entirely. Fails with a ToolError for dormant windows, while quitting, and
  // when the move could not be recorded or confirmed.
  WindowInfo admit(const WindowInfo& window, uint64_t agent = 0);
  bool isGuest(WindowNumber window);
  // The agent's connection ended: guests no other agent works in go home.
  void agentLeft(uint64_t agent);
  // Before quitting: every guest home within 8 seconds, then the display removed.
  // False when windows did not return in time; they and the display are kept.
  bool closeAll();
  // Housekeeping; after open() a timer runs it every 0.25 s.
  void tick();
  // What the "Backstage recovery: " line says, if anything.
  std::optional<std::string> recoveryStatus();

 private:
  Backstage() = default;

  // State belongs to one desktop; a new desktop (tests, a restarted X server) starts afresh.
  void adopt();
  void applyDisplayLoss();
  // The frames of the windows in front of this one in the stack that may hide it (none
  // when it is not in the stack): on screen, below the Dock's level, not Tarnwick's, not guests.
  std::optional<std::vector<Rect>> coveringFrames(const std::vector<WindowInfo>& stack, WindowNumber window);
  bool isCovered(const WindowInfo& window);
  bool ensureDisplay();
  void checkNotDormant(const WindowInfo& window);
  std::optional<Point> spotFor(Size size, WindowNumber window);
  bool move(const WindowInfo& window, Point to, double deadline);
  // Moves the guests back to where they were; those that do not confirm stay guests.
  void returnGuests(const std::vector<WindowNumber>& windows, double deadline);
  void persistGuests();
  void persistBestEffort();
  std::vector<RecoveryEntry> journalEntries() const;
  void recover();  // reads the journal and returns what can be verified
  void recoverUnchangedWindows();
  void sendHomeWhenUserFronts(double now);
  void sendHomeWhereTheUserClicks();
  void rescueLandedWindows(double now);
  void startTimer();

  std::mutex lock_;
  std::shared_ptr<Desktop> desktop_;  // kept while its state is in use
  std::optional<DisplayInfo> display_;
  std::map<WindowNumber, Guest> guests_;
  std::map<WindowNumber, RecoveryEntry> pendingRecovery_;
  std::optional<std::string> journalReadError_, journalWriteError_;
  bool opened_ = false;
  bool quitting_ = false;
  bool quitCancelled_ = false;
  double lastRecovery_ = -1e9;
  double lastUserPress_ = -1e9;  // the press already looked at
  std::optional<std::pair<pid_t, double>> frontGuestApp_;  // pid and since when

  std::mutex timerLock_;
  std::condition_variable timerWake_;
  bool timerStop_ = false;
  std::thread timer_;
};
