#pragma once
#include <condition_variable>
#include <deque>
#include <mutex>

// A queue between threads: push never waits, pop waits for an item.
template <typename Item>
class BlockingQueue {
 public:
  void push(Item item) {
    {
      std::lock_guard guard(lock_);
      items_.push_back(std::move(item));
    }
    ready_.notify_one();
  }

  Item pop() {
    std::unique_lock guard(lock_);
    ready_.wait(guard, [this] { return !items_.empty(); });
    Item item = std::move(items_.front());
    items_.pop_front();
    return item;
  }

 private:
  std::mutex lock_;  // guards items_
  std::condition_variable ready_;
  std::deque<Item> items_;
};
