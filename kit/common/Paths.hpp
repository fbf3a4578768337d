#pragma once
#include <string>

// Where the user's files for Tarnwick live on this machine.
namespace Paths {

std::string home();
// $XDG_STATE_HOME/tarnwick, by default ~/.local/state/tarnwick: state files and the agent socket.
std::string stateDirectory();
// $XDG_CONFIG_HOME/tarnwick, by default ~/.config/tarnwick: the settings file.
std::string configDirectory();
// $XDG_CONFIG_HOME and $XDG_DATA_HOME themselves, by default ~/.config and ~/.local/share.
std::string configHome();
std::string dataHome();
// Creates the directory and its missing parents with permissions 0700, and tightens an
// existing one of this user to 0700; false on failure and for a folder of another user.
bool makePrivateDirectory(const std::string& path);
// The path with a leading "~" or "~/" standing for the home folder.
std::string expandedHome(const std::string& path);
// The other way: a path in the home folder written with "~".
std::string shortenedHome(const std::string& path, const std::string& home);
// The path with every link resolved, or, when it does not exist, just made normal.
std::string resolved(const std::string& path);
// This process's own executable, absolute.
std::string ownExecutable();
// The last component of a path, trailing slashes ignored ("/a/b/" gives "b").
std::string lastComponent(const std::string& path);

}  // namespace Paths
