#include "platform/x11/AtspiAccessibility.hpp"

#include <signal.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "kit/common/Text.hpp"
#include "platform/x11/AtspiReading.hpp"
#include "platform/x11/AtspiTextReading.hpp"

namespace {

using namespace AtspiTextReading;
using Clock = std::chrono::steady_clock;

constexpr double defaultTimeout = 1.5;                   // seconds, when the element names none
constexpr auto stalledFor = std::chrono::seconds(3);     // calls on an app that timed out fail fast this long
constexpr const char* applicationPrefix = "app:";        // an app not (yet) on the bus, by pid
constexpr auto originLifetime = std::chrono::milliseconds(250);  // a window's place, read once per walk
constexpr int maxClientMargin = 64;                              // shadows and borders a toolkit draws
constexpr int maxPendingMessages = 10000;

// AT-SPI action names and the accessibility actions they are.
const std::map<std::string, std::string> actionTable{
    {"click", "AXPress"},     {"press", "AXPress"},         {"activate", "AXPress"},    {"toggle", "AXPress"},
    {"jump", "AXPress"},      {"open", "AXPress"},          {"menu", "AXShowMenu"},     {"popup", "AXShowMenu"},
    {"showmenu", "AXShowMenu"}, {"show menu", "AXShowMenu"}, {"increment", "AXIncrement"},
    {"decrement", "AXDecrement"}, {"confirm", "AXConfirm"}, {"enter", "AXConfirm"},    {"cancel", "AXCancel"},
    {"escape", "AXCancel"},   {"pick", "AXPick"},           {"select", "AXPick"},       {"raise", "AXRaise"},
    {"expand or contract", "AXPress"}, {"dodefault", "AXPress"}, {"showcontextmenu", "AXShowMenu"}};

// Browsers offer a default action, or a click on an ancestor, on every container of a
// page and of their own window: nothing a person would see as something to press.
const std::set<std::string> containerRoles{"AXGroup",   "AXStaticText", "AXHeading",   "AXWebArea", "AXWindow",
                                           "AXToolbar", "AXScrollArea", "AXTabGroup",  "AXUnknown", "AXSplitGroup",
                                           "AXList",    "AXTable",      "AXLayoutArea", "AXSplitter"};
const std::set<std::string> ancestorClicks{"clickancestor", "click ancestor"};
std::string lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string axAction(const std::string& atspiName) {
  auto found = actionTable.find(lowered(atspiName));
  return found != actionTable.end() ? found->second : "Name:" + atspiName;
}

std::string identity(AtspiAccessible* object) {
  const char* bus = object->parent.app != nullptr ? object->parent.app->bus_name : "";
  return std::string(bus != nullptr ? bus : "") + object->parent.path;
}

std::string busOf(const std::string& id) { return id.substr(0, id.find('/')); }


AXValue checkedValue(AtspiAccessibility::Reading& reading) {
  return int64_t(reading.has(ATSPI_STATE_CHECKED) || reading.has(ATSPI_STATE_PRESSED) ? 1 : 0);
}

std::optional<std::string> placeholderOf(AtspiAccessible* object) {
  GHashTable* attributes = atspi_accessible_get_attributes(object, nullptr);
  if (attributes == nullptr) return std::nullopt;
  std::optional<std::string> result;
  if (auto* found = static_cast<const char*>(g_hash_table_lookup(attributes, "placeholder-text"))) result = found;
  g_hash_table_unref(attributes);
  return result;
}

std::optional<TextRange> selectionOf(AtspiText* text) {
  GError* error = nullptr;
  if (atspi_text_get_n_selections(text, &error) > 0 && error == nullptr) {
    AtspiRange* range = atspi_text_get_selection(text, 0, &error);
    std::optional<TextRange> result;
    if (error == nullptr && range != nullptr) result = TextRange{range->start_offset, range->end_offset - range->start_offset};
    g_free(range);
    g_clear_error(&error);
    return result;
  }
  g_clear_error(&error);
  const gint caret = atspi_text_get_caret_offset(text, &error);
  if (error != nullptr || caret < 0) {
    g_clear_error(&error);
    return std::nullopt;
  }
  return TextRange{caret, 0};
}

std::optional<TextRange> selectionInUnits(AtspiText* text) {
  auto range = selectionOf(text);
  if (!range) return std::nullopt;
  const std::string all = textOf(text).value_or("");
  const int64_t start = utf16Offset(all, range->location);
  return TextRange{start, utf16Offset(all, range->location + range->length) - start};
}

bool isTextRole(const std::string& role) {
  return role == "AXTextField" || role == "AXTextArea" || role == "AXComboBox" || role == "AXStaticText";
}

AXStatus outcome(GError*& error, bool done) {
  if (error != nullptr) {
    const AXStatus status = AtspiErrors::status(error);
    g_clear_error(&error);
    return status;
  }
  return done ? AXError::success : AXError::cannotComplete;
}

}  // namespace

