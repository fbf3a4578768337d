#pragma once
#include <string>
#include <vector>

#include "kit/setup/ClientSetup.hpp"

// Installing this copy in a lasting place: quitting the copy running from there, copying
// (as root where needed), the menu and login entries, and pointing the AI apps whose
// configuration started this copy at the installed one. Relaunching is the caller's.
struct MoveModel {
  std::string executable;  // this copy, links resolved
  std::string directory;   // where it goes
  std::string home;
  std::string socket;      // the agent socket: a copy running from the destination serves it
  bool autostart = false;  // also start at login
  ClientSetup::Runner run;

  enum class Result { installed, didNotQuit, failed };
  struct Outcome {
    Result result;
    std::string error;                        // why it failed
    std::vector<ClientSetup::Report> clients;  // the configurations pointed at the new path
  };

  std::string target() const;
  Outcome move() const;
  // The line printed and logged when a move fails for another reason than a copy that did not quit.
  std::string failureLine(const std::string& error) const;
};
