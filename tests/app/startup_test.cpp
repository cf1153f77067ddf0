// Library start-up and shutdown: the fixed order, failures that unwind what
// was started, the options that survive start-up, and the fatal exit.
#include <cstring>
#include <string>

#include "core/lock.h"
#include "core/strutil.h"
#include "graphics/soft/display.h"
#include "window_test_util.h"

using namespace wintest;

namespace {

const std::vector<std::string> kStartupSteps = {"start render mode",
                                                "start movie colour tables",
                                                "start file access",
                                                "start log",
                                                "start colour depth",
                                                "start performance counter",
                                                "start system report",
                                                "start stream functions",
                                                "start graph restore",
                                                "start COM",
                                                "start main window",
                                                "start HTTP transfer table",
                                                "start input",
                                                "start sound",
                                                "start graphics device",
                                                "start fonts",
                                                "start typed characters",
                                                "start initialised",
                                                "start vertical blank wait",
                                                "start window to front",
                                                "start screen draw targets",
                                                "start warm-up draws"};

const std::vector<std::string> kShutdownSteps = {"end network",
                                                 "end music",
                                                 "end graphics device",
                                                 "end fonts, ended after the graphics device",
                                                 "end movies",
                                                 "end input",
                                                 "end sound, ended after input",
                                                 "end main window",
                                                 "end COM",
                                                 "end last window messages",
                                                 "end log",
                                                 "end file access",
                                                 "end allocation report"};

class StartupTest : public FakeLibraryTest {};

// Nothing of the library is left running: no window, no class, no COM,
// neither flag set, the screen saver allowed again.
void ExpectNothingStarted() {
  EXPECT_EQ(SystemState.Initialised, 0);
  EXPECT_EQ(SystemState.Kept.Initialising, 0);
  EXPECT_EQ(SystemState.ComInitialised, 0);
  EXPECT_EQ(PlatFakeNativeWindowCount(), 0);
  EXPECT_EQ(PlatFakeIsStarted(), 0);
  EXPECT_EQ(PlatFakeScreenSaverActive(), 1);
  EXPECT_EQ(GetMainWindow(), nullptr);
}

}  // namespace

TEST_F(StartupTest, StartsAndEndsInTheFixedOrder) {
  ASSERT_EQ(InitLibrary(), 0);
  EXPECT_EQ(StepCalls(), kStartupSteps);
  EXPECT_EQ(StepCalls(), PartCalls("start", &LibraryPart::Start, false));
  EXPECT_EQ(SystemState.Initialised, 1);
  EXPECT_EQ(SystemState.Kept.Initialising, 0);
  EXPECT_EQ(SystemState.ComInitialised, 1);
  EXPECT_EQ(PlatFakeNativeWindowCount(), 1);
  EXPECT_EQ(PlatFakeScreenSaverActive(), 0);

  Calls().clear();
  ASSERT_EQ(EndLibrary(), 0);
  EXPECT_EQ(StepCalls(), kShutdownSteps);
  EXPECT_EQ(StepCalls(), PartCalls("end", &LibraryPart::End, true));
  EXPECT_EQ(SystemState.Initialised, 0);
  EXPECT_EQ(SystemState.ComInitialised, 0);
  EXPECT_EQ(PlatFakeNativeWindowCount(), 0);
  EXPECT_EQ(PlatFakeScreenSaverActive(), 1);
  EXPECT_EQ(PlatFakeCursorVisible(), 1);
}

TEST_F(StartupTest, InitTwiceAndEndTwiceDoNothingMore) {
  ASSERT_EQ(InitLibrary(), 0);
  Calls().clear();
  EXPECT_EQ(InitLibrary(), 0);
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(EndLibrary(), 0);
  Calls().clear();
  EXPECT_EQ(EndLibrary(), 0);
  EXPECT_EQ(EndLibraryImpl(), 0);
  EXPECT_TRUE(Calls().empty());
}

TEST_F(StartupTest, EndBeforeInitDoesNothing) {
  EXPECT_EQ(EndLibrary(), 0);
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(PlatFakeIsStarted(), 0);
}

TEST_F(StartupTest, OptionsSetBeforeInitSurviveIt) {
  SetMainWindowTitle("Quarry test");
  SetWindowIconResource(101);
  ChangeWindowMode(1);
  SetLogFileOutput(0);
  SystemState.Kept.WindowScale = 1.0;
  ASSERT_EQ(InitLibrary(), 0);
  EXPECT_STREQ(SystemState.Kept.WindowTitle, "Quarry test");
  EXPECT_STREQ(SystemState.Kept.WindowClassName, "Quarry test");
  EXPECT_EQ(SystemState.Kept.IconResource, 101);
  EXPECT_EQ(SystemState.Kept.WindowMode, 1);
  EXPECT_EQ(SystemState.Kept.Log.LogOff, 1);
  EXPECT_EQ(PlatFakeNativeTitle(GetMainWindow()), "Quarry test");
  EndLibrary();
}

