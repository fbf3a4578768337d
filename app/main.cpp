#include <cstdio>
#include <cstring>

#include "app/AppDelegate.hpp"
#include "app/DesktopChoice.hpp"
#include "app/WebCommand.hpp"
#include "kit/common/Language.hpp"
#include "kit/common/Paths.hpp"
#include "kit/perception/WindowList.hpp"
#include "kit/protocol/MCPConnection.hpp"
#include "kit/protocol/Relay.hpp"
#include "kit/setup/ClientSetup.hpp"
#include "kit/setup/ConnectionReports.hpp"

namespace {

[[noreturn]] void helperNotBuilt(const char* mode) {
  std::fprintf(stderr, "tarnwick %s: this helper is not built yet in this version.\n", mode);
  std::exit(69);
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
  if (is("stack-watch")) helperNotBuilt(mode);
  if (is("--version")) {
    std::printf("%s\n", MCPConnection::version);
    return 0;
  }
  if (is("web")) return runWebCommand(argc, argv);
  if (is("setup") && argc > 2 && std::strcmp(argv[2], "--dry-run") == 0) return previewSetup();
  chooseDesktop();
  AppDelegate(mode == nullptr || is("setup"), is("setup")).run();
}
