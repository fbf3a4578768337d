#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "kit/backstage/Backstage.hpp"
#include "kit/backstage/BackstageJournal.hpp"
#include "kit/backstage/StageGeometry.hpp"
#include "kit/common/Files.hpp"
#include "kit/common/Paths.hpp"
#include "kit/common/PlatformTexts.hpp"
#include "kit/common/SettingsFile.hpp"
#include "kit/input/Pointer.hpp"
#include "tests/support/EditorBehindTerminal.hpp"
#include "tests/support/ScopedEnvironment.hpp"
#include "tests/support/TempDirectory.hpp"

namespace {

using Kind = AgentEvent::Kind;
const Point home{100, 100};
const Point stage{1440, 40};  // the invisible display begins right of the 1440-point display

// The user's terminal over the whole editor; the agent works in the editor.
struct CoveredEditor : EditorBehindTerminal {
  SimDesktop::NodeID button = scene->addElement(
      scene->windowNode(editorWindow), "AXButton",
      {{"AXTitle", std::string("OK")}, {"AXPosition", Point{150, 150}}, {"AXSize", Size{80, 30}}}, {"AXPress"});

  CoveredEditor() { scene->setWindowFrame(terminalWindow, {{50, 50}, {900, 700}}); }
  Point editorOrigin() { return windowFrame(editorWindow).origin; }
  Rect windowFrame(WindowNumber number) {
    for (const auto& entry : scene->windowServer().windowList(WindowListOption::all, 0)) {
      if (entry[WindowKey::number] == number) {
        const Json& b = entry[WindowKey::bounds];
        return {{b["X"], b["Y"]}, {b["Width"], b["Height"]}};
      }
    }
    return {};
  }
  int64_t buttonIndex(const std::string& state) {
    std::smatch found;
    if (!std::regex_search(state, found, std::regex(R"(\[(\d+)\] button "OK")"))) return -1;
    return std::stoll(found[1]);
  }
  std::string shiftClickOK() {
    const int64_t index = buttonIndex(scene.call("get_app_state", {{"app", "Editor"}}));
    return scene.call("click", {{"app", "Editor"}, {"element_index", index}, {"key", "shift"}});
  }
  std::vector<SimModel::Posted> downs() {
    std::vector<SimModel::Posted> found;
    for (const auto& posted : scene->posted())
      if (posted.event.kind == Kind::buttonDown) found.push_back(posted);
    return found;
  }
  size_t invisibleDisplays() {
    size_t count = 0;
    for (const auto& display : scene->windowServer().displays()) count += display.isInvisible;
    return count;
  }
};

}  // namespace

TEST(Backstage, ACoveredWindowIsOperatedOnTheInvisibleDisplayAndGoesHomeWhenTheAgentLeaves) {
  CoveredEditor desk;
  const std::string state = desk.scene.call("get_app_state", {{"app", "Editor"}});
  EXPECT_NE(state.find("keeps it on an invisible display"), std::string::npos) << state;
  EXPECT_EQ(desk.editorOrigin(), stage);
  EXPECT_EQ(desk.invisibleDisplays(), 1u);

  // A press by the pointer now reaches the editor itself, where it stands on the stage.
  std::string result = desk.shiftClickOK();
  EXPECT_TRUE(result.starts_with("Clicked")) << result;
  ASSERT_EQ(desk.downs().size(), 1u);
  EXPECT_EQ(desk.downs()[0].reached, desk.editorWindow);
  EXPECT_EQ(desk.downs()[0].event.point, (Point{stage.x + 90, stage.y + 65}));

  // Recorded before it moved, so a crash cannot lose it.
  auto entries = BackstageJournal::load();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].windowID, desk.editorWindow);
  EXPECT_EQ(entries[0].home, home);
  EXPECT_EQ(entries[0].parkedFrame, (Rect{stage, {700, 500}}));

  // The user's side never changed.
  EXPECT_EQ(desk.scene->userPointer(), (Point{720, 450}));
  EXPECT_EQ(desk.scene->windowServer().frontProcess(), desk.terminal);

  desk.scene.resetEngine();
  EXPECT_EQ(desk.editorOrigin(), home);
  EXPECT_FALSE(Backstage::shared().isGuest(desk.editorWindow));
  EXPECT_TRUE(BackstageJournal::load().empty());
}

TEST(Backstage, OnlyAWindowHiddenEverywhereOfAnAppNotInFrontIsMoved) {
  CoveredEditor desk;
  // The terminal ends 8 points short of the editor's right edge: the last column of the grid shows.
  desk.scene->setWindowFrame(desk.terminalWindow, {{50, 50}, {742, 700}});
  desk.scene.call("get_app_state", {{"app", "Editor"}});
  EXPECT_EQ(desk.editorOrigin(), home);

  desk.scene->setWindowFrame(desk.terminalWindow, {{50, 50}, {900, 700}});
  desk.scene->setFront(desk.editor);  // the user's own front app is never taken away from them
  desk.scene.call("get_app_state", {{"app", "Editor"}});
  EXPECT_EQ(desk.editorOrigin(), home);
  EXPECT_EQ(desk.invisibleDisplays(), 0u);
}

