// The main window's procedure: activation, close, display changes, typed
// characters, system commands and resizing.
#include "app/window_proc.h"

#include <vector>

#include "window_test_util.h"

using namespace wintest;

namespace {

// The display rebuilt after the device was lost, with input restarted
// around it and the fonts' caches made again after the graphs, then the
// movies resumed.
const std::vector<std::string> kDisplayRebuild = {"TermInput",        "ReapplyGraphicsSettings",
                                                  "RecreateAllFonts", "ReopenAllMovies",
                                                  "InitInput",        "ResumeAllMoviePlayback"};

std::vector<int>& Pushed() {
  static std::vector<int> pushed;
  return pushed;
}

class WindowProcTest : public StartedLibraryTest {
 protected:
  void SetUp() override {
    StartedLibraryTest::SetUp();
    Pushed().clear();
    InputServices.PushTypedChar = [](unsigned char c) {
      Pushed().push_back(c);
      return 0;
    };
  }
  intptr_t Send(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0) {
    return PlatSendMessage(Main(), message, wParam, lParam);
  }
  int CountQueued(uint32_t message) {
    int n = 0;
    PlatMsg m;
    while (PlatPeekMessage(&m, Main(), 1))
      if (m.Message == message) ++n;
    return n;
  }
};

class FullScreenWindowProcTest : public WindowProcTest {
 protected:
  int Windowed() override { return 0; }
};

}  // namespace

TEST_F(WindowProcTest, DeactivationPausesMoviesAndReleasesInput) {
  Send(WM_ACTIVATE, WA_INACTIVE);
  EXPECT_EQ(IsWindowActive(), 0);
  EXPECT_EQ(Calls(),
            (std::vector<std::string>{"PauseAllMoviePlayback", "RefreshInputAcquire", "ApplyPadVibration"}));
}

TEST_F(WindowProcTest, ActivationRestoresSurfacesMoviesAndInput) {
  SystemState.Window.Active = 0;
  Send(WM_ACTIVATE, WA_ACTIVE);
  EXPECT_EQ(IsWindowActive(), 1);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"RequestImeRestoreOnActivate", "CheckAllSurface2DLost",
                                               "RestoreAllSurface3D", "ResumeAllMoviePlayback",
                                               "RefreshInputAcquire", "ApplyPadVibration"}));
}

TEST_F(WindowProcTest, ActivationWhileCreatingOnlySetsTheFlag) {
  SystemState.Window.Creating = 1;
  Send(WM_ACTIVATE, WA_INACTIVE);
  EXPECT_EQ(IsWindowActive(), 0);
  EXPECT_TRUE(Calls().empty());
  SystemState.Window.Creating = 0;
}

TEST_F(WindowProcTest, ActivateAppChangesNothingUnlessItDeactivates) {
  SystemState.Window.Active = 0;
  Send(WM_ACTIVATEAPP, 1);
  EXPECT_EQ(IsWindowActive(), 0);
  EXPECT_TRUE(Calls().empty());
  SystemState.Window.Active = 1;
  Send(WM_ACTIVATEAPP, 0);
  EXPECT_EQ(IsWindowActive(), 0);
  EXPECT_EQ(Count("PauseAllMoviePlayback"), 1);
}

TEST_F(FullScreenWindowProcTest, ActivationReappliesGraphicsUnlessMinimised) {
  Send(WM_ACTIVATE, WA_ACTIVE);
  EXPECT_EQ(CallsAmong(kDisplayRebuild), kDisplayRebuild);
  EXPECT_EQ(Calls().back(), "ApplyPadVibration");
  Calls().clear();
  Send(WM_ACTIVATE, WA_ACTIVE | (1u << 16));
  EXPECT_EQ(CallsAmong(kDisplayRebuild), std::vector<std::string>{"ResumeAllMoviePlayback"});
}

