#pragma once
#include <string>

// The files that identify this computer to the relay service, in the state directory.
namespace WebBridgeSecret {

inline constexpr const char* secretFile = "web-bridge-secret";
inline constexpr const char* deviceFile = "web-bridge-device";

// The 64-hex-digit secret in the directory, created (0600) when missing or malformed.
// Fails with a ToolError when it cannot be saved.
std::string secret(const std::string& directory);

// This computer's device identifier, created once and then kept.
std::string deviceID(const std::string& directory);

// count random bytes from the system's secure source, as lower-case hex digits; fails
// with a ToolError when that source keeps failing.
std::string randomHex(size_t count);

}  // namespace WebBridgeSecret
