#include "platform/x11/AtspiReading.hpp"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <initializer_list>
#include <string_view>
#include <thread>

// Exported by libatspi (2.46) but missing from its public headers: the object of a bus
// name and path, made or found in the library's table, with a reference for the caller.
extern "C" AtspiAccessible* _atspi_ref_accessible(const char* app, const char* path);
// Likewise: whether the library answers the fact from what it holds, by its own rules
// (the app's cache mask, transient objects, caching switched on); a fact it now holds; and
// a state set that belongs to an object.
extern "C" gboolean _atspi_accessible_test_cache(AtspiAccessible* object, AtspiCache flag);
extern "C" void _atspi_accessible_add_cache(AtspiAccessible* object, AtspiCache flag);
extern "C" AtspiStateSet* _atspi_state_set_new_internal(AtspiAccessible* object, gint64 states);

namespace AtspiErrors {

AXStatus status(const GError* error) {
  if (error == nullptr) return AXError::success;
  return status(std::string_view(error->message != nullptr ? error->message : ""));
}

AXStatus status(std::string_view message) {
  auto says = [&](std::string_view text) { return message.find(text) != std::string_view::npos; };
  if (says("NoReply") || says("Timeout") || says("timed out") || says("did not receive a reply")) {
    return AXError::cannotComplete;
  }
  if (says("UnknownObject") || says("ServiceUnknown") || says("does not exist") || says("Disconnected") ||
      says("defunct")) {
    return AXError::invalidElement;
  }
  if (says("UnknownMethod") || says("UnknownInterface") || says("not supported") || says("No such interface")) {
    return AXError::attributeUnsupported;
  }
  return AXError::failure;
}

}  // namespace AtspiErrors

namespace {

bool holds(AtspiAccessible* object, std::initializer_list<AtspiStateType> anyOf) {
  AtspiStateSet* states = atspi_accessible_get_state_set(object);
  if (states == nullptr) return false;
  const bool held = std::any_of(anyOf.begin(), anyOf.end(), [&](AtspiStateType state) {
    return atspi_state_set_contains(states, state);
  });
  g_object_unref(states);
  return held;
}

constexpr size_t maxChildren = 2000;  // huge tables publish more rows than any listing shows
constexpr int pageRetries = 10;
constexpr std::string_view nullPath = "/org/a11y/atspi/null";
constexpr auto pageRetryInterval = std::chrono::milliseconds(25);

enum Interface { textInterface, valueInterface, actionInterface, componentInterface, editableInterface };

// Toolkits report unplaced objects at the most negative coordinate, and some a -1x-1 placeholder.
bool isPlaced(const AtspiRect& rect) {
  return rect.x > -1000000 && rect.y > -1000000 && rect.width >= 0 && rect.height >= 0;
}

}  // namespace

AtspiAccessibility::Reading::~Reading() {
  if (states_ != nullptr) g_object_unref(states_);
  for (void* held : {static_cast<void*>(text_), static_cast<void*>(value_), static_cast<void*>(action_),
                     static_cast<void*>(component_), static_cast<void*>(editable_)}) {
    if (held != nullptr) g_object_unref(held);
  }
}

bool AtspiAccessibility::Reading::failed(GError*& error) {
  if (error == nullptr) return false;
  lastStatus = AtspiErrors::status(error);
  g_clear_error(&error);
  return true;
}

// Roles and interfaces are remembered per element as well: the library's own cache
// leaves out transient objects (menu items, list rows), which are asked again each time.
AtspiRole AtspiAccessibility::Reading::role() {
  if (!role_) {
    std::optional<AtspiRole>& known = owner.settled_[element.id].role;
    if (!known) {
      GError* error = nullptr;
      AtspiRole read = atspi_accessible_get_role(object, &error);
      if (!failed(error)) known = read;
    }
    role_ = known.value_or(ATSPI_ROLE_INVALID);
  }
  return *role_;
}