TEST_F(FullScreenWindowProcTest, DeactivationAfterAModeChangeReleasesTheDisplay) {
  Results()["IsDisplayModeChanged"] = 1;
  Results()["HasDirectDrawOutput"] = 0;
  Send(WM_ACTIVATE, WA_INACTIVE);
  EXPECT_EQ(Count("ReleaseDirectDraw"), 1);
  EXPECT_EQ(Count("ReleaseDirect3D"), 0);
  // Without a display object left, movies pause and input is released.
  EXPECT_EQ(Count("PauseAllMoviePlayback"), 1);
  EXPECT_EQ(Count("RefreshInputAcquire"), 1);
  Calls().clear();
  Results()["HasDirectDrawOutput"] = 1;
  Send(WM_ACTIVATE, WA_INACTIVE);
  EXPECT_EQ(Count("ReleaseDirect3D"), 1);
}

TEST_F(WindowProcTest, CloseFromOutsideDestroysAndMarksTheClosingState) {
  EXPECT_EQ(Send(WM_CLOSE), 0);
  EXPECT_EQ(PlatIsWindow(Main()), 0);
  EXPECT_EQ(SystemState.Window.ClosingState, CLOSING_BY_WM_CLOSE);
  EXPECT_EQ(SystemState.Window.Quit, 1);
  EXPECT_EQ(PumpWindowMessages(), -1);
}

TEST_F(WindowProcTest, CloseDuringTheLibrarysEndKeepsItsClosingState) {
  SystemState.Window.ClosingState = CLOSING_LIBRARY_END;
  Send(WM_CLOSE);
  EXPECT_EQ(PlatIsWindow(Main()), 0);
  EXPECT_EQ(SystemState.Window.ClosingState, CLOSING_LIBRARY_END);
}

TEST_F(WindowProcTest, DestroyPostsQuitAndSetsTheFlag) {
  PlatDestroyWindow(Main());
  EXPECT_EQ(SystemState.Window.Quit, 1);
  PlatMsg m;
  ASSERT_EQ(PlatPeekMessage(&m, PLAT_THREAD_MESSAGES, 1), 1);
  EXPECT_EQ(m.Message, WM_QUIT);
}

TEST_F(WindowProcTest, DisplayChangeToTheSameModeIsOnlySeen) {
  Send(WM_DISPLAYCHANGE, 16, PlatMakeLParam(640, 480));
  EXPECT_EQ(SystemState.Window.DisplayChangeSeen, 1);
  EXPECT_EQ(CountQueued(WM_CLOSE), 0);
  EXPECT_EQ(GetClosePostedFlag(), 0);
}

TEST_F(WindowProcTest, DisplayChangeTo24BitsIsRefusedWithOneClose) {
  Send(WM_DISPLAYCHANGE, 24, PlatMakeLParam(1024, 768));
  Send(WM_DISPLAYCHANGE, 24, PlatMakeLParam(1024, 768));
  EXPECT_EQ(GetClosePostedFlag(), 1);
  EXPECT_EQ(SystemState.Window.DisplayChangeSeen, 0);
  EXPECT_EQ(CountQueued(WM_CLOSE), 1);
}

TEST_F(WindowProcTest, DisplayChangeTo8BitsIsRefused) {
  Send(WM_DISPLAYCHANGE, 8, PlatMakeLParam(1024, 768));
  EXPECT_EQ(CountQueued(WM_CLOSE), 1);
}

TEST_F(WindowProcTest, DisplayChangeToASmallerScreenIsRefused) {
  Send(WM_DISPLAYCHANGE, 32, PlatMakeLParam(600, 800));
  EXPECT_EQ(CountQueued(WM_CLOSE), 1);
  EXPECT_EQ(Count("UpdateScreenColorFormat"), 0);
}

