// The first get_app_state of an app just started, by a fresh resident app through
// `tarnwick mcp`, and warm calls after it, beside a plain pyatspi walk plus an ImageMagick
// shot of the same window (bench/baseline_read.py). Subjects: gtk3-widget-factory,
// gtk4-widget-factory and a Chromium page of about a thousand elements.
// Runs inside scripts/desktop-session (needs imagemagick and python3-pyatspi).
#include <csignal>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "bench/Figures.hpp"
#include "kit/common/Json.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/TempDirectory.hpp"

namespace {

constexpr int runs = 10;
constexpr int warmCalls = 10;

struct Subject {
  std::string name;
  std::string executable;
  std::vector<std::string> arguments;
  std::string title;  // of its window once drawn
};

// A page of about a thousand elements: headings, paragraphs, links, buttons, fields.
std::string writeLargePage(const TempDirectory& folder) {
  const std::string path = folder.file("thousand.html");
  std::ofstream page(path);
  page << "<!doctype html><title>Thousand</title><body>";
  for (int section = 0; section < 40; ++section) {
    page << "<h2>Section " << section << "</h2><p>Paragraph of section " << section << " with some text.</p><ul>";
    for (int item = 0; item < 5; ++item)
      page << "<li><a href='#s" << section << "i" << item << "'>Link " << section << "." << item << "</a></li>";
    page << "</ul><button>Button " << section << "</button><label>Field " << section
         << " <input value='v" << section << "'></label><input type=checkbox aria-label='Check " << section
         << "'>";
  }
  page << "</body>";
  return path;
}

// The X window of the process whose title starts with the subject's, once it shows.
std::optional<std::string> windowOf(pid_t pid, const std::string& title) {
  for (int i = 0; i < 300; ++i) {
    const std::string found = run("xdotool search --onlyvisible --pid " + std::to_string(pid) + " --name '^" + title +
                                  "' 2>/dev/null | head -1");
    if (!found.empty()) return found;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return std::nullopt;
}

class Relay {
 public:
  explicit Relay(const TempDirectory& folder)
      : environment_{{"TARNWICK_SOCKET", folder.file("agent.sock")},
                     {"XDG_STATE_HOME", folder.file("state")},
                     {"TMPDIR", folder.path()}},
        resident_(tarnwickExecutable(), {"serve"}, environment_) {
    waitForSocket(folder.file("agent.sock"));
    relay_ = std::make_unique<ChildProcess>(tarnwickExecutable(), std::vector<std::string>{"mcp"}, environment_);
    call("initialize", {{"protocolVersion", "2025-06-18"},
                        {"capabilities", Json::object()},
                        {"clientInfo", {{"name", "bench"}, {"version", "1"}}}});
    relay_->writeLine(R"({"jsonrpc":"2.0","method":"notifications/initialized"})");
  }
  Json call(const std::string& method, const Json& params) {
    relay_->writeLine(Json{{"jsonrpc", "2.0"}, {"id", ++id_}, {"method", method}, {"params", params}}.dump());
    while (auto line = relay_->readLine(std::chrono::seconds(60))) {
      auto reply = Json::parse(*line, nullptr, false);
      if (reply.is_object() && reply.value("id", 0) == id_) return reply;
    }
    return Json();
  }
  // The call's time in milliseconds and the number of elements its text lists.
  std::pair<double, int> appState(pid_t pid) {
    const auto start = Figures::Steady::now();
    const Json reply = call("tools/call", {{"name", "get_app_state"}, {"arguments", {{"app", std::to_string(pid)}}}});
    const double time = Figures::millisecondsSince(start);
    int listed = 0;
    for (const auto& part : reply["result"].value("content", Json::array()))
      if (part.value("type", "") == "text") {
        const std::string text = part.value("text", "");
        static const std::regex line(R"(^\s*\[\d+\])", std::regex::multiline);
        listed = int(std::distance(std::sregex_iterator(text.begin(), text.end(), line), std::sregex_iterator()));
      }
    return {time, listed};
  }

 private:
  std::map<std::string, std::string> environment_;
  ChildProcess resident_;
  std::unique_ptr<ChildProcess> relay_;
  int id_ = 0;
};

void measure(const Subject& subject, const std::string& baselineScript) {
  std::vector<double> first, warm, baseline;
  int listed = 0, walked = 0;
  for (int i = 0; i < runs; ++i) {
    TempDirectory folder;
    std::map<std::string, std::string> appEnvironment{{"TMPDIR", folder.path()}, {"GSK_RENDERER", "cairo"}};
    ChildProcess app(subject.executable, subject.arguments, appEnvironment);
    const auto window = windowOf(app.pid(), subject.title);
    if (!window) {
      std::fprintf(stderr, "%s showed no window\n", subject.name.c_str());
      return;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));  // let it finish drawing and loading
    {
      Relay relay(folder);
      auto [time, count] = relay.appState(app.pid());
      first.push_back(time);
      listed = count;
      for (int call = 0; call < warmCalls; ++call) warm.push_back(relay.appState(app.pid()).first);
    }
    const std::string measured = run(baselineScript + " " + std::to_string(app.pid()) + " " + *window);
    double time = 0;
    if (std::sscanf(measured.c_str(), "%lf %d", &time, &walked) == 2) baseline.push_back(time);
    app.signal(SIGTERM);
    app.wait(std::chrono::seconds(10));
  }
  const double firstMedian = Figures::percentile(first, 0.5), warmMedian = Figures::percentile(warm, 0.5),
               baseMedian = Figures::percentile(baseline, 0.5);
  std::printf("%-22s first %7.1f ms  warm %6.1f ms  baseline %7.1f ms  first/baseline %.2f (aim 0.33)  "
              "warm/baseline %.2f (aim 0.10)  %d listed, %d walked by the baseline\n",
              subject.name.c_str(), firstMedian, warmMedian, baseMedian, firstMedian / baseMedian,
              warmMedian / baseMedian, listed, walked);
}

}  // namespace

int main() {
  if (run("command -v import").empty() || run("/usr/bin/python3 -c 'import pyatspi' 2>&1; echo $?") != "0") {
    std::fprintf(stderr, "needs ImageMagick's import and python3-pyatspi\n");
    return 1;
  }
  TempDirectory pages;
  const std::string page = "file://" + writeLargePage(pages);
  const std::string source = TARNWICK_SOURCE_DIR;
  const std::vector<Subject> subjects{
      {"gtk3-widget-factory", "/usr/bin/gtk3-widget-factory", {}, "Widget Factory"},
      {"gtk4-widget-factory", "/usr/bin/gtk4-widget-factory", {}, "Widget Factory"},
      {"chromium page", source + "/tests/x11/fixtures/chromium", {"--force-renderer-accessibility", page}, "Thousand"},
  };
  std::printf("median of %d runs; first: the first get_app_state through a fresh resident app; warm: %d calls after "
              "it\n",
              runs, warmCalls);
  for (const auto& subject : subjects) measure(subject, "/usr/bin/python3 " + source + "/bench/baseline_read.py");
}
