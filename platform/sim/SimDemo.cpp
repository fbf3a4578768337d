#include <cstdlib>

#include "platform/sim/SimDesktop.hpp"

// A text editor, a settings window with the common controls and a browser window,
// so that anyone can try the server without a display.
std::shared_ptr<SimDesktop> SimDesktop::demo() {
  auto desktop = std::make_shared<SimDesktop>();
  SimDesktop& d = *desktop;

  pid_t editor = d.addApp({.name = "Text Editor", .bundleID = "org.tarnwick.demo.TextEditor", .executable = "/usr/bin/demo-text-editor"});
  WindowNumber notes = d.addWindow(editor, {.title = "Notes.txt", .frame = {{80, 60}, {900, 640}}});
  SimDesktop::NodeID editorWindow = d.windowNode(notes);
  SimDesktop::NodeID area = d.addElement(editorWindow, "AXTextArea",
                             {{"AXValue", std::string("Shopping list\nmilk\nbread")},
                              {"AXPosition", Point{90, 110}},
                              {"AXSize", Size{880, 580}}});
  d.makeSettable(area, "AXValue");
  d.addElement(editorWindow, "AXButton",
               {{"AXTitle", std::string("Save")}, {"AXPosition", Point{900, 70}}, {"AXSize", Size{60, 28}}},
               {"AXPress"});

  pid_t settings = d.addApp({.name = "Settings", .bundleID = "org.tarnwick.demo.Settings", .executable = "/usr/bin/demo-settings"});
  WindowNumber general = d.addWindow(settings, {.title = "General", .frame = {{300, 120}, {640, 520}}});
  SimDesktop::NodeID settingsWindow = d.windowNode(general);
  SimDesktop::NodeID tabs = d.addElement(settingsWindow, "AXTabGroup", {{"AXPosition", Point{310, 150}}, {"AXSize", Size{620, 40}}});
  for (const char* tab : {"General", "Appearance", "Privacy"}) {
    d.addElement(tabs, "AXRadioButton",
                 {{"AXTitle", std::string(tab)}, {"AXSubrole", std::string("AXTabButton")},
                  {"AXValue", int64_t(std::string(tab) == "General")}},
                 {"AXPress"});
  }
  SimDesktop::NodeID check = d.addElement(settingsWindow, "AXCheckBox",
                              {{"AXTitle", std::string("Show hidden files")}, {"AXValue", int64_t(0)},
                               {"AXPosition", Point{330, 210}}, {"AXSize", Size{200, 22}}},
                              {"AXPress"});
  d.onAction(check, "AXPress", [&d, check] {
    auto [status, value] = d.accessibility().copyAttribute(d.element(check), "AXValue");
    d.setValue(check, "AXValue", int64_t(status == 0 && std::get<int64_t>(value) == 0));
  });
  SimDesktop::NodeID slider = d.addElement(settingsWindow, "AXSlider",
                               {{"AXTitle", std::string("Volume")}, {"AXValue", 40.0}, {"AXMinValue", 0.0},
                                {"AXMaxValue", 100.0}, {"AXPosition", Point{330, 250}}, {"AXSize", Size{300, 24}}},
                               {"AXIncrement", "AXDecrement"});
  d.makeSettable(slider, "AXValue");
  d.addElement(settingsWindow, "AXPopUpButton",
               {{"AXTitle", std::string("Theme")}, {"AXValue", std::string("Light")},
                {"AXPosition", Point{330, 290}}, {"AXSize", Size{160, 26}}},
               {"AXPress", "AXShowMenu"});
  SimDesktop::NodeID name = d.addElement(settingsWindow, "AXTextField",
                             {{"AXTitle", std::string("Computer name")}, {"AXValue", std::string("workstation")},
                              {"AXPosition", Point{330, 330}}, {"AXSize", Size{260, 24}}});
  d.makeSettable(name, "AXValue");
  d.addElement(settingsWindow, "AXRadioButton",
               {{"AXTitle", std::string("Automatic updates")}, {"AXValue", int64_t(1)},
                {"AXPosition", Point{330, 370}}, {"AXSize", Size{200, 22}}},
               {"AXPress"});
  SimDesktop::NodeID sharing = d.addElement(settingsWindow, "AXGroup",
                                            {{"AXTitle", std::string("Sharing")}, {"AXPosition", Point{620, 200}},
                                             {"AXSize", Size{300, 280}}});
  const char* services[] = {"Screen sharing", "File sharing", "Media sharing", "Printer sharing",
                            "Remote login",   "Remote management", "Bluetooth sharing", "Content caching"};
  for (int i = 0; i < 8; ++i) {
    SimDesktop::NodeID service =
        d.addElement(sharing, "AXCheckBox",
                     {{"AXTitle", std::string(services[i])}, {"AXValue", int64_t(i % 3 == 0)},
                      {"AXPosition", Point{630, 210.0 + 30 * i}}, {"AXSize", Size{220, 22}}},
                     {"AXPress"});
    d.makeSettable(service, "AXValue");
  }
  SimDesktop::NodeID items = d.addElement(settingsWindow, "AXTable",
                                          {{"AXTitle", std::string("Open at login")}, {"AXPosition", Point{330, 410}},
                                           {"AXSize", Size{280, 160}}});
  for (const char* item : {"Text Editor", "Chromium", "Backup agent", "Calendar sync", "Mail notifier"}) {
    SimDesktop::NodeID row = d.addElement(items, "AXRow", {{"AXPosition", Point{330, 410}}, {"AXSize", Size{280, 24}}});
    d.addElement(row, "AXStaticText", {{"AXValue", std::string(item)}});
    d.addElement(row, "AXStaticText", {{"AXValue", std::string("Application")}});
  }
  d.addElement(settingsWindow, "AXButton",
               {{"AXTitle", std::string("Apply")}, {"AXPosition", Point{840, 590}}, {"AXSize", Size{80, 28}}},
               {"AXPress"});

  pid_t browser = d.addApp({.name = "Chromium", .bundleID = "org.chromium.Chromium", .executable = "/usr/bin/chromium",
                            .lazyWebContent = true});
  d.addWindow(browser, {.title = "Example Domain - Chromium", .frame = {{200, 40}, {1100, 780}}});
  d.install({{.name = "Calculator", .bundleID = "org.tarnwick.demo.Calculator", .executable = "/usr/bin/demo-calculator"},
             {{.title = "Calculator", .frame = {{500, 300}, {320, 420}}}},
             {0.8}});
  // For load tests of the window list: TARNWICK_SIM_EXTRA_WINDOWS more windows in one app.
  if (const char* extra = std::getenv("TARNWICK_SIM_EXTRA_WINDOWS")) {
    pid_t farm = d.addApp({.name = "Window Farm", .bundleID = "org.tarnwick.demo.WindowFarm"});
    for (int i = 0, count = std::atoi(extra); i < count; ++i) {
      d.addWindow(farm, {.title = "Window " + std::to_string(i), .frame = {{double(i % 40) * 10, 50}, {400, 300}}});
    }
  }
  d.setFront(editor);
  return desktop;
}
