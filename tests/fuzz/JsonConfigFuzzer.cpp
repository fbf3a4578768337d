// Arbitrary texts through the JSON config editor: no crash, and every text it returns
// still reads, holds Tarnwick's entry, and differs from the original in nothing else.
#include <cstdlib>
#include <string>

#include "kit/setup/MergedConfig.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const Json entry{{"command", "/opt/tarn \"wick\"/tarnwick"}, {"args", {"mcp"}}};
  std::optional<std::string> merged;
  try {
    merged = MergedConfig::json(text, "mcpServers", "tarnwick", entry);
  } catch (const MergedConfig::Unreadable&) {
    return 0;
  }
  if (!merged) return 0;
  auto before = JsonText::parse(text);
  auto after = JsonText::parse(*merged);
  if (!after || !after->is_object()) abort();
  if ((*after)["mcpServers"]["tarnwick"] != entry) abort();
  Json expected = before && before->is_object() ? *before : Json::object();
  if (!expected.contains("mcpServers")) expected["mcpServers"] = Json::object();
  expected["mcpServers"]["tarnwick"] = entry;
  if (*after != expected) abort();
  return 0;
}
