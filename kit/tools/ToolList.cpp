#include "kit/tools/ToolRecords.hpp"

namespace Tools {

const std::vector<Tool>& all() {
  static const std::vector<Tool> tools{
      ToolRecords::listApps(),   ToolRecords::launchApp(),   ToolRecords::getAppState(),
      ToolRecords::click(),      ToolRecords::hover(),       ToolRecords::drag(),
      ToolRecords::scroll(),     ToolRecords::typeText(),    ToolRecords::pressKey(),
      ToolRecords::setValue(),   ToolRecords::selectText(),  ToolRecords::performSecondaryAction(),
      ToolRecords::selectMenuItem(), ToolRecords::paste(),
  };
  return tools;
}

const Tool* named(std::string_view name) {
  for (const auto& tool : all()) {
    if (tool.name == name) return &tool;
  }
  return nullptr;
}

}  // namespace Tools
