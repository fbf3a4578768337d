#pragma once
#include <array>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "kit/platform/Desktop.hpp"

// A model desktop with the semantics of the real one, in process and deterministic:
// displays, Spaces, windows with layers and stacking, apps with accessibility trees,
// and a virtual clock, so that waits of seconds cost no real time. Tests build the
// scene they need; the model keeps its own rules (what AXWindows lists, what is on
// screen, when a web area appears).
class SimDesktop : public Desktop,
                   public Accessibility,
                   public WindowServer,
                   public Workspace,
                   public Clock,
                   public ScreenCapture {
 public:
  using NodeID = uint64_t;

  struct AppTraits {
    std::string name{};
    std::string bundleID{};
    std::string executable{};
    std::string bundlePath{};
    ActivationPolicy policy = ActivationPolicy::regular;
    bool hidden = false;
    bool electron = false;
    // Publishes a web area only after web accessibility was switched on.
    bool lazyWebContent = false;
    // Never answers accessibility: every call costs its full time-out.
    bool unresponsive = false;
  };

  struct WindowTraits {
    std::string title{};
    Rect frame{{100, 100}, {800, 600}};
    int layer = 0;
    bool minimized = false;
    SpaceID space = 1;
    std::string subrole = "AXStandardWindow";
    double alpha = 1;
  };

  // What launching an installed app creates, and when.
  struct Installed {
    AppTraits app;
    std::vector<WindowTraits> windows;
    std::vector<double> windowDelays;  // seconds after the launch, one per window
  };

  SimDesktop();

  // Scene building.
  pid_t addApp(AppTraits traits);
  WindowNumber addWindow(pid_t pid, WindowTraits traits);
  NodeID addElement(NodeID parent, const std::string& role, std::map<std::string, AXValue> attributes = {},
                    std::vector<std::string> actions = {});
  void setValue(NodeID node, const std::string& name, AXValue value);
  void makeSettable(NodeID node, const std::string& name);
  void onAction(NodeID node, const std::string& action, std::function<void()> effect);
  void removeElement(NodeID node);
  void closeWindow(WindowNumber window);
  void moveToFront(WindowNumber window);
  void setWindowFrame(WindowNumber window, Rect frame);
  void setMinimized(WindowNumber window, bool minimized);
  void setHidden(pid_t pid, bool hidden);
  void setFront(pid_t pid);
  void setVisibleSpaces(std::set<SpaceID> spaces);
  void setMainWindow(pid_t pid, WindowNumber window);
  void install(Installed installed);
  NodeID appNode(pid_t pid) const;
  NodeID windowNode(WindowNumber window) const;
  AXElement element(NodeID node) const;
  // A file dialog served by another process, over the app's window of the same frame.
  WindowNumber addFileDialog(pid_t owner, Rect frame);

  // What the model was asked, for tests that check what was (not) done.
  std::vector<std::string> writes(pid_t pid) const;
  int remoteTokenRequests() const;
  double callCost = 0;  // virtual seconds each accessibility call takes

  // The desktop anyone can try with TARNWICK_PLATFORM=sim.
  static std::shared_ptr<SimDesktop> demo();

  // Desktop
  std::string name() const override { return "sim"; }
  Accessibility& accessibility() override { return *this; }
  WindowServer& windowServer() override { return *this; }
  Workspace& workspace() override { return *this; }
  Clock& clock() override { return *this; }
  ScreenCapture& capture() override { return *this; }

  // Clock
  double now() override;
  void sleep(double seconds) override;

  // Accessibility
  AXElement application(pid_t pid) override;
  std::pair<AXStatus, AXValue> copyAttribute(const AXElement& element, const std::string& name) override;
  std::optional<std::vector<std::optional<AXValue>>> copyAttributes(const AXElement& element,
                                                                   const std::vector<std::string>& names) override;
  std::optional<bool> isSettable(const AXElement& element, const std::string& name) override;
  AXStatus setAttribute(const AXElement& element, const std::string& name, const AXValue& value) override;
  std::optional<std::vector<std::string>> actionNames(const AXElement& element) override;
  AXStatus perform(const AXElement& element, const std::string& action) override;
  std::optional<WindowNumber> windowNumber(const AXElement& element) override;
  std::optional<AXElement> elementFromRemoteToken(const std::array<uint8_t, 20>& token) override;
  bool hasRemoteTokens() const override { return true; }

  // WindowServer
  Json windowList(uint32_t options, WindowNumber relativeTo) override;
  std::optional<pid_t> frontProcess() override;
  std::optional<pid_t> keyFocusProcess() override;
  std::vector<SpaceID> spaces(WindowNumber window) override;
  std::set<SpaceID> visibleSpaces() override;
  std::vector<DisplayInfo> displays() override;

  // ScreenCapture: each window is drawn as its frame filled with fillColor(window), a
  // darker title bar and its elements' frames outlined in black.
  Shareable shareableWindows(bool onScreenOnly) override;
  std::optional<Image> displayImage(const std::vector<WindowNumber>& windows, Rect rect, double scale) override;
  std::optional<Image> windowImage(WindowNumber window, int width, int height) override;
  static std::array<uint8_t, 3> fillColor(WindowNumber window);
  std::optional<std::string> captureRefusal;  // set to refuse capturing

  // Workspace
  std::vector<AppRecord> runningApplications() override;
  std::optional<pid_t> frontmostApplication() override;
  LaunchOutcome launch(const LaunchRequest& request) override;
  std::optional<std::string> findApplication(const std::string& query) override;
  void requestQuit(pid_t pid) override;
  std::string executablePath(pid_t pid) override;

 private:
  struct Node {
    pid_t pid = 0;
    std::string role;
    std::optional<NodeID> parent;
    std::vector<NodeID> children;
    std::map<std::string, AXValue> attributes;
    std::set<std::string> settable;
    std::vector<std::string> actions;
    std::map<std::string, std::function<void()>> effects;
    std::optional<WindowNumber> window;
  };
  struct App {
    AppTraits traits;
    AppRecord record;
    NodeID node = 0;
    std::vector<NodeID> nodesInOrder;  // what remote element ids address
    std::optional<WindowNumber> mainWindow;
    std::optional<double> webContentAt;  // when the web area appears
    bool webContentMade = false;
    std::vector<std::string> writes;
  };
  struct Window {
    WindowNumber id = 0;
    pid_t pid = 0;
    WindowTraits traits;
    NodeID node = 0;
    double appearsAt = 0;
  };

  NodeID newNode(pid_t pid, const std::string& role, std::optional<NodeID> parent);
  void eraseNode(NodeID node);
  const Node* find(const AXElement& element) const;
  const Window* windowOf(const Node& node) const;
  bool isShown(const Window& window) const;
  bool isOnScreen(const Window& window) const;
  Image render(const Window& window, int width, int height) const;
  void makeWebContent(App& app);
  std::optional<AXValue> computed(const Node& node, const std::string& name);
  // Runs before every accessibility answer: time passes, and an unresponsive app times out.
  std::optional<AXStatus> answerCost(const AXElement& element);

  mutable std::recursive_mutex lock_;  // guards the whole model
  double now_ = 1000;
  NodeID nextNode_ = 1;
  std::map<NodeID, Node> nodes_;
  std::map<pid_t, App> apps_;
  std::vector<Window> windows_;  // front to back
  std::vector<Installed> installed_;
  std::set<SpaceID> visibleSpaces_{1};
  std::optional<pid_t> front_;
  int remoteTokenRequests_ = 0;
};
