#pragma once
#include <memory>

#include "app/CursorOverlay.hpp"
#include "app/StartupAlert.hpp"
#include "kit/protocol/SocketServer.hpp"

// The resident app: the agent socket, the engine behind it and the shared services.
class AppDelegate {
 public:
  // connectClients: register Tarnwick with the AI apps found here before serving (`tarnwick setup`).
  AppDelegate(bool interactive, bool connectClients) : interactive_(interactive), connectClients_(connectClients) {}

  // Starts everything, then runs the main queue until the process is asked to quit.
  [[noreturn]] void run();

 private:
  void start();
  [[noreturn]] void failToStart(const std::string& error, const StartupAlert& alert);
  void showConnectionHelp();
  [[noreturn]] void waitForQuit();

  void connectAgents();
  // Starts or stops the web bridge by its setting, now and after every change.
  void followWebBridgeSetting();

  const bool interactive_;
  const bool connectClients_;
  std::shared_ptr<CursorOverlay> overlay_;  // made in start: its thread must not take the quit signals
  std::unique_ptr<SocketServer> server_;
};