TEST(Backstage, HiddenAndMinimizedWindowsAreNotRestoredInTheBackground) {
  CoveredEditor desk;
  desk.scene->setMinimized(desk.editorWindow, true);
  EXPECT_EQ(desk.scene.call("get_app_state", {{"app", "Editor"}}), PlatformTexts::minimizedNotRestored());
  desk.scene->setMinimized(desk.editorWindow, false);
  desk.scene->setHidden(desk.editor, true);
  EXPECT_EQ(desk.scene.call("click", {{"app", "Editor"}, {"x", 5}, {"y", 5}}), PlatformTexts::hiddenAppNotRestored());
  EXPECT_EQ(desk.editorOrigin(), home);
}

TEST(Backstage, AFourthDisplayInHalfAnHourIsRefusedAndCoveredWindowsStayWhereTheyAre) {
  CoveredEditor desk;
  const double now = double(time(nullptr));
  SettingsFile::user().set("BackstageCreations", Json{now - 2000, now - 600, now - 300});
  desk.shiftClickOK();  // the oldest creation no longer counts
  EXPECT_EQ(desk.editorOrigin(), stage);
  EXPECT_EQ(SettingsFile::user().read()->at("BackstageCreations").size(), 3u);

  CoveredEditor refused;
  EXPECT_EQ(refused.shiftClickOK(), Pointer::coveredMessage);
  EXPECT_EQ(refused.editorOrigin(), home);
  EXPECT_TRUE(refused.downs().empty());
}

TEST(Backstage, TheUserBringingTheAppToTheFrontTakesItsWindowsHome) {
  CoveredEditor desk;
  desk.scene.call("get_app_state", {{"app", "Editor"}});
  ASSERT_EQ(desk.editorOrigin(), stage);
  Backstage::shared().tick();
  EXPECT_EQ(desk.editorOrigin(), stage) << "nothing changed for the user";

  desk.scene->userClicks(desk.editorWindow);
  Backstage::shared().tick();
  desk.scene->clock().sleep(0.6);
  Backstage::shared().tick();
  EXPECT_EQ(desk.editorOrigin(), home);
  EXPECT_FALSE(Backstage::shared().isGuest(desk.editorWindow));
}

TEST(Backstage, AClickWhereTheWindowWouldShowTakesItHomeAndAClickOnTheUsersWindowDoesNot) {
  CoveredEditor desk;
  desk.scene.call("get_app_state", {{"app", "Editor"}});
  ASSERT_EQ(desk.editorOrigin(), stage);
  desk.scene->clock().sleep(0.1);
  desk.scene->userClicksAt({400, 300});  // on the terminal, which covers where the editor belongs
  Backstage::shared().tick();
  EXPECT_EQ(desk.editorOrigin(), stage);

  desk.scene->setWindowFrame(desk.terminalWindow, {{900, 0}, {500, 400}});  // the user moves it aside
  desk.scene->clock().sleep(0.1);
  desk.scene->userClicksAt({400, 300});  // the bare desktop where the editor would be
  Backstage::shared().tick();
  EXPECT_EQ(desk.editorOrigin(), home);
}

TEST(Backstage, ANewWindowTheGuestOpensOnTheStageIsMovedToTheMainDisplay) {
  CoveredEditor desk;
  desk.scene.call("get_app_state", {{"app", "Editor"}});
  WindowNumber dialog = desk.scene->addWindow(desk.editor, {.title = "Save?", .frame = {{1700, 200}, {300, 200}}});
  desk.scene->clock().sleep(0.1);
  Backstage::shared().tick();
  EXPECT_EQ(desk.windowFrame(dialog).origin, (Point{80, 80}));
  EXPECT_EQ(desk.editorOrigin(), stage);
}

TEST(Backstage, QuittingReturnsEveryWindowFirstThenRefusesAdmissions) {
  CoveredEditor desk;
  desk.scene.call("get_app_state", {{"app", "Editor"}});
  ASSERT_EQ(desk.editorOrigin(), stage);
  EXPECT_TRUE(Backstage::shared().closeAll());
  EXPECT_EQ(desk.editorOrigin(), home);
  EXPECT_EQ(desk.invisibleDisplays(), 0u);
  EXPECT_TRUE(BackstageJournal::load().empty());
  EXPECT_EQ(desk.scene.call("get_app_state", {{"app", "Editor"}}),
            "Tarnwick is returning its windows before quitting. Try again after shutdown finishes or is cancelled.");
}

