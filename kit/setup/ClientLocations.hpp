#pragma once
#include <string_view>

#include "kit/setup/ClientSetup.hpp"

// Where each client keeps its MCP configuration, relative to the home directory.
struct ClientLocation {
  ClientSetup::Client client;
  std::string_view macOSDirectory;
  std::string_view linuxDirectory;
  std::string_view file;
  enum class Format { json, codexTOML } format;
  std::string_view container;  // the JSON key that holds the servers
  bool typedEntry;             // the entry names its transport ("type": "stdio")

  std::string_view directory() const {
#ifdef __APPLE__
    return macOSDirectory;
#else
    return linuxDirectory;
#endif
  }
};

inline constexpr ClientLocation clientLocations[] = {
    {ClientSetup::Client::claudeDesktop, "Library/Application Support/Claude", ".config/Claude",
     "claude_desktop_config.json", ClientLocation::Format::json, "mcpServers", false},
    {ClientSetup::Client::codex, ".codex", ".codex", "config.toml", ClientLocation::Format::codexTOML, "", false},
    {ClientSetup::Client::cursor, ".cursor", ".cursor", "mcp.json", ClientLocation::Format::json, "mcpServers", false},
    {ClientSetup::Client::vsCode, "Library/Application Support/Code/User", ".config/Code/User", "mcp.json",
     ClientLocation::Format::json, "servers", true},
};
