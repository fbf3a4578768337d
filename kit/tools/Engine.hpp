#pragma once
#include <memory>
#include <optional>
#include <functional>
#include <set>
#include <string>

#include "kit/actions/BrowserTabDrag.hpp"
#include "kit/actions/TextRepair.hpp"
#include "kit/input/Clipboard.hpp"
#include "kit/input/PointerPath.hpp"
#include "kit/input/SystemDrag.hpp"
#include "kit/perception/RunningApp.hpp"
#include "kit/platform/AgentInput.hpp"
#include "kit/perception/Snapshot.hpp"
#include "kit/platform/WindowInfo.hpp"
#include "kit/tools/AgentSession.hpp"
#include "kit/tools/CursorPresenter.hpp"
#include "kit/tools/ToolResult.hpp"

// The per-connection tool engine. Process-wide state lives in shared services, not here.
// Operations fail with a ToolError.
class Engine {
 public:
  // The resolved place of an input action.
  struct Target {
    RunningApp app;
    WindowInfo window;
    SnapshotRef snapshot;
  };

  Engine(std::shared_ptr<AgentSession> session, std::weak_ptr<CursorPresenter> presenter)
      : session(std::move(session)), presenter(std::move(presenter)) {}
  // The agent's devices go with its connection.
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  ToolResult listApps();
  ToolResult launchApp(const std::string& app, const std::optional<std::string>& open);
  ToolResult getAppState(const std::string& app, std::optional<WindowNumber> windowID, bool changesOnly);
  ToolResult stateAfterAction(const RunningApp& app, const std::set<WindowNumber>& windowsBefore, bool mayNavigate);

  // The app and window an input action goes to, as operated (on the backstage when
  // covered); it becomes the window the after-action state reports.
  Target inputTarget(const std::string& app, std::optional<WindowNumber> windowID);

  // Where input lands: an element of the agent's recent states and its point, or a
  // pixel of the target window's screenshot as a screen point.
  ElementRecord element(int64_t index, const Target& target) const;
  // The element's frame now, else as recorded; its centre is where input lands and its
  // smaller side the target size for Fitts' law.
  static Rect elementFrame(const ElementRecord& record);
  // The same frame, or none when neither is known.
  static std::optional<Rect> knownFrame(const ElementRecord& record);
  // The centre of the part of the element inside the window, or none when no part is.
  static std::optional<Point> visibleCentre(const ElementRecord& record, const Target& target);
  Point screenPoint(double x, double y, const Target& target) const;
  // What lies over the target window, read once per action.
  struct Surroundings {
    std::vector<WindowInfo> transients;  // the app's menus and popovers above the window
    std::vector<Rect> others;            // other apps' windows in front of it
    // Whether another app's window may lie over the point; when not, no server check is needed.
    bool mayCover(Point point) const;
  };
  static Surroundings surroundings(const Target& target);
  // The window to act on: parked on the invisible display when the user's windows cover it.
  WindowInfo onStage(const RunningApp& app, const WindowInfo& window);
  // The menu or popover that holds the point, else the target window.
  static WindowInfo windowAt(Point point, const Target& target, const Surroundings& around);
  // Whether a press at the point would reach another app's window instead.
  static bool isCovered(Point point, const Target& target, const Surroundings& around);

  // Brings the agent's pointer to the point the way a hand would; `size` is the
  // target's size for Fitts' law; `pulse` marks a click about to happen. Motion goes
  // to the target window and its transient windows, never to a window over them.
  void travel(Point to, const Target& target, double size, bool pulse, const Surroundings& around);

  ToolResult performClick(const Target& target, std::optional<int64_t> elementIndex, std::optional<double> x,
                          std::optional<double> y, MouseButton button, int count, const std::optional<std::string>& keys,
                          double hold);
  ToolResult hover(const Target& target, std::optional<int64_t> elementIndex, std::optional<double> x,
                   std::optional<double> y);

  // press_key: chords in order, clipboard shortcuts on the private clipboard.
  ToolResult pressKey(const std::string& app, std::optional<WindowNumber> windowID, const std::string& key,
                      double hold);
  // In a file dialog only Return and Escape, pressed through accessibility.
  ToolResult panelKeys(const std::vector<KeyChord>& chords, const std::string& key, const Target& target);
  // type_text: typed key by key, then checked, and autocorrect undone.
  ToolResult typeText(const std::string& app, std::optional<WindowNumber> windowID, const std::string& text);
  ToolResult panelType(const std::string& text, const Target& target);

