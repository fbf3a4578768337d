#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "app/AppDelegate.hpp"
#include "app/DesktopChoice.hpp"
#include "app/StackWatch.hpp"
#include "app/WebCommand.hpp"
#include "kit/common/Language.hpp"
#include "kit/common/Paths.hpp"
#include "kit/perception/WindowList.hpp"
#include "kit/protocol/MCPConnection.hpp"
#include "kit/protocol/Relay.hpp"
#include "kit/setup/ClientSetup.hpp"
#include "kit/setup/ConnectionReports.hpp"

namespace {

// The stack-watch helper: reports on stdout until its input ends.
int watchStacking() {
  signal(SIGPIPE, SIG_IGN);
  chooseDesktop();
  auto desktop = Platform::desktopIfAny();
  if (!desktop) {
    std::fputs("tarnwick stack-watch: no desktop to watch.\n", stderr);
    return 1;
  }
  return StackWatch::serve(STDIN_FILENO, STDOUT_FILENO, desktop->windowServer());
}

// What `tarnwick setup` would change, without writing anything.
int previewSetup() {
  auto setup = ClientSetup::forThisUser();
  setup.dryRun = true;
  std::fputs(ConnectionReports::summary(setup.connectAll(), setup.home, setup.executable, Language::prefersGerman())
                 .c_str(),
             stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : nullptr;
  auto is = [mode](const char* word) { return mode != nullptr && std::strcmp(mode, word) == 0; };

  if (is("mcp")) Bridge::run(Paths::ownExecutable());
  if (is("window-list")) {
    chooseDesktop();
    WindowList::serve();
  }
  if (is("stack-watch")) return watchStacking();
  if (is("--version")) {
    std::printf("%s\n", MCPConnection::version);
    return 0;
  }
  if (is("web")) return runWebCommand(argc, argv);
  if (is("setup") && argc > 2 && std::strcmp(argv[2], "--dry-run") == 0) return previewSetup();
  chooseDesktop();
  AppDelegate(mode == nullptr || is("setup"), is("setup")).run();
}
