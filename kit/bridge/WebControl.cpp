#include "kit/bridge/WebControl.hpp"

#include <cmath>
#include <ctime>

#include "kit/common/Text.hpp"
#include "kit/common/ToolError.hpp"

namespace WebControl {
namespace {

std::string stateText(WebBridge& bridge) {
  if (!bridge.isEnabled()) return "Web connections are off.";
  if (!bridge.isConfigured()) {
    return "Web connections are on, but no relay service is configured: set TARNWICK_RELAY_URL or \"" +
           std::string(WebBridge::relayURLKey) + "\" in " + bridge.settingsPath() + ".";
  }
  if (bridge.needsSetup()) {
    return "Web connections are on, but the relay service refused this computer; get a new code with "
           "\"tarnwick web code\".";
  }
  return "Web connections are on.";
}

std::string localTime(Date date) {
  const time_t seconds = std::chrono::system_clock::to_time_t(date);
  std::tm time{};
  localtime_r(&seconds, &time);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &time);
  return text;
}

std::string connectionList(WebBridge& bridge) {
  const auto connections = bridge.connections();
  if (connections.empty()) {
    return bridge.isRunning() ? "No browser assistant is connected."
                              : "No browser assistant is connected, or the bridge is off and cannot tell.";
  }
  std::string text;
  for (const auto& connection : connections) {
    // Both come from the relay service: never let them drive the user's terminal.
    text += Text::printable(connection.id) + "  " +
            (connection.client.empty() ? "(unnamed)" : Text::printable(connection.client)) + "  connected " +
            localTime(connection.createdAt) + ", last used " + localTime(connection.lastUsedAt) + "\n";
  }
  text.pop_back();
  return text;
}

std::string stringParameter(const Json& params, const char* key) {
  auto found = params.find(key);
  return found != params.end() && found->is_string() ? found->get<std::string>() : "";
}

}  // namespace

std::string minutesLeft(Date now, Date expiresAt) {
  const double seconds = std::chrono::duration<double>(expiresAt - now).count();
  const long minutes = std::max(0L, static_cast<long>(std::ceil(seconds / 60)));
  return minutes == 1 ? "1 minute" : std::to_string(minutes) + " minutes";
}

std::string perform(WebBridge& bridge, const Json& params) {
  const std::string command = stringParameter(params, "command");
  if (command == "on" || command == "off") {
    bridge.setEnabled(command == "on");
    return stateText(bridge);
  }
  if (command == "status") return stateText(bridge);
  if (command == "code") {
    auto code = bridge.requestCode();
    return "Connection code: " + code.code + "\nIt expires in " +
           minutesLeft(std::chrono::system_clock::now(), code.expiresAt) + ".";
  }
  if (command == "connections") return connectionList(bridge);
  if (command == "revoke") {
    const std::string id = stringParameter(params, "id");
    if (id.empty()) throw ToolError("Name the connection to revoke, or \"all\".");
    bridge.revoke(id);
    return id == "all" ? "Every browser assistant was disconnected." : "Disconnected " + Text::printable(id) + ".";
  }
  throw ToolError("Unknown web command \"" + command + "\". Use on, off, status, code, connections or revoke.");
}

}  // namespace WebControl
