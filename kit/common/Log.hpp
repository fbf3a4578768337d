#pragma once
#include <string_view>

// One logging facility for the whole process: syslog with ident "tarnwick", the
// category leading each message; also standard error when TARNWICK_LOG=stderr.
namespace Log {

inline constexpr std::string_view tools = "Tools";
inline constexpr std::string_view backstage = "Backstage";
inline constexpr std::string_view sharedKeyWindow = "SharedKeyWindow";
inline constexpr std::string_view webBridge = "WebBridge";
inline constexpr std::string_view app = "App";
inline constexpr std::string_view setup = "Setup";
inline constexpr std::string_view desktop = "Desktop";

void info(std::string_view category, std::string_view message);
void error(std::string_view category, std::string_view message);

}  // namespace Log
