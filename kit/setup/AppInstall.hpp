#pragma once
#include <optional>
#include <stdexcept>
#include <string>

#include "kit/setup/ClientSetup.hpp"

// Where Tarnwick lives for good, and putting a copy there. MCP clients start Tarnwick by
// the path written into their configurations, so that path must outlast a download folder.
namespace AppInstall {

inline constexpr const char* executableName = "tarnwick";
// For every user; written through pkexec when this user cannot write it.
inline constexpr const char* systemDirectory = "/usr/local/bin";

struct Failed : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// ~/.local/bin: for this user only.
std::string userDirectory(const std::string& home);

// Whether the executable, links resolved, lies in ~/.local/bin, /usr/local/bin or /usr/bin
// (a distribution's package): the places whose paths last.
bool isInstalled(const std::string& executable, const std::string& home);

// Whether a person who started this copy at a terminal is offered to install it.
bool offersMove(const std::string& executable, const std::string& home);

// True when the copy there, or the directory itself, cannot be written by this user.
bool needsAdministrator(const std::string& directory);

// Copies the executable beside its destination, then renames it into place, so that an
// older copy is gone only once the new one is whole. Throws Failed with the reason.
void install(const std::string& executable, const std::string& directory);

// The shell command that installs as root, every path quoted.
std::string administratorScript(const std::string& executable, const std::string& directory);
// Runs that script through pkexec, which asks for an administrator's password.
void installAsAdministrator(const std::string& executable, const std::string& directory,
                            const ClientSetup::Runner& run);

// The copy already at the destination, compared with this one.
struct ExistingCopy {
  enum class Age { older, same, newer } age;
  std::string version;  // what it answered to --version, empty when it did not
};
std::optional<ExistingCopy> existingCopy(const std::string& executable, const std::string& directory,
                                         const std::string& ownVersion, const ClientSetup::Runner& run);

// Dotted version numbers compared part by part: negative, zero or positive.
int compareVersions(const std::string& left, const std::string& right);

}  // namespace AppInstall
