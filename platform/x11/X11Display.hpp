#pragma once
#include <X11/Xlib.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// One connection to the X server, shared by the window server, capture and workspace.
// Xlib requests that belong together are made under lock(); it is the innermost lock
// of the X11 desktop (the accessibility lock may be held when taking it, never the
// other way round).
class X11Display {
 public:
  // None when no X server answers at $DISPLAY.
  static std::shared_ptr<X11Display> open();
  ~X11Display();
  X11Display(const X11Display&) = delete;
  X11Display& operator=(const X11Display&) = delete;

  Display* raw() const { return display_; }
  ::Window root() const { return root_; }
  std::mutex& lock() { return lock_; }

  // The remaining calls expect lock() to be held.
  Atom atom(const char* name);
  // 32-bit items of a property (CARDINAL, WINDOW, ATOM); empty when it is missing.
  std::vector<unsigned long> longs(::Window window, const char* property, Atom type);
  std::optional<unsigned long> cardinal(::Window window, const char* property);
  // _NET_WM_NAME, else WM_NAME.
  std::string title(::Window window);
  // WM_CLASS as (instance, class).
  std::pair<std::string, std::string> windowClass(::Window window);
  // A child of the root as the server stacks it.
  struct RootChild {
    ::Window window = 0;
    bool viewable = false;
    bool overrideRedirect = false;
    bool inputOnly = false;
  };
  // The root's children, back to front, their attributes asked for all at once: one
  // round trip each way however many windows there are.
  std::vector<RootChild> rootChildren();
  // The frame of each window, asked for all windows at once level by level.
  std::vector<std::optional<::Window>> topLevels(const std::vector<::Window>& windows);
  // The window's ancestor that is a child of the root (its frame), or none.
  std::optional<::Window> topLevel(::Window window);

 private:
  explicit X11Display(Display* display);
  std::string textProperty(::Window window, Atom property);

  Display* display_;
  ::Window root_;
  std::mutex lock_;
  std::unordered_map<std::string, Atom> atoms_;
};
