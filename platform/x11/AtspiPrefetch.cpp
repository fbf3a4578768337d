#include <string_view>

#include "platform/x11/AtspiPipeline.hpp"
#include "platform/x11/AtspiReading.hpp"

namespace {

// Long enough for one walk to use what its bursts fetched, too short to outlive the look
// (and each walk's read-ahead starts afresh).
constexpr auto prefetchLifetime = std::chrono::milliseconds(1000);

enum class Fact { role, states, interfaces, extents, actions, name, description, value };

// Hands the library a text read in a burst, as it would keep one it had asked for itself.
void holdText(AtspiAccessible* object, gchar*& field, const std::string& text, AtspiCache fact) {
  g_free(field);
  field = g_strdup(text.c_str());
  _atspi_accessible_add_cache(object, fact);
}

}  // namespace

AtspiAccessibility::Burst AtspiAccessibility::burst(const std::vector<AtspiPipeline::Call>& calls,
                                                   const std::string& askedOf) {
  // A large burst may take longer than one call's time-out and still be answered in full:
  // only a call left unanswered counts as the app stalling.
  bool timedOut = false;
  Burst sent{AtspiPipeline::send(calls, timeoutMilliseconds_, &timedOut), true};
  sent.answered = !timedOut;
  if (!sent.answered) noteStalled(askedOf);
  return sent;
}

// The walk passes over a child whose held states say it is not shown: nothing more of it
// is needed (GTK 4, which never sets SHOWING, is judged by its frames instead).
bool AtspiAccessibility::isKnownHidden(AtspiAccessible* object) {
  return Reading::holdsStates(object) && (object->states->states & (int64_t(1) << ATSPI_STATE_SHOWING)) == 0 &&
         !isWindowRelative(object);
}

// The role as far as it is known without asking the app.
std::optional<AtspiRole> AtspiAccessibility::knownRole(const std::string& id, AtspiAccessible* object) {
  if (auto settled = settled_[id].role) return settled;
  if (Reading::libraryHolds(object, ATSPI_CACHE_ROLE)) return object->role;
  return std::nullopt;
}

bool AtspiAccessibility::prefetch(const std::vector<AXElement>& elements) {
  if (prefetched_.size() > elements.size() + 8192) prefetched_.clear();  // apps that went away
  std::vector<AtspiPipeline::Call> calls;
  std::vector<std::pair<std::string, Fact>> asked;
  for (const auto& element : elements) {
    auto found = objects_.find(element.id);
    if (found == objects_.end() || prefetchedFor(element.id) != nullptr) continue;
    AtspiAccessible* object = found->second;
    if (isKnownHidden(object)) continue;
    // What the library holds from the app's cache is not asked again.
    const auto role = knownRole(element.id, object);
    if (!role) {
      calls.push_back({object, "org.a11y.atspi.Accessible", "GetRole", std::nullopt});
      asked.emplace_back(element.id, Fact::role);
    }
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
    // For a look only (see endReadAhead): texts the library does not hold, and a Qt combo
    // box's name, which it renames unannounced.
    if (!readingAhead_) continue;
    if (role == ATSPI_ROLE_COMBO_BOX || !Reading::libraryHolds(object, ATSPI_CACHE_NAME)) {
      calls.push_back({object, "org.a11y.atspi.Accessible", "Get", std::nullopt, std::nullopt, "Name"});
      asked.emplace_back(element.id, Fact::name);
    }
    if (!Reading::libraryHolds(object, ATSPI_CACHE_DESCRIPTION)) {
      calls.push_back({object, "org.a11y.atspi.Accessible", "Get", std::nullopt, std::nullopt, "Description"});
      asked.emplace_back(element.id, Fact::description);
    }
    if (interfaces && Reading::hasValue(*interfaces)) {
      calls.push_back({object, "org.a11y.atspi.Value", "Get", std::nullopt, std::nullopt, "CurrentValue"});
      asked.emplace_back(element.id, Fact::value);
    }
  }
  if (asked.size() < 2) return true;  // one call gains nothing from a burst
  const auto [replies, answered] = burst(calls, asked.front().first);
  const auto now = std::chrono::steady_clock::now();
  std::vector<std::pair<std::string, size_t>> actionCounts;
  for (size_t i = 0; i < replies.size(); ++i) {
    const auto& [id, fact] = asked[i];
    Prefetched& entry = freshEntry(id, now);
    if (fact == Fact::role) {
      if (auto role = AtspiPipeline::unsignedValue(replies[i])) settled_[id].role = AtspiRole(*role);
    } else if (fact == Fact::states) {
      if (auto words = AtspiPipeline::states(replies[i])) {
        entry.states = int64_t((*words)[0]) | int64_t((*words)[1]) << 32;
        Reading::holdStates(objects_.at(id), *entry.states);
      }
    } else if (fact == Fact::interfaces) {
      if (auto names = AtspiPipeline::interfaces(replies[i]); names && !names->empty()) {
        settled_[id].interfaces = Reading::interfaceMask(std::vector<std::string_view>(names->begin(), names->end()));
      }
    } else if (fact == Fact::extents) {
      entry.extents = AtspiPipeline::extents(replies[i]);
    } else if (fact == Fact::name) {
      entry.name = AtspiPipeline::textProperty(replies[i]);
      if (entry.name) holdText(objects_.at(id), objects_.at(id)->name, *entry.name, ATSPI_CACHE_NAME);
    } else if (fact == Fact::description) {
      entry.description = AtspiPipeline::textProperty(replies[i]);
      if (entry.description)
        holdText(objects_.at(id), objects_.at(id)->description, *entry.description, ATSPI_CACHE_DESCRIPTION);
    } else if (fact == Fact::value) {
      entry.currentValue = AtspiPipeline::doubleProperty(replies[i]);
    } else if (auto count = AtspiPipeline::integerProperty(replies[i]); count && *count >= 0) {
      actionCounts.emplace_back(id, std::min(size_t(*count), maximumActions));
    }
    if (replies[i] != nullptr) dbus_message_unref(replies[i]);
  }
  return answered && prefetchActionNames(actionCounts);
}

