#pragma once
#include <string>

#include "kit/bridge/WebBridge.hpp"
#include "kit/common/Json.hpp"

// The `tarnwick web` commands, carried out by the resident app's bridge and answered
// with the text to show. Until a setup window exists this is how the user drives it.
namespace WebControl {

// params: {"command": "on" | "off" | "code" | "connections" | "revoke", "id": ...}.
// Fails with a ToolError whose text is shown as it stands.
std::string perform(WebBridge& bridge, const Json& params);

// "in 10 minutes" style wording for a code's remaining life.
std::string minutesLeft(Date now, Date expiresAt);

}  // namespace WebControl
