// Typing on the real desktop: characters per second of type_text at a person's pace, what
// a call costs beyond its designed waits, and how often the keymap is remapped per call
// for characters it lacks. Run inside scripts/desktop-session.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <regex>
#include <vector>

#include "bench/CountedDesktop.hpp"
#include "bench/WidgetFactory.hpp"
#include "kit/common/Text.hpp"
#include "kit/input/SharedKeyWindow.hpp"
#include "kit/tools/Engine.hpp"

namespace {

using Steady = std::chrono::steady_clock;
double since(Steady::time_point start) { return std::chrono::duration<double>(Steady::now() - start).count(); }

// A call of type_text: characters per second, and milliseconds beyond the waits.
struct Run {
  double perSecond = 0, overhead = 0;
  int remaps = 0;
  std::string reply;
};

Run typeOnce(Engine& engine, CountedDesktop& desktop, const std::string& text) {
  const double slept = desktop.clock_.slept;
  const int remaps = desktop.real()->spareKeys().remaps();
  const auto start = Steady::now();
  Run run;
  run.reply = engine.typeText(WidgetFactory::name, std::nullopt, text).text;
  const double total = since(start);
  SharedKeyWindow::shared().release(engine.session->id, engine.inputTarget(WidgetFactory::name, std::nullopt).app.pid);
  run.perSecond = double(Text::characterCount(text)) / total;
  run.overhead = (total - (desktop.clock_.slept - slept)) * 1000;
  run.remaps = desktop.real()->spareKeys().remaps() - remaps;
  return run;
}

}  // namespace

int main() {
  auto desktop = CountedDesktop::install();
  if (!desktop) return 1;
  auto session = std::make_shared<AgentSession>(1, "bench", std::nullopt);
  Engine engine(session, std::weak_ptr<CursorPresenter>());
  auto window = WidgetFactory::launch(engine);
  if (!window) return 1;
  std::smatch field;
  const std::string state = engine.getAppState(WidgetFactory::name, std::nullopt, false).text;
  if (!std::regex_search(state, field, std::regex(R"re(\[(\d+)\] text field)re"))) {
    std::fprintf(stderr, "no text field in the widget factory\n");
    return 1;
  }
  auto target = engine.inputTarget(WidgetFactory::name, std::nullopt);
  engine.performClick(target, std::stoll(field[1]), std::nullopt, std::nullopt, MouseButton::left, 1, std::nullopt, 0);

  const std::string ascii = "The quick brown fox jumps over the lazy dog, 42 times. ";
  const std::string mixed = "Grüße aus Köln: 12 € für Ω, ✓ und … ";
  for (const auto& [label, unit] : {std::pair{"ASCII", ascii}, std::pair{"keyless characters mixed in", mixed}}) {
    std::vector<Run> runs;
    for (int i = 0; i < 3; ++i) {
      engine.pressKey(WidgetFactory::name, std::nullopt, "ctrl+a BackSpace", 0);
      std::string text;
      while (Text::characterCount(text) < 200) text += unit;
      runs.push_back(typeOnce(engine, *desktop, Text::prefixCharacters(text, 200)));
    }
    std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.overhead < b.overhead; });
    const Run& median = runs[1];
    std::printf("type_text, 200 characters, %-28s %6.1f chars/s, %6.1f ms beyond its waits, %d remaps a call\n", label,
                median.perSecond, median.overhead, median.remaps);
    std::printf("  reply: %s\n", median.reply.substr(0, median.reply.find('\n')).c_str());
  }

  engine.pressKey(WidgetFactory::name, std::nullopt, "ctrl+a BackSpace", 0);
  std::string longText;
  while (Text::characterCount(longText) < 2000) longText += ascii;
  Run whole = typeOnce(engine, *desktop, Text::prefixCharacters(longText, 2000));
  std::printf("type_text, 2000 characters: %.1f chars/s, %.0f ms beyond its waits; reply: %s\n", whole.perSecond,
              whole.overhead, whole.reply.substr(0, whole.reply.find('\n')).c_str());

  SharedKeyWindow::shared().endSession(session->id);
  desktop->real()->workspace().requestQuit(window->pid);
  return 0;
}
