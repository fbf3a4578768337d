#pragma once
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "kit/platform/AXTypes.hpp"
#include "kit/platform/WindowInfo.hpp"
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
  };
  struct Window {
    WindowNumber id = 0;
    pid_t pid = 0;
    SimTraits::Window traits;
    NodeID node = 0;
    double appearsAt = 0;
  };

  mutable std::mutex lock;
  double now = 1000;
  double callCost = 0;  // virtual seconds each accessibility call takes
  std::optional<std::string> captureRefusal;
  NodeID nextNode = 1;
  std::map<NodeID, Node> nodes;
  std::map<pid_t, App> apps;
  std::vector<Window> windows;  // front to back
  std::vector<SimTraits::Installed> installed;
  std::set<SpaceID> visibleSpaces{1};
  std::optional<pid_t> front;
  int remoteTokenRequests = 0;

  static std::string idOf(NodeID node);
  static std::optional<NodeID> nodeOf(const AXElement& element);
  AXElement elementOf(NodeID node) const { return {nodes.at(node).pid, idOf(node), 0}; }

  pid_t addApp(const SimTraits::App& traits);
  WindowNumber addWindow(pid_t pid, const SimTraits::Window& traits);
  NodeID newNode(pid_t pid, const std::string& role, std::optional<NodeID> parent);
  void eraseNode(NodeID node);
  Window* window(WindowNumber number);

  const Node* find(const AXElement& element) const;
  const Window* windowOf(const Node& node) const;
  // Shown at all: launched windows appear after their delay.
  bool isShown(const Window& window) const { return now >= window.appearsAt; }
  bool isOnScreen(const Window& window) const;
  bool isOnVisibleSpace(const Window& window) const;
  std::optional<AXValue> computed(const Node& node, const std::string& name);
  // Runs before every accessibility answer: time passes, and an unresponsive app times out.
  std::optional<AXStatus> answerCost(const AXElement& element);

 private:
  void makeWebContent(App& app);
};
