// The main window: its geometry, mode changes, title and desktop queries.
#include <cstring>
#include <string>

#include "core/strutil.h"
#include "window_test_util.h"

using namespace wintest;

namespace {

class MainWindowTest : public LibraryEndingTest {};

constexpr int kFrameLeft = FAKE_FRAME_SIDE + FAKE_CLIENT_EDGE;
constexpr int kFrameTop = FAKE_FRAME_SIDE + FAKE_FRAME_CAPTION + FAKE_CLIENT_EDGE;
constexpr int kFrameW = 2 * kFrameLeft;
constexpr int kFrameH = kFrameTop + FAKE_FRAME_SIDE + FAKE_CLIENT_EDGE;

}  // namespace

TEST_F(MainWindowTest, DefaultWindowedWindowIsCentredWithTheScreenSize) {
  StartLibrary();
  PlatWindow w = Main();
  EXPECT_EQ(PlatGetWindowLong(w, GWL_STYLE) & ~WS_VISIBLE, 0x80CA0000u);
  EXPECT_EQ(PlatGetWindowLong(w, GWL_EXSTYLE), 0x300u);
  // The window rectangle (-frame, -frame, ...) moves by half the room left.
  int left = (1024 - (640 + kFrameW)) / 2;
  int top = (768 - (480 + kFrameH)) / 2;
  int rect[4];
  GetWindowClientScreenRect(rect);
  EXPECT_EQ(rect[0], left);
  EXPECT_EQ(rect[1], top);
  EXPECT_EQ(rect[2], left + 640);
  EXPECT_EQ(rect[3], top + 480);
  PlatRect native;
  ASSERT_EQ(PlatFakeNativeBounds(w, &native), 0);
  EXPECT_EQ(native.Left, left);
  EXPECT_EQ(native.Right - native.Left, 640);
  EXPECT_EQ(native.Bottom - native.Top, 480);
  EXPECT_EQ(PlatFakeNativeVisible(w), 1);
  EXPECT_EQ(PlatFakeNativeCaptioned(w), 1);
  EXPECT_EQ(IsWindowedMode(), 1);
  EXPECT_EQ(IsWindowActive(), 1);
  EXPECT_EQ(IsWindowRegionSet(), 0);
  EXPECT_EQ(PlatFakeCursorVisible(), 1);
}

TEST_F(MainWindowTest, ScaleOfZeroOrLessActsAsOne) {
  SystemState.Kept.WindowScale = -3.0;
  StartLibrary();
  EXPECT_DOUBLE_EQ(GetWindowScale(), 1.0);
  PlatRect c;
  PlatGetClientRect(Main(), &c);
  EXPECT_EQ(c.Right, 640);
  EXPECT_EQ(c.Bottom, 480);
}

TEST_F(MainWindowTest, WindowLargerThanTheDesktopStartsAtTheScreensCorner) {
  SystemState.Kept.WindowScale = 2.0;
  StartLibrary();
  int rect[4];
  GetWindowClientScreenRect(rect);
  EXPECT_EQ(rect[0], 0);
  EXPECT_EQ(rect[1], 0);
  EXPECT_EQ(rect[2], 1280);
  EXPECT_EQ(rect[3], 960);
  PlatRect native;
  PlatFakeNativeBounds(Main(), &native);
  EXPECT_EQ(native.Left, 0);
  EXPECT_EQ(native.Top, 0);
}

TEST_F(MainWindowTest, FullScreenWindowCoversTheScreenTopmostWithoutCursor) {
  ChangeWindowMode(0);
  StartLibrary();
  EXPECT_EQ(PlatGetWindowLong(Main(), GWL_STYLE) & ~WS_VISIBLE, WS_POPUP);
  EXPECT_EQ(PlatGetWindowLong(Main(), GWL_EXSTYLE), WS_EX_TOPMOST);
  PlatRect native;
  PlatFakeNativeBounds(Main(), &native);
  EXPECT_EQ(native.Left, 0);
  EXPECT_EQ(native.Right, 640);
  EXPECT_EQ(PlatFakeCursorVisible(), 0);
  EXPECT_DOUBLE_EQ(GetWindowScale(), 1.0);
}

TEST_F(MainWindowTest, ChangingToTheSameModeOnlyLogs) {
  StartLibrary();
  EXPECT_EQ(ChangeWindowMode(1), 0);
  EXPECT_EQ(Count("ChangeScreenMode"), 0);
}

TEST_F(MainWindowTest, ChangingModeBeforeStartOnlyStoresIt) {
  EXPECT_EQ(ChangeWindowMode(0), 0);
  EXPECT_EQ(IsWindowedMode(), 0);
  EXPECT_EQ(Count("ChangeScreenMode"), 0);
  EXPECT_EQ(Count("InitializeFontSystem"), 0);
  EXPECT_EQ(PlatFakeIsStarted(), 0);
}

