#pragma once
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Newline-delimited messages over a socket or pipe.
namespace Lines {

// Writes the message and one newline as one buffer, repeating partial writes.
// False as soon as a write returns zero or less; never raises SIGPIPE on sockets.
bool write(int fd, std::string_view message);

}  // namespace Lines

// Reads newline-delimited lines from a descriptor it does not own.
class LineReader {
 public:
  static constexpr size_t readSize = 65536;
  // Longer lines are dropped whole so that no peer can exhaust memory.
  static constexpr size_t defaultMaxLine = 64u << 20;
  // What is kept of a dropped line, for its answer.
  static constexpr size_t beginningKept = 65536;
  // Told the beginning of each dropped line, in order with the lines returned.
  using OnOversized = std::function<void(std::string_view beginning)>;

  explicit LineReader(int fd, size_t maxLine = defaultMaxLine, OnOversized onOversized = {})
      : fd_(fd), maxLine_(maxLine), onOversized_(std::move(onOversized)) {}

  // The next non-empty line, blocking; none at end of input or on a read error.
  // Bytes after the last newline at that point are dropped.
  std::optional<std::string> next();

  // Whether another complete line is already waiting, without ever blocking: reads
  // what has arrived (zero-timeout poll, non-blocking receive) into the buffer.
  bool hasQueuedLine();

 private:
  bool bufferHasLine();
  void append(const char* bytes, size_t count);
  void deliverOversized();
  int fd_;
  size_t maxLine_;
  OnOversized onOversized_;
  std::string buffer_;
  size_t scanned_ = 0;       // bytes of buffer_ known to hold no newline
  bool discarding_ = false;  // inside an oversized line, dropping until its newline
  std::string discardedBeginning_;
  std::deque<std::string> oversized_;  // beginnings of dropped lines not yet told
};
