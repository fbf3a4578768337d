#include "platform/x11/X11PrimaryKeeper.hpp"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xfixes.h>
#include <X11/keysym.h>
#include <poll.h>

#include <chrono>

#include "platform/x11/X11ClientPid.hpp"

namespace {

constexpr double agentActWindow = 3.0;  // seconds after an act during which a take is the agent's
constexpr int fetchTimeoutMs = 500;
constexpr int middleButton = 2;
// The user's selection grows while they drag or press keys without a new take: their copy
// is read again once their input has paused this long.
constexpr double refetchAfterQuiet = 0.15;

double monotonic() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

X11PrimaryKeeper::X11PrimaryKeeper(std::function<std::optional<pid_t>()> keyFocusProcess)
    : keyFocusProcess_(std::move(keyFocusProcess)) {}

X11PrimaryKeeper::~X11PrimaryKeeper() {
  events_.stop();
  if (display_ != nullptr) XCloseDisplay(display_);
}

void X11PrimaryKeeper::agentActs(pid_t pid) {
  std::lock_guard guard(lock_);
  actedAt_[pid] = monotonic();
  if (started_) return;
  started_ = true;  // tried once: without XFixes or XInput the user's PRIMARY is not kept
  start();
}

void X11PrimaryKeeper::setAgentSources(std::set<int> devices) {
  std::lock_guard guard(lock_);
  agentSources_ = std::move(devices);
}

void X11PrimaryKeeper::start() {
  display_ = XOpenDisplay(nullptr);
  int event = 0, error = 0;
  if (display_ == nullptr || !XFixesQueryExtension(display_, &fixesEvents_, &error) ||
      !XQueryExtension(display_, "XInputExtension", &inputOpcode_, &event, &error))
    return;
  const ::Window root = DefaultRootWindow(display_);
  window_ = XCreateWindow(display_, root, -10, -10, 1, 1, 0, 0, InputOnly, CopyFromParent, 0, nullptr);
  primary_ = XA_PRIMARY;
  utf8_ = XInternAtom(display_, "UTF8_STRING", False);
  targets_ = XInternAtom(display_, "TARGETS", False);
  text_ = XInternAtom(display_, "TEXT", False);
  incr_ = XInternAtom(display_, "INCR", False);
  property_ = XInternAtom(display_, "TARNWICK_PRIMARY", False);
  insertKey_ = XKeysymToKeycode(display_, XK_Insert);
  XFixesSelectSelectionInput(display_, root, primary_, XFixesSetSelectionOwnerNotifyMask);
  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(bits, XI_RawKeyPress);
  XISetMask(bits, XI_RawButtonPress);
  XISetMask(bits, XI_RawButtonRelease);
  XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
  XISelectEvents(display_, root, &mask, 1);
  // The user's PRIMARY as it is before the first act.
  const ::Window owner = XGetSelectionOwner(display_, primary_);
  ownerPid_ = owner == None ? 0 : clientPidOf(display_, owner);
  if (owner == None) {
    copyKnown_ = true;
  } else {
    fetch();
    pollfd ready{ConnectionNumber(display_), POLLIN, 0};
    const double deadline = monotonic() + fetchTimeoutMs / 1000.0;
    XEvent answer{};
    while (!XCheckTypedWindowEvent(display_, window_, SelectionNotify, &answer)) {
      if (monotonic() > deadline) break;
      poll(&ready, 1, 20);
    }
    if (answer.type == SelectionNotify) fetched(answer.xselection);
  }
  events_.start(display_, [this](XEvent& event) { handle(event); }, [this] { return refetchWhenQuiet(); });
}

int X11PrimaryKeeper::refetchWhenQuiet() {
  if (staleSince_ == 0) return -1;
  const double quiet = monotonic() - staleSince_;
  if (quiet < refetchAfterQuiet) return int((refetchAfterQuiet - quiet) * 1000) + 1;
  staleSince_ = 0;
  fetch();
  return 0;
}

void X11PrimaryKeeper::handle(XEvent& event) {
  if (event.type == fixesEvents_ + XFixesSelectionNotify) {
    const auto& notice = reinterpret_cast<const XFixesSelectionNotifyEvent&>(event);
    if (notice.selection == primary_) ownerChanged(notice.owner);
  } else if (event.type == SelectionNotify && event.xselection.requestor == window_) {
    fetched(event.xselection);
  } else if (event.type == SelectionRequest) {
    serve(event.xselectionrequest);
  } else if (event.type == GenericEvent && event.xcookie.extension == inputOpcode_ &&
             XGetEventData(display_, &event.xcookie)) {
    const auto* raw = static_cast<const XIRawEvent*>(event.xcookie.data);
    userInput(raw->sourceid, event.xcookie.evtype, raw->detail);
    XFreeEventData(display_, &event.xcookie);
  }
}

void X11PrimaryKeeper::ownerChanged(::Window owner) {
  if (owner == window_) return;
  const pid_t pid = owner == None ? 0 : clientPidOf(display_, owner);
  const pid_t before = ownerPid_;
  ownerPid_ = pid;
  if (owner != None && isAgents(pid)) {
    agentHolds_ = true;  // given back at the user's next paste, so the agent's text stays selected
    staleSince_ = 0;
    return;
  }
  // Let go by an app whose text was unselected: nothing is selected that taking it back
  // could unselect.
  if (owner == None && (agentHolds_ || isAgents(before))) {
    giveBack();
    return;
  }
  agentHolds_ = false;
  copyKnown_ = owner == None;
  userText_.reset();
  if (owner != None) fetch();
}

void X11PrimaryKeeper::userInput(int source, int type, int detail) {
  {
    std::lock_guard guard(lock_);
    if (agentSources_.contains(source)) return;
  }
  lastUserInput_ = monotonic();
  if (!agentHolds_ && ownerPid_ != 0) staleSince_ = lastUserInput_;
  const bool pastes = (type == XI_RawButtonPress && detail == middleButton) ||
                      (type == XI_RawKeyPress && detail == insertKey_);
  if (pastes && agentHolds_) giveBack();
}

void X11PrimaryKeeper::giveBack() {
  agentHolds_ = false;
  if (!copyKnown_) return;
  XSetSelectionOwner(display_, primary_, userText_ ? window_ : None, CurrentTime);
  XFlush(display_);
  ownerPid_ = 0;
}

void X11PrimaryKeeper::fetch() {
  XConvertSelection(display_, primary_, utf8_, property_, window_, CurrentTime);
  XFlush(display_);
}

void X11PrimaryKeeper::fetched(const XSelectionEvent& event) {
  if (agentHolds_) return;  // answered by the agent's app, which took PRIMARY meanwhile
  // An owner that has no text to give holds nothing to paste; a refused re-read keeps the copy.
  if (event.property == None) {
    copyKnown_ = true;
    return;
  }
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display_, window_, property_, 0, 1 << 22, True, AnyPropertyType, &type, &format, &count,
                         &after, &data) != Success)
    return;
  // An incremental transfer (a very large selection) is not kept.
  if (type != incr_ && format == 8) {
    userText_ = std::string(reinterpret_cast<const char*>(data), count);
    copyKnown_ = true;
  }
  if (data != nullptr) XFree(data);
}

