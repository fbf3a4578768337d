#pragma once
#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/x11/X11Display.hpp"

// Keycodes with no symbols in the user's keymap, lent to an agent to type a character
// the keymap lacks (or one Qt would read with the wrong modifiers). A lent code keeps
// its character for the rest of the agent's call and is given back at its end: every
// remap notifies every client, and a mapping restored within ~10 ms of its key loses the
// character. The user's keymap is as it was after every call. Codes out on loan are noted
// on the root window with the lending process, so that codes a killed process left mapped
// are cleared by the next process that opens the desktop.
//
// Lock order: the X11Input lock, then lock_, then the display's lock.
class X11SpareKeys {
 public:
  using Agent = int64_t;
  explicit X11SpareKeys(std::shared_ptr<X11Display> display);
  ~X11SpareKeys();

  // A keycode typing the keysym for the agent, remapped if need be; none when every
  // spare code is lent.
  std::optional<uint32_t> lend(Agent agent, uint32_t keysym);
  // The code already lent for the keysym, for its release.
  std::optional<uint32_t> lent(Agent agent, uint32_t keysym);
  // Gives back the agent's codes, restoring the user's keymap.
  void giveBack(Agent agent);
  bool isLent(uint32_t keyCode);
  // Remaps so far, for the benchmark.
  int remaps();

 private:
  struct Loan {
    Agent agent = 0;
    uint32_t keysym = 0;
    std::chrono::steady_clock::time_point used;
  };
  void map(uint32_t code, uint32_t keysym);
  // The (process, code) pairs noted on the root window; the display's lock held.
  std::vector<std::pair<unsigned long, unsigned long>> notedLoans();
  void noteLoans(const std::vector<std::pair<unsigned long, unsigned long>>& loans);
  // Clears the codes of processes that are gone; before the spare codes are counted.
  void recoverAbandoned();

  std::shared_ptr<X11Display> display_;
  std::mutex lock_;
  std::vector<uint32_t> spare_;
  std::map<uint32_t, Loan> loans_;
  int remaps_ = 0;
};