template <typename Result, typename Body>
Result AtspiAccessibility::onElement(const AXElement& element, Result failed, Body body) {
  std::lock_guard guard(lock_);
  const auto started = Clock::now();
  AXStatus status = AXError::success;
  AtspiAccessible* object = begin(element, status);
  if (object == nullptr) {
    if constexpr (std::is_same_v<Result, AXStatus>) return status;
    return failed;
  }
  Reading reading(*this, object, element);
  Result result = body(reading);
  finish(element, started);
  return result;
}

std::unique_ptr<AtspiAccessibility> AtspiAccessibility::open(Hooks hooks) {
  if (atspi_init() > 1) return nullptr;
  AtspiAccessible* desktop = atspi_get_desktop(0);
  if (desktop == nullptr) return nullptr;
  GError* error = nullptr;
  atspi_accessible_get_child_count(desktop, &error);
  g_object_unref(desktop);
  if (error != nullptr) {
    g_clear_error(&error);
    return nullptr;
  }
  return std::unique_ptr<AtspiAccessibility>(new AtspiAccessibility(std::move(hooks)));
}

namespace {

constexpr const char* listenedEvents[] = {"object:state-changed", "object:property-change", "object:children-changed"};

}  // namespace

AtspiAccessibility::AtspiAccessibility(Hooks hooks)
    : hooks_(std::move(hooks)), actionLine_([this](pid_t pid) {
        std::vector<WindowNumber> numbers;
        if (hooks_.windowsOf)
          for (const auto& window : hooks_.windowsOf(pid)) numbers.push_back(window.number);
        return numbers;
      }) {
  // Some toolkits emit changes only while someone listens for them.
  listener_ = atspi_event_listener_new(forgetSettled, this, nullptr);
  for (const char* event : listenedEvents) atspi_event_listener_register(listener_, event, nullptr);
}

// Pending bus messages (cache updates, events) are handled before each call, so cached
// states, names and remembered facts follow the apps and the incoming queue never grows.
// When more are waiting than one round handles, nothing remembered can be trusted.
void AtspiAccessibility::catchUp() {
  for (int i = 0; g_main_context_iteration(nullptr, FALSE); ++i) {
    if (i == maxPendingMessages) {
      settled_.clear();
      prefetched_.clear();
      return;
    }
  }
}

// Runs while pending messages are handled, so under the lock, also from within a library
// call that waits for its reply: a reader may hold an entry across that call, so entries
// are emptied, never removed. Listeners receive their own copy of each event and must free it.
void AtspiAccessibility::forgetSettled(AtspiEvent* event, void* self) {
  if (event->source != nullptr) {
    auto* owner = static_cast<AtspiAccessibility*>(self);
    const std::string id = identity(event->source);
    Settled forgotten;
    if (auto found = owner->settled_.find(id); found != owner->settled_.end()) std::swap(found->second, forgotten);
    if (auto found = owner->prefetched_.find(id); found != owner->prefetched_.end()) found->second.read = {};
  }
  g_boxed_free(ATSPI_TYPE_EVENT, event);
}

AtspiAccessibility::~AtspiAccessibility() {
  std::lock_guard guard(lock_);
  // Registered listeners outlive their last reference: without this, events that arrive
  // later (another desktop of the process pumps them) would reach a destroyed object.
  if (listener_ != nullptr) {
    for (const char* event : listenedEvents) atspi_event_listener_deregister(listener_, event, nullptr);
    g_object_unref(listener_);
  }
  for (auto& [id, object] : objects_) g_object_unref(object);
}

AXElement AtspiAccessibility::remember(AtspiAccessible* object, pid_t pid) {
  std::string id = identity(object);
  auto [entry, added] = objects_.try_emplace(id, object);
  if (!added) g_object_unref(object);
  return AXElement{pid, std::move(id), 0};
}

// An app that has gone takes everything known about its elements with it.
void AtspiAccessibility::forgetBus(const std::string& bus) {
  const std::string prefix = bus + "/";
  auto ofBus = [&](const auto& entry) { return entry.first.starts_with(prefix); };
  std::erase_if(objects_, [&](const auto& entry) {
    if (!ofBus(entry)) return false;
    g_object_unref(entry.second);
    return true;
  });
  std::erase_if(settled_, ofBus);
  std::erase_if(windowNumbers_, ofBus);
  std::erase_if(origins_, ofBus);
  windowRelative_.erase(bus);
  stalledUntil_.erase(bus);
  actionLine_.forget(bus);
}

