#pragma once
#include <optional>
#include <string>
#include <vector>

// Launchable apps as the XDG desktop files describe them (the Linux counterpart of .app folders).
struct DesktopEntry {
  std::string path;
  std::string name;
  std::vector<std::string> exec;  // the Exec line split into words, field codes kept
  std::string appID() const;      // the file name without ".desktop"
  static std::optional<DesktopEntry> read(const std::string& path);
};

namespace DesktopEntries {

// $XDG_DATA_HOME/applications, then each of $XDG_DATA_DIRS/applications.
std::vector<std::string> directories();

// Every readable entry, the first of each app id, in directory order.
std::vector<DesktopEntry> installed();

// What launch_app should start for the agent's words: a path to an executable or a
// .desktop file, an app id, an app name, the program an entry starts, or a program on
// $PATH; none when nothing matches.
std::optional<std::string> locate(const std::string& query);

// The command line for an entry, opening `open` (a URL or path) when given.
std::vector<std::string> commandLine(const DesktopEntry& entry, const std::optional<std::string>& open);

}  // namespace DesktopEntries
