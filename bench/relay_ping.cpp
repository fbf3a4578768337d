// Ping round trips through `tarnwick mcp` and the agent socket, and straight on the
// socket, so that the relay's own cost shows as a ratio.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "kit/protocol/AgentSocket.hpp"
#include "kit/common/Lines.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/TempDirectory.hpp"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int calls = 10000;
const std::string ping = R"({"jsonrpc":"2.0","id":1,"method":"ping"})";

struct Figures {
  double median, p99, perSecond;
};

template <typename RoundTrip>
Figures measure(RoundTrip roundTrip) {
  for (int i = 0; i < 200; ++i) roundTrip();  // warm up
  std::vector<double> micros;
  micros.reserve(calls);
  auto begin = Clock::now();
  for (int i = 0; i < calls; ++i) {
    auto start = Clock::now();
    if (!roundTrip()) {
      std::fprintf(stderr, "round trip failed\n");
      std::exit(1);
    }
    micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
  std::sort(micros.begin(), micros.end());
  return {micros[calls / 2], micros[calls * 99 / 100], calls / seconds};
}

void print(const char* name, const Figures& f) {
  std::printf("%-22s median %7.1f us   p99 %7.1f us   %8.0f calls/s\n", name, f.median, f.p99, f.perSecond);
}

}  // namespace

int main() {
  TempDirectory directory;
  const std::string socket = directory.file("agent.sock");
  std::map<std::string, std::string> environment{{"TARNWICK_SOCKET", socket}, {"TARNWICK_LOG", ""}};
  ChildProcess app(tarnwickExecutable(), {"serve"}, environment);
  if (!waitForSocket(socket)) return 1;

  ChildProcess relay(tarnwickExecutable(), {"mcp"}, environment);
  // Both clients read the same way, so the figures differ only by the relay.
  LineReader relayReplies(relay.outputDescriptor());
  Figures relayed = measure([&] { return relay.writeLine(ping) && relayReplies.next().has_value(); });

  auto direct = AgentSocket::connect(socket);
  if (!direct) return 1;
  LineReader replies(*direct);
  Figures straight = measure([&] { return Lines::write(*direct, ping) && replies.next().has_value(); });
  close(*direct);

  std::printf("ping round trips, %d calls each\n", calls);
  print("through tarnwick mcp", relayed);
  print("straight on socket", straight);
  std::printf("relay cost: %.2fx the direct median (aim: relay median under 150 us, cost under 2x)\n",
              relayed.median / straight.median);
  app.signal(SIGTERM);
  return 0;
}
