#pragma once
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "kit/setup/RunProcess.hpp"

// Registers Tarnwick as the MCP server "tarnwick" with the AI apps on this machine,
// editing each configuration in place, with a backup and an atomic write, and never
// touching a file it cannot read with certainty.
struct ClientSetup {
  enum class Client { claudeCode, claudeDesktop, codex, cursor, vsCode };
  struct Failure {
    enum class Kind { unreadableConfig, readOnlyConfig, linkLoop, commandFailed, fileError } kind;
    std::string text;  // the resolved path, the tool's output, or the error's description
  };
  struct Outcome {
    enum class Kind { connected, notInstalled, failed, wouldChange } kind;
    std::optional<Failure> failure;
    std::string change;  // in a dry run: the file or command that would change
  };
  struct Report {
    Client client;
    Outcome outcome;
  };
  using Runner = std::function<CommandResult(const std::string&, const std::vector<std::string>&,
                                             const std::map<std::string, std::string>&)>;

  static constexpr const char* serverName = "tarnwick";
  static const std::vector<Client>& clients();
  static std::string name(Client client);

  std::string executable;
  std::string home;
  Runner run;
  bool dryRun = false;  // report what would change, write nothing

  // Tarnwick's own executable, the real home and the real process runner.
  static ClientSetup forThisUser();

  std::vector<Report> connectAll() const;
  Outcome connect(Client client) const;
  // Whether the client's "tarnwick" entry starts the executable at `path`.
  bool pointsTo(Client client, const std::string& path) const;
  // Connects, to this executable, the clients whose entry started the one at `path`.
  std::vector<Report> repoint(const std::string& path) const;
  std::vector<std::string> claudeCLICandidates() const;
  std::optional<std::string> claudeCLI() const;

 private:
  Outcome addToClaudeCode(const std::string& cli) const;
  Outcome updateFile(const std::string& file,
                     const std::function<std::optional<std::string>(const std::optional<std::string>&)>& merge) const;
};