AtspiAccessible* AtspiAccessibility::resolveApplication(pid_t pid) {
  if (auto known = applications_.find(pid); known != applications_.end()) {
    if (auto found = objects_.find(known->second); found != objects_.end() && kill(pid, 0) == 0) return found->second;
    forgetBus(busOf(known->second));
    applications_.erase(known);
  }
  AtspiAccessible* desktop = atspi_get_desktop(0);
  if (desktop == nullptr) return nullptr;
  AtspiAccessible* result = nullptr;
  const gint count = atspi_accessible_get_child_count(desktop, nullptr);
  for (gint i = 0; i < count && result == nullptr; ++i) {
    AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, i, nullptr);
    if (app == nullptr) continue;
    if (pid_t(atspi_accessible_get_process_id(app, nullptr)) == pid) {
      // Roles, names and states then come from the cache the app's events keep current,
      // instead of a round trip each. Children are not cached: the cached lists were seen
      // to repeat and reorder a window's children.
      atspi_accessible_set_cache_mask(app, AtspiCache(ATSPI_CACHE_DEFAULT & ~ATSPI_CACHE_CHILDREN));
      AXElement element = remember(app, pid);
      applications_[pid] = element.id;
      result = objects_.at(element.id);
    } else {
      g_object_unref(app);
    }
  }
  g_object_unref(desktop);
  return result;
}

AtspiAccessible* AtspiAccessibility::begin(const AXElement& element, AXStatus& status) {
  catchUp();
  const double seconds = element.timeout > 0 ? element.timeout : defaultTimeout;
  const int milliseconds = std::max(1, int(std::lround(seconds * 1000)));
  if (milliseconds != timeoutMilliseconds_) {
    atspi_set_timeout(milliseconds, std::max(milliseconds, 3000));
    timeoutMilliseconds_ = milliseconds;
  }
  AtspiAccessible* object = nullptr;
  if (element.id.starts_with(applicationPrefix)) {
    object = resolveApplication(element.pid);
  } else if (auto found = objects_.find(element.id); found != objects_.end()) {
    object = found->second;
  }
  if (object == nullptr) {
    status = AXError::invalidElement;
    return nullptr;
  }
  if (auto stalled = stalledUntil_.find(busOf(identity(object))); stalled != stalledUntil_.end()) {
    if (Clock::now() < stalled->second) {
      status = AXError::cannotComplete;
      return nullptr;
    }
    stalledUntil_.erase(stalled);
  }
  status = AXError::success;
  return object;
}

void AtspiAccessibility::finish(const AXElement& element, Clock::time_point started) {
  // libatspi hides most time-outs behind empty answers; the time spent tells them.
  if (!tookTheTimeOut(started)) return;
  std::string id = element.id;
  if (id.starts_with(applicationPrefix)) {
    auto known = applications_.find(element.pid);
    if (known == applications_.end()) return;
    id = known->second;
  }
  noteStalled(id);
}

void AtspiAccessibility::noteStalled(const std::string& id) { stalledUntil_[busOf(id)] = Clock::now() + stalledFor; }

bool AtspiAccessibility::tookTheTimeOut(Clock::time_point started) const {
  return std::chrono::duration<double, std::milli>(Clock::now() - started).count() >= 0.9 * timeoutMilliseconds_;
}

AXElement AtspiAccessibility::application(pid_t pid) {
  std::lock_guard guard(lock_);
  catchUp();
  if (AtspiAccessible* app = resolveApplication(pid)) return AXElement{pid, identity(app), 0};
  return AXElement{pid, applicationPrefix + std::to_string(pid), 0};
}

