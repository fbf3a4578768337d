#include "kit/setup/AppInstall.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "kit/common/Files.hpp"
#include "kit/common/Paths.hpp"
#include "kit/common/Text.hpp"
#include "kit/setup/AgentConnection.hpp"

namespace fs = std::filesystem;

namespace AppInstall {
namespace {

// The closing slash keeps a folder such as "bin-old" next to "bin" out.
bool isInside(const std::string& path, const std::string& directory) {
  return path.starts_with(Paths::resolved(directory) + "/");
}

std::string destination(const std::string& directory) { return directory + "/" + executableName; }

// The nearest folder that exists on the way to the path: what a new folder needs to be written.
std::string nearestExisting(fs::path path) {
  std::error_code error;
  while (!path.empty() && !fs::exists(path, error)) path = path.parent_path();
  return path.empty() ? "/" : path.string();
}

// "1.10.2" gives 1, 10, 2; letters end a part ("2rc1" counts as 2).
std::vector<int> versionParts(const std::string& version) {
  std::vector<int> parts{0};
  bool inNumber = true;
  for (char c : version) {
    if (c == '.') {
      parts.push_back(0);
      inNumber = true;
    } else if (inNumber && c >= '0' && c <= '9' && parts.back() < 100'000'000) {
      parts.back() = parts.back() * 10 + (c - '0');
    } else {
      inNumber = false;
    }
  }
  return parts;
}

}  // namespace

std::string userDirectory(const std::string& home) { return home + "/.local/bin"; }

bool isInstalled(const std::string& executable, const std::string& home) {
  const std::string path = Paths::resolved(executable);
  return isInside(path, userDirectory(home)) || isInside(path, systemDirectory) || isInside(path, "/usr/bin");
}

bool offersMove(const std::string& executable, const std::string& home) {
  return !executable.empty() && !isInstalled(executable, home);
}

bool needsAdministrator(const std::string& directory) {
  std::error_code error;
  const std::string target = destination(directory);
  if (fs::exists(target, error)) return access(target.c_str(), W_OK) != 0 || access(directory.c_str(), W_OK) != 0;
  return access(nearestExisting(directory).c_str(), W_OK) != 0;
}

void install(const std::string& executable, const std::string& directory) {
  std::error_code error;
  fs::create_directories(directory, error);
  if (error) throw Failed(directory + ": " + error.message());
  auto bytes = Files::read(executable);
  if (!bytes) throw Failed(executable + ": " + std::strerror(errno));
  if (!Files::writeAtomically(destination(directory), *bytes, 0755)) {
    throw Failed(destination(directory) + ": " + std::strerror(errno));
  }
}

std::string administratorScript(const std::string& executable, const std::string& directory) {
  const std::string target = destination(directory);
  const std::string staged = target + ".new";
  auto quoted = AgentConnection::shellQuoted;
  return "/bin/mkdir -p " + quoted(directory) + " && /bin/rm -f " + quoted(staged) + " && /bin/cp " +
         quoted(executable) + " " + quoted(staged) + " && /bin/chmod 755 " + quoted(staged) + " && /bin/mv -f " +
         quoted(staged) + " " + quoted(target);
}

void installAsAdministrator(const std::string& executable, const std::string& directory,
                            const ClientSetup::Runner& run) {
  const auto result = run("pkexec", {"/bin/sh", "-c", administratorScript(executable, directory)}, {});
  if (result.status == 0) return;
  const std::string said = Text::trimmed(result.output);
  // pkexec exits 126 when the password prompt is dismissed.
  throw Failed(said.empty() ? "pkexec ended with status " + std::to_string(result.status) : said);
}

std::optional<ExistingCopy> existingCopy(const std::string& executable, const std::string& directory,
                                         const std::string& ownVersion, const ClientSetup::Runner& run) {
  const std::string target = destination(directory);
  if (!Files::isExecutable(target)) return std::nullopt;
  if (Files::read(target) == Files::read(executable)) return ExistingCopy{ExistingCopy::Age::same, ownVersion};
  const auto answer = run(target, {"--version"}, {});
  const std::string version = answer.status == 0 ? Text::trimmed(answer.output) : "";
  // A different build of the same version is replaced as an older one would be.
  const bool newer = !version.empty() && compareVersions(version, ownVersion) > 0;
  return ExistingCopy{newer ? ExistingCopy::Age::newer : ExistingCopy::Age::older, version};
}

int compareVersions(const std::string& left, const std::string& right) {
  auto a = versionParts(left), b = versionParts(right);
  a.resize(std::max(a.size(), b.size()));
  b.resize(a.size());
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

}  // namespace AppInstall
