#pragma once
#include "kit/tools/CursorPresenter.hpp"

// One floating cursor per agent. No cursor is drawn yet, so there is none to remove.
class CursorOverlay : public CursorPresenter {
 public:
  void removeCursor(const AgentSession&) override {}
};
