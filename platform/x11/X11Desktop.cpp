#include "platform/x11/X11Desktop.hpp"

#include <X11/Xatom.h>

#include "kit/common/Log.hpp"
#include "platform/x11/AtspiBus.hpp"

namespace {

// Accessibility when the AT-SPI bus cannot be reached: every call says it is disabled.
class DisabledAccessibility : public Accessibility {
 public:
  AXElement application(pid_t pid) override { return {pid, "", 0}; }
  std::pair<AXStatus, AXValue> copyAttribute(const AXElement&, const std::string&) override {
    return {AXError::apiDisabled, {}};
  }
  std::optional<std::vector<std::optional<AXValue>>> copyAttributes(const AXElement&,
                                                                   const std::vector<std::string>&) override {
    return std::nullopt;
  }
  std::optional<bool> isSettable(const AXElement&, const std::string&) override { return std::nullopt; }
  AXStatus setAttribute(const AXElement&, const std::string&, const AXValue&) override { return AXError::apiDisabled; }
  std::optional<std::vector<std::string>> actionNames(const AXElement&) override { return std::nullopt; }
  AXStatus perform(const AXElement&, const std::string&) override { return AXError::apiDisabled; }
  std::optional<WindowNumber> windowNumber(const AXElement&) override { return std::nullopt; }
  std::optional<AXElement> elementAt(pid_t, Point) override { return std::nullopt; }
};

}  // namespace

std::shared_ptr<X11Desktop> X11Desktop::open() {
  auto display = X11Display::open();
  if (!display) return nullptr;
  return std::shared_ptr<X11Desktop>(new X11Desktop(std::move(display)));
}

X11Desktop::X11Desktop(std::shared_ptr<X11Display> display)
    : display_(display), windowServer_(display), capture_(display, windowServer_), workspace_(windowServer_),
      overlays_(display) {
  spareKeys_ = std::make_shared<X11SpareKeys>(display_);
  layouts_ = XkbLayouts::open(display_);
  if (layouts_) layouts_->setBorrowed([keys = spareKeys_](uint32_t code) { return keys->isLent(code); });
}

// Opened on first use: helpers that only list windows never join the accessibility bus,
// where every listener makes each app send more events.
void X11Desktop::openAccessibility() {
  windowServer_.keepUsersWindowActive();
  AtspiBus::switchOn();
  publishBusAddress();
  AtspiAccessibility::Hooks hooks;
  hooks.windowsOf = [this](pid_t pid) {
    std::vector<AtspiAccessibility::WindowCandidate> candidates;
    for (const auto& window : windowServer_.stack()) {
      if (window.pid == pid) candidates.push_back({WindowNumber(window.client), window.title, window.content});
    }
    return candidates;
  };
  hooks.isHidden = [this](pid_t pid) {
    for (const auto& app : workspace_.runningApplications()) {
      if (app.pid == pid) return app.hidden;
    }
    return false;
  };
  hooks.moveWindow = [this](WindowNumber window, Point to) { return windowServer_.move(window, to); };
  hooks.raiseWindow = [this](WindowNumber window) { return windowServer_.raise(window); };
  hooks.agentActs = [this](pid_t pid) { static_cast<X11Input*>(input())->agentActs(pid); };
  accessibility_ = AtspiAccessibility::open(std::move(hooks));
  if (!accessibility_) {
    Log::error(Log::desktop, "the accessibility bus does not answer; apps' elements cannot be read");
    disabled_ = std::make_unique<DisabledAccessibility>();
  }
}

// Bus launchers of real sessions name the accessibility bus on the root window, where Qt
// looks first; found only through the session bus, Qt registers now and then.
void X11Desktop::publishBusAddress() {
  std::lock_guard held(display_->lock());
  const Atom property = display_->atom("AT_SPI_BUS");
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const bool present = XGetWindowProperty(display_->raw(), display_->root(), property, 0, 0, False, AnyPropertyType,
                                          &type, &format, &count, &after, &data) == Success &&
                       type != None;
  if (data != nullptr) XFree(data);
  if (present) return;
  const auto address = AtspiBus::address();
  if (!address) return;
  XChangeProperty(display_->raw(), display_->root(), property, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(address->data()), int(address->size()));
  XFlush(display_->raw());
}

Accessibility& X11Desktop::accessibility() {
  std::call_once(accessibilityOpened_, [this] { openAccessibility(); });
  if (accessibility_) return *accessibility_;
  return *disabled_;
}

// Made on first use: helpers that only list windows never add devices or watch the user.
AgentInput* X11Desktop::input() {
  std::call_once(inputOpened_, [this] {
    windowServer_.keepUsersWindowActive();
    input_ = std::make_unique<X11Input>(display_, spareKeys_, [this](Point point) -> std::optional<WindowNumber> {
      auto window = windowServer_.windowAt(point);
      if (!window) return std::nullopt;
      return window->id;
    }, [this] { return windowServer_.keyFocusProcess(); }); });
  return input_.get();
}