AtspiStateSet* AtspiAccessibility::Reading::states() {
  if (states_ == nullptr) {
    // The burst's states while fresh: the library never holds those of transient objects
    // (rows, cells), and asks again at every test of them.
    if (const auto* early = owner.prefetchedFor(element.id); early != nullptr && early->states) {
      states_ = _atspi_state_set_new_internal(nullptr, *early->states);
    }
    if (states_ == nullptr) states_ = atspi_accessible_get_state_set(object);
  }
  return states_;
}

AtspiRole AtspiAccessibility::Reading::parentRole() {
  if (!parentRole_) {
    parentRole_ = ATSPI_ROLE_INVALID;
    GError* error = nullptr;
    AtspiAccessible* up = atspi_accessible_get_parent(object, &error);
    if (!failed(error) && up != nullptr) {
      parentRole_ = atspi_accessible_get_role(up, &error);
      failed(error);
      g_object_unref(up);
    }
  }
  return *parentRole_;
}

AXRoleName AtspiAccessibility::Reading::roleName() {
  const AtspiRole own = role();
  const bool dependsOnParent = own == ATSPI_ROLE_MENU || own == ATSPI_ROLE_MENU_ITEM || own == ATSPI_ROLE_PANEL;
  return AtspiRoles::refined(own, states(), dependsOnParent ? parentRole() : ATSPI_ROLE_INVALID);
}

std::string AtspiAccessibility::Reading::name() {
  if (name_) return *name_;
  if (const auto* early = owner.prefetchedFor(element.id); early != nullptr && early->name) {
    name_ = early->name;
  } else {
    // Qt's combo box renames itself to its new option without telling (measured).
    // Only the name is dropped: the rest of what the library holds stays good.
    if (role() == ATSPI_ROLE_COMBO_BOX) object->cached_properties &= ~guint(ATSPI_CACHE_NAME);
    GError* error = nullptr;
    gchar* read = atspi_accessible_get_name(object, &error);
    name_ = read != nullptr ? read : "";
    g_free(read);
    failed(error);
  }
  // GTK 4 names an unlabelled widget by its type ("GtkEntry"), which tells a person nothing.
  if (name_->starts_with("Gtk") && owner.isWindowRelative(object) &&
      std::all_of(name_->begin(), name_->end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); })) {
    name_->clear();
  }
  return *name_;
}

std::string AtspiAccessibility::Reading::description() {
  if (const auto* early = owner.prefetchedFor(element.id); early != nullptr && early->description)
    return *early->description;
  gchar* text = atspi_accessible_get_description(object, nullptr);
  std::string description = text != nullptr ? text : "";
  g_free(text);
  return description;
}

std::optional<double> AtspiAccessibility::Reading::currentValue() {
  if (const auto* early = owner.prefetchedFor(element.id); early != nullptr && early->currentValue)
    return early->currentValue;
  AtspiValue* found = value();
  if (found == nullptr) return std::nullopt;
  GError* error = nullptr;
  const double current = atspi_value_get_current_value(found, &error);
  if (error == nullptr) return current;
  g_clear_error(&error);
  return std::nullopt;
}

uint32_t AtspiAccessibility::Reading::interfaceMask(const std::vector<std::string_view>& names) {
  static const std::pair<std::string_view, Interface> known[] = {{"Text", textInterface},
                                                                 {"Value", valueInterface},
                                                                 {"Action", actionInterface},
                                                                 {"Component", componentInterface},
                                                                 {"EditableText", editableInterface}};
  uint32_t mask = 0;
  for (std::string_view name : names) {
    if (name.starts_with("org.a11y.atspi.")) name.remove_prefix(std::string_view("org.a11y.atspi.").size());
    for (const auto& [wanted, bit] : known) {
      if (name == wanted) mask |= 1u << bit;
    }
  }
  return mask;
}

bool AtspiAccessibility::Reading::hasComponent(uint32_t mask) { return (mask & (1u << componentInterface)) != 0; }
bool AtspiAccessibility::Reading::hasAction(uint32_t mask) { return (mask & (1u << actionInterface)) != 0; }
bool AtspiAccessibility::Reading::hasValue(uint32_t mask) { return (mask & (1u << valueInterface)) != 0; }

