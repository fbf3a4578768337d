#pragma once
#include <atspi/atspi.h>
#include <dbus/dbus.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "kit/platform/WindowServer.hpp"

// AT-SPI actions, each sent on a connection of its own to the app. A toolkit runs an action
// while it handles the action's message, and one that opens a modal dialog (gtk_dialog_run)
// keeps handling it until the dialog closes. Whatever reaches that connection meanwhile (a
// read, or the hang-up of closing it) waits, and when a key reaches the app its key listener
// dispatches the connection again and the app deadlocks. So an action's connection carries
// nothing else, and is closed only once the windows that came with the action have gone.
// Not thread-safe: its owner calls it under its lock.
class AtspiActionLine {
 public:
  using WindowsOf = std::function<std::vector<WindowNumber>(pid_t)>;
  enum class Outcome {
    done,
    refused,     // the toolkit answered that it did not act
    running,     // no answer yet, though the app still answers reads: a modal loop of the action
    unanswered,  // the app answered nothing within the time-out
    failed,      // an error, or no connection of its own could be made
  };
  explicit AtspiActionLine(WindowsOf windowsOf) : windowsOf_(std::move(windowsOf)) {}
  ~AtspiActionLine();

  Outcome doAction(AtspiAccessible* object, pid_t pid, int index, int timeoutMilliseconds);
  // An app that has gone: its address may be another app's next.
  void forget(const std::string& bus) { addresses_.erase(bus); }

 private:
  std::optional<std::string> addressOf(AtspiApplication* app);
  struct Line {
    DBusConnection* connection;
    DBusPendingCall* pending;
    pid_t pid;
    std::vector<WindowNumber> windowsBefore;
    std::chrono::steady_clock::time_point sent;
  };
  // Closes the lines of actions that have ended.
  void sweep();
  bool hasEnded(Line& line);
  static void close(Line& line);
  WindowsOf windowsOf_;
  std::unordered_map<std::string, std::string> addresses_;  // by the app's bus name
  std::vector<Line> open_;
};
