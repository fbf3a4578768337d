#include "kit/backstage/BackstageJournal.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "kit/common/Files.hpp"
#include "kit/common/Json.hpp"
#include "kit/common/Paths.hpp"

namespace BackstageJournal {
namespace {

// The format counts launch dates from 2001-01-01, as the first journals did.
constexpr double referenceDate = 978307200;

Json encode(const RecoveryEntry& entry) {
  Json object{{"windowID", entry.windowID},
              {"pid", entry.pid},
              {"home", {entry.home.x, entry.home.y}},
              {"restoreMinimized", entry.restoreMinimized}};
  if (entry.processLaunchDate) object["processLaunchDate"] = *entry.processLaunchDate - referenceDate;
  if (const auto& f = entry.parkedFrame) {
    object["parkedFrame"] = {{f->origin.x, f->origin.y}, {f->size.width, f->size.height}};
  }
  return object;
}

RecoveryEntry decode(const Json& object) {
  RecoveryEntry entry;
  entry.windowID = object.at("windowID").get<WindowNumber>();
  entry.pid = object.at("pid").get<pid_t>();
  const Json& home = object.at("home");
  entry.home = {home.at(0).get<double>(), home.at(1).get<double>()};
  entry.restoreMinimized = object.at("restoreMinimized").get<bool>();
  if (auto date = object.find("processLaunchDate"); date != object.end()) {
    entry.processLaunchDate = date->get<double>() + referenceDate;
  }
  if (auto frame = object.find("parkedFrame"); frame != object.end()) {
    entry.parkedFrame = Rect{{frame->at(0).at(0).get<double>(), frame->at(0).at(1).get<double>()},
                             {frame->at(1).at(0).get<double>(), frame->at(1).at(1).get<double>()}};
  }
  return entry;
}

std::runtime_error systemError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno) + " (" + std::to_string(errno) + ")");
}

}  // namespace

std::string path() { return Paths::stateDirectory() + "/backstage-recovery.json"; }

void save(const std::vector<RecoveryEntry>& entries) {
  if (!Paths::makePrivateDirectory(Paths::stateDirectory())) throw systemError("Could not create its folder");
  Json list = Json::array();
  for (const auto& entry : entries) list.push_back(encode(entry));
  const Json journal{{"version", 1}, {"entries", list}};
  if (!Files::writeAtomically(path(), journal.dump(), 0600)) throw systemError("Could not write " + path());
}

std::vector<RecoveryEntry> load() {
  struct stat info {};
  if (stat(path().c_str(), &info) != 0 && errno == ENOENT) return {};
  auto bytes = Files::read(path());
  if (!bytes) throw systemError("Could not read " + path());
  std::vector<RecoveryEntry> entries;
  try {
    const Json journal = Json::parse(*bytes);
    if (journal.at("version") != 1) throw std::runtime_error("Unsupported backstage recovery journal version.");
    for (const Json& object : journal.at("entries")) entries.push_back(decode(object));
  } catch (const Json::exception& error) {
    throw std::runtime_error(error.what());
  }
  return entries;
}

}  // namespace BackstageJournal
