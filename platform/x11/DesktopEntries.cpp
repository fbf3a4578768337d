#include "platform/x11/DesktopEntries.hpp"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "kit/common/Files.hpp"
#include "kit/common/Paths.hpp"
#include "kit/common/Text.hpp"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> splitWords(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false, inWord = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (c == '\\' && quoted && i + 1 < line.size()) {
      word += line[++i];
    } else if (c == ' ' && !quoted) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}


// The program of that name in a folder of $PATH, as a shell would find it.
std::optional<std::string> onPath(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return std::nullopt;
  const char* variable = std::getenv("PATH");
  std::string_view folders = variable != nullptr ? variable : "/usr/local/bin:/usr/bin:/bin";
  while (!folders.empty()) {
    const size_t colon = folders.find(':');
    const std::string folder(folders.substr(0, colon));
    if (!folder.empty() && Files::isExecutable(folder + "/" + name)) return folder + "/" + name;
    folders.remove_prefix(colon == std::string_view::npos ? folders.size() : colon + 1);
  }
  return std::nullopt;
}


std::string withoutDesktopSuffix(std::string text) {
  if (text.ends_with(".desktop")) text.resize(text.size() - 8);
  return text;
}

}  // namespace

std::string DesktopEntry::appID() const { return withoutDesktopSuffix(fs::path(path).filename().string()); }

std::optional<DesktopEntry> DesktopEntry::read(const std::string& path) {
  std::ifstream file(path);
  if (!file) return std::nullopt;
  DesktopEntry entry{path, "", {}};
  bool inMainGroup = false;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with("[")) {
      inMainGroup = line == "[Desktop Entry]";
      continue;
    }
    if (!inMainGroup) continue;
    if (line.starts_with("Name=")) entry.name = line.substr(5);
    else if (line.starts_with("Exec=")) entry.exec = splitWords(line.substr(5));
  }
  if (entry.exec.empty()) return std::nullopt;
  return entry;
}

namespace DesktopEntries {

std::vector<std::string> directories() {
  std::vector<std::string> result;
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  result.push_back((dataHome && *dataHome ? std::string(dataHome) : Paths::home() + "/.local/share") + "/applications");
  const char* dataDirs = std::getenv("XDG_DATA_DIRS");
  std::string dirs = dataDirs && *dataDirs ? dataDirs : "/usr/local/share:/usr/share";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t colon = dirs.find(':', start);
    std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    if (!dir.empty()) result.push_back(dir + "/applications");
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return result;
}

std::vector<DesktopEntry> installed() {
  std::vector<DesktopEntry> entries;
  std::set<std::string> ids;
  for (const auto& dir : directories()) {
    std::error_code error;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
      const std::string file = it->path().string();
      if (!file.ends_with(".desktop")) continue;
      auto entry = DesktopEntry::read(file);
      if (entry && ids.insert(entry->appID()).second) entries.push_back(std::move(*entry));
    }
  }
  return entries;
}

std::optional<std::string> locate(const std::string& query) {
  const std::string path = Paths::expandedHome(query);
  if (path.ends_with(".desktop") && DesktopEntry::read(path)) return path;
  if (path.find('/') != std::string::npos && Files::isExecutable(path)) return path;

  const std::string wantedID = withoutDesktopSuffix(path);
  for (const auto& dir : directories()) {
    std::string candidate = dir + "/" + wantedID + ".desktop";
    if (DesktopEntry::read(candidate)) return candidate;
  }
  const std::string wanted = Text::lowered(Text::withoutSoftHyphens(wantedID));
  std::optional<std::string> byName, byProgram;
  for (const auto& entry : installed()) {
    if (Text::lowered(entry.appID()) == wanted) return entry.path;
    if (!byName && Text::lowered(Text::withoutSoftHyphens(entry.name)) == wanted) byName = entry.path;
    if (!byProgram && fs::path(entry.exec.front()).filename() == path) byProgram = entry.path;
  }
  if (byName) return byName;
  if (byProgram) return byProgram;
  return onPath(path);
}

std::vector<std::string> commandLine(const DesktopEntry& entry, const std::optional<std::string>& open) {
  std::vector<std::string> words;
  bool placed = false;
  for (const auto& word : entry.exec) {
    if (word == "%u" || word == "%U" || word == "%f" || word == "%F") {
      if (open) words.push_back(*open);
      placed = true;
    } else if (word.size() == 2 && word[0] == '%') {
      continue;  // other field codes (%i, %c, %k) carry nothing we need
    } else {
      words.push_back(word);
    }
  }
  if (open && !placed) words.push_back(*open);
  return words;
}

}  // namespace DesktopEntries
