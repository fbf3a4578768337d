#include "app/AppDelegate.hpp"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "app/MoveOffer.hpp"
#include "app/StartupAlert.hpp"
#include "kit/backstage/Backstage.hpp"
#include "kit/bridge/WebBridge.hpp"
#include "kit/bridge/WebControl.hpp"
#include "kit/common/Language.hpp"
#include "kit/common/MainQueue.hpp"
#include "kit/common/Log.hpp"
#include "kit/common/Paths.hpp"
#include "kit/protocol/AgentSocket.hpp"
#include "kit/setup/AgentConnection.hpp"
#include "kit/setup/ClientSetup.hpp"
#include "kit/setup/ConnectionReports.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/perception/WindowList.hpp"
#include "kit/platform/Desktop.hpp"

namespace {

sigset_t quitSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, signal);
  return set;
}

}  // namespace

void AppDelegate::run() {
  // Asked before anything starts: an install relaunches this process from the new place.
  if (interactive_ && MoveOffer::applies()) MoveOffer(connectClients_ ? std::vector<std::string>{"setup"} : std::vector<std::string>{}).run();
  signal(SIGPIPE, SIG_IGN);
  // Blocked before any thread starts, so that only waitForQuit receives them.
  sigset_t quit = quitSignals();
  pthread_sigmask(SIG_BLOCK, &quit, nullptr);
  start();
  std::thread([this] { waitForQuit(); }).detach();
  MainQueue::shared().run();
}

void AppDelegate::start() {
  overlay_ = std::make_shared<CursorOverlay>(Paths::ownExecutable());
  auto server = std::make_unique<SocketServer>(AgentSocket::path(), overlay_, [](const Json& params) {
    return WebControl::perform(*WebBridge::shared(), params);
  });
  try {
    server->start();
  } catch (const AlreadyRunning& error) {
    failToStart(error.description, StartupAlert::alreadyRunning(Language::prefersGerman()));
  } catch (const ToolError& error) {
    failToStart(error.description, StartupAlert::forError(error.description, Language::prefersGerman()));
  }
  server_ = std::move(server);
  Log::info(Log::app, "Listening on " + server_->path());
  Backstage::shared().open();
  // What the first agent call would wait for otherwise.
  std::thread([] {
    auto desktop = Platform::desktopIfAny();
    if (!desktop) return;  // none to read: every call says so itself
    WindowList::copy(WindowListOption::all);
    desktop->accessibility();
  }).detach();
  followWebBridgeSetting();
  if (connectClients_) connectAgents();
  else if (interactive_) showConnectionHelp();
}

void AppDelegate::followWebBridgeSetting() {
  WebBridge* bridge = WebBridge::shared().get();
  auto follow = [bridge] {
    if (bridge->isEnabled()) bridge->start();
    else bridge->stop();
  };
  follow();
  bridge->observe(follow);
}

void AppDelegate::connectAgents() {
  const auto setup = ClientSetup::forThisUser();
  const std::string summary =
      ConnectionReports::summary(setup.connectAll(), setup.home, setup.executable, Language::prefersGerman());
  Log::info(Log::setup, summary);
  std::fputs(summary.c_str(), stdout);
  std::fflush(stdout);
}

void AppDelegate::failToStart(const std::string& error, const StartupAlert& alert) {
  Log::error(Log::app, "Tarnwick: " + error);
  std::fprintf(stderr, "Tarnwick: %s\n", error.c_str());
  if (interactive_) std::fprintf(stderr, "\n%s\n\n%s\n", alert.title.c_str(), alert.text.c_str());
  std::exit(1);
}

void AppDelegate::showConnectionHelp() {
  const bool german = Language::prefersGerman();
  const auto connection = AgentConnection::current();
  std::printf(german ? "Tarnwick läuft. Agenten verbinden sich über den Socket %s.\n\n"
                       "Claude Code verbindest du mit:\n  %s\n\n"
                       "Andere MCP-Clients starten diesen Befehl als stdio-Server:\n  %s\n\n"
                       "Starte danach eine neue Sitzung deines Agenten, damit er die Werkzeuge lädt.\n"
                     : "Tarnwick is running. Agents connect through the socket %s.\n\n"
                       "To connect Claude Code, run:\n  %s\n\n"
                       "Other MCP clients start this command as a stdio server:\n  %s\n\n"
                       "Then start a new session of your agent so it loads the tools.\n",
              server_->path().c_str(), connection.claudeCommand().c_str(), connection.genericCommand().c_str());
  std::fflush(stdout);
}

void AppDelegate::waitForQuit() {
  sigset_t quit = quitSignals();
  int received = 0;
  while (sigwait(&quit, &received) != 0) {
  }
  Log::info(Log::app, "Quitting on signal " + std::to_string(received));
  // Windows parked on the invisible display go home first; when they cannot, the app
  // keeps running rather than strand them.
  while (!Backstage::shared().closeAll()) {
    Log::error(Log::app, "Quit cancelled: windows on the backstage did not return");
    while (sigwait(&quit, &received) != 0) {
    }
  }
  // Connection threads are still running; skipping static destructors keeps them safe.
  std::_Exit(0);
}
