#include "platform/x11/X11Display.hpp"

#include <X11/Xlib-xcb.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include "kit/common/Log.hpp"

namespace {

// Windows vanish between requests all the time; such errors are answers, not faults.
int ignoreError(Display*, XErrorEvent*) { return 0; }

int lostConnection(Display*) {
  Log::error(Log::desktop, "the connection to the X server was lost");
  return 0;
}

}  // namespace

std::shared_ptr<X11Display> X11Display::open() {
  static std::once_flag threads;
  std::call_once(threads, [] {
    XInitThreads();
    XSetErrorHandler(ignoreError);
    XSetIOErrorHandler(lostConnection);
  });
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return nullptr;
  return std::shared_ptr<X11Display>(new X11Display(display));
}

X11Display::X11Display(Display* display) : display_(display), root_(DefaultRootWindow(display)) {}

X11Display::~X11Display() { XCloseDisplay(display_); }

Atom X11Display::atom(const char* name) {
  auto found = atoms_.find(name);
  if (found != atoms_.end()) return found->second;
  Atom atom = XInternAtom(display_, name, False);
  atoms_.emplace(name, atom);
  return atom;
}

std::vector<unsigned long> X11Display::longs(::Window window, const char* property, Atom type) {
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  std::vector<unsigned long> items;
  if (XGetWindowProperty(display_, window, atom(property), 0, 4096, False, type, &actualType, &format, &count,
                         &remaining, &data) == Success &&
      data != nullptr) {
    // Xlib hands 32-bit items over as longs.
    if (format == 32) {
      auto* values = reinterpret_cast<unsigned long*>(data);
      items.assign(values, values + count);
    }
    XFree(data);
  }
  return items;
}

std::optional<unsigned long> X11Display::cardinal(::Window window, const char* property) {
  auto items = longs(window, property, XA_CARDINAL);
  if (items.empty()) return std::nullopt;
  return items.front();
}

std::string X11Display::textProperty(::Window window, Atom property) {
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  std::string text;
  if (XGetWindowProperty(display_, window, property, 0, 16384, False, AnyPropertyType, &actualType, &format, &count,
                         &remaining, &data) == Success &&
      data != nullptr) {
    if (format == 8) text.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
  }
  return text;
}

std::string X11Display::title(::Window window) {
  std::string name = textProperty(window, atom("_NET_WM_NAME"));
  return name.empty() ? textProperty(window, XA_WM_NAME) : name;
}

std::pair<std::string, std::string> X11Display::windowClass(::Window window) {
  std::string both = textProperty(window, XA_WM_CLASS);
  const size_t split = both.find('\0');
  if (split == std::string::npos) return {both, ""};
  std::string second = both.substr(split + 1);
  if (auto end = second.find('\0'); end != std::string::npos) second.resize(end);
  return {both.substr(0, split), second};
}

std::vector<X11Display::RootChild> X11Display::rootChildren() {
  std::vector<RootChild> found;
  xcb_connection_t* connection = XGetXCBConnection(display_);
  std::unique_ptr<xcb_query_tree_reply_t, decltype(&free)> tree(
      xcb_query_tree_reply(connection, xcb_query_tree(connection, xcb_window_t(root_)), nullptr), &free);
  if (!tree) return found;
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const int count = xcb_query_tree_children_length(tree.get());
  std::vector<xcb_get_window_attributes_cookie_t> asked;
  asked.reserve(size_t(count));
  for (int i = 0; i < count; ++i) asked.push_back(xcb_get_window_attributes(connection, children[i]));
  for (int i = 0; i < count; ++i) {
    std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&free)> attributes(
        xcb_get_window_attributes_reply(connection, asked[size_t(i)], nullptr), &free);
    if (!attributes) continue;  // gone meanwhile
    found.push_back({children[i], attributes->map_state == XCB_MAP_STATE_VIEWABLE, attributes->override_redirect != 0,
                     attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY});
  }
  return found;
}

std::vector<std::optional<::Window>> X11Display::topLevels(const std::vector<::Window>& windows) {
  xcb_connection_t* connection = XGetXCBConnection(display_);
  std::vector<std::optional<::Window>> frames(windows.size());
  std::vector<::Window> climbing = windows;  // each window's ancestor reached so far
  std::vector<size_t> open(windows.size());
  for (size_t i = 0; i < open.size(); ++i) open[i] = i;
  for (int depth = 0; depth < 16 && !open.empty(); ++depth) {
    std::vector<xcb_query_tree_cookie_t> asked;
    asked.reserve(open.size());
    for (size_t i : open) asked.push_back(xcb_query_tree(connection, xcb_window_t(climbing[i])));
    std::vector<size_t> next;
    for (size_t k = 0; k < open.size(); ++k) {
      std::unique_ptr<xcb_query_tree_reply_t, decltype(&free)> tree(
          xcb_query_tree_reply(connection, asked[k], nullptr), &free);
      if (!tree) continue;  // gone
      const size_t i = open[k];
      if (tree->parent == tree->root || tree->parent == 0) {
        frames[i] = climbing[i];
      } else {
        climbing[i] = tree->parent;
        next.push_back(i);
      }
    }
    open = std::move(next);
  }
  return frames;
}

std::optional<::Window> X11Display::topLevel(::Window window) {
  for (int depth = 0; depth < 16; ++depth) {
    ::Window rootReturn = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, window, &rootReturn, &parent, &children, &count)) return std::nullopt;
    if (children != nullptr) XFree(children);
    if (parent == rootReturn || parent == 0) return window;
    window = parent;
  }
  return std::nullopt;
}
