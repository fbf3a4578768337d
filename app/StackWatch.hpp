#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kit/platform/WindowServer.hpp"

// Keeps each agent cursor directly above the window its agent works in. A helper process
// (`tarnwick stack-watch`) follows the stacking and reports, per watched cursor, whether
// its target is shown, hidden, or no longer directly below the cursor.
//
// Requests, app to helper: "key target generation" (a target of 0 removes the key).
// Reports, helper to app: "alive", or "key target generation shown|hidden|covered".
namespace StackWatch {

enum class Change { shown, hidden, covered };
std::string word(Change change);
std::optional<Change> changeNamed(const std::string& word);

struct Subscription {
  WindowNumber target = 0;
  uint64_t generation = 0;
  bool operator==(const Subscription&) const = default;
};
using Subscriptions = std::map<WindowNumber, Subscription>;  // by cursor window

// One request line; none when it is not exactly three decimal fields.
std::optional<std::pair<WindowNumber, Subscription>> parseRequest(const std::string& line);
std::string request(WindowNumber key, const Subscription& subscription);

struct Report {
  WindowNumber key = 0;
  Subscription subscription;
  Change change = Change::shown;
};
std::optional<Report> parseReport(const std::string& line);
std::string line(const Report& report);

// What the helper remembers of each cursor, and the reports the next look at the
// stacking gives.
class Reporter {
 public:
  static constexpr double coveredInterval = 0.03;  // seconds between two "covered" of one cursor
  // `order` is front to back; `now` in seconds.
  std::vector<Report> look(const Subscriptions& subscriptions, const std::vector<WindowNumber>& order, double now);

 private:
  struct Seen {
    uint64_t generation = 0;
    bool visible = false;
    double reportedAt = -1e9;
  };
  std::map<WindowNumber, Seen> seen_;
};

// The helper's work: requests from `input`, reports and heartbeats to `output`, until
// the input ends (0) or a request is malformed (2).
int serve(int input, int output, WindowServer& windows);

}  // namespace StackWatch
