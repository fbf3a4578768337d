#pragma once
// The desktop benchmarks' subject: gtk3-widget-factory, started and drawn.
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

#include "kit/perception/Apps.hpp"
#include "kit/tools/Engine.hpp"

namespace WidgetFactory {

inline constexpr const char* name = "gtk3-widget-factory";

// Launches it and waits for its window; none (with a message) when it never shows.
inline std::optional<WindowInfo> launch(Engine& engine) {
  engine.launchApp(name, std::nullopt);
  for (int i = 0; i < 100; ++i) {
    try {
      auto window = Apps::mainWindow(Apps::resolve(name));
      std::this_thread::sleep_for(std::chrono::seconds(1));  // let it finish drawing
      return window;
    } catch (...) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  std::fprintf(stderr, "the widget factory never showed a window\n");
  return std::nullopt;
}

}  // namespace WidgetFactory
