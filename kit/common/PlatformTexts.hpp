#pragma once
#include <string_view>

// Agent-facing texts that state a fact of the desktop they run on. The macOS
// wording stands beside the Linux one; the build picks the one that is true here.
namespace PlatformTexts {

struct Text {
  std::string_view macOS;
  std::string_view linuxDesktop;
  constexpr std::string_view operator()() const {
#ifdef __APPLE__
    return macOS;
#else
    return linuxDesktop;
#endif
  }
};

inline constexpr Text instructionsOpening{
    "Tarnwick lets you operate any Mac app in the background with your own cursor and keyboard. The user keeps "
    "working at the same time: their pointer, keyboard and frontmost app are never touched, and your actions only "
    "reach the app you name.",
    "Tarnwick lets you operate any desktop app in the background with your own cursor and keyboard. The user keeps "
    "working at the same time: their pointer, keyboard and frontmost app are never touched, and your actions only "
    "reach the app you name."};

inline constexpr Text instructionsHumanTiming{
    "Clicks, drags, scrolling and typing follow human timing, so pages that watch them (human verification "
    "checkboxes, slider puzzles) see a person; use click and drag for them like any control. Pointer movement "
    "without a pressed button reaches Safari pages and many native views, but not Chrome or Electron apps, which "
    "show hover effects only for the real mouse; their pages see clicks without pointer movement before them, so "
    "prefer Safari for sites with strict bot checks.",
    "Clicks, drags, scrolling and typing follow human timing, so pages that watch them (human verification "
    "checkboxes, slider puzzles) see a person; use click and drag for them like any control. Pointer movement "
    "without a pressed button reaches many native views, but not Chrome or Electron apps, which show hover effects "
    "only for the real mouse; their pages see clicks without pointer movement before them."};

inline constexpr Text instructionsKeys{
    "",
    " On Linux the key names cmd and command press Control, the key Linux apps use for their shortcuts (cmd+s "
    "saves); super, meta and win name the Super key."};

inline constexpr Text launchAppDescription{"App name, bundle id or path to a .app.",
                                           "App name, app id, or path to an executable or .desktop file."};

inline constexpr Text hoverDescription{
    "Move the agent cursor over an element or pixel to reveal hover menus or tooltips. Safari pages and many native "
    "views react; Chrome and Electron apps show hover effects only for the real mouse.",
    "Move the agent cursor over an element or pixel to reveal hover menus or tooltips. Many native views react; "
    "Chrome and Electron apps show hover effects only for the real mouse."};

inline constexpr Text pasteDescription{
    "Insert plain text at the selection through accessibility without reading or writing the system clipboard. "
    "Requires a field with writable selected text. HTML and file paste are currently unsupported. Command-C/X/V and "
    "standard Copy/Cut/Paste menu commands use the agent's private text clipboard when accessible.",
    "Insert plain text at the selection through accessibility without reading or writing the system clipboard. "
    "Requires a field with writable selected text. HTML and file paste are currently unsupported. Ctrl-C/X/V and "
    "standard Copy/Cut/Paste menu commands use the agent's private text clipboard when accessible."};

}  // namespace PlatformTexts

namespace PlatformTexts {

inline constexpr Text captureRefused{
    "Screen Recording permission is missing for Tarnwick (System Settings > Privacy & Security > Screen & System "
    "Audio Recording). ",
    "Tarnwick cannot capture windows on this display (it needs the X Composite extension). "};

inline constexpr Text hiddenAppNotRestored{
    "This app is hidden. macOS unhide can create windows on the user's displays, so Tarnwick cannot restore it with "
    "background isolation.",
    "This app is hidden. Showing it again maps its windows on the user's displays, so Tarnwick cannot restore it "
    "with background isolation."};

inline constexpr Text minimizedNotRestored{
    "Background restoration of minimized windows is not enabled: Dock animation, activation and the return position "
    "have not been verified. Restore the window before operating it in the background.",
    "Background restoration of minimized windows is not enabled: activation and the return position have not been "
    "verified. Restore the window before operating it in the background."};

}  // namespace PlatformTexts