std::optional<uint32_t> AtspiAccessibility::Reading::interfacesOf(AtspiAccessible* object) {
  GArray* listed = atspi_accessible_get_interfaces(object);
  if (listed == nullptr) return std::nullopt;
  std::vector<std::string_view> names;
  for (guint i = 0; i < listed->len; ++i) {
    if (const char* name = g_array_index(listed, gchar*, i)) names.emplace_back(name);
  }
  const uint32_t mask = interfaceMask(names);
  for (guint i = 0; i < listed->len; ++i) g_free(g_array_index(listed, gchar*, i));
  const bool answered = listed->len > 0;  // every object is at least an Accessible
  g_array_free(listed, TRUE);
  if (!answered) return std::nullopt;
  return mask;
}

bool AtspiAccessibility::Reading::libraryHolds(AtspiAccessible* object, AtspiCache fact) {
  // The library's own test asks the app for the states of an object whose states it does
  // not hold (to see whether it is transient): that case is decided here, without asking.
  if (holdsStates(object) || object->states == nullptr) return _atspi_accessible_test_cache(object, fact);
  if (fact == ATSPI_CACHE_STATES) return false;
  const AtspiApplication* app = object->parent.app;
  const AtspiCache kept = app == nullptr || app->cache == ATSPI_CACHE_UNDEFINED ? ATSPI_CACHE_DEFAULT : app->cache;
  return (object->cached_properties & fact & kept) != 0;
}

bool AtspiAccessibility::Reading::holdsStates(AtspiAccessible* object) {
  return object->states != nullptr && (object->cached_properties & ATSPI_CACHE_STATES) != 0;
}

void AtspiAccessibility::Reading::holdStates(AtspiAccessible* object, int64_t states) {
  if (object->states == nullptr) object->states = _atspi_state_set_new_internal(object, states);
  else object->states->states = states;
  _atspi_accessible_add_cache(object, ATSPI_CACHE_STATES);
}

uint32_t AtspiAccessibility::Reading::interfaces() {
  std::optional<uint32_t>& known = owner.settled_[element.id].interfaces;
  if (!known) known = interfacesOf(object);
  return known.value_or(0);
}

#define INTERFACE_GETTER(Type, method, slot, field, cast)                                           \
  Type* AtspiAccessibility::Reading::method() {                                                    \
    if (!interfacesRead_[slot]) {                                                                  \
      interfacesRead_[slot] = true;                                                                \
      if (interfaces() & (1u << slot)) field = cast(g_object_ref(object));                         \
    }                                                                                              \
    return field;                                                                                  \
  }
INTERFACE_GETTER(AtspiText, text, textInterface, text_, ATSPI_TEXT)
INTERFACE_GETTER(AtspiValue, value, valueInterface, value_, ATSPI_VALUE)
INTERFACE_GETTER(AtspiAction, action, actionInterface, action_, ATSPI_ACTION)
INTERFACE_GETTER(AtspiComponent, component, componentInterface, component_, ATSPI_COMPONENT)
INTERFACE_GETTER(AtspiEditableText, editableText, editableInterface, editable_, ATSPI_EDITABLE_TEXT)
#undef INTERFACE_GETTER

std::optional<AtspiRect> AtspiAccessibility::Reading::ownExtents() {
  if (!ownExtents_) {
    ownExtents_ = std::optional<AtspiRect>();
    if (const auto* early = owner.prefetchedFor(element.id); early != nullptr && early->extents) {
      if (isPlaced(*early->extents)) *ownExtents_ = *early->extents;
    } else if (AtspiComponent* found = component()) {
      GError* error = nullptr;
      AtspiRect* rect = atspi_component_get_extents(found, owner.coordinatesOf(object), &error);
      if (!failed(error) && rect != nullptr && isPlaced(*rect)) *ownExtents_ = *rect;
      g_free(rect);
    }
  }
  return *ownExtents_;
}

