// WindowList.copy of a 200-window list through the window-list helper, and the direct call.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "kit/perception/WindowList.hpp"
#include "kit/platform/Desktop.hpp"
#include "platform/sim/SimDesktop.hpp"
#include "tests/support/ChildProcess.hpp"

namespace {

constexpr int calls = 2000;

template <typename Work>
void measure(const char* name, Work work) {
  for (int i = 0; i < 50; ++i) work();
  std::vector<double> micros;
  for (int i = 0; i < calls; ++i) {
    auto start = std::chrono::steady_clock::now();
    size_t count = work();
    micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    if (count < 200) {
      std::fprintf(stderr, "%s: only %zu windows\n", name, count);
      std::exit(1);
    }
  }
  std::sort(micros.begin(), micros.end());
  std::printf("%-16s median %8.1f us   p99 %8.1f us\n", name, micros[calls / 2], micros[calls * 99 / 100]);
}

}  // namespace

int main() {
  setenv("TARNWICK_PLATFORM", "sim", 1);
  setenv("TARNWICK_SIM_EXTRA_WINDOWS", "197", 1);  // with the demo's three: 200
  Platform::install(SimDesktop::demo());

  WindowListTransport helper(tarnwickExecutable(), {"window-list"});
  std::printf("WindowList.copy of 200 windows, %d calls each\n", calls);
  measure("through helper", [&] { return helper.copy(0, 0).value_or(Json::array()).size(); });
  WindowList::useHelper(nullptr);
  measure("direct", [] { return WindowList::copy(0).size(); });
}
