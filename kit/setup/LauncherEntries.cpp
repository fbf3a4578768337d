#include "kit/setup/LauncherEntries.hpp"

#include <filesystem>

#include "kit/common/Files.hpp"
#include "kit/common/Paths.hpp"

namespace LauncherEntries {
namespace {

// Inside double quotes, the rules escape ", `, $ and \ with a backslash; the value's own
// escaping then doubles every backslash again. A percent sign is a field code unless doubled.
std::string quotedArgument(const std::string& argument) {
  std::string quoted = "\"";
  for (char c : argument) {
    if (c == '"' || c == '`' || c == '$') quoted += "\\\\";
    if (c == '\\') quoted += "\\\\\\";
    if (c == '%') quoted += '%';
    quoted += c;
  }
  return quoted + "\"";
}

bool needsQuotes(const std::string& argument) {
  return argument.find_first_of(" \t\n\"'\\><~|&;$*?#()`%=") != std::string::npos;
}

std::string entry(const std::string& executable, const std::string& arguments, bool terminal, bool autostart) {
  std::string text =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Tarnwick\n"
      "Comment=Lets AI agents use your apps in the background\n"
      "Exec=" + execLine(executable, arguments) + "\n"
      "Terminal=" + (terminal ? "true" : "false") + "\n"
      "Categories=Utility;\n";
  if (autostart) text += "X-GNOME-Autostart-enabled=true\nNoDisplay=true\n";
  return text;
}

}  // namespace

std::string menuPath() { return Paths::dataHome() + "/applications/tarnwick.desktop"; }
std::string autostartPath() { return Paths::configHome() + "/autostart/tarnwick.desktop"; }

std::string execLine(const std::string& executable, const std::string& arguments) {
  std::string line = needsQuotes(executable) ? quotedArgument(executable) : executable;
  return arguments.empty() ? line : line + " " + arguments;
}

std::string menuEntry(const std::string& executable) { return entry(executable, "", true, false); }
std::string autostartEntry(const std::string& executable) { return entry(executable, "serve", false, true); }

bool write(const std::string& path, const std::string& entry) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  return !error && Files::writeAtomically(path, entry, 0644);
}

}  // namespace LauncherEntries