std::optional<AtspiRect> AtspiAccessibility::Reading::extents() {
  if (!extents_) {
    extents_ = ownExtents();
    if (*extents_ && owner.isWindowRelative(object)) {
      const auto origin = owner.windowOrigin(*this);
      if (origin) (*extents_)->x += int(origin->x), (*extents_)->y += int(origin->y);
      else extents_ = std::optional<AtspiRect>();
    }
  }
  return *extents_;
}

bool AtspiAccessibility::Reading::isShown() {
  if (!owner.isWindowRelative(object)) return has(ATSPI_STATE_SHOWING);
  if (!has(ATSPI_STATE_VISIBLE)) return false;
  // GTK 4 keeps the pages a stack does not show VISIBLE; they take no room.
  const auto own = ownExtents();
  return !own || own->width > 0 || own->height > 0;
}

namespace {

bool isList(AtspiRole role) { return role == ATSPI_ROLE_MENU || role == ATSPI_ROLE_LIST || role == ATSPI_ROLE_LIST_BOX; }

}  // namespace

std::vector<AXElement> AtspiAccessibility::Reading::children() { return shownAmong(allChildren()); }

std::vector<AXElement> AtspiAccessibility::Reading::shownAmong(std::vector<AXElement> result) {
  if (!isApplication() && !owner.prefetch(result)) {
    lastStatus = AXError::cannotComplete;
    return {};
  }
  const AtspiRole own = role();
  const bool menus = own == ATSPI_ROLE_MENU_BAR || own == ATSPI_ROLE_MENU || own == ATSPI_ROLE_MENU_ITEM ||
                     own == ATSPI_ROLE_POPUP_MENU;  // Qt's menus under its menu bar
  if (menus || isApplication()) return result;
  // A closed pop-up button's list counts as hidden, though pages report it shown, unless
  // an agent opened it as listed.
  const bool popUp = own == ATSPI_ROLE_COMBO_BOX && !has(ATSPI_STATE_EXPANDED);
  const bool listed = popUp && owner.listsShown_.contains(element.id);
  std::erase_if(result, [&](const AXElement& child) {
    Reading each(owner, owner.objects_.at(child.id), child);
    if (popUp && isList(each.role())) return !listed;
    return !each.isShown();
  });
  if (!owner.readingAhead_) owner.prefetchChildren(result);  // the walk goes on into the shown ones
  return result;
}

std::optional<AXElement> AtspiAccessibility::Reading::scrollBar(bool vertical) {
  for (const auto& child : allChildren()) {
    Reading each(owner, owner.objects_.at(child.id), child);
    if (each.role() == ATSPI_ROLE_SCROLL_BAR && each.has(vertical ? ATSPI_STATE_VERTICAL : ATSPI_STATE_HORIZONTAL) &&
        each.isShown())
      return child;
  }
  return std::nullopt;
}

std::optional<AXElement> AtspiAccessibility::Reading::listOfPopUp() {
  for (const auto& child : allChildren()) {
    Reading each(owner, owner.objects_.at(child.id), child);
    if (isList(each.role())) return child;
  }
  return std::nullopt;
}

std::string AtspiAccessibility::Reading::selectedItemName() {
  for (const auto& list : allChildren()) {
    Reading items(owner, owner.objects_.at(list.id), list);
    if (!isList(items.role())) continue;
    for (const auto& item : items.allChildren()) {
      Reading each(owner, owner.objects_.at(item.id), item);
      if (each.has(ATSPI_STATE_SELECTED)) return each.name();
    }
  }
  return "";
}

