// The message pump: batches of five, quit handling, the nested-pump guard
// and the wait while the window is inactive.
#include <thread>

#include "window_test_util.h"

using namespace wintest;

namespace {

class PumpTest : public StartedLibraryTest {
 protected:
  // WM_CHAR reaches the typed-character buffer: each dispatch is one push.
  void PostChars(int count) {
    for (int i = 0; i < count; ++i) PlatPostMessage(Main(), WM_CHAR, 'a', 0);
  }
  int QueuedForMain() {
    int n = 0;
    PlatMsg m;
    while (PlatPeekMessage(&m, Main(), 1)) ++n;
    return n;
  }
};

}  // namespace

TEST_F(PumpTest, ActiveWindowDispatchesEverythingQueued) {
  PostChars(6);
  int sleeps = PlatFakeSleepCount();
  EXPECT_EQ(PumpWindowMessages(), 0);
  EXPECT_EQ(Count("PushTypedChar"), 6);
  EXPECT_EQ(PlatFakeSleepCount(), sleeps);  // an active window never sleeps in the pump
  // The per-call services, once each.
  EXPECT_EQ(
      CallsAmong({"ProcessAllStreamSounds", "PollDirectMusicState", "UpdatePadVibrationTimers",
                  "PumpNetWorkMessages", "GetHttpTransferCount", "EditActiveTextInput"}),
      (std::vector<std::string>{"ProcessAllStreamSounds", "PollDirectMusicState", "UpdatePadVibrationTimers",
                                "PumpNetWorkMessages", "GetHttpTransferCount", "EditActiveTextInput"}));
}

TEST_F(PumpTest, SixMessagesTakeThreeBatches) {
  // Inactive but closing: the pump does not wait, and each batch sleeps
  // twice, which shows how many batches ran.
  SystemState.Window.Active = 0;
  SystemState.Window.ClosePosted = 1;
  PostChars(6);
  int sleeps = PlatFakeSleepCount();
  EXPECT_EQ(PumpWindowMessagesImpl(), 0);
  EXPECT_EQ(Count("PushTypedChar"), 6);
  EXPECT_EQ(PlatFakeSleepCount() - sleeps, 6);
}

TEST_F(PumpTest, FiveMessagesTakeTwoBatches) {
  SystemState.Window.Active = 0;
  SystemState.Window.ClosePosted = 1;
  PostChars(5);
  int sleeps = PlatFakeSleepCount();
  EXPECT_EQ(PumpWindowMessagesImpl(), 0);
  EXPECT_EQ(Count("PushTypedChar"), 5);
  EXPECT_EQ(PlatFakeSleepCount() - sleeps, 4);
}

TEST_F(PumpTest, QuitMessageSetsTheFlagAndEndsThePump) {
  PlatPostQuitMessage(0);
  EXPECT_EQ(PumpWindowMessages(), -1);
  EXPECT_EQ(SystemState.Window.Quit, 1);
  EXPECT_EQ(IsWindowDestroyed(), 1);
  // With the quit flag set and the window not waiting, no batch runs.
  PostChars(1);
  EXPECT_EQ(PumpWindowMessages(), -1);
  EXPECT_EQ(Count("PushTypedChar"), 0);
}

TEST_F(PumpTest, MessageTakenAfterQuitIsDroppedUndispatched) {
  SystemState.Window.Quit = 1;
  SystemState.Window.Active = 0;  // waiting: one batch still runs
  SystemState.Window.ClosePosted = 0;
  PostChars(2);
  EXPECT_EQ(PumpWindowMessagesImpl(), -1);
  EXPECT_EQ(Count("PushTypedChar"), 0);
  EXPECT_EQ(QueuedForMain(), 1);  // the first was taken and dropped
}

TEST_F(PumpTest, ActivateAppInWindowedModeSetsTheActiveFlag) {
  SystemState.Window.Active = 1;
  PlatPostMessage(Main(), WM_ACTIVATEAPP, 0, 0);
  // Deactivated by the message itself: the pump then waits; a closing
  // window does not.
  SystemState.Window.ClosePosted = 1;
  PumpWindowMessagesImpl();
  EXPECT_EQ(SystemState.Window.Active, 0);
}

