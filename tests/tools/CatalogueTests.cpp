#include <gtest/gtest.h>

#include "kit/tools/Catalogue.hpp"

TEST(Catalogue, FourteenToolsInOrderAndOnlyTheObservingOnesReadOnly) {
  const Json& tools = Tools::definitions();
  std::vector<std::string> names;
  for (const auto& tool : tools) {
    names.push_back(tool["name"]);
    EXPECT_EQ(tool.size(), 4u) << tool["name"];
    EXPECT_EQ(tool["annotations"]["readOnlyHint"], names.back() == "list_apps" || names.back() == "get_app_state");
    EXPECT_EQ(tool["inputSchema"]["type"], "object");
    for (const auto& required : tool["inputSchema"]["required"]) {
      EXPECT_TRUE(tool["inputSchema"]["properties"].contains(required)) << names.back() << " " << required;
    }
  }
  EXPECT_EQ(names, (std::vector<std::string>{"list_apps", "launch_app", "get_app_state", "click", "hover", "drag",
                                              "scroll", "type_text", "press_key", "set_value", "select_text",
                                              "perform_secondary_action", "select_menu_item", "paste"}));
  EXPECT_EQ(tools[0]["inputSchema"]["properties"], Json::object());
  EXPECT_EQ(tools[0]["inputSchema"]["required"], Json::array());
}

TEST(Catalogue, ArgumentsWithoutDescriptionCarryNoDescriptionKey) {
  const std::vector<std::pair<std::string, std::string>> undescribed = {
      {"click", "mouse_button"},  {"drag", "mouse_button"},     {"scroll", "direction"},
      {"type_text", "text"},      {"press_key", "key"},         {"set_value", "value"},
      {"perform_secondary_action", "action"}, {"select_menu_item", "path"}, {"select_text", "selection_type"},
      {"select_text", "text"},    {"paste", "format"}};
  for (const auto& tool : Tools::definitions()) {
    for (const auto& [name, property] : tool["inputSchema"]["properties"].items()) {
      bool expectedBare = std::find(undescribed.begin(), undescribed.end(),
                                    std::make_pair(tool["name"].get<std::string>(), name)) != undescribed.end();
      EXPECT_EQ(property.contains("description"), !expectedBare) << tool["name"] << "." << name;
    }
  }
}

TEST(Catalogue, DragRequiresBothEndsAndDescribesItsPathAsPairs) {
  const Json& drag = Tools::definitions()[5];
  EXPECT_EQ(drag["inputSchema"]["required"], Json({"app", "from_x", "from_y", "to_x", "to_y"}));
  const Json& items = drag["inputSchema"]["properties"]["path"]["items"];
  EXPECT_EQ(items["minItems"], 2);
  EXPECT_EQ(items["maxItems"], 2);
  EXPECT_EQ(items["items"], Json({{"type", "number"}}));
  EXPECT_NE(Tools::definitions()[12]["description"].get<std::string>().find("e.g. \"File > Export\u2026\" or"),
            std::string::npos);
}
