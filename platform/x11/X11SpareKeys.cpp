#include "platform/x11/X11SpareKeys.hpp"

#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace {

// A mapping is never changed sooner than this after its key was used,
constexpr auto settle = std::chrono::milliseconds(60);
// and never used sooner than this after it was made.
constexpr auto firstUse = std::chrono::milliseconds(80);
// The root window's note of the codes out on loan: pairs of lending process and code.
constexpr const char* loansProperty = "_TARNWICK_LENT_KEYCODES";

}  // namespace

X11SpareKeys::X11SpareKeys(std::shared_ptr<X11Display> display) : display_(std::move(display)) {
  recoverAbandoned();
  std::lock_guard xlock(display_->lock());
  Display* d = display_->raw();
  int low = 0, high = 0, perCode = 0;
  XDisplayKeycodes(d, &low, &high);
  KeySym* symbols = XGetKeyboardMapping(d, static_cast<KeyCode>(low), high - low + 1, &perCode);
  if (symbols == nullptr) return;
  // From the top: the low codes are the ones real keyboards send.
  for (int code = high; code >= low; --code) {
    bool empty = true;
    for (int i = 0; i < perCode; ++i) empty &= symbols[(code - low) * perCode + i] == NoSymbol;
    if (empty) spare_.push_back(static_cast<uint32_t>(code));
  }
  XFree(symbols);
}

X11SpareKeys::~X11SpareKeys() {
  std::lock_guard guard(lock_);
  if (loans_.empty()) return;
  std::this_thread::sleep_for(settle);
  for (const auto& [code, loan] : loans_) map(code, NoSymbol);
  std::lock_guard xlock(display_->lock());
  XSync(display_->raw(), False);
}

void X11SpareKeys::map(uint32_t code, uint32_t keysym) {
  std::lock_guard xlock(display_->lock());
  // Both levels alike, so a held Shift never changes what the key types.
  KeySym symbols[2] = {keysym, keysym};
  // Noted before a code is mapped and forgotten after it is cleared, so that a process
  // killed at any moment leaves every code it mapped noted: the server carries out one
  // connection's requests in order, so one flush at the end keeps that order.
  auto noted = notedLoans();
  const std::pair<unsigned long, unsigned long> loan(static_cast<unsigned long>(getpid()), code);
  std::erase(noted, loan);
  if (keysym != NoSymbol) {
    noted.push_back(loan);
    noteLoans(noted);
  }
  XChangeKeyboardMapping(display_->raw(), static_cast<int>(code), 2, symbols, 1);
  if (keysym == NoSymbol) noteLoans(noted);
  XSync(display_->raw(), False);
  ++remaps_;
}

std::vector<std::pair<unsigned long, unsigned long>> X11SpareKeys::notedLoans() {
  const auto items = display_->longs(display_->root(), loansProperty, XA_CARDINAL);
  std::vector<std::pair<unsigned long, unsigned long>> loans;
  for (size_t i = 0; i + 1 < items.size(); i += 2) loans.emplace_back(items[i], items[i + 1]);
  return loans;
}

void X11SpareKeys::noteLoans(const std::vector<std::pair<unsigned long, unsigned long>>& loans) {
  const Atom property = display_->atom(loansProperty);
  if (loans.empty()) {
    XDeleteProperty(display_->raw(), display_->root(), property);
    return;
  }
  std::vector<long> items;
  for (const auto& [process, code] : loans) items.insert(items.end(), {long(process), long(code)});
  XChangeProperty(display_->raw(), display_->root(), property, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(items.data()), int(items.size()));
}

void X11SpareKeys::recoverAbandoned() {
  std::lock_guard xlock(display_->lock());
  auto noted = notedLoans();
  const auto gone = [](const auto& loan) { return kill(pid_t(loan.first), 0) != 0 && errno == ESRCH; };
  if (std::none_of(noted.begin(), noted.end(), gone)) return;
  for (const auto& loan : noted) {
    if (!gone(loan)) continue;
    KeySym none[2] = {NoSymbol, NoSymbol};
    XChangeKeyboardMapping(display_->raw(), int(loan.second), 2, none, 1);
  }
  std::erase_if(noted, gone);
  noteLoans(noted);
  XSync(display_->raw(), False);
}

std::optional<uint32_t> X11SpareKeys::lent(Agent agent, uint32_t keysym) {
  std::lock_guard guard(lock_);
  for (auto& [code, loan] : loans_) {
    if (loan.agent == agent && loan.keysym == keysym) {
      loan.used = std::chrono::steady_clock::now();
      return code;
    }
  }
  return std::nullopt;
}

std::optional<uint32_t> X11SpareKeys::lend(Agent agent, uint32_t keysym) {
  if (auto code = lent(agent, keysym)) return code;
  std::optional<uint32_t> chosen;
  {
    std::lock_guard guard(lock_);
    for (uint32_t code : spare_) {
      if (!loans_.contains(code)) {
        chosen = code;
        break;
      }
    }
    if (!chosen) {
      // Every code is out: take back this agent's least recently used one.
      for (const auto& [code, loan] : loans_) {
        if (loan.agent == agent && (!chosen || loan.used < loans_.at(*chosen).used)) chosen = code;
      }
      if (!chosen) return std::nullopt;
      std::this_thread::sleep_until(loans_.at(*chosen).used + settle);
    }
    map(*chosen, keysym);
    loans_[*chosen] = {agent, keysym, std::chrono::steady_clock::now()};
  }
  // Clients read the new mapping when its notice reaches them; a key sent sooner types
  // nothing in some (Chromium lost the first of them).
  std::this_thread::sleep_for(firstUse);
  return chosen;
}

void X11SpareKeys::giveBack(Agent agent) {
  std::lock_guard guard(lock_);
  std::chrono::steady_clock::time_point lastUse{};
  std::vector<uint32_t> codes;
  for (const auto& [code, loan] : loans_) {
    if (loan.agent != agent) continue;
    codes.push_back(code);
    lastUse = std::max(lastUse, loan.used);
  }
  if (codes.empty()) return;
  std::this_thread::sleep_until(lastUse + settle);
  for (uint32_t code : codes) {
    map(code, NoSymbol);
    loans_.erase(code);
  }
}

bool X11SpareKeys::isLent(uint32_t keyCode) {
  std::lock_guard guard(lock_);
  return loans_.contains(keyCode);
}

int X11SpareKeys::remaps() {
  std::lock_guard guard(lock_);
  return remaps_;
}
