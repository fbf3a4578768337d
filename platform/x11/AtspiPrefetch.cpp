#include <string_view>

#include "platform/x11/AtspiPipeline.hpp"
#include "platform/x11/AtspiReading.hpp"

namespace {

// Long enough for one walk to use what its bursts fetched, too short to outlive the look.
constexpr auto prefetchLifetime = std::chrono::milliseconds(250);

enum class Fact { states, interfaces, extents };

}  // namespace

bool AtspiAccessibility::prefetch(const std::vector<AXElement>& elements) {
  if (prefetched_.size() > elements.size() + 4096) prefetched_.clear();  // apps that went away
  std::vector<AtspiPipeline::Call> calls;
  std::vector<std::pair<std::string, Fact>> asked;
  for (const auto& element : elements) {
    auto found = objects_.find(element.id);
    if (found == objects_.end() || prefetchedFor(element.id) != nullptr) continue;
    AtspiAccessible* object = found->second;
    calls.push_back({object, "org.a11y.atspi.Accessible", "GetState", std::nullopt});
    asked.emplace_back(element.id, Fact::states);
    const auto& interfaces = settled_[element.id].interfaces;
    if (!interfaces) {
      calls.push_back({object, "org.a11y.atspi.Accessible", "GetInterfaces", std::nullopt});
      asked.emplace_back(element.id, Fact::interfaces);
    }
    if (!interfaces || Reading::hasComponent(*interfaces)) {
      calls.push_back({object, "org.a11y.atspi.Component", "GetExtents", uint32_t(coordinatesOf(object))});
      asked.emplace_back(element.id, Fact::extents);
    }
  }
  if (asked.size() < 2) return true;  // one call gains nothing from a burst
  const auto started = std::chrono::steady_clock::now();
  const auto replies = AtspiPipeline::send(calls, timeoutMilliseconds_);
  const auto now = std::chrono::steady_clock::now();
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
    } else {
      entry.extents = AtspiPipeline::extents(replies[i]);
    }
    if (replies[i] != nullptr) dbus_message_unref(replies[i]);
  }
  if (!answered) noteStalled(asked.front().first);
  return answered;
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
