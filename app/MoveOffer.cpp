#include "app/MoveOffer.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "kit/common/Language.hpp"
#include "kit/common/Log.hpp"
#include "kit/common/Paths.hpp"
#include "kit/common/Text.hpp"
#include "kit/protocol/AgentSocket.hpp"
#include "kit/setup/AppInstall.hpp"
#include "kit/setup/MoveModel.hpp"
#include "kit/setup/RunProcess.hpp"
#include "kit/protocol/MCPConnection.hpp"

namespace {

ClientSetup::Runner processRunner() {
  return [](const std::string& executable, const std::vector<std::string>& arguments,
            const std::map<std::string, std::string>& environment) {
    return runProcess(executable, arguments, environment);
  };
}

// pkexec needs no password from root, and root can write the folder anyway.
bool asksPassword() { return geteuid() != 0 && AppInstall::needsAdministrator(AppInstall::systemDirectory); }

std::optional<std::string> answer() {
  std::string line;
  if (!std::getline(std::cin, line)) return std::nullopt;
  return Text::trimmed(line);
}

}  // namespace

MoveOffer::MoveOffer(std::vector<std::string> arguments)
    : arguments_(std::move(arguments)),
      texts_{Language::prefersGerman()},
      home_(Paths::home()),
      executable_(Paths::ownExecutable()) {}

bool MoveOffer::applies() {
  return isatty(STDIN_FILENO) && isatty(STDOUT_FILENO) && AppInstall::offersMove(Paths::ownExecutable(), Paths::home());
}

void MoveOffer::run() {
  for (;;) {
    show();
    const Choice choice = choose();
    if (choice == Choice::notNow) return;
    const bool autostart = wantsAutostart();
    install(choice == Choice::forMe ? AppInstall::userDirectory(home_) : AppInstall::systemDirectory, autostart);
    std::printf("\n");
  }
}

void MoveOffer::show() const {
  const std::string mine = AppInstall::userDirectory(home_);
  std::printf("%s\n%s\n\n", texts_.headline().c_str(), texts_.explanation().c_str());
  std::printf("  1  %s\n", texts_.forMe(Paths::shortenedHome(mine, home_)).c_str());
  note(mine);
  std::printf("  2  %s\n", texts_.forEveryone(AppInstall::systemDirectory, asksPassword()).c_str());
  note(AppInstall::systemDirectory);
  std::printf("  3  %s\n\n", texts_.notNow().c_str());
}

void MoveOffer::note(const std::string& directory) const {
  auto existing = AppInstall::existingCopy(executable_, directory, MCPConnection::version, processRunner());
  if (!existing) return;
  const bool newer = existing->age == AppInstall::ExistingCopy::Age::newer;
  std::printf("     %s\n", (newer ? texts_.replacedNewer(existing->version) : texts_.replaced()).c_str());
}

MoveOffer::Choice MoveOffer::choose() const {
  for (;;) {
    std::printf("%s", texts_.choose().c_str());
    std::fflush(stdout);
    const auto said = answer();
    if (!said || *said == "3") return Choice::notNow;
    if (*said == "1") return Choice::forMe;
    if (*said == "2") return Choice::forEveryone;
  }
}

bool MoveOffer::wantsAutostart() const {
  std::printf("%s", texts_.autostartQuestion().c_str());
  std::fflush(stdout);
  const auto said = answer();
  return said && texts_.isYes(*said);
}

void MoveOffer::install(const std::string& directory, bool autostart) {
  std::printf("%s\n", texts_.installing().c_str());
  std::fflush(stdout);
  const MoveModel model{executable_, directory, home_, AgentSocket::path(), autostart, processRunner()};
  const auto outcome = model.move();
  switch (outcome.result) {
    case MoveModel::Result::didNotQuit:
      std::printf("%s\n", texts_.didNotQuit(directory).c_str());
      return;
    case MoveModel::Result::failed:
      std::printf("%s\n%s\n", model.failureLine(outcome.error).c_str(), texts_.couldNotMove(directory).c_str());
      return;
    case MoveModel::Result::installed:
      break;
  }
  const std::string shown = Paths::shortenedHome(model.target(), home_);
  std::printf("%s\n", texts_.installed(shown).c_str());
  for (const auto& report : outcome.clients)
    if (report.outcome.kind == ClientSetup::Outcome::Kind::connected)
      std::printf("%s\n", texts_.repointed(ClientSetup::name(report.client), shown).c_str());
  std::printf("\n");
  relaunch(model.target());
}

void MoveOffer::relaunch(const std::string& target) {
  std::fflush(stdout);
  std::vector<char*> argv{const_cast<char*>(target.c_str())};
  for (auto& argument : arguments_) argv.push_back(argument.data());
  argv.push_back(nullptr);
  execv(target.c_str(), argv.data());
  const std::string error = std::strerror(errno);
  const MoveModel model{executable_, target.substr(0, target.rfind('/')), home_, "", false, {}};
  Log::error(Log::setup, model.failureLine(error));
  std::printf("%s\n%s\n", model.failureLine(error).c_str(), texts_.couldNotMove(model.directory).c_str());
}