void X11PrimaryKeeper::serve(const XSelectionRequestEvent& request) {
  XSelectionEvent answer{};
  answer.type = SelectionNotify;
  answer.requestor = request.requestor;
  answer.selection = request.selection;
  answer.target = request.target;
  answer.time = request.time;
  answer.property = None;
  const Atom property = request.property == None ? request.target : request.property;
  if (request.selection == primary_ && userText_) {
    if (request.target == targets_) {
      const Atom offered[] = {targets_, utf8_, XA_STRING, text_};
      XChangeProperty(display_, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(offered), 4);
      answer.property = property;
    } else if (request.target == utf8_ || request.target == XA_STRING || request.target == text_) {
      XChangeProperty(display_, request.requestor, property, request.target == text_ ? utf8_ : request.target, 8,
                      PropModeReplace, reinterpret_cast<const unsigned char*>(userText_->data()),
                      int(userText_->size()));
      answer.property = property;
    }
  }
  XSendEvent(display_, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&answer));
  XFlush(display_);
}

bool X11PrimaryKeeper::isAgents(pid_t pid) {
  if (pid == 0) return false;
  double actedAt = 0;
  {
    std::lock_guard guard(lock_);
    auto acted = actedAt_.find(pid);
    if (acted == actedAt_.end() || monotonic() - acted->second > agentActWindow) return false;
    actedAt = acted->second;
  }
  // The user typing or clicking in the app since the act took it themselves.
  return !(lastUserInput_ > actedAt && keyFocusProcess_() == pid);
}
