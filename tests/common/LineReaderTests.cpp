#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "kit/common/Lines.hpp"

namespace {

struct Pair {
  int ends[2];
  Pair() { socketpair(AF_UNIX, SOCK_STREAM, 0, ends); }
  ~Pair() {
    close(ends[0]);
    close(ends[1]);
  }
  void send(const std::string& bytes) { ASSERT_EQ(write(ends[0], bytes.data(), bytes.size()), ssize_t(bytes.size())); }
  void end() { shutdown(ends[0], SHUT_WR); }
};

}  // namespace

TEST(LineReader, DropsOversizedLinesWholeAndKeepsTheNext) {
  Pair pair;
  LineReader reader(pair.ends[1], 16);
  pair.send("short\n" + std::string(40, 'x'));
  EXPECT_EQ(reader.next(), "short");
  pair.send(std::string(40, 'y') + "\nafter\n");
  pair.end();
  EXPECT_EQ(reader.next(), "after");
  EXPECT_EQ(reader.next(), std::nullopt);
}

TEST(LineReader, QueuedLinesAreSeenWithoutBlockingAndStayInOrder) {
  Pair pair;
  LineReader reader(pair.ends[1]);
  EXPECT_FALSE(reader.hasQueuedLine());
  pair.send("one\ntw");
  EXPECT_EQ(reader.next(), "one");
  EXPECT_FALSE(reader.hasQueuedLine()) << "half a line is not a queued request";
  pair.send("o\nthree\n");
  EXPECT_TRUE(reader.hasQueuedLine());
  EXPECT_EQ(reader.next(), "two");
  EXPECT_EQ(reader.next(), "three");
  pair.end();
  EXPECT_FALSE(reader.hasQueuedLine());
}

TEST(Lines, WriteFailsOnAClosedPeerWithoutASignal) {
  Pair pair;
  close(pair.ends[1]);
  pair.ends[1] = -1;
  EXPECT_FALSE(Lines::write(pair.ends[0], "hello"));
}
