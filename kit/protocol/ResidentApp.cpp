#include "kit/protocol/ResidentApp.hpp"

#include <chrono>
#include <thread>

#include "kit/common/Process.hpp"
#include "kit/protocol/AgentSocket.hpp"

namespace ResidentApp {
namespace {

constexpr int launchAttempts = 100;
constexpr auto launchPause = std::chrono::milliseconds(100);

}  // namespace

std::optional<int> connectOrLaunch(const std::optional<std::string>& launcher) {
  if (auto socket = AgentSocket::connect(AgentSocket::path())) return socket;
  if (!launcher) return std::nullopt;
  Process::spawnDetached(*launcher, {"serve"});
  for (int attempt = 0; attempt < launchAttempts; ++attempt) {
    std::this_thread::sleep_for(launchPause);
    if (auto socket = AgentSocket::connect(AgentSocket::path())) return socket;
  }
  return std::nullopt;
}

}  // namespace ResidentApp
