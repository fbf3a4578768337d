#include "platform/x11/AtspiRoles.hpp"

// The role table. Every role GTK3 and Chromium publish is listed; anything else is a
// group, which the listing treats as structure only.
//
//   AT-SPI                                   accessibility role / subrole
//   push button, button menu                 AXButton
//   toggle button                            AXCheckBox / AXToggle (AXSwitch for switches,
//                                            AXDisclosureTriangle when expandable)
//   check box                                AXCheckBox
//   radio button                             AXRadioButton
//   combo box                                AXPopUpButton (AXComboBox when editable)
//   entry, text, editbar, terminal           AXTextField (AXTextArea when multi-line)
//   password text                            AXTextField / AXSecureTextField
//   spin button                              AXIncrementor
//   slider, dial                             AXSlider
//   scroll bar                               AXScrollBar
//   progress bar                             AXProgressIndicator
//   level bar, rating                        AXLevelIndicator
//   page tab / page tab list                 AXTab / AXTabGroup
//   menu bar                                 AXMenuBar
//   menu                                     AXMenuBarItem under a menu bar, AXMenuItem
//                                            under a menu, else AXMenu
//   menu item, check/radio/tear-off item     AXMenuItem
//   popup menu                               AXMenu
//   label, static, caption, accel. label     AXStaticText
//   heading                                  AXHeading
//   link                                     AXLink
//   image, icon, animation, image map        AXImage
//   frame                                    AXWindow / AXStandardWindow
//   window                                   AXWindow / AXFloatingWindow
//   dialog, alert, file/color/font chooser   AXWindow / AXDialog
//   tool bar                                 AXToolbar
//   scroll pane                              AXScrollArea
//   split pane                               AXSplitGroup
//   separator                                AXSplitter
//   list, list box                           AXList
//   list item, table row, tree item          AXRow
//   table / tree, tree table                 AXTable / AXOutline
//   table cell                               AXCell
//   column header, table column header       AXButton / AXSortButton
//   row header, table row header             AXCell
//   document web, html container             AXWebArea
//   document text, document email            AXTextArea
//   tool tip                                 AXHelpTag
//   calendar, date editor                    AXDateField
//   color chooser button (push button)       AXButton
//   ruler                                    AXRuler
//   application                              AXApplication
//   panel of a button, modal (GTK popover)   AXPopover
//   panel, filler, viewport, section, form, grouping, article, landmark, paragraph,
//   block quote, root/layered/glass pane, internal frame, embedded, status bar,
//   info bar, notification, header, footer, title bar, document frame, ...   AXGroup

