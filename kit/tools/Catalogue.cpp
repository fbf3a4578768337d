#include "kit/tools/Catalogue.hpp"

#include "kit/tools/Tool.hpp"

namespace Tools {
namespace {

Json entry(const Tool& tool) {
  Json properties = tool.properties.is_null() ? Json::object() : tool.properties;
  Json required = tool.required.is_null() ? Json::array() : tool.required;
  return Json{{"name", tool.name},
              {"description", tool.description},
              {"inputSchema", {{"type", "object"}, {"properties", std::move(properties)}, {"required", std::move(required)}}},
              {"annotations", {{"readOnlyHint", tool.access == ToolAccess::observes}}}};
}

std::set<std::string> namesWhere(bool (*keep)(ToolAccess)) {
  std::set<std::string> names;
  for (const auto& tool : all()) {
    if (keep(tool.access)) names.insert(tool.name);
  }
  return names;
}

}  // namespace

const std::set<std::string>& observingTools() {
  static const auto names = namesWhere([](ToolAccess access) { return access == ToolAccess::observes; });
  return names;
}

const std::set<std::string>& readOnlyTools() {
  static const auto names = namesWhere([](ToolAccess access) { return access != ToolAccess::acts; });
  return names;
}

const Json& definitions() {
  static const Json catalogue = [] {
    Json tools = Json::array();
    for (const auto& tool : all()) tools.push_back(entry(tool));
    return tools;
  }();
  return catalogue;
}

}  // namespace Tools
