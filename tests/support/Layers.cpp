#include "tests/support/Layers.hpp"

#include <map>
#include <optional>
#include <regex>
#include <sstream>

namespace Layers {
namespace {

// Higher ranks build on lower ones; folders of one rank stay out of each other.
const std::map<std::string, int> ranks{
    {"kit/common", 0},   {"kit/platform", 1}, {"kit/perception", 2}, {"kit/input", 3},
    {"kit/actions", 3},  {"kit/backstage", 3}, {"kit/tools", 4},      {"kit/protocol", 5},
    {"kit/bridge", 6},   {"kit/setup", 6},     {"app", 7},
};

// The folder that names a file's layer: "kit/x", "platform/x" or "app".
std::optional<std::string> folderOf(const std::string& path) {
  const auto first = path.find('/');
  if (first == std::string::npos) return std::nullopt;
  const std::string top = path.substr(0, first);
  if (top == "app") return top;
  if (top != "kit" && top != "platform") return std::nullopt;
  const auto second = path.find('/', first + 1);
  if (second == std::string::npos) return std::nullopt;
  return path.substr(0, second);
}

bool mayInclude(const std::string& from, const std::string& to) {
  if (from == to || from == "app") return true;
  if (from.starts_with("platform/")) return to == "kit/common" || to == "kit/platform";
  if (to.starts_with("platform/")) return false;
  auto fromRank = ranks.find(from), toRank = ranks.find(to);
  if (fromRank == ranks.end() || toRank == ranks.end()) return false;
  return toRank->second < fromRank->second;
}

}  // namespace

std::vector<std::string> violations(const std::string& path, const std::string& text) {
  std::vector<std::string> found;
  const auto from = folderOf(path);
  if (!from) return found;  // tests and benchmarks may use every layer
  static const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::smatch match;
    if (!std::regex_search(line, match, include)) continue;
    const std::string header = match[1];
    const auto to = folderOf(header);
    if (to && !mayInclude(*from, *to)) found.push_back(path + " -> " + header);
  }
  return found;
}

}  // namespace Layers
