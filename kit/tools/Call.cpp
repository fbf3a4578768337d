#include <unistd.h>

#include "kit/input/KeyboardGuard.hpp"
#include "kit/input/SharedKeyWindow.hpp"
#include "kit/input/StackGuard.hpp"
#include "kit/perception/Apps.hpp"
#include "kit/tools/Catalogue.hpp"
#include "kit/common/ToolError.hpp"
#include "kit/tools/Tools.hpp"

namespace Tools {
namespace {

// The app an acting call targets, with what the guards need to give back afterwards.
struct Guarded {
  RunningApp app;
  std::unique_ptr<StackGuard> stackGuard;
  std::set<WindowNumber> windowsBefore;
};

std::optional<Guarded> guard(const std::string& name, const Arguments& arguments) {
  if (readOnlyTools().contains(name)) return std::nullopt;
  RunningApp app;
  try {
    app = Apps::find(arguments.string("app"));
  } catch (...) {
    return std::nullopt;  // the dispatcher reports it
  }
  if (app.pid == getpid()) return std::nullopt;
  Guarded guarded{app, std::make_unique<StackGuard>(app, Apps::frontmost(), StackGuard::normalWindows(), false), {}};
  for (const auto& window : Apps::windows(app, false)) guarded.windowsBefore.insert(window.id);
  return guarded;
}

void finish(const std::optional<Guarded>& guarded, AgentInput::Agent agent) {
  if (!guarded) return;
  SharedKeyWindow::shared().release(agent, guarded->app.pid);
  guarded->stackGuard->finish(StackGuard::Clock::now());
}

void appendState(ToolResult& result, const std::string& name, const Arguments& arguments, Engine& engine,
                 const Guarded& guarded, const std::function<bool()>& moreQueued) {
  if (auto note = KeyboardGuard::release(guarded.app, engine.session->id)) result.text += "\n" + *note;
  SharedKeyWindow::shared().release(engine.session->id, guarded.app.pid);
  if (moreQueued()) return;  // the agent's next call is already waiting; its state will do
  ToolResult state = engine.stateAfterAction(guarded.app, guarded.windowsBefore, mayNavigate(name, arguments));
  result = {result.text + "\n\n" + state.text, std::move(state.jpeg)};
}

}  // namespace

ToolResult call(const std::string& name, const Arguments& arguments, Engine& engine,
                const std::function<bool()>& moreQueued) {
  auto guarded = guard(name, arguments);
  ToolResult result;
  try {
    result = dispatch(name, arguments, engine);
  } catch (const std::exception& error) {
    std::optional<std::string> note;
    if (guarded) note = KeyboardGuard::release(guarded->app, engine.session->id);
    finish(guarded, engine.session->id);
    if (note) throw ToolError(std::string(error.what()) + "\n" + *note);
    throw;
  }
  if (!guarded) return result;
  try {
    appendState(result, name, arguments, engine, *guarded, moreQueued);
  } catch (...) {
    finish(guarded, engine.session->id);
    throw;
  }
  finish(guarded, engine.session->id);
  return result;
}

}  // namespace Tools
