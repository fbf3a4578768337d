#include "kit/common/SettingsFile.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <mutex>

#include "kit/common/Files.hpp"
#include "kit/common/Paths.hpp"
#include "kit/common/ToolError.hpp"

namespace {

// Reads of the file are one step each for the whole process.
std::mutex& fileLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

SettingsFile SettingsFile::user() { return SettingsFile(Paths::configDirectory() + "/settings.json"); }

std::optional<Json> SettingsFile::read() const {
  std::lock_guard guard(fileLock());
  auto text = Files::read(path_);
  if (!text) {
    struct stat info {};
    const bool absent = lstat(path_.c_str(), &info) != 0 && errno == ENOENT;
    return absent ? std::optional(Json::object()) : std::nullopt;
  }
  auto parsed = JsonText::parse(*text);
  if (!parsed || !parsed->is_object()) return std::nullopt;
  return parsed;
}

std::optional<bool> SettingsFile::boolValue(const std::string& key) const {
  auto settings = read();
  if (!settings || !settings->contains(key) || !(*settings)[key].is_boolean()) return std::nullopt;
  return (*settings)[key].get<bool>();
}

std::optional<std::string> SettingsFile::stringValue(const std::string& key) const {
  auto settings = read();
  if (!settings || !settings->contains(key) || !(*settings)[key].is_string()) return std::nullopt;
  return (*settings)[key].get<std::string>();
}

void SettingsFile::set(const std::string& key, const Json& value) const {
  // One writer at a time, so that no change of another thread is lost between read and write.
  static std::mutex writeLock;
  std::lock_guard guard(writeLock);
  auto settings = read();
  if (!settings) {
    throw ToolError("The settings file " + path_ + " cannot be read or is not a JSON object; fix or remove it.");
  }
  (*settings)[key] = value;
  const std::string directory = std::filesystem::path(path_).parent_path().string();
  if (!Paths::makePrivateDirectory(directory) || !Files::writeAtomically(path_, settings->dump(2) + "\n", 0600)) {
    throw ToolError("Could not save the settings in " + path_ + ".");
  }
}
