#pragma once
#include <string>
#include <vector>

#include "kit/common/Geometry.hpp"
#include "kit/platform/WindowServer.hpp"
#include "kit/platform/Workspace.hpp"

// What a test says about the apps and windows of a simulated scene.
namespace SimTraits {

struct App {
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
  // Comes to the front with the clicked window when clicked in the background, as Qt
  // and Chromium apps do.
  bool activatesOnClick = false;
};

struct Window {
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
  App app;
  std::vector<Window> windows;
  std::vector<double> windowDelays;  // seconds after the launch, one per window
};

}  // namespace SimTraits
