// Arbitrary TOML texts through the Codex config editor: no crash, and every text it
// returns still reads and holds exactly one Tarnwick server section.
#include <cstdlib>
#include <string>

#include "kit/setup/MergedConfig.hpp"
#include "kit/setup/TOMLLines.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  TOMLLines::read(text);
  std::optional<std::string> merged;
  try {
    merged = MergedConfig::codex(text, "/opt/tarnwick \"x\"/tarnwick");
  } catch (const MergedConfig::Unreadable&) {
    return 0;
  }
  const std::string& result = merged ? *merged : text;
  auto lines = TOMLLines::read(result);
  if (!lines) abort();
  int sections = 0;
  for (const auto& line : lines->lines) {
    if (line.header && *line.header == std::vector<std::string>{"mcp_servers", "tarnwick"}) ++sections;
  }
  if (sections != 1) abort();
  return 0;
}
