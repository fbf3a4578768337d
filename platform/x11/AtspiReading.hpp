#pragma once
#include <atspi/atspi.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kit/platform/AXTypes.hpp"
#include "platform/x11/AtspiAccessibility.hpp"
#include "platform/x11/AtspiRoles.hpp"

// The accessibility status a bus error stands for.
namespace AtspiErrors {
AXStatus status(const GError* error);
AXStatus status(std::string_view busError);
}

// The facts of one element that several attributes share, each fetched once and only
// when an attribute needs it, so a batch read costs as few bus round trips as it can.
class AtspiAccessibility::Reading {
 public:
  Reading(AtspiAccessibility& owner, AtspiAccessible* object, const AXElement& element)
      : owner(owner), object(object), element(element) {}
  ~Reading();
  Reading(const Reading&) = delete;
  Reading& operator=(const Reading&) = delete;

  AtspiRole role();
  AtspiStateSet* states();
  bool has(AtspiStateType state) { return states() != nullptr && atspi_state_set_contains(states(), state); }
  AXRoleName roleName();
  bool isApplication() { return role() == ATSPI_ROLE_APPLICATION; }
  std::string name();
  std::string description();
  // The Value interface's current value; none without one or an answer.
  std::optional<double> currentValue();
  AtspiText* text();
  AtspiValue* value();
  AtspiAction* action();
  AtspiComponent* component();
  AtspiEditableText* editableText();
  uint32_t interfaces();  // one bit per interface the getters above hand out
  // The bits of the interfaces named (with or without the bus's "org.a11y.atspi." prefix).
  static uint32_t interfaceMask(const std::vector<std::string_view>& names);
  // The object's interfaces as a mask; none when it did not answer.
  static std::optional<uint32_t> interfacesOf(AtspiAccessible* object);
  // Whether the library holds the fact from the app's cache or its events, so reading it
  // asks nothing of the app.
  static bool libraryHolds(AtspiAccessible* object, AtspiCache fact);
  // Whether the library holds the object's states (read, or handed to it by holdStates).
  static bool holdsStates(AtspiAccessible* object);
  // Hands the library states read in a burst: it then holds them as if it had asked, and
  // keeps them current from the app's state-changed events.
  static void holdStates(AtspiAccessible* object, int64_t states);
  static bool hasComponent(uint32_t mask);
  static bool hasAction(uint32_t mask);
  static bool hasValue(uint32_t mask);
  // Screen coordinates; none for an unplaced object or a placeholder frame.
  std::optional<AtspiRect> extents();
  // As the toolkit reports them: relative to the window where the toolkit cannot know the screen.
  std::optional<AtspiRect> ownExtents();
  // Shown on screen: SHOWING, or for toolkits that never report SHOWING, VISIBLE and taking room.
  bool isShown();
  // The children that are shown; under a menu bar or menu also the closed ones, which menus are walked for.
  std::vector<AXElement> children();
  // Those of the element's children that children() lists.
  std::vector<AXElement> shownAmong(std::vector<AXElement> all);
  // A scroll pane's shown scroll bar of that direction.
  std::optional<AXElement> scrollBar(bool vertical);
  // The list a pop-up button (combo box) holds its options in, open or not.
  std::optional<AXElement> listOfPopUp();
  std::vector<AXElement> allChildren();
  // The name of the item chosen in a pop-up button's list (a web page's <select>), or "".
  std::string selectedItemName();
  std::optional<AXElement> parent();
  std::vector<AXElement> windows();  // of an application
  std::optional<AXElement> activeWindow();
  std::optional<AXElement> mainWindow();
  // The first descendant that has the state, or the role, by one Collection query.
  std::optional<AXElement> firstWithState(AtspiAccessible* root, AtspiStateType state);
  std::optional<AXElement> firstWithRole(AtspiAccessible* root, AtspiRole role);
  // The first shown descendant with one of the roles, by the app's own search where it has one.
  std::optional<AXElement> searchShown(AtspiAccessible* root, const std::vector<AtspiRole>& roles);
  AXElement wrap(AtspiAccessible* other) { return owner.remember(other, element.pid); }
  // The status of the last failed call, or success.
  AXStatus lastStatus = AXError::success;

  AtspiAccessibility& owner;
  AtspiAccessible* object;
  AXElement element;

 private:
  std::optional<AXElement> activeAmong(const std::vector<AXElement>& windows);
  // Frees the error and notes what kind of failure it was; true when there was one.
  bool failed(GError*& error);
  // The first match in the app's own search (Collection), or none when it has no such search.
  std::optional<std::optional<AXElement>> firstMatch(AtspiAccessible* root, AtspiMatchRule* rule);
  // The first descendant, breadth first and bounded, that passes the test: for toolkits
  // without Collection (Qt).
  std::optional<AXElement> firstInWalk(AtspiAccessible* root, const std::function<bool(Reading&)>& wanted);
  // Bus name and path of each child by one call (or the burst's answer unless asked again);
  // nothing when the app's connection is unknown.
  std::optional<std::vector<std::string>> childIdentities(bool askAgain = false);
  std::vector<AXElement> childrenByIndex();

  std::optional<AtspiRole> role_;
  AtspiStateSet* states_ = nullptr;
  std::optional<std::string> name_;
  std::optional<std::optional<AtspiRect>> extents_;
  std::optional<std::optional<AtspiRect>> ownExtents_;
  std::optional<AtspiRole> parentRole_;
  AtspiText* text_ = nullptr;
  AtspiValue* value_ = nullptr;
  AtspiAction* action_ = nullptr;
  AtspiComponent* component_ = nullptr;
  AtspiEditableText* editable_ = nullptr;
  bool interfacesRead_[5] = {false, false, false, false, false};

 public:
  AtspiRole parentRole();
};
