#pragma once
#include <atspi/atspi.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>
#include <unordered_map>
#include <unordered_set>

#include "kit/platform/Accessibility.hpp"
#include "platform/x11/AtspiActionLine.hpp"
#include "platform/x11/AtspiPipeline.hpp"

// Accessibility of the apps on the AT-SPI bus (libatspi). An element's identity is its
// bus name and object path. libatspi is not thread-safe, so every call runs under one
// lock; it is taken before the X display's lock, never after it.
class AtspiAccessibility : public Accessibility {
 public:
  // An X window an AT-SPI window element may stand for.
  struct WindowCandidate {
    WindowNumber number = 0;
    std::string title;
    Rect content;  // root coordinates of the client area
  };
  struct Hooks {
    std::function<std::vector<WindowCandidate>(pid_t)> windowsOf;
    std::function<bool(pid_t)> isHidden;  // every window of the app is iconic
    std::function<bool(WindowNumber, Point)> moveWindow;  // the frame's top-left to the point
    std::function<bool(WindowNumber)> raiseWindow;         // to the top, without activating it
    std::function<void(pid_t)> agentActs;                  // before every change made to an app
  };

  // None when there is no accessibility bus.
  static std::unique_ptr<AtspiAccessibility> open(Hooks hooks);
  ~AtspiAccessibility() override;

  AXElement application(pid_t pid) override;
  std::pair<AXStatus, AXValue> copyAttribute(const AXElement& element, const std::string& name) override;
  std::optional<std::vector<std::optional<AXValue>>> copyAttributes(const AXElement& element,
                                                                   const std::vector<std::string>& names) override;
  std::pair<AXStatus, AXValue> copyParameterizedAttribute(const AXElement& element, const std::string& name,
                                                          const AXValue& parameter) override;
  std::optional<bool> isSettable(const AXElement& element, const std::string& name) override;
  AXStatus setAttribute(const AXElement& element, const std::string& name, const AXValue& value) override;
  std::optional<std::vector<std::string>> actionNames(const AXElement& element) override;
  AXStatus perform(const AXElement& element, const std::string& action) override;
  std::optional<WindowNumber> windowNumber(const AXElement& element) override;
  std::optional<AXElement> elementAt(pid_t pid, Point point) override;
  std::optional<std::optional<AXElement>> searchWebArea(const AXElement& element) override;
  // AT-SPI reads the app's live tree: once walked, it is there.
  bool wakesOnFirstWalk() const override { return false; }
  // The shown subtree's children, states, extents and actions, a level at a time: a burst
  // per level of the tree instead of one per element that has children.
  void readAhead(const AXElement& root) override;
  void endReadAhead() override;

  class Reading;  // one element's facts while its attributes are read

 private:
  explicit AtspiAccessibility(Hooks hooks);

  // Prepares a call on the element: pending bus messages handled, the time-out set, the
  // object found. Null with the status when the call cannot be made.
  AtspiAccessible* begin(const AXElement& element, AXStatus& status);
  // Notes an app whose call ran into the time-out, so that calls on it fail fast for a while.
  void finish(const AXElement& element, std::chrono::steady_clock::time_point started);
  void noteStalled(const std::string& id);
  bool tookTheTimeOut(std::chrono::steady_clock::time_point started) const;
  AtspiAccessible* resolveApplication(pid_t pid);
  void forgetBus(const std::string& bus);
  AXElement remember(AtspiAccessible* object, pid_t pid);  // takes over the caller's reference
  std::optional<WindowNumber> matchWindow(AtspiAccessible* object, pid_t pid);
  // Runs the body on the element's reading under the lock, or gives `failed` (or the
  // status) when the element cannot be reached.
  template <typename Result, typename Body>
  Result onElement(const AXElement& element, Result failed, Body body);
  // The child of the element at the screen point, as the toolkit answers or, where it
  // answers nothing, by the children's frames.
  std::optional<AXElement> childAt(Reading& reading, int x, int y);
  AXValue read(Reading& reading, const std::string& name, AXStatus& status);
  AXStatus set(Reading& reading, const std::string& name, const AXValue& value);
  AXStatus act(Reading& reading, const std::string& action);
  // False, without an error, for an action the app has not answered (see AtspiActionLine).
  gboolean doAction(Reading& reading, AtspiAction* action, gint index, GError*& error);
  // Opening and closing a closed pop-up button's list as listed; none for other actions.
  std::optional<AXStatus> actOnListOfPopUp(Reading& reading, const std::string& action);
  static std::vector<std::string> actionsOf(Reading& reading);
  static double scrollBarPosition(AtspiValue* value, double current);
  // A toolkit lists at most this many actions of an element that are worth reading.
  static constexpr size_t maximumActions = 32;
  // The toolkit's own action names, remembered until the element reports a change.
  const std::vector<std::string>& toolkitActions(Reading& reading);
  static void forgetSettled(AtspiEvent* event, void* self);
  void catchUp();
  std::optional<WindowNumber> numberOf(Reading& reading);
  // GTK 4 cannot know where its windows are on an X screen and reports every position
  // relative to its window; such positions are moved by the window's place on the screen.
  bool isWindowRelative(AtspiAccessible* object);
  bool isKnownHidden(AtspiAccessible* object);
  std::optional<AtspiRole> knownRole(const std::string& id, AtspiAccessible* object);
  // The coordinates the toolkit reports extents in: the screen's, or its window's.
  AtspiCoordType coordinatesOf(AtspiAccessible* object) {
    return isWindowRelative(object) ? ATSPI_COORD_TYPE_WINDOW : ATSPI_COORD_TYPE_SCREEN;
  }
  std::optional<Point> windowOrigin(Reading& reading);
  // The window element an element belongs to: remembered for children as the walk goes
  // down, looked up through the parents otherwise.
  std::optional<AXElement> windowElementOf(Reading& reading);
  void noteWindowOf(Reading& parent, const std::vector<AXElement>& children);

