#pragma once
// The desktop benchmarks' subject: gtk3-widget-factory, started and drawn.
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

#include "kit/perception/Apps.hpp"
#include "kit/perception/WindowList.hpp"
#include "kit/tools/Engine.hpp"
#include "platform/x11/X11Desktop.hpp"

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

// The real desktop installed for this process, read directly, with the factory on it.
struct Desk {
  std::shared_ptr<X11Desktop> desktop;
  std::unique_ptr<Engine> engine;
  WindowInfo window;
};
inline std::optional<Desk> openDesk() {
  Desk desk{X11Desktop::open(), nullptr, {}};
  if (!desk.desktop) return std::nullopt;
  Platform::install(desk.desktop);
  WindowList::useHelper(nullptr);
  desk.engine = std::make_unique<Engine>(std::make_shared<AgentSession>(1, "bench", std::nullopt),
                                         std::weak_ptr<CursorPresenter>());
  auto window = launch(*desk.engine);
  if (!window) return std::nullopt;
  desk.window = *window;
  return desk;
}

}  // namespace WidgetFactory
