#pragma once
#include <string>

// The desktop entries that put an installed Tarnwick into the applications menu and,
// when the user asks for it, into the programs started at login.
namespace LauncherEntries {

// $XDG_DATA_HOME/applications/tarnwick.desktop and $XDG_CONFIG_HOME/autostart/tarnwick.desktop.
std::string menuPath();
std::string autostartPath();

// The Exec value for the executable and arguments, quoted as the desktop entry rules ask.
std::string execLine(const std::string& executable, const std::string& arguments);

// The menu entry opens a terminal that shows how to connect agents; the login entry
// starts the resident app without one.
std::string menuEntry(const std::string& executable);
std::string autostartEntry(const std::string& executable);

// Writes the entry atomically, creating its folder; false with errno set on failure.
bool write(const std::string& path, const std::string& entry);

}  // namespace LauncherEntries
