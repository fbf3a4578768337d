#include "kit/platform/WindowServer.hpp"

#include <thread>

std::vector<WindowNumber> WindowServer::drawingOrder() {
  std::vector<WindowNumber> order;
  for (const auto& window : windowList(WindowListOption::onScreenOnly, 0))
    order.push_back(window.value(WindowKey::number, WindowNumber(0)));
  return order;
}

// Without notifications, the order is simply read again after the timeout.
void WindowServer::waitForStackChange(std::chrono::milliseconds timeout) { std::this_thread::sleep_for(timeout); }
