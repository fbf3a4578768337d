#include "app/StackWatch.hpp"

#include <algorithm>
#include <charconv>

namespace StackWatch {
namespace {

template <typename Number>
bool parseNumber(const std::string& field, Number& value) {
  if (field.empty() || field[0] == '-' || field[0] == '+') return false;
  auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
  return error == std::errc() && end == field.data() + field.size();
}

std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t space = line.find(' ', start);
    parts.push_back(line.substr(start, space - start));
    if (space == std::string::npos) return parts;
    start = space + 1;
  }
}

// Key, target and generation from the first three fields.
std::optional<std::pair<WindowNumber, Subscription>> parseSubscription(const std::vector<std::string>& parts) {
  std::pair<WindowNumber, Subscription> parsed;
  if (!parseNumber(parts[0], parsed.first) || !parseNumber(parts[1], parsed.second.target) ||
      !parseNumber(parts[2], parsed.second.generation)) {
    return std::nullopt;
  }
  return parsed;
}

// Whether anything but other cursors lies between the cursor and its target.
bool coveredInOrder(const Subscriptions& subscriptions, const std::vector<WindowNumber>& order, size_t cursor,
                    size_t target) {
  if (cursor >= target) return true;  // behind it, or the same place
  for (size_t i = cursor + 1; i < target; ++i)
    if (!subscriptions.contains(order[i])) return true;
  return false;
}

}  // namespace

std::string word(Change change) {
  switch (change) {
    case Change::shown: return "shown";
    case Change::hidden: return "hidden";
    case Change::covered: return "covered";
  }
  return "hidden";
}

std::optional<Change> changeNamed(const std::string& name) {
  for (Change change : {Change::shown, Change::hidden, Change::covered})
    if (word(change) == name) return change;
  return std::nullopt;
}

std::optional<std::pair<WindowNumber, Subscription>> parseRequest(const std::string& line) {
  auto parts = fields(line);
  if (parts.size() != 3) return std::nullopt;
  return parseSubscription(parts);
}

std::string request(WindowNumber key, const Subscription& subscription) {
  return std::to_string(key) + " " + std::to_string(subscription.target) + " " + std::to_string(subscription.generation);
}

std::optional<Report> parseReport(const std::string& line) {
  auto parts = fields(line);
  if (parts.size() != 4) return std::nullopt;
  auto subscribed = parseSubscription(parts);
  auto change = changeNamed(parts[3]);
  if (!subscribed || !change) return std::nullopt;
  return Report{subscribed->first, subscribed->second, *change};
}

std::string line(const Report& report) { return request(report.key, report.subscription) + " " + word(report.change); }

std::vector<Report> Reporter::look(const Subscriptions& subscriptions, const std::vector<WindowNumber>& order,
                                   double now) {
  std::erase_if(seen_, [&](const auto& entry) { return !subscriptions.contains(entry.first); });
  std::vector<Report> reports;
  auto position = [&](WindowNumber window) -> std::optional<size_t> {
    auto found = std::find(order.begin(), order.end(), window);
    if (found == order.end()) return std::nullopt;
    return size_t(found - order.begin());
  };
  for (const auto& [key, subscription] : subscriptions) {
    const auto target = position(subscription.target);
    const bool visible = target.has_value();
    auto remembered = seen_.find(key);
    if (remembered == seen_.end() || remembered->second.generation != subscription.generation ||
        remembered->second.visible != visible) {
      reports.push_back({key, subscription, visible ? Change::shown : Change::hidden});
      seen_[key] = {subscription.generation, visible, now};
      continue;
    }
    if (!visible || now - remembered->second.reportedAt < coveredInterval) continue;
    const auto cursor = position(key);
    if (!cursor || !coveredInOrder(subscriptions, order, *cursor, *target)) continue;
    reports.push_back({key, subscription, Change::covered});
    remembered->second.reportedAt = now;
  }
  return reports;
}

}  // namespace StackWatch
