#pragma once
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "kit/platform/Desktop.hpp"
#include "platform/sim/SimAccessibility.hpp"
#include "platform/sim/SimCapture.hpp"
#include "platform/sim/SimClock.hpp"
#include "platform/sim/SimInput.hpp"
#include "platform/sim/SimKeyboardLayouts.hpp"
#include "platform/sim/SimModel.hpp"
#include "platform/sim/SimOverlayWindows.hpp"
#include "platform/sim/SimWindowServer.hpp"
#include "platform/sim/SimWorkspace.hpp"

// A model desktop with the semantics of the real one, in process and deterministic:
// displays, Spaces, windows with layers and stacking, apps with accessibility trees,
// and a virtual clock, so that waits of seconds cost no real time. Tests build the
// scene they need here; each platform interface is served by its own part.
class SimDesktop : public Desktop {
 public:
  using NodeID = SimModel::NodeID;
  using AppTraits = SimTraits::App;
  using WindowTraits = SimTraits::Window;
  using Installed = SimTraits::Installed;

  // Scene building.
  pid_t addApp(AppTraits traits);
  WindowNumber addWindow(pid_t pid, WindowTraits traits);
  NodeID addElement(NodeID parent, const std::string& role, std::map<std::string, AXValue> attributes = {},
                    std::vector<std::string> actions = {});
  void setValue(NodeID node, const std::string& name, AXValue value);
  void makeSettable(NodeID node, const std::string& name);
  // A text field that takes typed keys, focused in its app.
  NodeID addFocusedField(NodeID parent, const std::string& role, const std::string& value);
  std::string text(NodeID node) const;
  // What performing the action does; it runs outside the model's lock, so it may change the scene.
  void onAction(NodeID node, const std::string& action, std::function<void()> effect);
  void removeElement(NodeID node);
  // The app begins a drag and drop that shows no drag image; Escape ends it.
  void beginDragWithoutImage(pid_t pid);
  // The element's children in a new order (the same children).
  void reorderChildren(NodeID parent, std::vector<NodeID> order);
  void closeWindow(WindowNumber window);
  void moveToFront(WindowNumber window);
  void setWindowFrame(WindowNumber window, Rect frame);
  void setMinimized(WindowNumber window, bool minimized);
  void setHidden(pid_t pid, bool hidden);
  void setFront(pid_t pid);
  void setVisibleSpaces(std::set<SpaceID> spaces);
  void setMainWindow(pid_t pid, WindowNumber window);
  void install(Installed installed);
  // Another program takes the invisible displays away.
  void loseInvisibleDisplays();
  // Virtual seconds each accessibility call takes from now on.
  void setCallCost(double seconds);
  // Makes capturing fail with this reason.
  void refuseCapture(std::string reason);
  NodeID appNode(pid_t pid) const;
  NodeID windowNode(WindowNumber window) const;
  AXElement element(NodeID node) const;
  // A file dialog served by another process, over the app's window of the same frame.
  WindowNumber addFileDialog(pid_t owner, Rect frame);

  // The simulated user. Their input reaches the front app; a click also brings the
  // clicked window and its app to the front.
  void userPresses(UserInputKind kind = UserInputKind::key);
  void userClicks(WindowNumber window);
  // A password prompt takes (or gives back) the whole keyboard.
  void setSecureInput(bool on);
  // A click at a point: the window there, if any, comes to the front with its app.
  void userClicksAt(Point point);
  // Runs the action when the virtual clock reaches the time (the user acting meanwhile).
  void at(double time, std::function<void()> action);
  Point userPointer() const;

  // What agents posted, and what they hold.
  std::vector<SimModel::Posted> posted() const;
  std::optional<AgentInput::Agent> clientPointer(pid_t pid) const;
  bool agentRemoved(AgentInput::Agent agent) const;

  // An overlay as drawn now; none once destroyed.
  std::optional<SimModel::Overlay> overlay(WindowNumber overlay) const;

  // What the model was asked, for tests that check what was (not) done.
  std::vector<std::string> writes(pid_t pid) const;
  int remoteTokenRequests() const;
  double now() { return clock_.now(); }
  static std::array<uint8_t, 3> fillColor(WindowNumber window) { return SimCapture::fillColor(window); }

  // The desktop anyone can try with TARNWICK_PLATFORM=sim.
  static std::shared_ptr<SimDesktop> demo();

  // Desktop
  std::string name() const override { return "sim"; }
  Accessibility& accessibility() override { return accessibility_; }
  WindowServer& windowServer() override { return windowServer_; }
  Workspace& workspace() override { return workspace_; }
  Clock& clock() override { return clock_; }
  ScreenCapture& capture() override { return capture_; }
  KeyboardLayouts* keyboardLayouts() override { return &keyboardLayouts_; }
  AgentInput* input() override { return &input_; }
  OverlayWindows* overlays() override { return &overlays_; }

 private:
  mutable SimModel model_;
  SimAccessibility accessibility_{model_};
  SimWindowServer windowServer_{model_};
  SimWorkspace workspace_{model_};
  SimClock clock_{model_};
  SimCapture capture_{model_};
  SimKeyboardLayouts keyboardLayouts_;
  SimInput input_{model_};
  SimOverlayWindows overlays_{model_};
};
