#include <gtest/gtest.h>

#include <thread>

#include "kit/perception/AX.hpp"
#include "kit/perception/Apps.hpp"
#include "tests/support/SimScene.hpp"

TEST(SimulatedActions, AnEffectMayChangeTheSceneAndReadItWhileOtherThreadsRead) {
  SimScene scene;
  pid_t app = scene->addApp({.name = "Editor"});
  WindowNumber window = scene->addWindow(app, {.title = "Doc"});
  auto button = scene->addElement(scene->windowNode(window), "AXButton", {{"AXTitle", std::string("Open")}});
  scene->onAction(button, "AXPress", [&] {
    // An effect reads and changes the scene, as an app does when pressed.
    auto title = AX::attribute<std::string>(scene->element(button), "AXTitle");
    scene->setValue(button, "AXTitle", std::string("Opened from " + title.value_or("?")));
    scene->addWindow(app, {.title = "Dialog", .frame = {{200, 200}, {300, 200}}});
  });

  std::thread reader([&] {
    for (int i = 0; i < 200; ++i) Apps::windows(scene.app(app), false);
  });
  EXPECT_EQ(AX::perform(scene->element(button), "AXPress"), AXError::success);
  reader.join();
  EXPECT_EQ(AX::attribute<std::string>(scene->element(button), "AXTitle"), "Opened from Open");
  EXPECT_EQ(Apps::windows(scene.app(app), false).size(), 2u);
}

TEST(SimulatedKeyboard, EveryPrintableCharacterHasOneKeyThatTypesIt) {
  SimScene scene;
  KeyboardLayouts& layouts = *scene->keyboardLayouts();
  EXPECT_EQ(layouts.currentLayout(), "English (US)");
  for (char32_t character = 0x20; character < 0x7f; ++character) {
    auto stroke = layouts.keyFor(character);
    ASSERT_TRUE(stroke) << int(character);
    EXPECT_EQ(layouts.characters(*stroke), std::string(1, char(character)));
  }
  EXPECT_EQ(layouts.keyFor(U'\u00e9'), std::nullopt);
  EXPECT_EQ(layouts.keyFor(U'A')->modifiers, KeyModifier::shift);
  EXPECT_EQ(layouts.characters({layouts.keyFor(U'a')->keyCode, KeyModifier::command}), "");
}