// AT-SPI has no call that lists children, so the bus's GetChildren is asked directly: one
// round trip for all of them instead of one each. Children seen before are reused; only
// new ones are fetched by index, which makes the library create their objects. The list
// is remembered until the element reports a change (toolkits announce added and removed
// children), except where toolkits make children up on demand without announcing them.
std::vector<AXElement> AtspiAccessibility::Reading::allChildren() {
  // Pages change names and states without telling: what the library kept of them is read
  // afresh, once for a walk (which reads the page's children more than once).
  if (role() == ATSPI_ROLE_DOCUMENT_WEB && owner.pageNeedsRefresh(element.id)) atspi_accessible_clear_cache(object);
  if (auto& known = owner.settled_[element.id].children) {
    std::vector<AXElement> result;
    for (const auto& id : *known) {
      if (owner.objects_.contains(id)) result.push_back(AXElement{element.pid, id, 0});
    }
    return result;
  }
  const AXStatus earlier = lastStatus;
  lastStatus = AXError::success;
  auto listed = childIdentities();
  if (!listed) return childrenByIndex();
  // Browsers build a page's tree when it is first asked for: an empty page is asked
  // again for a moment, and never remembered empty.
  const bool page = role() == ATSPI_ROLE_DOCUMENT_WEB;
  for (int again = 0; page && listed->empty() && lastStatus == AXError::success && again < pageRetries; ++again) {
    std::this_thread::sleep_for(pageRetryInterval);
    listed = childIdentities(true);
    if (!listed) return childrenByIndex();
  }
  bool complete = lastStatus == AXError::success;
  if (complete) lastStatus = earlier;
  std::vector<AXElement> result;
  result.reserve(std::min(listed->size(), maxChildren));
  for (size_t i = 0; i < listed->size() && result.size() < maxChildren; ++i) {
    std::string& id = (*listed)[i];
    // A child not made yet (Chromium before its tree is built): asked again next time.
    if (id.ends_with(nullPath)) {
      complete = false;
      continue;
    }
    if (owner.objects_.contains(id)) {
      result.push_back(AXElement{element.pid, std::move(id), 0});
      continue;
    }
    // The bus already named the child: the library makes its object without asking again.
    const size_t slash = id.find('/');
    AtspiAccessible* child = _atspi_ref_accessible(id.substr(0, slash).c_str(), id.substr(slash).c_str());
    if (child == nullptr) {
      complete = false;
      break;
    }
    result.push_back(wrap(child));
  }
  // Chromium moves tabs within their strip without announcing it.
  const bool reordersSilently = role() == ATSPI_ROLE_PAGE_TAB_LIST;
  if (complete && !(page && result.empty()) && !reordersSilently && !has(ATSPI_STATE_TRANSIENT) &&
      !has(ATSPI_STATE_MANAGES_DESCENDANTS)) {
    std::vector<std::string> ids;
    for (const auto& child : result) ids.push_back(child.id);
    owner.settled_[element.id].children = std::move(ids);
  }
  owner.noteWindowOf(*this, result);
  return result;
}

std::optional<std::vector<std::string>> AtspiAccessibility::Reading::childIdentities(bool askAgain) {
  AtspiApplication* app = object->parent.app;
  if (app == nullptr || app->bus == nullptr || app->bus_name == nullptr) return std::nullopt;
  // Asked for in a burst with the element's siblings.
  if (!askAgain) {
    if (auto early = owner.prefetchedChildren(element.id)) return early;
  }
  DBusMessage* call = dbus_message_new_method_call(app->bus_name, object->parent.path, "org.a11y.atspi.Accessible",
                                                   "GetChildren");
  if (call == nullptr) return std::nullopt;
  DBusError error;
  dbus_error_init(&error);
  DBusMessage* reply = dbus_connection_send_with_reply_and_block(app->bus, call, owner.timeoutMilliseconds_, &error);
  dbus_message_unref(call);
  if (reply == nullptr) {
    lastStatus = AtspiErrors::status(std::string(error.name ? error.name : "") + " " + (error.message ? error.message : ""));
    dbus_error_free(&error);
    return std::vector<std::string>();
  }
  auto result = AtspiPipeline::references(reply, app->bus_name);
  dbus_message_unref(reply);
  return result;
}