bool AtspiAccessibility::prefetchActionNames(const std::vector<std::pair<std::string, size_t>>& counts) {
  std::vector<AtspiPipeline::Call> calls;
  for (const auto& [id, count] : counts)
    for (size_t i = 0; i < count; ++i)
      calls.push_back({objects_.at(id), "org.a11y.atspi.Action", "GetName", std::nullopt, int32_t(i)});
  if (calls.empty()) return true;
  const auto [replies, answered] = burst(calls, counts.front().first);
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
  return answered;
}

void AtspiAccessibility::prefetchChildren(const std::vector<AXElement>& elements) {
  std::vector<AtspiPipeline::Call> calls;
  std::vector<std::string> asked;
  for (const auto& element : elements) {
    auto found = objects_.find(element.id);
    if (found == objects_.end() || settled_[element.id].children) continue;
    if (const Prefetched* early = prefetchedFor(element.id); early != nullptr && early->children) continue;
    calls.push_back({found->second, "org.a11y.atspi.Accessible", "GetChildren", std::nullopt});
    asked.push_back(element.id);
  }
  if (asked.size() < 2) return;
  const auto replies = burst(calls, asked.front()).replies;
  const auto now = std::chrono::steady_clock::now();
  for (size_t i = 0; i < replies.size(); ++i) {
    if (replies[i] == nullptr) continue;
    if (auto children = AtspiPipeline::references(replies[i], calls[i].object->parent.app->bus_name))
      freshEntry(asked[i], now).children = std::move(children);
    dbus_message_unref(replies[i]);
  }
}

std::optional<std::vector<std::string>> AtspiAccessibility::prefetchedChildren(const std::string& id) {
  if (!prefetchedFor(id)) return std::nullopt;
  return prefetched_.at(id).children;
}

AtspiAccessibility::Prefetched& AtspiAccessibility::freshEntry(const std::string& id,
                                                              std::chrono::steady_clock::time_point now) {
  if (prefetchedFor(id) != nullptr) return prefetched_.at(id);
  Prefetched fresh;
  fresh.read = now;
  return prefetched_.insert_or_assign(id, std::move(fresh)).first->second;
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