TEST_F(WindowProcTest, AcceptedDisplayChangeRebuildsTheScreenFormat) {
  Send(WM_DISPLAYCHANGE, 32, PlatMakeLParam(1280, 1024));
  EXPECT_EQ(CountQueued(WM_CLOSE), 0);
  EXPECT_EQ(SystemState.Window.DisplayChangeSeen, 1);
  std::vector<std::string> rebuild = {"ReleaseAllMovieStreams", "UpdateScreenColorFormat"};
  rebuild.insert(rebuild.end(), kDisplayRebuild.begin(), kDisplayRebuild.end());
  EXPECT_EQ(CallsAmong(rebuild), rebuild);
}

TEST_F(FullScreenWindowProcTest, DisplayChangeInFullScreenIsOnlySeen) {
  Send(WM_DISPLAYCHANGE, 24, PlatMakeLParam(320, 200));
  EXPECT_EQ(SystemState.Window.DisplayChangeSeen, 1);
  EXPECT_EQ(CountQueued(WM_CLOSE), 0);
}

TEST_F(WindowProcTest, TypedCharactersAreMapped) {
  for (int c : {0x0A, int('a'), 0x01, 0x08, 0x09, 0x0D, 0x10, 0x1B, 0x1F, 0x82, 0xA0})
    Send(WM_CHAR, uintptr_t(c));
  EXPECT_EQ(Pushed(), (std::vector<int>{0x0D, 'a', 0x08, 0x09, 0x0D, 0x10, 0x1B, 0x82, 0xA0}));
}

TEST_F(WindowProcTest, EditingKeysPushTheirControlCodes) {
  for (int vk : {VK_DELETE, VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, int('A'), VK_RETURN})
    Send(WM_KEYDOWN, uintptr_t(vk));
  EXPECT_EQ(Pushed(), (std::vector<int>{0x10, 0x1D, 0x1C, 0x1E, 0x1F}));
  Pushed().clear();
  Results()["IsTypedCharBufferFull"] = 1;
  Send(WM_KEYDOWN, VK_LEFT);
  EXPECT_TRUE(Pushed().empty());
}

TEST_F(WindowProcTest, TypedTextReachesTheBufferAsCodePageBytes) {
  // Native text is UTF-8.
  PlatFakeQueueEvent(PlatNativeEventKind::Text, 0, 0, reinterpret_cast<const char*>(u8"aあ"));
  PlatFakeQueueEvent(PlatNativeEventKind::KeyDown, VK_RETURN);
  EXPECT_EQ(PumpWindowMessages(), 0);
  // "あ" is 0x82 0xA0 in code page 932; Enter types a carriage return.
  EXPECT_EQ(Pushed(), (std::vector<int>{'a', 0x82, 0xA0, 0x0D}));
}

TEST_F(WindowProcTest, ScreenSaverAndMonitorPowerOffAreHeldOff) {
  EXPECT_EQ(Send(WM_SYSCOMMAND, SC_SCREENSAVE), 1);
  EXPECT_EQ(Send(WM_SYSCOMMAND, SC_MONITORPOWER), 1);
  EXPECT_EQ(Send(WM_SYSCOMMAND, 0xF020), 0);
}

TEST_F(WindowProcTest, ImeMessagesGoToTheTextInput) {
  InputServices.HandleImeMessage = [](void*, uint32_t, uintptr_t, intptr_t) -> intptr_t { return 7; };
  EXPECT_EQ(Send(WM_IME_COMPOSITION), 7);
  EXPECT_EQ(Send(WM_IME_NOTIFY), 7);
}

TEST_F(WindowProcTest, SizeFollowsTheWindowScaleUnlessMaximised) {
  SystemState.Kept.WindowScale = 2.0;
  Send(WM_SIZE, SIZE_MAXIMIZED, PlatMakeLParam(640, 480));
  PlatRect c;
  PlatGetClientRect(Main(), &c);
  EXPECT_EQ(c.Right, 640);
  Send(WM_SIZE, SIZE_RESTORED, PlatMakeLParam(640, 480));
  PlatGetClientRect(Main(), &c);
  EXPECT_EQ(c.Right, 1280);
  EXPECT_EQ(c.Bottom, 960);
}

