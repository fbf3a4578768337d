#pragma once
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "kit/platform/AXTypes.hpp"
#include "kit/platform/AgentInput.hpp"
#include "kit/platform/OverlayWindows.hpp"
#include "kit/platform/WindowInfo.hpp"
#include "kit/platform/WindowServer.hpp"
#include "platform/sim/SimTraits.hpp"

// The simulated desktop's state and the rules it keeps (what AXWindows lists, what is
// on screen, when a web area appears). `lock` guards every member; the rule methods
// expect it held. Nothing calls out of the model while it is held: the effects of
// actions run after it is released, so they may change the scene.
struct SimModel {
  using NodeID = uint64_t;

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
    SimTraits::App traits;
    AppRecord record;
    NodeID node = 0;
    std::vector<NodeID> nodesInOrder;  // what remote element ids address
    std::optional<WindowNumber> mainWindow;
    std::optional<double> webContentAt;  // when the web area appears
    bool webContentMade = false;
    std::vector<std::string> writes;
    uint64_t dragsBegun = 0;  // drag and drops begun, whether or not they show an image
    bool holdsDragData = false;
  };
  struct Window {
    WindowNumber id = 0;
    pid_t pid = 0;
    SimTraits::Window traits;
    NodeID node = 0;
    double appearsAt = 0;
  };

  // A picture drawn over the windows that never takes a click (an agent's cursor),
  // directly in front of its anchor window or, once the anchor was raised, behind it.
  struct Overlay {
    Rect frame;
    OverlayPicture picture;
    std::optional<WindowNumber> anchor;  // none while ordered out
    bool inFront = true;
  };

  // One event an agent posted, and the window it reached (pointer events only).
  struct Posted {
    AgentInput::Agent agent = 0;
    AgentEvent event;
    std::optional<WindowNumber> reached;
    double time = 0;
  };
  // Something the simulated user does when the clock reaches a time.
  struct Scheduled {
    double at = 0;
    std::function<void()> action;
  };

  mutable std::mutex lock;
  double now = 1000;
  double callCost = 0;  // virtual seconds each accessibility call takes
  std::optional<std::string> captureRefusal;
  NodeID nextNode = 1;
  std::map<NodeID, Node> nodes;
  std::map<pid_t, App> apps;
  std::vector<Window> windows;  // front to back
  std::map<WindowNumber, Overlay> overlays;
  std::vector<SimTraits::Installed> installed;
  std::set<SpaceID> visibleSpaces{1};
  std::vector<DisplayInfo> displays{{1, {{0, 0}, {1440, 900}}, true}};
  std::optional<pid_t> front;
  int remoteTokenRequests = 0;

  // Agent input and the simulated user.
  std::vector<Posted> posted;
  std::map<pid_t, AgentInput::Agent> clientPointers;  // apps an agent has taken
  std::map<AgentInput::Agent, Point> agentPointers;
  std::set<AgentInput::Agent> removedAgents;
  Point userPointer{720, 450};  // never moved by agents
  double lastUserInput = -1e9;
  double lastUserClick = -1e9;  // buttons and modifiers
  bool secureInput = false;
  std::optional<Point> lastUserPressPoint;
  double lastUserPressTime = 0;
  std::function<void(UserInputKind)> userWatcher;
  std::vector<Scheduled> scheduled;

  static std::string idOf(NodeID node);
  static std::optional<NodeID> nodeOf(const AXElement& element);
  AXElement elementOf(NodeID node) const { return {nodes.at(node).pid, idOf(node), 0}; }

  pid_t addApp(const SimTraits::App& traits);
  WindowNumber addWindow(pid_t pid, const SimTraits::Window& traits);
  NodeID newNode(pid_t pid, const std::string& role, std::optional<NodeID> parent);
  void eraseNode(NodeID node);
  Window* window(WindowNumber number);
  WindowNumber addOverlay(const OverlayPicture& picture);
  // Brings the window to the front: overlays that were in front of it are now behind it.
  void raise(WindowNumber number);
  // On-screen windows and overlays, front to back as drawn.
  std::vector<WindowNumber> drawingOrder() const;
  // Moves the window and everything drawn in it.
  void moveWindow(Window& window, Point origin);

  const Node* find(const AXElement& element) const;
  const Window* windowOf(const Node& node) const;
  // Shown at all: launched windows appear after their delay.
  bool isShown(const Window& window) const { return now >= window.appearsAt; }
  bool isOnScreen(const Window& window) const;
  bool isOnVisibleSpace(const Window& window) const;
  std::optional<AXValue> computed(const Node& node, const std::string& name);
  // Runs before every accessibility answer: time passes, and an unresponsive app times out.
  std::optional<AXStatus> answerCost(const AXElement& element);
  // The window a press at the point reaches: the frontmost on-screen window containing it.
  const Window* windowAt(Point point) const;
  // The deepest element of the window whose frame contains the point.
  std::optional<NodeID> elementAt(const Window& window, Point point) const;
  // Notes a press of the user's now; hands back the watcher to tell once unlocked.
  std::function<void(UserInputKind)> notePress(UserInputKind kind);
  // Advances the clock and hands back what the user does meanwhile, to run unlocked.
  std::vector<std::function<void()>> advance(double seconds);

 private:
  void makeWebContent(App& app);
};