  friend class Reading;
  Hooks hooks_;
  std::mutex lock_;
  AtspiEventListener* listener_ = nullptr;
  int timeoutMilliseconds_ = 0;
  std::unordered_map<std::string, AtspiAccessible*> objects_;  // one reference each
  std::unordered_map<pid_t, std::string> applications_;
  std::unordered_map<std::string, std::chrono::steady_clock::time_point> stalledUntil_;  // by bus name
  std::unordered_map<std::string, WindowNumber> windowNumbers_;
  std::unordered_map<std::string, bool> windowRelative_;  // by bus name
  struct Origin {
    Point point;
    std::chrono::steady_clock::time_point read;
  };
  std::unordered_map<std::string, Origin> origins_;  // by window element, briefly: windows move
  // Facts toolkits almost never change, kept per element until an event from it arrives,
  // so each walk does not ask for them again.
  struct Settled {
    std::optional<AtspiRole> role;
    std::optional<uint32_t> interfaces;
    std::optional<std::string> identifier;
    std::optional<std::vector<std::string>> actions;
    std::optional<std::vector<std::string>> children;  // until the element reports a change
    std::optional<std::string> window;                  // the window element it is in
  };
  std::unordered_map<std::string, Settled> settled_;
  // What changes often (states, extents), asked for every shown child in one burst when a
  // walk lists them, and used only for a moment, so that a walk makes a burst per parent
  // instead of a round trip per fact. Dropped when the element reports a change or an
  // agent changes anything.
  struct Prefetched {
    std::optional<int64_t> states;
    std::optional<AtspiRect> extents;  // as the toolkit reports them
    std::optional<std::string> name, description;
    std::optional<double> currentValue;
    std::chrono::steady_clock::time_point read;
    std::optional<std::vector<std::string>> children;  // bus name and path of each
  };
  std::unordered_map<std::string, Prefetched> prefetched_;
  // One reply per call (see AtspiPipeline::send); an app that let the burst run into the
  // time-out is noted as stalled.
  struct Burst {
    std::vector<DBusMessage*> replies;
    bool answered;
  };
  Burst burst(const std::vector<AtspiPipeline::Call>& calls, const std::string& askedOf);
  // False when the app did not answer in time (it is then noted as stalled).
  bool prefetch(const std::vector<AXElement>& elements);
  // The names of the elements' actions (id, how many), settled; false as prefetch.
  bool prefetchActionNames(const std::vector<std::pair<std::string, size_t>>& counts);
  const Prefetched* prefetchedFor(const std::string& id);
  // The element's entry while it is fresh, else a new one read now.
  Prefetched& freshEntry(const std::string& id, std::chrono::steady_clock::time_point now);
  // The children of shown elements, asked for in one burst where they are not settled.
  void prefetchChildren(const std::vector<AXElement>& elements);
  // The children a burst fetched for the element, while fresh.
  std::optional<std::vector<std::string>> prefetchedChildren(const std::string& id);
  bool readingAhead_ = false;  // a level's bursts are under way: no burst per element
  // Not placed outside the area (in the element's own coordinates), so read ahead.
  bool isInside(const AXElement& element, const std::optional<AtspiRect>& area);
  // True once for each walk (or a second apart) for a page, whose cache is then dropped.
  bool pageNeedsRefresh(const std::string& id);
  std::unordered_map<std::string, std::chrono::steady_clock::time_point> pagesRefreshed_;
  // Closed pop-up buttons whose list an agent opened: their items are listed and pressed
  // without the toolkit's popup, which would take the user's keyboard (its items work
  // while the list is closed).
  std::unordered_set<std::string> listsShown_;
  AtspiActionLine actionLine_;
};
