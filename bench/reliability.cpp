// Reliability under load: concurrent relays with calls in flight, the resident app
// killed mid-call, and a burst of browser sessions through the web bridge. Prints
// what was lost or crossed (aim: nothing) and the bridge's peak threads and descriptors.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "kit/bridge/WebBridge.hpp"
#include "kit/common/Lines.hpp"
#include "kit/protocol/AgentSocket.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/StandInRelayHost.hpp"
#include "tests/support/TempDirectory.hpp"

namespace {

constexpr int relays = 8;
constexpr int callsPerRelay = 2000;
constexpr int kills = 20;
constexpr size_t browserSessions = 600;

std::string call(long id, const char* method) {
  return "{\"jsonrpc\":\"2.0\",\"id\":" + std::to_string(id) + ",\"method\":\"" + method + "\"}";
}

long idOf(const std::string& line) {
  auto parsed = JsonText::parse(line);
  return parsed && parsed->is_object() && (*parsed)["id"].is_number_integer() ? (*parsed)["id"].get<long>() : -1;
}

// Every relay sends its calls in a burst and reads the answers: each id once, its own.
void concurrentRelays(const std::map<std::string, std::string>& environment) {
  std::atomic<long> lost{0}, crossed{0};
  std::vector<std::thread> clients;
  const auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < relays; ++r) {
    clients.emplace_back([&, r] {
      ChildProcess relay(tarnwickExecutable(), {"mcp"}, environment);
      std::set<long> owed;
      for (int i = 0; i < callsPerRelay; ++i) owed.insert(long(r) * 1000000 + i);
      // Answers are read while calls are still going out, as a client does.
      std::thread reader([&] {
        for (int i = 0; i < callsPerRelay; ++i) {
          auto line = relay.readLine(std::chrono::seconds(20));
          if (!line) break;
          if (owed.erase(idOf(*line)) == 0) ++crossed;
        }
      });
      for (int i = 0; i < callsPerRelay; ++i) relay.writeLine(call(long(r) * 1000000 + i, i % 2 ? "ping" : "tools/list"));
      reader.join();
      lost += static_cast<long>(owed.size());
    });
  }
  for (auto& client : clients) client.join();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%d relays x %d calls: %ld lost, %ld crossed, %.0f calls/s\n", relays, callsPerRelay, lost.load(),
              crossed.load(), relays * callsPerRelay / seconds);
}

// Calls stream while the app is killed now and then; the relay restarts it. Every
// call must be answered exactly once: by the app, or by the relay when the app died.
void killsMidCall(const std::map<std::string, std::string>& environment, const std::string& socket) {
  ChildProcess relay(tarnwickExecutable(), {"mcp"}, environment);
  // The relay must have its app before the first kill, or it gives up at the start.
  relay.writeLine(call(-2, "ping"));
  if (!relay.readLine()) return;
  std::map<long, int> answers;
  std::atomic<bool> sending{true};
  long sent = 0;
  std::thread killer([&] {
    std::mt19937 random(7);
    for (int k = 0; k < kills; ++k) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20 + random() % 60));
      if (auto owner = AgentSocket::owner(socket)) kill(*owner, SIGKILL);
    }
    sending = false;
  });
  std::atomic<size_t> answered{1};
  std::thread reader([&] {
    while (auto line = relay.readLine(std::chrono::seconds(20))) {
      ++answers[idOf(*line)];
      ++answered;
    }
  });
  for (; sending; ++sent) {
    relay.writeLine(call(sent, "tools/list"));
    if (sent % 50 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  killer.join();
  // The relay exits when its input ends, as a client's shutdown asks: wait for the
  // answers first, also those behind a relaunch of the app (10 s at most).
  for (size_t before = 0, waited = 0; waited < 150; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    size_t now = answered.load();
    if (now >= size_t(sent) + 1) break;
    if (now != before) waited = 0;
    before = now;
  }
  relay.closeInput();
  reader.join();
  long unanswered = 0, twice = 0;
  for (long id = 0; id < sent; ++id) {
    auto found = answers.find(id);
    if (found == answers.end()) ++unanswered;
    else if (found->second > 1) ++twice;
  }
  std::printf("%d kills of the app during %ld calls: %ld unanswered, %ld answered twice\n", kills, sent, unanswered,
              twice);
  if (auto owner = AgentSocket::owner(socket)) kill(*owner, SIGKILL);
}

size_t countIn(const char* folder) {
  std::error_code error;
  size_t count = 0;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) ++count;
  return count;
}

// A burst of browser sessions in one poll: all answered, threads and descriptors bounded.
void browserBurst(const std::map<std::string, std::string>& environment, const std::string& socket,
                  const std::string& folder) {
  ChildProcess app(tarnwickExecutable(), {"serve"}, environment);
  if (!waitForSocket(socket)) return;
  StandInRelayHost host;
  WebBridge::Options options;
  options.origin = host.origin();
  options.secretDirectory = folder + "/bridge";
  options.socketPath = socket;
  options.settings = SettingsFile(folder + "/settings.json");
  options.postOnMain = [](std::function<void()> work) { work(); };
  auto bridge = WebBridge::make(options);
  bridge->start();
  for (size_t i = 0; i < browserSessions; ++i) host.send("s" + std::to_string(i), Json::parse(call(long(i), "ping")));
  std::atomic<bool> done{false};
  size_t peakThreads = 0, peakDescriptors = 0;
  std::thread sampler([&] {
    while (!done) {
      peakThreads = std::max(peakThreads, countIn("/proc/self/task"));
      peakDescriptors = std::max(peakDescriptors, countIn("/proc/self/fd"));
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  auto replies = host.waitForReplies(browserSessions, std::chrono::seconds(60));
  done = true;
  sampler.join();
  size_t refused = 0;
  for (const auto& reply : replies) refused += reply["message"].contains("error");
  std::printf("%zu browser sessions at once: %zu answered (%zu refused beyond the limit of %zu), peak %zu threads "
              "and %zu descriptors in the bridge's process\n",
              browserSessions, replies.size(), refused, WebBridge::maxSessions, peakThreads, peakDescriptors);
  bridge->stop();
  app.signal(SIGTERM);
}

}  // namespace

int main() {
  signal(SIGPIPE, SIG_IGN);
  TempDirectory directory;
  const std::string socket = directory.file("agent.sock");
  const std::map<std::string, std::string> environment{{"TARNWICK_SOCKET", socket},
                                                       {"TARNWICK_PLATFORM", "sim"},
                                                       {"XDG_STATE_HOME", directory.file("state")},
                                                       {"XDG_CONFIG_HOME", directory.file("config")},
                                                       {"TARNWICK_LOG", ""}};
  {
    ChildProcess app(tarnwickExecutable(), {"serve"}, environment);
    if (!waitForSocket(socket)) return 1;
    concurrentRelays(environment);
    app.signal(SIGTERM);
    app.wait();
  }
  killsMidCall(environment, socket);
  browserBurst(environment, socket, directory.path());
  return 0;
}
