#include "kit/setup/ConnectionReports.hpp"

#include <algorithm>

#include "kit/common/Paths.hpp"
#include "kit/common/PlatformTexts.hpp"
#include "kit/setup/AgentConnection.hpp"

namespace ConnectionReports {
namespace {

constexpr PlatformTexts::Text noAgentEnglish{"No supported agent was found on this Mac. Set it up manually instead.",
                                             "No supported agent was found on this computer. Set it up manually "
                                             "instead."};
constexpr PlatformTexts::Text noAgentGerman{
    "Auf diesem Mac wurde kein unterstützter Agent gefunden. Richte ihn stattdessen manuell ein.",
    "Auf diesem Computer wurde kein unterstützter Agent gefunden. Richte ihn stattdessen manuell ein."};

}  // namespace

std::string detail(const ClientSetup::Outcome& outcome, const std::string& home, bool german) {
  using Kind = ClientSetup::Outcome::Kind;
  using Failure = ClientSetup::Failure::Kind;
  switch (outcome.kind) {
    case Kind::connected: return german ? "Verbunden" : "Connected";
    case Kind::notInstalled: return german ? "Nicht installiert" : "Not installed";
    case Kind::wouldChange:
      return (german ? "Würde verbunden (ändert " : "Would connect (changes ") + Paths::shortenedHome(outcome.change, home) + ")";
    case Kind::failed: break;
  }
  const auto& failure = *outcome.failure;
  switch (failure.kind) {
    case Failure::unreadableConfig:
      return Paths::shortenedHome(failure.text, home) +
             (german ? " konnte nicht sicher gelesen werden und wurde daher nicht verändert."
                     : " could not be read safely, so it was left unchanged.");
    case Failure::readOnlyConfig:
      return Paths::shortenedHome(failure.text, home) +
             (german ? " ist schreibgeschützt und wurde daher nicht verändert."
                     : " is read-only, so it was left unchanged.");
    case Failure::linkLoop:
      return Paths::shortenedHome(failure.text, home) +
             (german ? " ist ein symbolischer Link, der auf sich selbst zurückführt; er wurde nicht verändert."
                     : " is a symbolic link that leads back to itself, so it was left unchanged.");
    case Failure::commandFailed: return (german ? "Die Claude-CLI meldete: " : "The Claude CLI reported: ") + failure.text;
    case Failure::fileError:
      return (german ? "Die Konfiguration konnte nicht gespeichert werden: " : "Could not save the configuration: ") +
             failure.text;
  }
  return "";
}

std::string summary(const std::vector<ClientSetup::Report>& reports, const std::string& home,
                    const std::string& executable, bool german) {
  std::string text;
  for (const auto& report : reports) {
    text += ClientSetup::name(report.client) + ": " + detail(report.outcome, home, german) + "\n";
  }
  bool none = std::all_of(reports.begin(), reports.end(), [](const ClientSetup::Report& r) {
    return r.outcome.kind == ClientSetup::Outcome::Kind::notInstalled;
  });
  if (none) text += std::string(german ? noAgentGerman() : noAgentEnglish()) + "\n";
  const AgentConnection connection{executable};
  text += german ? "\nManuell verbinden – Claude Code:\n  " : "\nTo connect by hand – Claude Code:\n  ";
  text += connection.claudeCommand() + "\n";
  text += german ? "Andere MCP-Clients starten diesen Befehl als stdio-Server:\n  "
                 : "Other MCP clients start this command as a stdio server:\n  ";
  text += connection.genericCommand() + "\n\n";
  text += german ? "Starte danach eine neue Sitzung deines Agenten, damit er die Werkzeuge lädt.\n"
                 : "Then start a new session of your agent so it loads the tools.\n";
  return text;
}

}  // namespace ConnectionReports
