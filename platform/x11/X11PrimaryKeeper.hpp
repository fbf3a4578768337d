#pragma once
#include <X11/Xlib.h>
#include <sys/types.h>

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "platform/x11/X11EventThread.hpp"

// Keeps what the user pastes with the middle button theirs. Selecting text makes an X app
// take PRIMARY, so an agent's select_text, Select All or double-click takes it from the
// user; yet taking it back at once would unselect the agent's text (GTK 3 entries and text
// views unselect when they lose PRIMARY, measured). So the keeper copies the user's PRIMARY
// text whenever one of the user's apps takes it, notes when an app an agent acts on takes
// it, and takes it back, serving the copy, the moment the user presses the middle button or
// Insert, before the app under their pointer asks for it.
//
// Lock order: lock_ alone; keyFocusProcess is called without it.
class X11PrimaryKeeper {
 public:
  // keyFocusProcess: the process the user's keyboard is in.
  explicit X11PrimaryKeeper(std::function<std::optional<pid_t>()> keyFocusProcess);
  ~X11PrimaryKeeper();
  X11PrimaryKeeper(const X11PrimaryKeeper&) = delete;
  X11PrimaryKeeper& operator=(const X11PrimaryKeeper&) = delete;

  // An agent acts on the app: what it does to PRIMARY in the next seconds is the agent's.
  // The first call starts the keeper (helpers that never act never watch).
  void agentActs(pid_t pid);
  void setAgentSources(std::set<int> devices);

 private:
  void start();
  int refetchWhenQuiet();  // the idle work: milliseconds until it is due, or -1
  void handle(XEvent& event);
  void ownerChanged(::Window owner);
  void userInput(int source, int type, int detail);
  void giveBack();
  void fetch();
  void fetched(const XSelectionEvent& event);
  void serve(const XSelectionRequestEvent& request);
  bool isAgents(pid_t pid);

  std::function<std::optional<pid_t>()> keyFocusProcess_;
  std::mutex lock_;  // guards the three members below
  std::map<pid_t, double> actedAt_;
  std::set<int> agentSources_;
  bool started_ = false;
  // The keeper's thread owns what follows once it runs.
  Display* display_ = nullptr;
  ::Window window_ = None;
  Atom primary_ = None, utf8_ = None, targets_ = None, text_ = None, property_ = None, incr_ = None;
  int fixesEvents_ = 0, inputOpcode_ = 0, insertKey_ = 0;
  std::optional<std::string> userText_;  // the user's PRIMARY text; none when they had none
  bool copyKnown_ = false;
  bool agentHolds_ = false;  // an agent's app holds PRIMARY in the user's stead
  pid_t ownerPid_ = 0;      // the owner's process; 0 for none or the keeper
  double lastUserInput_ = 0;
  double staleSince_ = 0;  // when the user's input last changed what their copy may hold
  X11EventThread events_;
};
