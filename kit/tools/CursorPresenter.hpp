#pragma once

class AgentSession;

// How the engine shows an agent's cursor; the resident app's cursor overlay implements it.
class CursorPresenter {
 public:
  virtual ~CursorPresenter() = default;
  virtual void removeCursor(const AgentSession& session) = 0;
};
