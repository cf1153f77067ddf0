// Library start-up and shutdown: the fixed order, failures that unwind what
// was started, the options that survive start-up, and the fatal exit.
#include <cstring>
#include <string>

#include "core/lock.h"
#include "core/strutil.h"
#include "window_test_util.h"

using namespace wintest;

namespace {

const std::vector<std::string> kStartupSteps = {
    "GetSoftwareRenderRequest", "InitYuvToRgbTables", "InitFileAccess", "SelectFileAccessBackend",
    "GetCurrentDir", "LogFileInit", "GetScreenColorBits", "LogSystemInfo", "InitStreamFunctionTables",
    "SetGraphRestoreCallback", "ComInitialize", "UpdateDoubleByteTextFlag", "ClearHttpTransferTable",
    "InitInput", "InitializeSound", "InitGraphicsDevice", "InitCharCodeBuffer", "SetFlipWaitVBlank",
    "SetDrawTarget", "WarmUpDraws"};

const std::vector<std::string> kShutdownSteps = {
    "DeleteAllHttpTransfers", "EndNetWorkSystem", "StopMusicFile", "TermGraphicsDevice", "TermInput",
    "TerminateSound", "EndCharCodeBuffer", "ComUninitialize", "SetCurrentDir", "EndFileAccess",
    "DumpAllocations"};

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
  std::vector<std::string> expected = kStartupSteps;
  expected.insert(expected.end() - 1, "SetDrawTarget");  // back screen, then front screen
  EXPECT_EQ(CallsAmong(kStartupSteps), expected);
  EXPECT_EQ(SystemState.Initialised, 1);
  EXPECT_EQ(SystemState.Kept.Initialising, 0);
  EXPECT_EQ(SystemState.ComInitialised, 1);
  EXPECT_EQ(PlatFakeNativeWindowCount(), 1);
  EXPECT_EQ(PlatFakeScreenSaverActive(), 0);

  Calls().clear();
  ASSERT_EQ(EndLibrary(), 0);
  EXPECT_EQ(CallsAmong(kShutdownSteps), kShutdownSteps);
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
  Results()[S_InitInput] = -1;
  EXPECT_EQ(InitLibrary(), -1);
  ExpectNothingStarted();
  EXPECT_EQ(Count("TermInput"), 0);
  EXPECT_EQ(Count("TerminateSound"), 0);
  EXPECT_EQ(Count("InitializeSound"), 0);
  EXPECT_EQ(CallsAmong({"EndCharCodeBuffer", "ComUninitialize", "EndFileAccess"}),
            (std::vector<std::string>{"EndCharCodeBuffer", "ComUninitialize", "EndFileAccess"}));
}

TEST_F(StartupTest, FailedGraphicsDeviceUnwindsSoundInputWindowComAndFiles) {
  Results()[S_InitGraphicsDevice] = -1;
  EXPECT_EQ(InitLibrary(), -1);
  ExpectNothingStarted();
  EXPECT_EQ(CallsAmong({"TerminateSound", "TermInput", "EndCharCodeBuffer", "ComUninitialize", "EndFileAccess",
                        "InitCharCodeBuffer"}),
            (std::vector<std::string>{"TerminateSound", "TermInput", "EndCharCodeBuffer", "ComUninitialize",
                                      "EndFileAccess"}));
}

TEST_F(StartupTest, FailedComStartsNoWindow) {
  Results()[S_ComInitialize] = -1;
  EXPECT_EQ(InitLibrary(), -1);
  ExpectNothingStarted();
  EXPECT_EQ(Count("ComUninitialize"), 0);
  EXPECT_EQ(Count("EndFileAccess"), 1);
  EXPECT_EQ(Count("InitInput"), 0);
}

TEST_F(StartupTest, FailedWindowCreationEndsComAndFiles) {
  PlatFakeFailNextCreate();
  EXPECT_EQ(InitLibrary(), -1);
  ExpectNothingStarted();
  EXPECT_EQ(SystemState.Window.Quit, 1);
  EXPECT_EQ(Count("ComUninitialize"), 1);
  EXPECT_EQ(Count("EndFileAccess"), 1);
  EXPECT_EQ(Count("InitInput"), 0);
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
  EXPECT_EQ(Count("LogSystemInfo"), 0);
  EXPECT_EQ(Count("EndFileAccess"), 1);
}

TEST_F(StartupTest, TwentyFourBitScreenSettingIsRefusedInFullScreen) {
  ChangeWindowMode(0);
  Results()[S_GetScreenColorBits] = 24;
  EXPECT_EQ(InitLibrary(), -1);
  ExpectNothingStarted();
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
  Results()[S_InitializeSound] = -1;
  EXPECT_EQ(InitLibrary(), 0);
  EndLibrary();
}

TEST_F(StartupTest, ComFlagSurvivesTheWindowsResetSoShutdownUninitialises) {
  ASSERT_EQ(InitLibrary(), 0);
  EXPECT_EQ(SystemState.ComInitialised, 1);
  EXPECT_EQ(InitCom(), -1);  // only once
  Calls().clear();
  EndLibrary();
  EXPECT_EQ(Count("ComUninitialize"), 1);
}

TEST_F(StartupTest, LibraryCanStartAgainAfterItsEnd) {
  ASSERT_EQ(InitLibrary(), 0);
  ASSERT_EQ(EndLibrary(), 0);
  ASSERT_EQ(InitLibrary(), 0);
  EXPECT_EQ(PlatFakeNativeWindowCount(), 1);
  EXPECT_EQ(PumpWindowMessages(), 0);
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
        LibraryServices.TermInput = [] {
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
  char whole[8] = "a\x82\xa0" "b";
  CutAtCharacterBoundary(whole);
  EXPECT_STREQ(whole, "a\x82\xa0" "b");
  // A trail byte that looks like a lead byte belongs to its pair.
  char pair[8] = "\x81\x81";
  CutAtCharacterBoundary(pair);
  EXPECT_STREQ(pair, "\x81\x81");
}

TEST(StartupText, FatalErrorExitFormatCutsALongMessageToItsBuffer) {
  std::string longText(3000, 'x');
  EXPECT_EXIT(FatalErrorExitFormat("%s", longText.c_str()), ::testing::ExitedWithCode(255), "");
}
