#include "kit/setup/MoveModel.hpp"

#include <cerrno>
#include <cstring>

#include "kit/common/Log.hpp"
#include "kit/setup/AppInstall.hpp"
#include "kit/setup/LauncherEntries.hpp"
#include "kit/setup/RunningCopy.hpp"

std::string MoveModel::target() const { return directory + "/" + AppInstall::executableName; }

std::string MoveModel::failureLine(const std::string& error) const {
  return "Tarnwick: moving to " + directory + " failed: " + error;
}

MoveModel::Outcome MoveModel::move() const {
  if (auto running = RunningCopy::servingFrom(target(), socket)) {
    Log::info(Log::setup, "Asking the Tarnwick in " + directory + " to quit");
    if (!RunningCopy::quit(*running)) return {Result::didNotQuit, "", {}};
  }
  try {
    if (AppInstall::needsAdministrator(directory)) AppInstall::installAsAdministrator(executable, directory, run);
    else AppInstall::install(executable, directory);
  } catch (const AppInstall::Failed& failure) {
    Log::error(Log::setup, failureLine(failure.what()));
    return {Result::failed, failure.what(), {}};
  }
  // The program is in place; a missing menu entry costs only convenience.
  auto entry = [](const std::string& path, const std::string& text) {
    if (!LauncherEntries::write(path, text)) Log::error(Log::setup, "Could not write " + path + ": " + std::strerror(errno));
  };
  entry(LauncherEntries::menuPath(), LauncherEntries::menuEntry(target()));
  if (autostart) entry(LauncherEntries::autostartPath(), LauncherEntries::autostartEntry(target()));
  const ClientSetup setup{target(), home, run, false};
  return {Result::installed, "", setup.repoint(executable)};
}
