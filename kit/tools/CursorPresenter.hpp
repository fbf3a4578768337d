#pragma once
#include "kit/input/PointerPath.hpp"
#include "kit/platform/WindowInfo.hpp"

class AgentSession;

// How the engine shows an agent's cursor; the resident app's cursor overlay implements it.
class CursorPresenter {
 public:
  virtual ~CursorPresenter() = default;
  // Plays the path from the start time (Clock seconds), drawn above the window.
  virtual void moveCursor(const AgentSession&, const PointerPath&, double /*startingAt*/, WindowNumber /*above*/) {}
  // The click pulse on the session's cursor, if it has one.
  virtual void pulseCursor(const AgentSession&) {}
  virtual void removeCursor(const AgentSession& session) = 0;
};