AXValue AtspiAccessibility::read(Reading& reading, const std::string& name, AXStatus& status) {
  status = AXError::success;
  const AXRoleName roleName = reading.roleName();
  const std::string role = roleName.role;
  auto none = [&status](AXStatus why) {
    status = why;
    return AXValue{};
  };
  if (name == "AXRole") return role;
  if (name == "AXSubrole") return *roleName.subrole ? AXValue(std::string(roleName.subrole)) : none(AXError::noValue);
  if (name == "AXTitle") return reading.name();
  if (name == "AXDescription") return reading.description();
  if (name == "AXChildren") return reading.children();
  if (name == "AXParent") {
    auto parent = reading.parent();
    return parent ? AXValue(*parent) : none(AXError::noValue);
  }
  if (reading.isApplication()) {
    if (name == "AXWindows") return reading.windows();
    if (name == "AXFocusedWindow" || name == "AXMainWindow") {
      auto window = name == "AXMainWindow" ? reading.mainWindow() : reading.activeWindow();
      return window ? AXValue(*window) : none(AXError::noValue);
    }
    if (name == "AXFocusedUIElement") {
      // The active window's, else the main window's while the agent's keyboard is on it.
      auto window = reading.activeWindow();
      if (!window) window = reading.mainWindow();
      if (!window) return none(AXError::noValue);
      auto focused = reading.firstWithState(objects_.at(window->id), ATSPI_STATE_FOCUSED);
      return focused ? AXValue(*focused) : none(AXError::noValue);
    }
    if (name == "AXMenuBar") {
      auto windows = reading.windows();
      for (const auto& window : windows) {
        if (auto bar = reading.firstWithRole(objects_.at(window.id), ATSPI_ROLE_MENU_BAR)) return *bar;
      }
      return none(AXError::noValue);
    }
    if (name == "AXHidden") return hooks_.isHidden ? hooks_.isHidden(reading.element.pid) : false;
    if (name == "AXEnabled") return true;
    return none(AXError::attributeUnsupported);
  }
  if (name == "AXEnabled") return reading.has(ATSPI_STATE_ENABLED) || reading.has(ATSPI_STATE_SENSITIVE);
  if (name == "AXFocused") return reading.has(ATSPI_STATE_FOCUSED);
  if (name == "AXSelected") return reading.has(ATSPI_STATE_SELECTED);
  if (name == "AXExpanded") {
    return reading.has(ATSPI_STATE_EXPANDABLE) ? AXValue(reading.has(ATSPI_STATE_EXPANDED)) : none(AXError::noValue);
  }
  if (name == "AXMinimized") return reading.has(ATSPI_STATE_ICONIFIED);
  if (name == "AXPosition" || name == "AXSize") {
    auto rect = reading.extents();
    if (!rect) return none(AXError::noValue);
    if (name == "AXPosition") return Point{double(rect->x), double(rect->y)};
    return Size{double(rect->width), double(rect->height)};
  }
  if (name == "AXValue") {
    const AtspiRole atspiRole = reading.role();
    if (role == "AXCheckBox" || role == "AXRadioButton" || atspiRole == ATSPI_ROLE_CHECK_MENU_ITEM ||
        atspiRole == ATSPI_ROLE_RADIO_MENU_ITEM) {
      return checkedValue(reading);
    }
    if (role == "AXDisclosureTriangle") return int64_t(reading.has(ATSPI_STATE_EXPANDED) ? 1 : 0);
    if (role == "AXPopUpButton") {
      if (auto chosen = reading.name(); !chosen.empty()) return chosen;
      return reading.selectedItemName();
    }
    if (auto current = reading.currentValue()) {
      return role == "AXScrollBar" ? scrollBarPosition(reading.value(), *current) : *current;
    }
    if (role == "AXStaticText" && !reading.name().empty()) return reading.name();
    if (AtspiText* text = reading.text(); text != nullptr && isTextRole(role)) {
      if (auto contents = textOf(text)) return *contents;
    }
    return none(AXError::noValue);
  }
  if (name == "AXMinValue" || name == "AXMaxValue") {
    if (role == "AXScrollBar") return name == "AXMinValue" ? 0.0 : 1.0;  // positions are read as 0..1
    AtspiValue* value = reading.value();
    if (value == nullptr) return none(AXError::attributeUnsupported);
    GError* error = nullptr;
    const double bound = name == "AXMinValue" ? atspi_value_get_minimum_value(value, &error)
                                              : atspi_value_get_maximum_value(value, &error);
    if (error == nullptr) return bound;
    g_clear_error(&error);
    return none(AXError::noValue);
  }
  if (name == "AXVerticalScrollBar" || name == "AXHorizontalScrollBar") {
    if (reading.role() != ATSPI_ROLE_SCROLL_PANE) return none(AXError::attributeUnsupported);
    auto bar = reading.scrollBar(name == "AXVerticalScrollBar");
    return bar ? AXValue(*bar) : none(AXError::noValue);
  }
  if (name == "AXPlaceholderValue") {
    if (role != "AXTextField" && role != "AXTextArea" && role != "AXComboBox") return none(AXError::noValue);
    auto placeholder = placeholderOf(reading.object);
    return placeholder ? AXValue(*placeholder) : none(AXError::noValue);
  }
  if (name == "AXIdentifier") {
    std::optional<std::string>& known = settled_[reading.element.id].identifier;
    if (!known) {
      GError* error = nullptr;
      gchar* id = atspi_accessible_get_accessible_id(reading.object, &error);
      if (error == nullptr) known = id != nullptr ? id : "";
      g_free(id);
      g_clear_error(&error);
    }
    return known && !known->empty() ? AXValue(*known) : none(AXError::noValue);
  }
  if (name == "AXHelp") return none(AXError::noValue);  // toolkits fold tooltips into the description
  if (name == "AXWindow") {
    if (auto window = windowElementOf(reading)) return *window;
    return none(AXError::noValue);
  }
  if (name == "AXSelectedText" || name == "AXSelectedTextRange" || name == "AXNumberOfCharacters") {
    AtspiText* text = reading.text();
    if (text == nullptr) return none(AXError::attributeUnsupported);
    if (name == "AXNumberOfCharacters") return int64_t(atspi_text_get_character_count(text, nullptr));
    if (name == "AXSelectedTextRange") {
      auto units = selectionInUnits(text);
      return units ? AXValue(*units) : none(AXError::noValue);
    }
    auto range = selectionOf(text);
    if (!range) return none(AXError::noValue);
    gchar* selected = atspi_text_get_text(text, gint(range->location), gint(range->location + range->length), nullptr);
    std::string result = selected != nullptr ? selected : "";
    g_free(selected);
    return result;
  }
  return none(AXError::attributeUnsupported);
}