std::vector<AXElement> AtspiAccessibility::Reading::childrenByIndex() {
  std::vector<AXElement> result;
  GError* error = nullptr;
  const gint count = atspi_accessible_get_child_count(object, &error);
  if (failed(error) || count <= 0) return result;
  for (gint i = 0; i < count && result.size() < maxChildren; ++i) {
    AtspiAccessible* child = atspi_accessible_get_child_at_index(object, i, &error);
    if (failed(error)) break;
    if (child != nullptr) result.push_back(wrap(child));
  }
  return result;
}

std::optional<AXElement> AtspiAccessibility::Reading::parent() {
  GError* error = nullptr;
  AtspiAccessible* up = atspi_accessible_get_parent(object, &error);
  if (failed(error) || up == nullptr) return std::nullopt;
  // Applications hang under the desktop, which is nobody's element.
  if (atspi_accessible_get_role(up, nullptr) == ATSPI_ROLE_DESKTOP_FRAME) {
    g_object_unref(up);
    return std::nullopt;
  }
  return wrap(up);
}

// Toolkits keep closed dialogs around hidden; only windows that are shown, or minimised, count.
std::vector<AXElement> AtspiAccessibility::Reading::windows() {
  std::vector<AXElement> result = allChildren();
  std::erase_if(result, [&](const AXElement& child) {
    AtspiAccessible* window = owner.objects_.at(child.id);
    if (!AtspiRoles::isWindow(atspi_accessible_get_role(window, nullptr))) return true;
    return !holds(window, {ATSPI_STATE_VISIBLE, ATSPI_STATE_ICONIFIED});
  });
  return result;
}

std::optional<AXElement> AtspiAccessibility::Reading::activeWindow() { return activeAmong(windows()); }

std::optional<AXElement> AtspiAccessibility::Reading::activeAmong(const std::vector<AXElement>& windows) {
  for (const auto& window : windows) {
    if (holds(owner.objects_.at(window.id), {ATSPI_STATE_ACTIVE})) return window;
  }
  return std::nullopt;
}

// A popup (a combo box's list, a menu) takes the active state while it is open, but the
// main window stays the one it belongs to: the first window that is no popup. A modal
// dialog comes first: X apps have no sheets, and the windows it blocks take no input.
std::optional<AXElement> AtspiAccessibility::Reading::mainWindow() {
  auto isPopup = [&](const AXElement& window) {
    return atspi_accessible_get_role(owner.objects_.at(window.id), nullptr) == ATSPI_ROLE_WINDOW;
  };
  auto isModalDialog = [&](const AXElement& window) {
    return !isPopup(window) && holds(owner.objects_.at(window.id), {ATSPI_STATE_MODAL});
  };
  const auto all = windows();
  if (auto modal = std::find_if(all.begin(), all.end(), isModalDialog); modal != all.end()) return *modal;
  if (auto active = activeAmong(all); active && !isPopup(*active)) return active;
  auto standing = std::find_if_not(all.begin(), all.end(), isPopup);
  if (standing != all.end()) return *standing;
  if (!all.empty()) return all.front();
  return std::nullopt;
}

std::optional<std::optional<AXElement>> AtspiAccessibility::Reading::firstMatch(AtspiAccessible* root,
                                                                               AtspiMatchRule* rule) {
  std::optional<std::optional<AXElement>> result;
  AtspiCollection* collection = atspi_accessible_get_collection_iface(root);
  if (collection != nullptr) {
    GError* error = nullptr;
    GArray* matches = atspi_collection_get_matches(collection, rule, ATSPI_Collection_SORT_ORDER_CANONICAL, 1, TRUE,
                                                   &error);
    // An app too busy to search is not walked instead.
    const bool refused = failed(error);
    const bool timedOut = refused && lastStatus == AXError::cannotComplete;
    if (timedOut || (!refused && matches != nullptr)) {
      result.emplace();
      for (guint i = 0; i < matches->len; ++i) {
        AtspiAccessible* match = g_array_index(matches, AtspiAccessible*, i);
        if (!*result) {
          *result = wrap(match);
        } else {
          g_object_unref(match);
        }
      }
    }
    if (matches != nullptr) g_array_free(matches, TRUE);
    g_object_unref(collection);
  }
  g_object_unref(rule);
  return result;
}

