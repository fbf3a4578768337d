#include "kit/perception/WindowList.hpp"

#include <signal.h>
#include <unistd.h>

#include <charconv>
#include <mutex>

#include "kit/common/Files.hpp"
#include "kit/common/MainQueue.hpp"
#include "kit/common/Paths.hpp"
#include "kit/platform/Desktop.hpp"
#include "kit/common/Lines.hpp"

namespace WindowList {
namespace {

std::mutex helperLock;  // guards the two below
std::shared_ptr<WindowListTransport> chosenHelper;
bool helperDecided = false;

Json direct(uint32_t options, WindowNumber relativeTo) {
  auto desktop = Platform::desktopIfAny();
  if (!desktop) return Json::array();
  Json list = MainQueue::shared().sync([&] { return desktop->windowServer().windowList(options, relativeTo); });
  return list.is_array() ? list : Json::array();
}

std::optional<uint32_t> decimal(std::string_view text) {
  uint32_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}


}  // namespace

std::shared_ptr<WindowListTransport> helper() {
  std::lock_guard guard(helperLock);
  if (!helperDecided) {
    auto desktop = Platform::desktopIfAny();
    if (!desktop) return nullptr;  // decide once a desktop is known
    helperDecided = true;
    std::string executable = Paths::ownExecutable();
    if (desktop->reachableFromHelpers() && !executable.empty()) {
      chosenHelper = std::make_shared<WindowListTransport>(executable, std::vector<std::string>{"window-list"});
    }
  }
  return chosenHelper;
}

void useHelper(std::shared_ptr<WindowListTransport> transport) {
  std::lock_guard guard(helperLock);
  helperDecided = true;
  chosenHelper = std::move(transport);
}

Json copy(uint32_t options, WindowNumber relativeTo) {
  if (auto transport = helper()) {
    if (auto list = transport->copy(options, relativeTo)) return std::move(*list);
  }
  return direct(options, relativeTo);
}

void serve() {
  signal(SIGPIPE, SIG_IGN);
  LineReader input(STDIN_FILENO);
  while (auto line = input.next()) {
    auto space = line->find(' ');
    auto options = space == std::string::npos ? std::nullopt : decimal(std::string_view(*line).substr(0, space));
    auto window = space == std::string::npos ? std::nullopt : decimal(std::string_view(*line).substr(space + 1));
    if (!options || !window) _exit(2);
    auto desktop = Platform::desktopIfAny();
    Json list = desktop ? desktop->windowServer().windowList(*options, *window) : Json::array();
    if (!list.is_array()) list = Json::array();
    std::vector<uint8_t> payload = Json::to_cbor(list);
    if (payload.size() > WindowListTransport::maxPayload) _exit(2);
    const uint32_t length = static_cast<uint32_t>(payload.size());
    std::string frame{char(length >> 24), char(length >> 16), char(length >> 8), char(length)};
    frame.append(payload.begin(), payload.end());
    if (!Files::writeAll(STDOUT_FILENO, frame.data(), frame.size())) _exit(0);
  }
  _exit(0);
}

}  // namespace WindowList