std::pair<AXStatus, AXValue> AtspiAccessibility::copyAttribute(const AXElement& element, const std::string& name) {
  auto values = copyAttributes(element, {name});
  if (!values) {
    std::lock_guard guard(lock_);
    AXStatus status = AXError::success;
    begin(element, status);
    return {status == AXError::success ? AXError::cannotComplete : status, {}};
  }
  if (!values->front()) return {AXError::noValue, {}};
  return {AXError::success, *values->front()};
}

std::optional<std::vector<std::optional<AXValue>>> AtspiAccessibility::copyAttributes(
    const AXElement& element, const std::vector<std::string>& names) {
  using Values = std::optional<std::vector<std::optional<AXValue>>>;
  return onElement(element, Values(), [&](Reading& reading) -> Values {
    if (reading.role() == ATSPI_ROLE_INVALID || reading.has(ATSPI_STATE_DEFUNCT)) return std::nullopt;
    std::vector<std::optional<AXValue>> values;
    for (const auto& name : names) {
      AXStatus status = AXError::success;
      AXValue value = read(reading, name, status);
      values.push_back(status == AXError::success ? std::optional<AXValue>(std::move(value)) : std::nullopt);
    }
    return values;
  });
}

std::optional<bool> AtspiAccessibility::isSettable(const AXElement& element, const std::string& name) {
  return onElement(element, std::optional<bool>(), [&](Reading& reading) -> std::optional<bool> {
    if (name == "AXValue") {
      return (reading.editableText() != nullptr && reading.has(ATSPI_STATE_EDITABLE)) || reading.value() != nullptr;
    }
    if (name == "AXFocused") return reading.has(ATSPI_STATE_FOCUSABLE);
    if (name == "AXSelectedTextRange") return reading.text() != nullptr;
    if (name == "AXSelectedText") return reading.editableText() != nullptr && reading.has(ATSPI_STATE_EDITABLE);
    return false;
  });
}

std::pair<AXStatus, AXValue> AtspiAccessibility::copyParameterizedAttribute(const AXElement& element,
                                                                           const std::string& name,
                                                                           const AXValue& parameter) {
  using Answer = std::pair<AXStatus, AXValue>;
  return onElement(element, Answer{AXError::invalidElement, {}}, [&](Reading& reading) -> Answer {
    AtspiText* text = reading.text();
    if (text == nullptr) return {AXError::attributeUnsupported, {}};
    return parameterized(text, name, parameter);
  });
}

AXStatus AtspiAccessibility::setAttribute(const AXElement& element, const std::string& name, const AXValue& value) {
  if (hooks_.agentActs) hooks_.agentActs(element.pid);
  return onElement(element, AXError::cannotComplete, [&](Reading& reading) {
    prefetched_.clear();
    return set(reading, name, value);
  });
}

AXStatus AtspiAccessibility::set(Reading& reading, const std::string& name, const AXValue& value) {
  GError* error = nullptr;
  gboolean done = FALSE;
  if (name == "AXPosition" && std::holds_alternative<Point>(value)) {
    // Windows are placed by the window manager; AT-SPI cannot move them.
    auto number = numberOf(reading);
    if (!number || !hooks_.moveWindow) return AXError::attributeUnsupported;
    return hooks_.moveWindow(*number, std::get<Point>(value)) ? AXError::success : AXError::cannotComplete;
  } else if (name == "AXValue" && std::holds_alternative<std::string>(value) && reading.editableText() != nullptr) {
    done = atspi_editable_text_set_text_contents(reading.editableText(), std::get<std::string>(value).c_str(), &error);
  } else if (name == "AXValue" && reading.value() != nullptr &&
             (std::holds_alternative<double>(value) || std::holds_alternative<int64_t>(value))) {
    double number = std::holds_alternative<double>(value) ? std::get<double>(value) : double(std::get<int64_t>(value));
    if (reading.roleName().role == std::string("AXScrollBar")) {
      // Scroll bars are set as a position from 0 to 1, like they read.
      const double low = atspi_value_get_minimum_value(reading.value(), nullptr);
      number = low + std::clamp(number, 0.0, 1.0) * (atspi_value_get_maximum_value(reading.value(), nullptr) - low);
    }
    done = atspi_value_set_current_value(reading.value(), number, &error);
  } else if (name == "AXFocused" && reading.component() != nullptr) {
    done = atspi_component_grab_focus(reading.component(), &error);
  } else if (name == "AXSelectedTextRange" && reading.text() != nullptr && std::holds_alternative<TextRange>(value)) {
    const auto& range = std::get<TextRange>(value);
    const std::string all = textOf(reading.text()).value_or("");
    const gint start = gint(characterOffset(all, range.location));
    const gint end = gint(characterOffset(all, range.location + range.length));
    if (start == end) {
      // An empty range is the caret; setting it also clears the selection.
      done = atspi_text_set_caret_offset(reading.text(), start, &error);
    } else {
      done = atspi_text_get_n_selections(reading.text(), nullptr) > 0
                 ? atspi_text_set_selection(reading.text(), 0, start, end, &error)
                 : atspi_text_add_selection(reading.text(), start, end, &error);
    }
  } else if (name == "AXSelectedText" && reading.editableText() != nullptr && reading.text() != nullptr &&
             std::holds_alternative<std::string>(value)) {
    auto range = selectionOf(reading.text());
    if (!range) return AXError::cannotComplete;
    const std::string& inserted = std::get<std::string>(value);
    const gint start = gint(range->location);
    done = range->length == 0 ||
           atspi_editable_text_delete_text(reading.editableText(), start, gint(range->location + range->length), &error);
    if (done && error == nullptr && !inserted.empty()) {
      done = atspi_editable_text_insert_text(reading.editableText(), start, inserted.c_str(), gint(inserted.size()),
                                             &error);
    }
    if (done && error == nullptr)
      atspi_text_set_caret_offset(reading.text(), start + gint(Text::characterCount(inserted)), nullptr);
  } else {
    return AXError::attributeUnsupported;
  }
  return outcome(error, done);
}