TEST_F(WindowProcTest, DraggingKeepsTheProportionAndSetsTheScale) {
  const int fw = 2 * (FAKE_FRAME_SIDE + FAKE_CLIENT_EDGE);
  const int fh = FAKE_FRAME_SIDE * 2 + FAKE_FRAME_CAPTION + 2 * FAKE_CLIENT_EDGE;
  PlatRect r{0, 0, 1280 + fw, 500};
  Send(WM_SIZING, WMSZ_RIGHT, reinterpret_cast<intptr_t>(&r));
  EXPECT_EQ(r.Bottom, 960 + fh);
  EXPECT_DOUBLE_EQ(GetWindowScale(), 2.0);

  PlatRect b{10, 10, 10 + 100, 10 + 240 + fh};
  Send(WM_SIZING, WMSZ_BOTTOM, reinterpret_cast<intptr_t>(&b));
  EXPECT_EQ(b.Right, 10 + 320 + fw);
  EXPECT_DOUBLE_EQ(GetWindowScale(), 0.5);

  // A corner: the smaller proportion wins (here the height follows the width).
  PlatRect k{0, 0, 960 + fw, 600 + fh};
  Send(WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<intptr_t>(&k));
  EXPECT_EQ(k.Right, 960 + fw);
  EXPECT_EQ(k.Bottom, 720 + fh);
  EXPECT_DOUBLE_EQ(GetWindowScale(), 1.5);
}

TEST_F(WindowProcTest, MoveUpdatesTheClientRectangleAndTheDrawTarget) {
  Results()["GetDrawTarget"] = DRAW_TARGET_FRONT;
  Send(WM_MOVE, 0, PlatMakeLParam(-20, 30));
  int rect[4];
  GetWindowClientScreenRect(rect);
  EXPECT_EQ(rect[0], -20);
  EXPECT_EQ(rect[1], 30);
  EXPECT_EQ(rect[2], 620);
  EXPECT_EQ(rect[3], 510);
  EXPECT_EQ(Count("SetDrawTargetRect"), 1);
  EXPECT_EQ(Count("SetDrawClipRect"), 1);
}

TEST_F(FullScreenWindowProcTest, FullScreenWindowCannotBeMoved) {
  PlatRect proposed{100, 100, 740, 580};
  Send(WM_MOVING, 0, reinterpret_cast<intptr_t>(&proposed));
  EXPECT_EQ(proposed.Left, 0);
  EXPECT_EQ(proposed.Top, 0);
  EXPECT_EQ(proposed.Right, 640);
}

TEST_F(WindowProcTest, PaintBeforeTheLibraryRunsFillsBlackAndValidates) {
  PlatInvalidateRect(Main(), nullptr);
  SystemState.Initialised = 0;
  Send(WM_PAINT);
  SystemState.Initialised = 1;
  PlatMsg m;
  EXPECT_EQ(PlatPeekMessage(&m, Main(), 0), 0);
  EXPECT_EQ(Count("PresentSoftScreen"), 0);
}

TEST_F(WindowProcTest, PaintPresentsTheBackScreenWithoutWaitingForTheBlank) {
  Results()["GetDrawTarget"] = DRAW_TARGET_BACK;
  Results()["GetFlipWaitVBlank"] = 1;
  PlatInvalidateRect(Main(), nullptr);
  EXPECT_EQ(PumpWindowMessages(), 0);
  EXPECT_EQ(CallsAmong({"SetFlipWaitVBlank", "PresentSoftScreen"}),
            (std::vector<std::string>{"SetFlipWaitVBlank", "PresentSoftScreen", "SetFlipWaitVBlank"}));
  EXPECT_EQ(SystemState.Window.Painting, 0);
}
