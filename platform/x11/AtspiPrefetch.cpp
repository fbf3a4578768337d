#include <string_view>

#include "platform/x11/AtspiPipeline.hpp"
#include "platform/x11/AtspiReading.hpp"

namespace {

// Long enough for one walk to use what its bursts fetched, too short to outlive the look.
constexpr auto prefetchLifetime = std::chrono::milliseconds(250);

enum class Fact { states, interfaces, extents, actions };

}  // namespace

bool AtspiAccessibility::prefetch(const std::vector<AXElement>& elements) {
  if (prefetched_.size() > elements.size() + 4096) prefetched_.clear();  // apps that went away
  std::vector<AtspiPipeline::Call> calls;
  std::vector<std::pair<std::string, Fact>> asked;
  for (const auto& element : elements) {
    auto found = objects_.find(element.id);
    if (found == objects_.end() || prefetchedFor(element.id) != nullptr) continue;
    AtspiAccessible* object = found->second;
    // What the library holds from the app's cache is not asked again.
    if (!Reading::libraryHolds(object, ATSPI_CACHE_STATES)) {
      calls.push_back({object, "org.a11y.atspi.Accessible", "GetState", std::nullopt});
      asked.emplace_back(element.id, Fact::states);
    }
    auto& interfaces = settled_[element.id].interfaces;
    if (!interfaces && Reading::libraryHolds(object, ATSPI_CACHE_INTERFACES)) interfaces = Reading::interfacesOf(object);
    if (!interfaces) {
      calls.push_back({object, "org.a11y.atspi.Accessible", "GetInterfaces", std::nullopt});
      asked.emplace_back(element.id, Fact::interfaces);
    }
    if (!interfaces || Reading::hasComponent(*interfaces)) {
      calls.push_back({object, "org.a11y.atspi.Component", "GetExtents", uint32_t(coordinatesOf(object))});
      asked.emplace_back(element.id, Fact::extents);
    }
    // Names once per element, in two bursts (how many, then each name) where one call
    // after another costs a round trip per action. Not GetActions, which answers every
    // action's key binding as well: Firefox aborts when asked for those of a menu it is
    // still building (measured).
    if (!settled_[element.id].actions && (!interfaces || Reading::hasAction(*interfaces))) {
      calls.push_back({object, "org.a11y.atspi.Action", "Get", std::nullopt, std::nullopt, "NActions"});
      asked.emplace_back(element.id, Fact::actions);
    }
  }
  if (asked.size() < 2) return true;  // one call gains nothing from a burst
  const auto started = std::chrono::steady_clock::now();
  const auto replies = AtspiPipeline::send(calls, timeoutMilliseconds_);
  const auto now = std::chrono::steady_clock::now();
  std::vector<std::pair<std::string, size_t>> actionCounts;
  const bool answered = !tookTheTimeOut(started);
  for (size_t i = 0; i < replies.size(); ++i) {
    const auto& [id, fact] = asked[i];
    Prefetched& entry = prefetched_[id];
    if (entry.read != now) entry = Prefetched{std::nullopt, std::nullopt, now};
    if (fact == Fact::states) {
      if (auto words = AtspiPipeline::states(replies[i])) entry.states = int64_t((*words)[0]) | int64_t((*words)[1]) << 32;
    } else if (fact == Fact::interfaces) {
      if (auto names = AtspiPipeline::interfaces(replies[i]); names && !names->empty()) {
        settled_[id].interfaces = Reading::interfaceMask(std::vector<std::string_view>(names->begin(), names->end()));
      }
    } else if (fact == Fact::extents) {
      entry.extents = AtspiPipeline::extents(replies[i]);
    } else if (auto count = AtspiPipeline::integerProperty(replies[i]); count && *count >= 0) {
      actionCounts.emplace_back(id, std::min(size_t(*count), maximumActions));
    }
    if (replies[i] != nullptr) dbus_message_unref(replies[i]);
  }
  if (!answered) {
    noteStalled(asked.front().first);
    return false;
  }
  return prefetchActionNames(actionCounts);
}

bool AtspiAccessibility::prefetchActionNames(const std::vector<std::pair<std::string, size_t>>& counts) {
  std::vector<AtspiPipeline::Call> calls;
  for (const auto& [id, count] : counts)
    for (size_t i = 0; i < count; ++i)
      calls.push_back({objects_.at(id), "org.a11y.atspi.Action", "GetName", std::nullopt, int32_t(i)});
  if (calls.empty()) return true;
  const auto started = std::chrono::steady_clock::now();
  const auto replies = AtspiPipeline::send(calls, timeoutMilliseconds_);
  size_t next = 0;
  for (const auto& [id, count] : counts) {
    std::vector<std::string> names;
    bool complete = true;
    for (size_t i = 0; i < count; ++i, ++next) {
      auto name = AtspiPipeline::text(replies[next]);
      if (!name) complete = false;
      else if (!name->empty()) names.push_back(std::move(*name));
      if (replies[next] != nullptr) dbus_message_unref(replies[next]);
    }
    if (complete) settled_[id].actions = std::move(names);  // else asked one by one later
  }
  if (!tookTheTimeOut(started)) return true;
  noteStalled(counts.front().first);
  return false;
}

const AtspiAccessibility::Prefetched* AtspiAccessibility::prefetchedFor(const std::string& id) {
  auto found = prefetched_.find(id);
  if (found == prefetched_.end()) return nullptr;
  if (std::chrono::steady_clock::now() - found->second.read > prefetchLifetime) {
    prefetched_.erase(found);
    return nullptr;
  }
  return &found->second;
}
