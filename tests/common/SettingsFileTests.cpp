#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "kit/common/Files.hpp"
#include "kit/common/SettingsFile.hpp"
#include "kit/common/ToolError.hpp"
#include "tests/support/TempDirectory.hpp"

TEST(Settings, ASettingIsStoredBesideTheOthersAndAnUnreadableFileIsNeverWritten) {
  TempDirectory home;
  SettingsFile settings(home.file("settings.json"));
  EXPECT_EQ(settings.read(), Json::object()) << "no file yet: no settings";
  settings.set("WebBridgeEnabled", true);
  std::ofstream(home.file("settings.json")) << R"({"RelayServiceURL": "https://r.example", "Other": 12345678901234567890123})";
  settings.set("WebBridgeEnabled", false);
  EXPECT_EQ(settings.boolValue("WebBridgeEnabled"), false);
  EXPECT_EQ(settings.stringValue("RelayServiceURL"), "https://r.example");

  for (const std::string text : {"[1, 2]", "{\"WebBridgeEnabled\": tru"}) {
    std::ofstream(home.file("settings.json")) << text;
    EXPECT_EQ(settings.read(), std::nullopt);
    EXPECT_THROW(settings.set("WebBridgeEnabled", true), ToolError);
    EXPECT_EQ(Files::read(home.file("settings.json")), text);
  }
  // A path that exists but cannot be read as a file, even by root.
  std::filesystem::remove(home.file("settings.json"));
  std::filesystem::create_directory(home.file("settings.json"));
  EXPECT_EQ(settings.read(), std::nullopt);
  try {
    settings.set("WebBridgeEnabled", true);
    FAIL();
  } catch (const ToolError& error) {
    EXPECT_EQ(error.description, "The settings file " + home.file("settings.json") +
                                     " cannot be read or is not a JSON object; fix or remove it.");
  }
  EXPECT_TRUE(std::filesystem::is_directory(home.file("settings.json")));
}

TEST(Settings, KeysAreStoredBesideOthersAndAFileThatIsNoObjectIsLeftAlone) {
  TempDirectory directory;
  SettingsFile settings(directory.file("config/settings.json"));
  EXPECT_FALSE(settings.boolValue("WebBridgeEnabled"));
  settings.set("WebBridgeEnabled", true);
  EXPECT_EQ(settings.boolValue("WebBridgeEnabled"), true);

  ASSERT_TRUE(Files::writeAtomically(settings.path(), R"({"Other": [1], "WebBridgeEnabled": "yes"})", 0600));
  EXPECT_FALSE(settings.boolValue("WebBridgeEnabled")) << "a value of another type reads as absent";
  settings.set("WebBridgeEnabled", false);
  EXPECT_EQ(Json::parse(*Files::read(settings.path())), Json::parse(R"({"Other": [1], "WebBridgeEnabled": false})"));

  ASSERT_TRUE(Files::writeAtomically(settings.path(), "{broken", 0600));
  EXPECT_THROW(settings.set("WebBridgeEnabled", true), ToolError);
  EXPECT_EQ(*Files::read(settings.path()), "{broken");
}
