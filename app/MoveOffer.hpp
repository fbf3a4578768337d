#pragma once
#include <optional>
#include <string>
#include <vector>

#include "kit/setup/MoveTexts.hpp"

// The offer to install a copy started from a download or a build folder, asked in the
// terminal it was started from, before anything else starts.
class MoveOffer {
 public:
  // arguments: what the installed copy is started with after the install.
  explicit MoveOffer(std::vector<std::string> arguments);

  // Whether to ask: a person started this copy at a terminal, and it is not installed.
  static bool applies();

  // Returns when the user declines or the input ends; after an install this process
  // becomes the installed copy and never returns.
  void run();

 private:
  enum class Choice { forMe, forEveryone, notNow };
  void show() const;
  void note(const std::string& directory) const;
  Choice choose() const;
  bool wantsAutostart() const;
  // The install to the directory, and the relaunch from there; returns only on failure.
  void install(const std::string& directory, bool autostart);
  // Becomes the installed copy; returns only when that cannot start.
  void relaunch(const std::string& target);

  std::vector<std::string> arguments_;
  MoveTexts texts_;
  std::string home_;
  std::string executable_;
};