const std::vector<std::string>& AtspiAccessibility::toolkitActions(Reading& reading) {
  std::optional<std::vector<std::string>>& known = settled_[reading.element.id].actions;
  if (known) return *known;
  std::vector<std::string> names;
  if (AtspiAction* action = reading.action()) {
    GError* error = nullptr;
    const gint count = atspi_action_get_n_actions(action, &error);
    for (gint i = 0; i < count && i < gint(maximumActions) && error == nullptr; ++i) {
      gchar* name = atspi_action_get_action_name(action, i, &error);
      if (name != nullptr && *name != '\0') names.push_back(name);
      g_free(name);
    }
    if (error != nullptr) {
      g_clear_error(&error);
      static const std::vector<std::string> unknown;
      return unknown;  // not remembered: asked again next time
    }
  }
  known = std::move(names);
  return *known;
}

std::optional<std::vector<std::string>> AtspiAccessibility::actionNames(const AXElement& element) {
  using Names = std::optional<std::vector<std::string>>;
  return onElement(element, Names(), [](Reading& reading) -> Names { return actionsOf(reading); });
}

std::vector<std::string> AtspiAccessibility::actionsOf(Reading& reading) {
  std::vector<std::string> names;
  const auto& toolkitNames = reading.owner.toolkitActions(reading);
  const bool container = !toolkitNames.empty() && containerRoles.contains(reading.roleName().role);
  for (const std::string& own : toolkitNames) {
    if (ancestorClicks.contains(lowered(own))) continue;
    std::string mapped = axAction(own);
    if (container && mapped == "AXPress") continue;
    if (std::find(names.begin(), names.end(), mapped) == names.end()) names.push_back(std::move(mapped));
  }
  if (reading.value() != nullptr) {
    for (const char* stepped : {"AXIncrement", "AXDecrement"}) {
      if (std::find(names.begin(), names.end(), stepped) == names.end()) names.push_back(stepped);
    }
  }
  return names;
}

// A scroll bar reads as a position from 0 (top or left) to 1 (bottom or right).
double AtspiAccessibility::scrollBarPosition(AtspiValue* value, double current) {
  const double low = atspi_value_get_minimum_value(value, nullptr);
  const double high = atspi_value_get_maximum_value(value, nullptr);
  return high > low ? std::clamp((current - low) / (high - low), 0.0, 1.0) : 0.0;
}

std::optional<AXElement> AtspiAccessibility::childAt(Reading& reading, int x, int y) {
  if (AtspiComponent* component = reading.component()) {
    if (AtspiAccessible* hit = atspi_component_get_accessible_at_point(component, x, y, ATSPI_COORD_TYPE_SCREEN, nullptr))
      return remember(hit, reading.element.pid);
  }
  // GTK's notebook answers nothing for its page: its page tabs span only their labels,
  // and the shown tab holds the page.
  auto contains = [&](Reading& child) {
    auto frame = child.extents();
    return frame && x >= frame->x && y >= frame->y && x < frame->x + frame->width && y < frame->y + frame->height;
  };
  for (const AXElement& child : reading.children()) {
    Reading candidate(*this, objects_.at(child.id), child);
    if (candidate.role() == ATSPI_ROLE_PAGE_TAB ? candidate.has(ATSPI_STATE_SELECTED) : contains(candidate))
      return child;
  }
  return std::nullopt;
}

std::optional<AXElement> AtspiAccessibility::elementAt(pid_t pid, Point point) {
  using Found = std::optional<AXElement>;
  const AXElement app = application(pid);
  return onElement(app, Found(), [&](Reading& reading) -> Found {
    const int x = int(point.x), y = int(point.y);
    for (const auto& window : reading.windows()) {
      Reading shown(*this, objects_.at(window.id), window);
      auto frame = shown.ownExtents();
      if (!frame || x < frame->x || y < frame->y || x >= frame->x + frame->width || y >= frame->y + frame->height)
        continue;
      // Down from the window, one child at the point after another.
      AXElement found = window;
      for (int depth = 0; depth < 40; ++depth) {
        Reading here(*this, objects_.at(found.id), found);
        auto next = childAt(here, x, y);
        if (!next || *next == found) break;
        found = *next;
      }
      return found;
    }
    return std::nullopt;
  });
}

