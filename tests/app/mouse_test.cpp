// The cursor's show count and the mouse position.
#include "app/mouse.h"

#include "window_test_util.h"

using namespace wintest;

namespace {

// The layer's show count, read without changing it.
int ShowCount() {
  int count = PlatShowCursor(1);
  PlatShowCursor(0);
  return count - 1;
}

class MouseTest : public LibraryEndingTest {};

}  // namespace

TEST_F(MouseTest, ShowCountFollowsTheRequest) {
  StartLibrary();
  EXPECT_GE(ShowCount(), 0);
  EXPECT_EQ(SetMouseCursorVisible(0), 0);
  EXPECT_LT(ShowCount(), 0);
  EXPECT_EQ(PlatFakeCursorVisible(), 0);
  // The state already in force does not touch the count.
  int before = ShowCount();
  SetMouseCursorVisible(0);
  EXPECT_EQ(ShowCount(), before);
  SetMouseCursorVisible(1);
  EXPECT_GE(ShowCount(), 0);
  EXPECT_EQ(PlatFakeCursorVisible(), 1);
  before = ShowCount();
  SetMouseCursorVisible(1);
  EXPECT_EQ(ShowCount(), before);
}

TEST_F(MouseTest, WithoutAWindowTheCursorCountsAsHidden) {
  EXPECT_EQ(SetMouseCursorVisible(1), 0);
  EXPECT_EQ(SystemState.Window.CursorVisible, 0);
  EXPECT_EQ(SystemState.Window.CursorRequest, 1);
}

TEST_F(MouseTest, FullScreenCursorStaysHiddenAfterMouseMovement) {
  ChangeWindowMode(0);
  StartLibrary();
  EXPECT_EQ(PlatFakeCursorVisible(), 0);
  PlatFakeQueueEvent(PlatNativeEventKind::MouseMove, 10, 10);
  PlatFakeQueueEvent(PlatNativeEventKind::MouseButtonDown, 0);
  EXPECT_EQ(PumpWindowMessages(), 0);
  EXPECT_EQ(PlatFakeCursorVisible(), 0);
  EXPECT_LT(ShowCount(), 0);
  // Asked for, it shows; the pump keeps the caller's request.
  SetMouseCursorVisible(1);
  EXPECT_EQ(PumpWindowMessages(), 0);
  EXPECT_EQ(PlatFakeCursorVisible(), 1);
}

TEST_F(MouseTest, PositionAtWindowScaleTwo) {
  SystemState.Kept.WindowScale = 2.0;
  StartLibrary();
  int rect[4];
  GetWindowClientScreenRect(rect);
  PlatFakeSetCursorPos(rect[0] + 100, rect[1] + 50);
  int x = -1, y = -1;
  EXPECT_EQ(GetMousePosition(&x, &y), 0);
  EXPECT_EQ(x, 50);
  EXPECT_EQ(y, 25);
  EXPECT_EQ(GetMousePosition(nullptr, &y), 0);
}

TEST_F(MouseTest, PositionLeftOfTheWindowTruncatesTowardZero) {
  StartLibrary();
  SystemState.Kept.WindowScale = 2.0;
  int rect[4];
  GetWindowClientScreenRect(rect);
  PlatFakeSetCursorPos(rect[0] - 3, rect[1] + 3);
  int x, y;
  GetMousePosition(&x, &y);
  EXPECT_EQ(x, -1);
  EXPECT_EQ(y, 1);
}

TEST_F(MouseTest, FullScreenPositionIsTheScreenPosition) {
  ChangeWindowMode(0);
  StartLibrary();
  PlatFakeSetCursorPos(123, 45);
  int x, y;
  GetMousePosition(&x, &y);
  EXPECT_EQ(x, 123);
  EXPECT_EQ(y, 45);
}
