// Parking a covered window on the invisible display and bringing it back, on the real
// desktop: the time each takes (a move the window manager confirms). Run inside
// scripts/desktop-session.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "bench/Figures.hpp"
#include "bench/WidgetFactory.hpp"
#include "kit/backstage/Backstage.hpp"
#include "kit/common/Process.hpp"
#include "kit/perception/WindowList.hpp"
#include "kit/platform/Desktop.hpp"
#include "platform/x11/X11Desktop.hpp"

using Figures::millisecondsSince;
using Figures::percentile;
using Figures::Steady;

namespace {

// A window of another process over the whole monitor, as the user's would be.
constexpr const char* cover =
    "from PyQt5 import QtWidgets\n"
    "app = QtWidgets.QApplication([])\n"
    "window = QtWidgets.QWidget()\n"
    "window.setWindowTitle('cover')\n"
    "window.setGeometry(0, 0, 1600, 1000)\n"
    "window.show()\n"
    "app.exec_()\n";

}  // namespace

int main() {
  auto desk = WidgetFactory::openDesk();
  if (!desk) return 1;
  auto& desktop = desk->desktop;
  const WindowInfo* window = &desk->window;
  auto covering = Process::start({.executable = "/usr/bin/python3", .arguments = {"-c", cover}});
  if (!covering.pid) return 1;
  std::this_thread::sleep_for(std::chrono::seconds(3));

  Backstage& backstage = Backstage::shared();
  std::vector<double> admissions, returns;
  for (int round = 0; round < 40; ++round) {
    auto start = Steady::now();
    const WindowInfo parked = backstage.admit(*window, 9);
    admissions.push_back(millisecondsSince(start));
    if (parked.frame.origin == window->frame.origin) {
      std::fprintf(stderr, "the window was not parked: no invisible display on this X server\n");
      break;
    }
    start = Steady::now();
    backstage.agentLeft(9);
    returns.push_back(millisecondsSince(start));
  }
  std::printf("%-36s median %6.1f ms, p90 %6.1f ms (%zu rounds)\n", "admit (move confirmed)",
              percentile(admissions, 0.5), percentile(admissions, 0.9), admissions.size());
  std::printf("%-36s median %6.1f ms, p90 %6.1f ms\n", "return home (move confirmed)", percentile(returns, 0.5),
              percentile(returns, 0.9));
  backstage.closeAll();
  kill(*covering.pid, SIGTERM);
  desktop->workspace().requestQuit(window->pid);
  return 0;
}
