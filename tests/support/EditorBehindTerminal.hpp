#pragma once
#include "tests/support/SimScene.hpp"

// The user at work in their terminal, in front; the agent's editor window behind it.
struct EditorBehindTerminal {
  SimScene scene;
  pid_t terminal = scene->addApp({.name = "Terminal"});
  pid_t editor = scene->addApp({.name = "Editor"});
  WindowNumber terminalWindow = scene->addWindow(terminal, {.title = "shell", .frame = {{900, 0}, {500, 400}}});
  WindowNumber editorWindow = scene->addWindow(editor, {.title = "Doc", .frame = {{100, 100}, {700, 500}}});

  EditorBehindTerminal() {
    scene->setFront(terminal);
    scene->moveToFront(terminalWindow);
  }
};