namespace AtspiRoles {

AXRoleName of(AtspiRole role) {
  switch (role) {
    case ATSPI_ROLE_PUSH_BUTTON:
    case ATSPI_ROLE_PUSH_BUTTON_MENU: return {"AXButton", ""};
    case ATSPI_ROLE_TOGGLE_BUTTON: return {"AXCheckBox", "AXToggle"};
    case ATSPI_ROLE_CHECK_BOX: return {"AXCheckBox", ""};
    case ATSPI_ROLE_RADIO_BUTTON: return {"AXRadioButton", ""};
    case ATSPI_ROLE_COMBO_BOX: return {"AXPopUpButton", ""};
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_TEXT:
    case ATSPI_ROLE_EDITBAR:
    case ATSPI_ROLE_TERMINAL: return {"AXTextField", ""};
    case ATSPI_ROLE_PASSWORD_TEXT: return {"AXTextField", "AXSecureTextField"};
    case ATSPI_ROLE_SPIN_BUTTON: return {"AXIncrementor", ""};
    case ATSPI_ROLE_SLIDER:
    case ATSPI_ROLE_DIAL: return {"AXSlider", ""};
    case ATSPI_ROLE_SCROLL_BAR: return {"AXScrollBar", ""};
    case ATSPI_ROLE_PROGRESS_BAR: return {"AXProgressIndicator", ""};
    case ATSPI_ROLE_LEVEL_BAR:
    case ATSPI_ROLE_RATING: return {"AXLevelIndicator", ""};
    case ATSPI_ROLE_PAGE_TAB: return {"AXTab", ""};
    case ATSPI_ROLE_PAGE_TAB_LIST: return {"AXTabGroup", ""};
    case ATSPI_ROLE_MENU_BAR: return {"AXMenuBar", ""};
    case ATSPI_ROLE_MENU:
    case ATSPI_ROLE_POPUP_MENU: return {"AXMenu", ""};
    case ATSPI_ROLE_MENU_ITEM:
    case ATSPI_ROLE_CHECK_MENU_ITEM:
    case ATSPI_ROLE_RADIO_MENU_ITEM:
    case ATSPI_ROLE_TEAROFF_MENU_ITEM: return {"AXMenuItem", ""};
    case ATSPI_ROLE_LABEL:
    case ATSPI_ROLE_STATIC:
    case ATSPI_ROLE_CAPTION:
    case ATSPI_ROLE_ACCELERATOR_LABEL: return {"AXStaticText", ""};
    case ATSPI_ROLE_HEADING: return {"AXHeading", ""};
    case ATSPI_ROLE_LINK: return {"AXLink", ""};
    case ATSPI_ROLE_IMAGE:
    case ATSPI_ROLE_ICON:
    case ATSPI_ROLE_ANIMATION:
    case ATSPI_ROLE_IMAGE_MAP: return {"AXImage", ""};
    case ATSPI_ROLE_FRAME: return {"AXWindow", "AXStandardWindow"};
    case ATSPI_ROLE_WINDOW: return {"AXWindow", "AXFloatingWindow"};
    case ATSPI_ROLE_DIALOG:
    case ATSPI_ROLE_ALERT:
    case ATSPI_ROLE_FILE_CHOOSER:
    case ATSPI_ROLE_COLOR_CHOOSER:
    case ATSPI_ROLE_FONT_CHOOSER: return {"AXWindow", "AXDialog"};
    case ATSPI_ROLE_TOOL_BAR: return {"AXToolbar", ""};
    case ATSPI_ROLE_SCROLL_PANE: return {"AXScrollArea", ""};
    case ATSPI_ROLE_SPLIT_PANE: return {"AXSplitGroup", ""};
    case ATSPI_ROLE_SEPARATOR: return {"AXSplitter", ""};
    case ATSPI_ROLE_LIST:
    case ATSPI_ROLE_LIST_BOX: return {"AXList", ""};
    case ATSPI_ROLE_LIST_ITEM:
    case ATSPI_ROLE_TABLE_ROW:
    case ATSPI_ROLE_TREE_ITEM: return {"AXRow", ""};
    case ATSPI_ROLE_TABLE: return {"AXTable", ""};
    case ATSPI_ROLE_TREE:
    case ATSPI_ROLE_TREE_TABLE: return {"AXOutline", ""};
    case ATSPI_ROLE_TABLE_CELL: return {"AXCell", ""};
    case ATSPI_ROLE_COLUMN_HEADER:
    case ATSPI_ROLE_TABLE_COLUMN_HEADER: return {"AXButton", "AXSortButton"};
    case ATSPI_ROLE_ROW_HEADER:
    case ATSPI_ROLE_TABLE_ROW_HEADER: return {"AXCell", ""};
    case ATSPI_ROLE_DOCUMENT_WEB:
    case ATSPI_ROLE_HTML_CONTAINER: return {"AXWebArea", ""};
    case ATSPI_ROLE_DOCUMENT_TEXT:
    case ATSPI_ROLE_DOCUMENT_EMAIL: return {"AXTextArea", ""};
    case ATSPI_ROLE_TOOL_TIP: return {"AXHelpTag", ""};
    case ATSPI_ROLE_CALENDAR:
    case ATSPI_ROLE_DATE_EDITOR: return {"AXDateField", ""};
    case ATSPI_ROLE_RULER: return {"AXRuler", ""};
    case ATSPI_ROLE_APPLICATION: return {"AXApplication", ""};
    case ATSPI_ROLE_INVALID: return {"AXUnknown", ""};
    default: return {"AXGroup", ""};
  }
}

AXRoleName refined(AtspiRole role, AtspiStateSet* states, AtspiRole parentRole) {
  auto has = [states](AtspiStateType state) { return states != nullptr && atspi_state_set_contains(states, state); };
  switch (role) {
    case ATSPI_ROLE_TOGGLE_BUTTON:
      if (has(ATSPI_STATE_EXPANDABLE)) return {"AXDisclosureTriangle", ""};
      return of(role);
    case ATSPI_ROLE_COMBO_BOX:
      return has(ATSPI_STATE_EDITABLE) ? AXRoleName{"AXComboBox", ""} : of(role);
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_TEXT:
      return has(ATSPI_STATE_MULTI_LINE) ? AXRoleName{"AXTextArea", ""} : of(role);
    case ATSPI_ROLE_MENU:
      if (parentRole == ATSPI_ROLE_MENU_BAR) return {"AXMenuBarItem", ""};
      if (parentRole == ATSPI_ROLE_MENU || parentRole == ATSPI_ROLE_POPUP_MENU) return {"AXMenuItem", ""};
      return of(role);
    case ATSPI_ROLE_MENU_ITEM:
      return parentRole == ATSPI_ROLE_MENU_BAR ? AXRoleName{"AXMenuBarItem", ""} : of(role);
    case ATSPI_ROLE_PANEL:
      // GTK 3 draws a menu button's menu as a popover inside the window: a modal panel of the button.
      if (has(ATSPI_STATE_MODAL) && (parentRole == ATSPI_ROLE_TOGGLE_BUTTON || parentRole == ATSPI_ROLE_PUSH_BUTTON))
        return {"AXPopover", ""};
      return of(role);
    default: return of(role);
  }
}

bool isWindow(AtspiRole role) { return std::string(of(role).role) == "AXWindow"; }

}  // namespace AtspiRoles
