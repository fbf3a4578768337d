#pragma once
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "kit/platform/WindowInfo.hpp"
#include "kit/platform/AXTypes.hpp"

// Reading and acting on the accessibility elements of any app.
class Accessibility {
 public:
  virtual ~Accessibility() = default;

  virtual AXElement application(pid_t pid) = 0;
  // The status and, on success, the value.
  virtual std::pair<AXStatus, AXValue> copyAttribute(const AXElement& element, const std::string& name) = 0;
  // One value per name, in order; none for a null placeholder or a value that carries an
  // error. None as a whole when the call failed.
  virtual std::optional<std::vector<std::optional<AXValue>>> copyAttributes(const AXElement& element,
                                                                           const std::vector<std::string>& names) = 0;
  // A read that takes a parameter: "AXRangeForPosition" (a screen Point: the range of the
  // character there), "AXBoundsForRange" (a TextRange: its screen rectangle, the caret's
  // place for an empty range) and "AXStyleForRange" (a TextRange: its text attributes as
  // one text, no value where they vary within it).
  virtual std::pair<AXStatus, AXValue> copyParameterizedAttribute(const AXElement&, const std::string&, const AXValue&) {
    return {AXError::attributeUnsupported, {}};
  }
  // Settable or not, or none when the query failed.
  virtual std::optional<bool> isSettable(const AXElement& element, const std::string& name) = 0;
  virtual AXStatus setAttribute(const AXElement& element, const std::string& name, const AXValue& value) = 0;
  virtual std::optional<std::vector<std::string>> actionNames(const AXElement& element) = 0;
  virtual AXStatus perform(const AXElement& element, const std::string& action) = 0;
  // The deepest element of the app at the screen point, or none.
  virtual std::optional<AXElement> elementAt(pid_t pid, Point point) = 0;
  // The window server's number for a window element, or none.
  virtual std::optional<WindowNumber> windowNumber(const AXElement& element) = 0;
  // An element addressed by a remote token (pid, marker, element id); platforms without
  // such tokens return none, and windows on other Spaces stay out of reach.
  virtual std::optional<AXElement> elementFromRemoteToken(const std::array<uint8_t, 20>&) { return std::nullopt; }
  // Whether elementFromRemoteToken can ever find anything; searches skip it otherwise.
  virtual bool hasRemoteTokens() const { return false; }
  // The first shown web area (page) under the element, by the app's own search in one
  // request: none inside when there is no page; none as a whole where the platform or the
  // app has no such search, and the caller walks the tree.
  virtual std::optional<std::optional<AXElement>> searchWebArea(const AXElement&) { return std::nullopt; }
  // Whether an app builds its tree only once it is first walked, and needs a moment after
  // that walk before the tree is complete; not where a walk reads the app's current tree.
  virtual bool wakesOnFirstWalk() const { return true; }
  // A walk of the element's shown subtree follows: a platform that fetches in bulk reads
  // ahead what the walk will ask for. Nothing where each read is cheap.
  virtual void readAhead(const AXElement&) {}
  // The walks are over: what was read ahead only for them (texts and values, which apps
  // change without a word) is not used again.
  virtual void endReadAhead() {}
};
