#include "kit/common/Lines.hpp"

#include "kit/common/Files.hpp"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace Lines {

bool write(int fd, std::string_view message) {
  std::string buffer;
  buffer.reserve(message.size() + 1);
  buffer.append(message).push_back('\n');
  return Files::writeAll(fd, buffer.data(), buffer.size());
}

}  // namespace Lines

void LineReader::append(const char* bytes, size_t count) {
  buffer_.append(bytes, count);
  if (bufferHasLine()) return;
  if (buffer_.size() > maxLine_) {
    discardedBeginning_ = buffer_.substr(0, beginningKept);
    buffer_.clear();
    scanned_ = 0;
    discarding_ = true;
  }
}

bool LineReader::bufferHasLine() {
  size_t newline = buffer_.find('\n', scanned_);
  if (newline == std::string::npos) {
    scanned_ = buffer_.size();
    return false;
  }
  if (discarding_) {
    // The rest of an oversized line ends here; drop it and look again.
    oversized_.push_back(std::move(discardedBeginning_));
    buffer_.erase(0, newline + 1);
    scanned_ = 0;
    discarding_ = false;
    return bufferHasLine();
  }
  scanned_ = newline;
  return true;
}

std::optional<std::string> LineReader::next() {
  char area[readSize];
  for (;;) {
    while (bufferHasLine()) {
      deliverOversized();
      size_t newline = scanned_;
      std::string line = buffer_.substr(0, newline);
      buffer_.erase(0, newline + 1);
      scanned_ = 0;
      if (line.size() > maxLine_) oversized_.push_back(line.substr(0, beginningKept));
      else if (!line.empty()) return line;
    }
    deliverOversized();
    ssize_t count = read(fd_, area, sizeof area);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return std::nullopt;
    append(area, static_cast<size_t>(count));
  }
}

void LineReader::deliverOversized() {
  while (!oversized_.empty()) {
    const std::string beginning = std::move(oversized_.front());
    oversized_.pop_front();
    if (onOversized_) onOversized_(beginning);
  }
}

bool LineReader::hasQueuedLine() {
  char area[readSize];
  for (;;) {
    if (!oversized_.empty() || bufferHasLine()) return true;
    pollfd entry{fd_, POLLIN, 0};
    if (poll(&entry, 1, 0) <= 0 || (entry.revents & POLLIN) == 0) return false;
    ssize_t count = recv(fd_, area, sizeof area, MSG_DONTWAIT);
    if (count < 0 && errno == ENOTSOCK) count = 0;  // a pipe: nothing more without blocking
    if (count <= 0) return false;
    append(area, static_cast<size_t>(count));
  }
}
