#pragma once
#include "kit/platform/WindowServer.hpp"
#include "platform/sim/SimModel.hpp"

// The simulated window stack, Spaces, one display and an invisible one on request.
class SimWindowServer : public WindowServer {
 public:
  explicit SimWindowServer(SimModel& model) : model_(model) {}

  Json windowList(uint32_t options, WindowNumber relativeTo) override;
  std::optional<pid_t> frontProcess() override;
  std::optional<pid_t> keyFocusProcess() override { return frontProcess(); }
  std::vector<SpaceID> spaces(WindowNumber window) override;
  std::set<SpaceID> visibleSpaces() override;
  std::vector<DisplayInfo> displays() override;
  std::optional<WindowInfo> windowAt(Point point) override;
  std::optional<WindowNumber> frontWindow() override;
  bool activate(WindowNumber window) override;
  std::vector<WindowNumber> drawingOrder() override;
  std::optional<DisplayInfo> createInvisibleDisplay(Size size) override;
  void removeInvisibleDisplay(uint32_t id) override;
  DragSource dragSource(pid_t pid) override;

 private:
  SimModel& model_;
};
