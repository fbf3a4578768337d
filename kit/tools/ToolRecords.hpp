#pragma once
#include "kit/tools/Tool.hpp"

// One record per tool, each built in the tool's own file.
namespace ToolRecords {

Tool listApps();
Tool launchApp();
Tool getAppState();
Tool click();
Tool hover();
Tool drag();
Tool scroll();
Tool typeText();
Tool pressKey();
Tool setValue();
Tool selectText();
Tool performSecondaryAction();
Tool selectMenuItem();
Tool paste();

}  // namespace ToolRecords