TEST_F(StartupTest, FailedInputUnwindsWhatWasStarted) {
  Results()["start input"] = -1;
  EXPECT_EQ(InitLibrary(), -1);
  ExpectNothingStarted();
  EXPECT_EQ(Count("undo input"), 0);
  EXPECT_EQ(Count("undo sound"), 0);
  EXPECT_EQ(Count("start sound"), 0);
  EXPECT_EQ(CallsAmong({"undo main window", "undo COM", "undo file access"}),
            (std::vector<std::string>{"undo main window", "undo COM", "undo file access"}));
  EXPECT_EQ(CallsAmong(kShutdownSteps), std::vector<std::string>{});
}

TEST_F(StartupTest, FailedGraphicsDeviceUnwindsSoundInputWindowComAndFiles) {
  Results()["start graphics device"] = -1;
  EXPECT_EQ(InitLibrary(), -1);
  ExpectNothingStarted();
  EXPECT_EQ(CallsAmong({"undo sound", "undo input", "undo main window", "undo COM", "undo file access",
                        "start typed characters", "undo graphics device"}),
            (std::vector<std::string>{"undo sound", "undo input", "undo main window", "undo COM",
                                      "undo file access"}));
}

TEST_F(StartupTest, FailedComStartsNoWindow) {
  Results()["start COM"] = -1;
  EXPECT_EQ(InitLibrary(), -1);
  ExpectNothingStarted();
  EXPECT_EQ(Count("undo COM"), 0);
  EXPECT_EQ(Count("undo file access"), 1);
  EXPECT_EQ(Count("start main window"), 0);
  EXPECT_EQ(Count("start input"), 0);
}

TEST_F(StartupTest, FailedWindowCreationEndsComAndFiles) {
  PlatFakeFailNextCreate();
  EXPECT_EQ(InitLibrary(), -1);
  ExpectNothingStarted();
  EXPECT_EQ(SystemState.Window.Quit, 1);
  EXPECT_EQ(Count("undo COM"), 1);
  EXPECT_EQ(Count("undo file access"), 1);
  EXPECT_EQ(Count("start input"), 0);
  // With the quit flag set the pump answers -1 from now on.
  EXPECT_EQ(PumpWindowMessages(), -1);
}

TEST_F(StartupTest, SecondCopyIsRefused) {
  PlatFakeSetClassHeldElsewhere("FakeWindowTest");
  EXPECT_EQ(InitLibrary(), -1);
  ExpectNothingStarted();
  EXPECT_EQ(SystemState.Window.Quit, 1);
}

TEST_F(StartupTest, TwentyFourBitDesktopIsRefusedInWindowedMode) {
  PlatFakeSetDesktop(1024, 768, 24);
  EXPECT_EQ(InitLibrary(), -1);
  ExpectNothingStarted();
  EXPECT_EQ(Count("start system report"), 0);
  EXPECT_EQ(Count("undo file access"), 1);
}

TEST_F(StartupTest, TwentyFourBitScreenSettingIsRefusedInFullScreen) {
  ChangeWindowMode(0);
  DirectDrawState.ScreenBits = 24;
  EXPECT_EQ(InitLibrary(), -1);
  ExpectNothingStarted();
  DirectDrawState.ScreenBits = 0;
}

TEST_F(StartupTest, TwentyFourBitDesktopIsAcceptedInFullScreen) {
  ChangeWindowMode(0);
  PlatFakeSetDesktop(1024, 768, 24);
  EXPECT_EQ(InitLibrary(), 0);
  EXPECT_EQ(PlatFakeNativeTopmost(GetMainWindow()), 1);
  EXPECT_EQ(PlatFakeNativeCaptioned(GetMainWindow()), 0);
  EndLibrary();
}

TEST_F(StartupTest, SoundFailureDoesNotStopStartup) {
  Results()["start sound"] = -1;
  EXPECT_EQ(InitLibrary(), 0);
  EXPECT_EQ(StepCalls(), kStartupSteps);
  EndLibrary();
}

