#pragma once
#include <optional>
#include <string>

#include "kit/common/Json.hpp"

// The user's settings: one JSON object in settings.json, keys as the app names them
// ("WebBridgeEnabled", "RelayServiceURL"). Keys this build does not know are kept.
class SettingsFile {
 public:
  explicit SettingsFile(std::string path) : path_(std::move(path)) {}
  // $XDG_CONFIG_HOME/tarnwick/settings.json.
  static SettingsFile user();

  const std::string& path() const { return path_; }
  // Every setting: an empty object when the file does not exist, none when it exists
  // but cannot be read or is not a JSON object.
  std::optional<Json> read() const;
  // Missing keys, values of another type and unreadable files all read as absent.
  std::optional<bool> boolValue(const std::string& key) const;
  std::optional<std::string> stringValue(const std::string& key) const;
  // Stores one key. A file that cannot be read or is not a JSON object is left as it is
  // and the write fails with a ToolError naming it: it is never written unless it was read.
  void set(const std::string& key, const Json& value) const;

 private:
  std::string path_;
};
