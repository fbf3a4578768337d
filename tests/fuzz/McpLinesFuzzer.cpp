// Feeds arbitrary bytes to an MCP connection as a client would and checks that
// every answer is a well-formed reply to a request that asked for one.
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "kit/common/Json.hpp"
#include "kit/common/Lines.hpp"
#include "kit/protocol/MCPConnection.hpp"

namespace {

// Whether the connection owes this line an answer.
bool expectsAnswer(const std::string& line) {
  auto parsed = JsonText::parse(line);
  if (!parsed || !parsed->is_object()) return false;
  if (auto hello = parsed->find("tarnwick"); hello != parsed->end() && hello->is_object()) return false;
  auto method = parsed->find("method");
  return method != parsed->end() && method->is_string() && parsed->contains("id");
}

size_t answersOwed(const std::string& input) {
  size_t owed = 0;
  size_t start = 0;
  for (size_t newline; (newline = input.find('\n', start)) != std::string::npos; start = newline + 1) {
    owed += expectsAnswer(input.substr(start, newline - start));
  }
  return owed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) return 0;

  std::thread client([&] {
    for (size_t offset = 0; offset < input.size();) {
      ssize_t written = send(ends[0], input.data() + offset, input.size() - offset, MSG_NOSIGNAL);
      if (written <= 0) break;
      offset += static_cast<size_t>(written);
    }
    shutdown(ends[0], SHUT_WR);
  });
  size_t answers = 0;
  std::thread reader([&] {
    LineReader replies(ends[0]);
    while (auto line = replies.next()) {
      auto answer = JsonText::parse(*line);
      if (!answer || !answer->is_object() || (*answer)["jsonrpc"] != "2.0" || !answer->contains("id")) abort();
      ++answers;
    }
  });
  MCPConnection(ends[1], 1, std::weak_ptr<CursorPresenter>()).run();
  client.join();
  reader.join();
  close(ends[0]);
  if (answers != answersOwed(input)) abort();
  return 0;
}