TEST(Backstage, AJournalThatCannotBeWrittenKeepsTheWindowWhereItIs) {
  CoveredEditor desk;
  TempDirectory directory;
  std::ofstream(directory.file("state")) << "a file where the folder should be";
  ScopedEnvironment state("XDG_STATE_HOME", directory.file("state"));
  const std::string result = desk.scene.call("get_app_state", {{"app", "Editor"}});
  EXPECT_TRUE(result.starts_with("The window was not moved because its recovery metadata could not be saved: "))
      << result;
  EXPECT_EQ(desk.editorOrigin(), home);
}

TEST(BackstageRecovery, WindowsOfAKilledRunGoHomeWhenTheyCanBeVerifiedAndAreReportedOtherwise) {
  CoveredEditor desk;
  pid_t other = desk.scene->addApp({.name = "Notes"});
  WindowNumber relaunched = desk.scene->addWindow(other, {.title = "n", .frame = {{2200, 40}, {300, 300}}});
  WindowNumber neverMoved = desk.scene->addWindow(other, {.title = "m", .frame = {{200, 300}, {300, 300}}});
  desk.scene->setWindowFrame(desk.editorWindow, {stage, {700, 500}});
  const double launched = desk.scene->now();  // the simulated apps started at the scene's start
  BackstageJournal::save({
      {desk.editorWindow, desk.editor, launched, home, Rect{stage, {700, 500}}, false},
      {relaunched, other, launched - 3600, {300, 300}, Rect{{2200, 40}, {300, 300}}, false},
      {neverMoved, other, launched, {200, 300}, Rect{{2800, 40}, {300, 300}}, false},  // crashed before the move
  });
  Backstage::shared().open(false);
  EXPECT_EQ(desk.editorOrigin(), home);
  EXPECT_EQ(desk.windowFrame(relaunched).origin, (Point{2200, 40}));
  EXPECT_EQ(desk.windowFrame(neverMoved).origin, (Point{200, 300}));
  EXPECT_EQ(BackstageJournal::load().size(), 2u);
  EXPECT_EQ(Backstage::shared().recoveryStatus(),
            "2 unresolved backstage window record(s) are retained in backstage-recovery.json. Their identity, "
            "position or user ownership could not be verified after display loss or restart; they were not moved "
            "automatically.");
}

TEST(BackstageRecovery, AJournalOfAnotherVersionIsLeftAloneAndReported) {
  CoveredEditor desk;
  ASSERT_TRUE(Paths::makePrivateDirectory(Paths::stateDirectory()));
  const std::string future = R"({"version":2,"entries":[]})";
  ASSERT_TRUE(Files::writeAtomically(BackstageJournal::path(), future, 0600));
  Backstage::shared().open(false);
  EXPECT_EQ(Backstage::shared().recoveryStatus(),
            "The backstage recovery journal could not be read; it was left unchanged.");
  EXPECT_EQ(Files::read(BackstageJournal::path()), future);
}

TEST(BackstageRecovery, LosingTheDisplayBringsItsGuestsHomeAndKeepsTheLostOnesAsUnresolved) {
  CoveredEditor desk;
  pid_t notes = desk.scene->addApp({.name = "Notes"});
  WindowNumber note = desk.scene->addWindow(notes, {.title = "n", .frame = {{120, 120}, {300, 300}}});
  desk.scene->moveToFront(desk.terminalWindow);
  desk.scene.call("get_app_state", {{"app", "Editor"}});
  desk.scene.call("get_app_state", {{"app", "Notes"}});
  ASSERT_EQ(desk.editorOrigin(), stage);
  ASSERT_TRUE(Backstage::shared().isGuest(note));
  desk.scene->closeWindow(note);  // gone with the display: nothing left to verify
  desk.scene->loseInvisibleDisplays();
  Backstage::shared().tick();
  EXPECT_EQ(desk.editorOrigin(), home);
  EXPECT_FALSE(Backstage::shared().isGuest(desk.editorWindow));
  auto status = Backstage::shared().recoveryStatus();
  ASSERT_TRUE(status);
  EXPECT_TRUE(status->starts_with("1 unresolved backstage window record(s)")) << *status;
  EXPECT_EQ(BackstageJournal::load().size(), 1u);
}

TEST(StageGeometry, SpotsFillRowsAlongTheGuestsEdges) {
  const Rect area{{0, 40}, {300, 200}};
  std::vector<Rect> guests;
  std::vector<Point> spots;
  for (int i = 0; i < 4; ++i) {
    auto spot = StageGeometry::vacantSpot({100, 100}, area, guests);
    ASSERT_TRUE(spot);
    spots.push_back(*spot);
    guests.push_back({*spot, {100, 100}});
  }
  EXPECT_EQ(spots, (std::vector<Point>{{0, 40}, {100, 40}, {200, 40}, {0, 140}}));
  EXPECT_FALSE(StageGeometry::vacantSpot({301, 10}, area, {}));
  EXPECT_FALSE(StageGeometry::vacantSpot({250, 150}, area, guests));
}
