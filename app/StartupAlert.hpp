#pragma once
#include <string>

// The startup error as the user reads it: a title and a text, in English or German.
struct StartupAlert {
  std::string title;
  std::string text;
  // Another copy serves the agents already.
  static StartupAlert alreadyRunning(bool german);
  static StartupAlert forError(const std::string& error, bool german);
};