std::optional<std::optional<AXElement>> AtspiAccessibility::searchWebArea(const AXElement& element) {
  using Found = std::optional<std::optional<AXElement>>;
  return onElement(element, Found(), [](Reading& reading) {
    return Found(reading.searchShown(reading.object, {ATSPI_ROLE_DOCUMENT_WEB, ATSPI_ROLE_HTML_CONTAINER}));
  });
}

AXStatus AtspiAccessibility::perform(const AXElement& element, const std::string& wanted) {
  if (hooks_.agentActs) hooks_.agentActs(element.pid);
  return onElement(element, AXError::cannotComplete, [&](Reading& reading) {
    prefetched_.clear();
    return act(reading, wanted);
  });
}

std::optional<AXStatus> AtspiAccessibility::actOnListOfPopUp(Reading& reading, const std::string& wanted) {
  const AtspiRole role = reading.role();
  if (role == ATSPI_ROLE_COMBO_BOX && (wanted == "AXPress" || wanted == "AXShowMenu") &&
      !reading.has(ATSPI_STATE_EXPANDED) && reading.listOfPopUp()) {
    listsShown_.insert(reading.element.id);
    return AXError::success;
  }
  if (wanted == "AXCancel" && (role == ATSPI_ROLE_MENU || role == ATSPI_ROLE_LIST || role == ATSPI_ROLE_LIST_BOX)) {
    if (auto owner = reading.parent(); owner && listsShown_.erase(owner->id) > 0) return AXError::success;
  }
  return std::nullopt;
}

gboolean AtspiAccessibility::doAction(Reading& reading, AtspiAction* action, gint index, GError*& error) {
  switch (actionLine_.doAction(reading.object, reading.element.pid, index, timeoutMilliseconds_)) {
    case AtspiActionLine::Outcome::done: return TRUE;
    case AtspiActionLine::Outcome::refused:
    case AtspiActionLine::Outcome::running:  // acted, as far as can be told before its dialog closes
    case AtspiActionLine::Outcome::unanswered: return FALSE;
    case AtspiActionLine::Outcome::failed: break;
  }
  return atspi_action_do_action(action, index, &error);
}

AXStatus AtspiAccessibility::act(Reading& reading, const std::string& wanted) {
  if (auto listed = actOnListOfPopUp(reading, wanted)) return *listed;
  GError* error = nullptr;
  std::optional<gboolean> done;
  if (AtspiAction* action = reading.action()) {
    const gint count = atspi_action_get_n_actions(action, nullptr);
    for (gint i = 0; i < count && !done; ++i) {
      gchar* name = atspi_action_get_action_name(action, i, nullptr);
      if (name != nullptr && axAction(name) == wanted) done = doAction(reading, action, i, error);
      g_free(name);
    }
  }
  if (!done && (wanted == "AXIncrement" || wanted == "AXDecrement") && reading.value() != nullptr) {
    AtspiValue* value = reading.value();
    double step = atspi_value_get_minimum_increment(value, nullptr);
    if (step <= 0) step = (atspi_value_get_maximum_value(value, nullptr) - atspi_value_get_minimum_value(value, nullptr)) / 10;
    const double current = atspi_value_get_current_value(value, nullptr);
    done = atspi_value_set_current_value(value, wanted == "AXIncrement" ? current + step : current - step, &error);
  }
  if (!done && wanted == "AXRaise" && hooks_.raiseWindow && AtspiRoles::isWindow(reading.role())) {
    // Windows are stacked by the window manager; AT-SPI cannot raise them.
    auto number = numberOf(reading);
    if (!number) return AXError::actionUnsupported;
    return hooks_.raiseWindow(*number) ? AXError::success : AXError::cannotComplete;
  }
  if (!done) return AXError::actionUnsupported;
  // A chosen item closes the list it was chosen from.
  if (*done && reading.role() == ATSPI_ROLE_MENU_ITEM && !listsShown_.empty()) {
    if (auto list = reading.parent()) {
      Reading owner(*this, objects_.at(list->id), *list);
      if (auto popUp = owner.parent()) listsShown_.erase(popUp->id);
    }
  }
  return outcome(error, *done);
}

