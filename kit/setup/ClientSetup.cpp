#include "kit/setup/ClientSetup.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "kit/common/Files.hpp"
#include "kit/common/Paths.hpp"
#include "kit/common/Text.hpp"
#include "kit/setup/ClientLocations.hpp"
#include "kit/setup/MergedConfig.hpp"

namespace fs = std::filesystem;

extern char** environ;

namespace {

using Outcome = ClientSetup::Outcome;
using Failure = ClientSetup::Failure;

struct Failed {
  Failure failure;
};

Outcome failed(Failure::Kind kind, std::string text) { return {Outcome::Kind::failed, Failure{kind, std::move(text)}, ""}; }

bool isDirectory(const std::string& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}


std::optional<std::string> readFile(const std::string& path) {
  std::error_code error;
  if (!fs::exists(path, error)) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  if (!file) throw Failed{{Failure::Kind::fileError, "Could not read " + path}};
  std::ostringstream data;
  data << file.rdbuf();
  if (file.bad()) throw Failed{{Failure::Kind::fileError, "Could not read " + path}};
  return data.str();
}

// The file a configuration path names: links are followed to their target, also a
// target that does not exist yet, so that the link stays a link.
std::string linkTarget(const std::string& path) {
  constexpr int maxLinks = 40;
  fs::path current = path;
  for (int followed = 0; followed < maxLinks; ++followed) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(current, error))) return current.string();
    fs::path next = fs::read_symlink(current, error);
    if (error) throw Failed{{Failure::Kind::fileError, "Could not read the link " + current.string()}};
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  throw Failed{{Failure::Kind::linkLoop, path}};
}

// A read-only file is the user's decision; root would be allowed to write it anyway.
bool isReadOnly(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return false;
  return (info.st_mode & S_IWUSR) == 0 || access(path.c_str(), W_OK) != 0;
}

// Backup, then a temporary file beside it, then the rename: the only writes. Both keep
// the original's mode and owner; links at their places are replaced, never followed.
void writeFile(const std::string& data, const std::string& path, const std::optional<std::string>& original) {
  mode_t permissions = 0600;
  std::optional<Files::Owner> owner;
  if (original) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) throw Failed{{Failure::Kind::fileError, path + ": " + std::strerror(errno)}};
    permissions = info.st_mode & 07777;
    owner = Files::Owner{info.st_uid, info.st_gid};
    if (!Files::writeAtomically(path + ".tarnwick.bak", *original, permissions, owner)) {
      throw Failed{{Failure::Kind::fileError, "Could not write the backup of " + path + ": " + std::strerror(errno)}};
    }
  }
  if (!Files::writeAtomically(path, data, permissions, owner)) {
    throw Failed{{Failure::Kind::fileError, "Could not write " + path + ": " + std::strerror(errno)}};
  }
}

const ClientLocation& locationOf(ClientSetup::Client client) {
  return *std::find_if(std::begin(clientLocations), std::end(clientLocations),
                       [client](const ClientLocation& l) { return l.client == client; });
}

Json entryFor(const ClientLocation& location, const std::string& executable) {
  Json entry{{"command", executable}, {"args", {"mcp"}}};
  if (location.typedEntry) entry["type"] = "stdio";
  return entry;
}

std::map<std::string, std::string> currentEnvironment() {
  std::map<std::string, std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text = *entry;
    auto equals = text.find('=');
    if (equals != std::string::npos) environment[text.substr(0, equals)] = text.substr(equals + 1);
  }
  return environment;
}

}  // namespace

const std::vector<ClientSetup::Client>& ClientSetup::clients() {
  static const std::vector<Client> all{Client::claudeCode, Client::claudeDesktop, Client::codex, Client::cursor,
                                       Client::vsCode};
  return all;
}

std::string ClientSetup::name(Client client) {
  switch (client) {
    case Client::claudeCode: return "Claude Code";
    case Client::claudeDesktop: return "Claude Desktop";
    case Client::codex: return "Codex";
    case Client::cursor: return "Cursor";
    case Client::vsCode: return "VS Code";
  }
  return "";
}

ClientSetup ClientSetup::forThisUser() {
  return {Paths::ownExecutable(), Paths::home(),
          [](const std::string& executable, const std::vector<std::string>& arguments,
             const std::map<std::string, std::string>& environment) {
            return runProcess(executable, arguments, environment);
          },
          false};
}

std::vector<ClientSetup::Report> ClientSetup::connectAll() const {
  std::vector<Report> reports;
  for (Client client : clients()) reports.push_back({client, connect(client)});
  return reports;
}

std::vector<std::string> ClientSetup::claudeCLICandidates() const {
  std::vector<std::string> candidates;
  for (const char* relative : {".local/bin/claude", ".claude/local/claude", ".npm-global/bin/claude", ".bun/bin/claude",
                               ".volta/bin/claude"}) {
    candidates.push_back(home + "/" + relative);
  }
  candidates.push_back("/opt/homebrew/bin/claude");
  candidates.push_back("/usr/local/bin/claude");
  std::vector<std::string> versions;
  std::error_code error;
  for (fs::directory_iterator it(home + "/.nvm/versions/node", error), end; !error && it != end; it.increment(error)) {
    versions.push_back(it->path().string());
  }
  std::sort(versions.rbegin(), versions.rend());
  for (const auto& version : versions) candidates.push_back(version + "/bin/claude");
  return candidates;
}