TEST_F(MainWindowTest, ModeChangeWaitsForTheDisplayChange) {
  StartLibrary();
  DisplayServices.ChangeScreenMode = [](int, int, int, int, int) {
    Calls().push_back("ChangeScreenMode");
    PlatFakeClockAdvance(10);
    PlatNotifyDisplayChange(16, 640, 480);
    return 0;
  };
  uint32_t start = PlatFakeClockNow();
  EXPECT_EQ(ChangeWindowMode(0), 0);
  // The fonts start again with the graphics manager that the change rebuilds.
  EXPECT_EQ(CallsAmong({"TerminateFontSystem", "ChangeScreenMode", "InitializeFontSystem"}),
            (std::vector<std::string>{"TerminateFontSystem", "ChangeScreenMode", "InitializeFontSystem"}));
  EXPECT_EQ(SystemState.Window.DisplayChangeSeen, 1);
  EXPECT_EQ(SystemState.Window.ModeChanging, 0);
  EXPECT_LT(PlatFakeClockNow() - start, 100u);
  EXPECT_EQ(PlatGetWindowLong(Main(), GWL_STYLE) & ~WS_VISIBLE, WS_POPUP);
  EXPECT_EQ(PlatFakeNativeTopmost(Main()), 1);
  EXPECT_EQ(PlatFakeCursorVisible(), 0);
  int rect[4];
  GetWindowClientScreenRect(rect);
  EXPECT_EQ(rect[2], 640);

  // And back to a window, centred again with its cursor.
  EXPECT_EQ(ChangeWindowMode(1), 0);
  EXPECT_EQ(PlatGetWindowLong(Main(), GWL_STYLE), 0x80CA0000u | WS_VISIBLE);
  EXPECT_EQ(PlatFakeNativeCaptioned(Main()), 1);
  EXPECT_EQ(PlatFakeCursorVisible(), 1);
}

TEST_F(MainWindowTest, ModeChangeGivesUpWaitingAfterItsLimit) {
  StartLibrary();
  uint32_t start = PlatFakeClockNow();
  EXPECT_EQ(ChangeWindowMode(0), 0);  // the display never reports
  EXPECT_EQ(SystemState.Window.DisplayChangeSeen, 0);
  EXPECT_GE(PlatFakeClockNow() - start, MODE_CHANGE_WAIT_LIMIT_MS);
  EXPECT_LT(PlatFakeClockNow() - start, MODE_CHANGE_WAIT_LIMIT_MS + 100);
}

TEST_F(MainWindowTest, LongTitleIsCutWholeCharacters) {
  std::string title;
  while (title.size() < 300) title += "\x82\xa0";  // "あ" repeated
  SetMainWindowTitle(title.c_str());
  size_t stored = std::strlen(SystemState.Kept.WindowTitle);
  EXPECT_EQ(stored, 254u);  // 127 whole characters fit in 255 bytes
  StartLibrary();
  EXPECT_EQ(std::strlen(SystemState.Kept.WindowClassName), 254u);
}

TEST_F(MainWindowTest, TitleSetLaterBecomesTheWindowText) {
  StartLibrary();
  SetMainWindowTitle("Later");
  EXPECT_EQ(PlatFakeNativeTitle(Main()), "Later");
  EXPECT_STREQ(SystemState.Kept.WindowClassName, "FakeWindowTest");
  EXPECT_EQ(SetWindowIconResource(0), 0);
}

TEST_F(MainWindowTest, ScreenSaverIsHeldOffWhileTheLibraryLives) {
  StartLibrary();
  EXPECT_EQ(PlatFakeScreenSaverActive(), 0);
  EndLibrary();
  EXPECT_EQ(PlatFakeScreenSaverActive(), 1);
}

TEST_F(MainWindowTest, DesktopMetricsAreLiveBeforeStartAndSavedAfter) {
  PlatFakeSetDesktop(1920, 1080, 32);
  int w, h, b;
  GetDesktopMetrics(&w, &h, &b);
  EXPECT_EQ(w, 1920);
  EXPECT_EQ(b, 32);
  StartLibrary();
  PlatFakeSetDesktop(800, 600, 16);
  GetDesktopMetrics(&w, &h, nullptr);
  EXPECT_EQ(w, 1920);
  EXPECT_EQ(h, 1080);
}

TEST_F(MainWindowTest, FullScreenStartBringsTheWindowToTheFront) {
  ChangeWindowMode(0);
  int raises = PlatFakeRaiseCount();
  StartLibrary();
  EXPECT_GT(PlatFakeRaiseCount(), raises);
  EXPECT_EQ(PlatFakeNativeTopmost(Main()), 1);
}