  // The private clipboard and text selection, through accessibility only.
  struct Captured {
    AXElement element;
    TextRange range;
    std::string text;
  };
  std::optional<AXElement> focusedElement(const Target& target) const;
  // The focused element, which must be in the target window.
  std::optional<AXElement> privateTextElement(const Target& target) const;
  void clipboardOperation(Clipboard::Operation operation, const Target& target);
  void selectAllText(const Target& target);
  bool insertWithoutClipboard(const std::string& text, const Target& target, const std::optional<Captured>& captured,
                              const std::function<void()>& beforeWrite);

  // Operations on one element through accessibility alone.
  ToolResult setValue(const std::string& app, std::optional<WindowNumber> windowID, int64_t elementIndex,
                      const std::string& value);
  // mode: "text", "cursor_before" or "cursor_after".
  ToolResult selectText(const std::string& app, std::optional<WindowNumber> windowID, int64_t elementIndex,
                        const std::string& text, const std::string& prefix, const std::string& suffix,
                        const std::string& mode);
  ToolResult performAction(const std::string& app, std::optional<WindowNumber> windowID, int64_t elementIndex,
                           const std::string& action);
  ToolResult selectMenuItem(const std::string& app, std::optional<WindowNumber> windowID, const std::string& path);
  ToolResult paste(const std::string& app, std::optional<WindowNumber> windowID, const std::string& text,
                   const std::string& format);
  // scroll: `pages` visible pages of the view at the element, pixel or window centre.
  ToolResult scroll(const std::string& app, std::optional<WindowNumber> windowID, std::optional<int64_t> elementIndex,
                    std::optional<double> x, std::optional<double> y, const std::string& direction, double pages);
  // drag: points are pixels of the screenshots; `to` of the destination window's when
  // toApp or toWindowID names another window.
  struct DragRequest {
    std::string app{};
    std::optional<WindowNumber> windowID{};
    Point from{}, to{};
    std::vector<Point> through{};
    MouseButton button = MouseButton::left;
    std::optional<std::string> keys{};
    std::optional<double> duration{};
    std::optional<std::string> toApp{};
    std::optional<WindowNumber> toWindowID{};
  };
  ToolResult drag(const DragRequest& request);

  // Whether the element or its window went away within 2 seconds (an action that closed its dialog).
  static bool vanishes(const AXElement& element, const WindowInfo& window);

  // Input is never sent to the app that hosts the agents.
  static void checkInputAllowed(const RunningApp& app);

  std::shared_ptr<AgentSession> session;
  std::weak_ptr<CursorPresenter> presenter;
  std::optional<WindowNumber> lastInputWindow;

 private:
  // A web page's text field: set through accessibility when the page takes it, else typed.
  std::string setWebText(const std::string& value, const ElementRecord& record, const Target& target);
  std::string setChoice(const std::string& value, const ElementRecord& record, const Target& target);
  // Step a pop-up's option one at a time, down (towards the end of its list) or up.
  std::function<void(bool down, int count)> keyStepper(const Target& target);
  // Asks for the element's keyboard focus and waits (bounded) until it has it; false when refused.
  bool focusForKeys(const AXElement& element);
  std::function<void(bool down, int count)> wheelStepper(const ElementRecord& record, const Target& target);
  // Moves the agent's cursor to the element's centre with a pulse; not at all when it has no frame.
  void pointAtElement(const ElementRecord& record, const Target& target);
  // Rests the agent's pointer on an uncovered point of the window before keys.
  void aimKeys(const Target& target);
  TextRepair::Typist typist(const Target& target);
  // Steps after typing when the field reads something else than expected: repair or report.
  std::string checkTyped(const AXElement& focused, const std::string& done, const std::string& expected,
                         const std::string& valueNow, int64_t caret, const Target& target);

  // Press, motion and release under the app's input lock; true when the app started a
  // system drag on the way, which stopped the motion.
  bool playDrag(const Movement& movement, const Target& target, MouseButton button, uint32_t modifiers,
                const Surroundings& around, const SystemDrag::Watch& watch);
  // Selected text moved or copied into another window through accessibility.
  ToolResult dragTextBetweenWindows(const DragRequest& request, const Target& source, bool copy);
  // The agent's keyboard as a tab reorder uses it.
  BrowserTabDrag::Keys tabKeys(const Target& target);
  // After a transfer through accessibility the cursor rests at the drop point.
  ToolResult restAfterTransfer(Point at, const Target& target, const std::string& text);
  // Shows the agent's cursor resting where its pointer is.
  void restCursor(const Target& target);

  bool sentInput_ = false;
};
