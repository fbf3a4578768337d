#include "kit/setup/MergedConfig.hpp"

#include <cstdio>

#include "kit/common/Text.hpp"
#include "kit/setup/JsonEdit.hpp"
#include "kit/common/JsonOutline.hpp"
#include "kit/setup/TOMLLines.hpp"

namespace MergedConfig {
namespace {

bool isServerTable(const std::vector<std::string>& path) {
  return path.size() >= 2 && path[0] == "mcp_servers" && path[1] == "tarnwick";
}

}  // namespace

std::optional<std::string> json(const std::optional<std::string>& data, const std::string& container,
                                const std::string& name, const Json& entry) {
  const Json servers{{name, entry}};
  if (!data || Text::trimmed(*data).empty()) return JsonText::pretty(Json{{container, servers}}) + "\n";
  auto document = JsonText::parse(*data);
  auto outline = JsonOutline::read(*data);
  if (!document || !document->is_object() || !outline) throw Unreadable();
  auto found = document->find(container);
  if (found != document->end() && !found->is_object()) throw Unreadable();
  if (found != document->end() && found->contains(name) && (*found)[name] == entry) return std::nullopt;

  JsonEdit edit(*data);
  const JsonOutline::Member* held = outline->top.member(container);
  if (!held) {
    edit.addMember(outline->top, container, servers);
  } else if (const JsonOutline::Member* current = held->object.front().member(name)) {
    edit.replaceValue(*current, entry);
  } else {
    edit.addMember(held->object.front(), name, entry);
  }
  return edit.text();
}

std::string tomlQuoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    switch (c) {
      case '\\': quoted += "\\\\"; break;
      case '"': quoted += "\\\""; break;
      case '\t': quoted += "\\t"; break;
      case '\n': quoted += "\\n"; break;
      case '\r': quoted += "\\r"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(static_cast<unsigned char>(c)));
          quoted += escape;
        } else {
          quoted += c;
        }
    }
  }
  return quoted + "\"";
}

std::optional<std::string> codex(const std::optional<std::string>& data, const std::string& executable) {
  const std::string text = data.value_or("");
  if (!Text::isValidUTF8(text)) throw Unreadable();
  const std::string ending = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  const std::string section = "[mcp_servers.tarnwick]" + ending + "command = " + tomlQuoted(executable) + ending +
                              "args = [\"mcp\"]" + ending;
  auto parsed = TOMLLines::read(text);
  if (!parsed) throw Unreadable();
  for (const auto& line : parsed->lines) {
    if (!line.key) continue;
    bool rootServers = line.table.empty() && line.key->front() == "mcp_servers";
    bool inlineServer = line.table == std::vector<std::string>{"mcp_servers"} && line.key->front() == "tarnwick";
    if (rootServers || inlineServer) throw Unreadable();
  }

  std::string result;
  std::string held;  // blank and comment lines inside a removed block, kept if the block ends
  bool written = false, inBlock = false;
  for (const auto& line : parsed->lines) {
    if (line.header && isServerTable(*line.header)) {
      if (!written) result += section;
      written = inBlock = true;
      held.clear();
      continue;
    }
    if (inBlock) {
      if (line.header) {
        result += held + line.text;
        held.clear();
        inBlock = false;
      } else if (line.isBlankOrComment) {
        held += line.text;
      } else {
        held.clear();
      }
      continue;
    }
    result += line.text;
  }
  result += held;
  if (!written) {
    if (!result.empty()) {
      if (!result.ends_with(ending)) result += ending;
      if (!result.ends_with(ending + ending)) result += ending;
    }
    result += section;
  }
  if (result == text) return std::nullopt;
  return result;
}

}  // namespace MergedConfig