TEST_F(PumpTest, NestedPumpDuringTextEditingReturnsAtOnce) {
  static int nestedResult = 99;
  static int pushesSeenInside = -1;
  InputServices.EditActiveTextInput = [] {
    PlatPostMessage(GetMainWindow(), WM_CHAR, 'b', 0);
    int before = Count("PushTypedChar");
    nestedResult = PumpWindowMessagesImpl();
    pushesSeenInside = Count("PushTypedChar") - before;
    return 0;
  };
  EXPECT_EQ(PumpWindowMessagesImpl(), 0);
  EXPECT_EQ(nestedResult, 0);
  EXPECT_EQ(pushesSeenInside, 0);
  EXPECT_EQ(SystemState.Window.ServiceGuard, 0);
  InstallRecordingServices();
  EXPECT_EQ(PumpWindowMessagesImpl(), 0);
  EXPECT_EQ(Count("PushTypedChar"), 1);
}

TEST_F(PumpTest, InactiveWindowWaitsUntilActivatedWhileServicing) {
  SystemState.Window.Active = 0;
  uint32_t start = PlatFakeClockNow();
  PlatFakeScheduleEvent(start + 50, PlatNativeEventKind::FocusGained);
  EXPECT_EQ(PumpWindowMessages(), 0);
  EXPECT_EQ(SystemState.Window.Active, 1);
  EXPECT_GE(PlatFakeClockNow() - start, 50u);
  // Sound streams, movies and the network kept running meanwhile.
  EXPECT_GE(Count("ProcessAllStreamSounds"), 20);
  EXPECT_GE(Count("DrawAllMoviesToScreen"), 20);
  EXPECT_GE(Count("StepAllHttpTransfers"), 20);
  EXPECT_GE(Count("PumpNetWorkMessages"), 20);
}

TEST_F(PumpTest, InactiveWindowWaitEndsWhenTheWindowIsClosed) {
  SystemState.Window.Active = 0;
  PlatFakeScheduleEvent(PlatFakeClockNow() + 30, PlatNativeEventKind::CloseRequested);
  EXPECT_EQ(PumpWindowMessages(), -1);
  EXPECT_EQ(SystemState.Window.ClosingState, CLOSING_BY_WM_CLOSE);
  EXPECT_EQ(PlatIsWindow(Main()), 0);
  EXPECT_EQ(PumpWindowMessages(), -1);
  EXPECT_EQ(PumpWindowMessages(), -1);
}

TEST_F(PumpTest, NeverDeactivatedWindowNeverBlocks) {
  for (int i = 0; i < 100; ++i) ASSERT_EQ(PumpWindowMessages(), 0);
}

TEST_F(PumpTest, AnotherThreadRunsOneBatchAndReturns) {
  SystemState.Window.Active = 0;
  int result = 99;
  std::thread other([&] { result = PumpWindowMessagesImpl(); });
  other.join();
  EXPECT_EQ(result, 0);
}

TEST_F(PumpTest, InactiveGuardReturnsAtOnceWhilePaintingOrActive) {
  SystemState.Window.Active = 0;
  SystemState.Window.Painting = 1;
  int sleeps = PlatFakeSleepCount();
  WaitWhileWindowInactive();
  EXPECT_EQ(PlatFakeSleepCount(), sleeps);
  SystemState.Window.Painting = 0;
  SystemState.Window.Active = 1;
  WaitWhileWindowInactive();
  EXPECT_EQ(Count("RestoreAllGraphSurfaces"), 0);
}

TEST_F(PumpTest, InactiveGuardWaitsForActivationThenRestoresGraphs) {
  SystemState.Window.Active = 0;
  PlatFakeScheduleEvent(PlatFakeClockNow() + 20, PlatNativeEventKind::FocusGained);
  WaitWhileWindowInactive();
  EXPECT_EQ(SystemState.Window.Active, 1);
  EXPECT_EQ(Count("RestoreAllGraphSurfaces"), 1);
}

namespace {
class PumpWithoutWindow : public teststate::FreshProcessTest {};
}  // namespace

TEST_F(PumpWithoutWindow, AnswersByTheQuitFlag) {
  EXPECT_EQ(PumpWindowMessagesImpl(), 0);
  SystemState.Window.Quit = 1;
  EXPECT_EQ(PumpWindowMessagesImpl(), -1);
}