std::optional<WindowNumber> AtspiAccessibility::matchWindow(AtspiAccessible* object, pid_t pid) {
  if (!hooks_.windowsOf) return std::nullopt;
  Reading reading(*this, object, AXElement{pid, identity(object), 0});
  if (!AtspiRoles::isWindow(reading.role())) return std::nullopt;
  const auto candidates = hooks_.windowsOf(pid);
  const auto extents = reading.ownExtents();
  const bool relative = isWindowRelative(object);
  const std::string title = reading.name();
  // The X window with the same title and client area; a size match alone breaks ties.
  // A window-relative toolkit's window may be smaller by its decorations' margins.
  auto fits = [relative](double area, int own) {
    return relative ? own <= area + 2 && own >= area - 2 * maxClientMargin : std::abs(area - own) <= 2;
  };
  int bestScore = 0;
  std::optional<WindowNumber> best;
  for (const auto& candidate : candidates) {
    int score = 0;
    if (!title.empty() && candidate.title == title) score += 2;
    if (extents) {
      const Rect& area = candidate.content;
      const bool sameSize = fits(area.size.width, extents->width) && fits(area.size.height, extents->height);
      const bool samePlace = !relative && std::abs(area.origin.x - extents->x) <= 2 && std::abs(area.origin.y - extents->y) <= 2;
      score += (sameSize ? 1 : 0) + (sameSize && samePlace ? 2 : 0);
    }
    if (score > bestScore) bestScore = score, best = candidate.number;
  }
  if (bestScore < 2 && candidates.size() != 1) return std::nullopt;
  return best ? best : std::optional<WindowNumber>(candidates.front().number);
}

bool AtspiAccessibility::isWindowRelative(AtspiAccessible* object) {
  const std::string bus = busOf(identity(object));
  if (auto known = windowRelative_.find(bus); known != windowRelative_.end()) return known->second;
  GError* error = nullptr;
  AtspiAccessible* app = atspi_accessible_get_application(object, &error);
  if (error != nullptr || app == nullptr) {
    g_clear_error(&error);
    return false;
  }
  gchar* name = atspi_accessible_get_toolkit_name(app, &error);
  g_clear_error(&error);
  gchar* version = atspi_accessible_get_toolkit_version(app, &error);
  g_clear_error(&error);
  const bool relative = name != nullptr && version != nullptr && std::string_view(name) == "GTK" &&
                        std::string_view(version).starts_with("4.");
  g_free(name);
  g_free(version);
  g_object_unref(app);
  return windowRelative_[bus] = relative;
}

std::optional<AXElement> AtspiAccessibility::windowElementOf(Reading& reading) {
  std::optional<AXElement> current = reading.element;
  for (int depth = 0; current && depth < 64; ++depth) {
    Reading up(*this, objects_.at(current->id), *current);
    if (AtspiRoles::isWindow(up.role())) return *current;
    if (auto& noted = settled_[current->id].window; noted && objects_.contains(*noted)) {
      return AXElement{current->pid, *noted, 0};
    }
    current = up.parent();
  }
  return std::nullopt;
}

void AtspiAccessibility::noteWindowOf(Reading& parent, const std::vector<AXElement>& children) {
  if (parent.isApplication() || !isWindowRelative(parent.object)) return;
  std::optional<std::string> window =
      AtspiRoles::isWindow(parent.role()) ? std::optional(parent.element.id) : settled_[parent.element.id].window;
  if (!window) return;
  for (const auto& child : children) settled_[child.id].window = *window;
}

// The window's client area on the screen, less the margins the toolkit draws around its
// window (shadows, resize borders), which it leaves out of its own size: split evenly.
std::optional<Point> AtspiAccessibility::windowOrigin(Reading& reading) {
  const auto window = windowElementOf(reading);
  if (!window || !hooks_.windowsOf) return std::nullopt;
  const auto now = std::chrono::steady_clock::now();
  if (auto known = origins_.find(window->id); known != origins_.end() && now - known->second.read < originLifetime) {
    return known->second.point;
  }
  Reading frame(*this, objects_.at(window->id), *window);
  const auto number = numberOf(frame);
  const auto own = frame.ownExtents();
  if (!number || !own) return std::nullopt;
  for (const auto& candidate : hooks_.windowsOf(window->pid)) {
    if (candidate.number != *number) continue;
    const Rect& area = candidate.content;
    const Point origin{area.origin.x + std::max(0.0, std::floor((area.size.width - own->width) / 2)) - own->x,
                       area.origin.y + std::max(0.0, std::floor((area.size.height - own->height) / 2)) - own->y};
    origins_[window->id] = {origin, now};
    return origin;
  }
  return std::nullopt;
}

std::optional<WindowNumber> AtspiAccessibility::windowNumber(const AXElement& element) {
  return onElement(element, std::optional<WindowNumber>(), [&](Reading& reading) { return numberOf(reading); });
}

std::optional<WindowNumber> AtspiAccessibility::numberOf(Reading& reading) {
  const AXElement& element = reading.element;
  if (auto known = windowNumbers_.find(element.id); known != windowNumbers_.end() && hooks_.windowsOf) {
    for (const auto& candidate : hooks_.windowsOf(element.pid)) {
      if (candidate.number == known->second) return known->second;
    }
    windowNumbers_.erase(known);
  }
  auto number = matchWindow(reading.object, element.pid);
  if (number) windowNumbers_[element.id] = *number;
  return number;
}