// Over the shown children, whose lists and states later walks reuse.
std::optional<AXElement> AtspiAccessibility::Reading::firstInWalk(AtspiAccessible* root,
                                                                  const std::function<bool(Reading&)>& wanted) {
  constexpr size_t maxVisited = 400;
  g_object_ref(root);
  const AXElement rootElement = wrap(root);
  Reading top(owner, owner.objects_.at(rootElement.id), rootElement);
  std::vector<AXElement> queue = top.children();
  const auto started = std::chrono::steady_clock::now();
  for (size_t next = 0; next < queue.size() && next < maxVisited && !owner.tookTheTimeOut(started); ++next) {
    Reading each(owner, owner.objects_.at(queue[next].id), queue[next]);
    if (wanted(each)) return queue[next];
    if (queue.size() >= maxVisited) continue;
    for (auto& child : each.children()) queue.push_back(std::move(child));
  }
  return std::nullopt;
}

std::optional<AXElement> AtspiAccessibility::Reading::firstWithState(AtspiAccessible* root, AtspiStateType state) {
  GArray* wanted = g_array_new(FALSE, FALSE, sizeof(AtspiStateType));
  g_array_append_val(wanted, state);
  AtspiStateSet* set = atspi_state_set_new(wanted);
  g_array_free(wanted, TRUE);
  AtspiMatchRule* rule = atspi_match_rule_new(set, ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_NONE,
                                              nullptr, ATSPI_Collection_MATCH_NONE, nullptr,
                                              ATSPI_Collection_MATCH_NONE, FALSE);
  g_object_unref(set);
  if (auto searched = firstMatch(root, rule)) return *searched;
  return firstInWalk(root, [state](Reading& each) { return each.has(state); });
}

std::optional<AXElement> AtspiAccessibility::Reading::firstWithRole(AtspiAccessible* root, AtspiRole role) {
  GArray* roles = g_array_new(FALSE, FALSE, sizeof(AtspiRole));
  g_array_append_val(roles, role);
  AtspiMatchRule* rule = atspi_match_rule_new(nullptr, ATSPI_Collection_MATCH_NONE, nullptr,
                                              ATSPI_Collection_MATCH_NONE, roles, ATSPI_Collection_MATCH_ANY, nullptr,
                                              ATSPI_Collection_MATCH_NONE, FALSE);
  g_array_free(roles, TRUE);
  if (auto searched = firstMatch(root, rule)) return *searched;
  return firstInWalk(root, [role](Reading& each) { return each.role() == role; });
}

std::optional<AXElement> AtspiAccessibility::Reading::searchShown(AtspiAccessible* root,
                                                                 const std::vector<AtspiRole>& roles) {
  GArray* wanted = g_array_new(FALSE, FALSE, sizeof(AtspiRole));
  for (AtspiRole role : roles) g_array_append_val(wanted, role);
  GArray* states = g_array_new(FALSE, FALSE, sizeof(AtspiStateType));
  AtspiStateType shown = owner.isWindowRelative(root) ? ATSPI_STATE_VISIBLE : ATSPI_STATE_SHOWING;
  g_array_append_val(states, shown);
  AtspiStateSet* set = atspi_state_set_new(states);
  AtspiMatchRule* rule = atspi_match_rule_new(set, ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_NONE,
                                              wanted, ATSPI_Collection_MATCH_ANY, nullptr,
                                              ATSPI_Collection_MATCH_NONE, FALSE);
  g_array_free(wanted, TRUE);
  g_array_free(states, TRUE);
  g_object_unref(set);
  if (auto searched = firstMatch(root, rule)) return *searched;
  return firstInWalk(root, [&roles](Reading& each) {
    return std::find(roles.begin(), roles.end(), each.role()) != roles.end();
  });
}