// Whichever step fails, exactly the steps started before it are undone, last
// first, and nothing else is started or ended.
TEST_F(StartupTest, FailedStartInTheMiddleUndoesTheStartedStepsInReverse) {
  AppStepsRunForReal() = false;
  size_t failures = 0;
  for (size_t failing = 0; failing < RealParts().size(); ++failing) {
    if (!RealParts()[failing].Start) continue;
    InstallRecordingParts();
    LibraryParts[failing].FailureStops = true;
    const std::string name = RealParts()[failing].Name;
    Results().clear();
    Results()["start " + name] = -1;
    Calls().clear();

    std::vector<std::string> expected;
    for (size_t i = 0; i <= failing; ++i)
      if (RealParts()[i].Start) expected.push_back(std::string("start ") + RealParts()[i].Name);
    for (size_t i = failing; i > 0; --i)
      if (RealParts()[i - 1].Undo) expected.push_back(std::string("undo ") + RealParts()[i - 1].Name);

    EXPECT_EQ(InitLibrary(), -1) << name;
    EXPECT_EQ(StepCalls(), expected) << name;
    EXPECT_EQ(SystemState.Initialised, 0) << name;
    EXPECT_EQ(SystemState.Kept.Initialising, 0) << name;
    ++failures;
  }
  EXPECT_GE(failures, 20u);
}

TEST_F(StartupTest, ComFlagSurvivesTheWindowsResetSoShutdownUninitialises) {
  ASSERT_EQ(InitLibrary(), 0);
  EXPECT_EQ(SystemState.ComInitialised, 1);
  EXPECT_EQ(InitCom(), -1);  // only once
  Calls().clear();
  EndLibrary();
  EXPECT_EQ(Count("end COM"), 1);
  // The flag was still set, so the end uninitialised COM and cleared it.
  EXPECT_EQ(SystemState.ComInitialised, 0);
}

TEST_F(StartupTest, LibraryCanStartAgainAfterItsEnd) {
  ASSERT_EQ(InitLibrary(), 0);
  ASSERT_EQ(EndLibrary(), 0);
  ASSERT_EQ(InitLibrary(), 0);
  EXPECT_EQ(PlatFakeNativeWindowCount(), 1);
  EXPECT_EQ(PumpWindowMessages(), 0);
  EndLibrary();
}

// A quit from elsewhere ends the pump before the library's end closes its
// window; the window is then destroyed directly and the quit its
// destruction posts must not end the next start at once.
TEST_F(StartupTest, LibraryStartsAgainAfterEndingOnAQuitFromElsewhere) {
  ASSERT_EQ(InitLibrary(), 0);
  PlatPostQuitMessage(0);
  EXPECT_EQ(PumpWindowMessages(), -1);
  ASSERT_EQ(EndLibrary(), 0);
  EXPECT_EQ(PlatFakeNativeWindowCount(), 0);
  ASSERT_EQ(InitLibrary(), 0);
  EXPECT_EQ(PumpWindowMessages(), 0);
  EXPECT_EQ(IsWindowDestroyed(), 0);
  EndLibrary();
}

TEST_F(StartupTest, FatalErrorExitEndsTheLibraryAndExitsWith255) {
  EXPECT_EXIT(
      {
        InitLibrary();
        FatalErrorExit("テスト");
      },
      ::testing::ExitedWithCode(255), "");
}

TEST_F(StartupTest, FatalErrorExitDuringItsOwnShutdownEndsAtOnce) {
  EXPECT_EXIT(
      {
        InitLibrary();
        // A service that fails fatally while the library is ending.
        FindLibraryPart("input")->End = [] {
          FatalErrorExit("again");
          return 0;
        };
        FatalErrorExitFormat("%s %d", "first", 1);
      },
      ::testing::ExitedWithCode(255), "");
}

TEST(StartupText, CutAtCharacterBoundaryDropsALoneLeadByte) {
  char text[8] = "ab\x82";
  CutAtCharacterBoundary(text);
  EXPECT_STREQ(text, "ab");
  char whole[8] =
      "a\x82\xa0"
      "b";
  CutAtCharacterBoundary(whole);
  EXPECT_STREQ(whole,
               "a\x82\xa0"
               "b");
  // A trail byte that looks like a lead byte belongs to its pair.
  char pair[8] = "\x81\x81";
  CutAtCharacterBoundary(pair);
  EXPECT_STREQ(pair, "\x81\x81");
}

TEST(StartupText, FatalErrorExitFormatCutsALongMessageToItsBuffer) {
  std::string longText(3000, 'x');
  EXPECT_EXIT(FatalErrorExitFormat("%s", longText.c_str()), ::testing::ExitedWithCode(255), "");
}