std::optional<std::string> ClientSetup::claudeCLI() const {
  for (const auto& candidate : claudeCLICandidates()) {
    if (Files::isExecutable(candidate)) return candidate;
  }
  return std::nullopt;
}

ClientSetup::Outcome ClientSetup::addToClaudeCode(const std::string& cli) const {
  auto environment = currentEnvironment();
  std::string path = fs::path(cli).parent_path().string() + ":/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin";
  if (auto old = environment.find("PATH"); old != environment.end()) path += ":" + old->second;
  environment["PATH"] = path;
  const std::vector<std::string> add{"mcp", "add", "--scope", "user", serverName, "--", executable, "mcp"};
  if (dryRun) return {Outcome::Kind::wouldChange, std::nullopt, cli + " mcp add --scope user tarnwick -- " + executable + " mcp"};
  run(cli, {"mcp", "remove", "--scope", "user", serverName}, environment);
  CommandResult result = run(cli, add, environment);
  if (result.status == 0) return {Outcome::Kind::connected, std::nullopt, ""};
  // The tool may print without end, and anything: the report keeps its last lines, printable.
  const std::string tail = Text::lastLines(Text::trimmed(result.output), 5);
  std::string output;
  for (std::string_view rest = tail; !rest.empty();) {
    const size_t end = std::min(rest.find('\n'), rest.size());
    output += (output.empty() ? "" : "\n") + Text::printable(rest.substr(0, end));
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
  return failed(Failure::Kind::commandFailed, output.empty() ? "exit status " + std::to_string(result.status) : output);
}

ClientSetup::Outcome ClientSetup::updateFile(
    const std::string& file,
    const std::function<std::optional<std::string>(const std::optional<std::string>&)>& merge) const {
  std::string resolved = file;
  try {
    resolved = linkTarget(file);
    auto data = readFile(resolved);
    std::optional<std::string> merged;
    try {
      merged = merge(data);
    } catch (const MergedConfig::Unreadable&) {
      return failed(Failure::Kind::unreadableConfig, resolved);
    }
    if (!merged) return {Outcome::Kind::connected, std::nullopt, ""};
    if (data && isReadOnly(resolved)) return failed(Failure::Kind::readOnlyConfig, resolved);
    if (dryRun) return {Outcome::Kind::wouldChange, std::nullopt, resolved};
    writeFile(*merged, resolved, data);
    return {Outcome::Kind::connected, std::nullopt, ""};
  } catch (const Failed& failure) {
    return {Outcome::Kind::failed, failure.failure, ""};
  } catch (const std::exception& other) {
    return failed(Failure::Kind::fileError, other.what());
  }
}

ClientSetup::Outcome ClientSetup::connect(Client client) const {
  if (client == Client::claudeCode) {
    auto cli = claudeCLI();
    if (!cli) return {Outcome::Kind::notInstalled, std::nullopt, ""};
    return addToClaudeCode(*cli);
  }
  const auto& location = locationOf(client);
  const std::string directory = home + "/" + std::string(location.directory());
  if (!isDirectory(directory)) return {Outcome::Kind::notInstalled, std::nullopt, ""};
  const std::string file = directory + "/" + std::string(location.file);
  if (location.format == ClientLocation::Format::codexTOML) {
    return updateFile(file, [&](const std::optional<std::string>& data) { return MergedConfig::codex(data, executable); });
  }
  const Json entry = entryFor(location, executable);
  return updateFile(file, [&](const std::optional<std::string>& data) {
    return MergedConfig::json(data, std::string(location.container), serverName, entry);
  });
}

bool ClientSetup::pointsTo(Client client, const std::string& path) const {
  if (client == Client::claudeCode) {
    // The command-line tool keeps user-scoped servers here; it is read, never written.
    auto data = Files::read(home + "/.claude.json");
    const Json document = data ? Json::parse(*data, nullptr, false) : Json();
    try {
      return document.at(Json::json_pointer("/mcpServers/tarnwick/command")) == path;
    } catch (const Json::exception&) {
      return false;
    }
  }
  const auto& location = locationOf(client);
  const std::string file = home + "/" + std::string(location.directory()) + "/" + std::string(location.file);
  auto data = Files::read(file);
  if (!data) return false;
  // The entry for `path` merged in changes nothing exactly when it is there already.
  try {
    if (location.format == ClientLocation::Format::codexTOML) return !MergedConfig::codex(data, path);
    return !MergedConfig::json(data, std::string(location.container), serverName, entryFor(location, path));
  } catch (const MergedConfig::Unreadable&) {
    return false;
  }
}

std::vector<ClientSetup::Report> ClientSetup::repoint(const std::string& path) const {
  std::vector<Report> reports;
  for (Client client : clients())
    if (pointsTo(client, path)) reports.push_back({client, connect(client)});
  return reports;
}
