// Message-only windows: a queue and a procedure without a native window.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/thread.h"
#include "platform/window.h"
#include "platform/window_fake.h"
#include "process_state.h"

namespace {

std::vector<uint32_t>& Seen() {
  static std::vector<uint32_t> seen;
  return seen;
}

intptr_t Proc(PlatWindow w, uint32_t m, uintptr_t wp, intptr_t lp) {
  Seen().push_back(m);
  return PlatDefWindowProc(w, m, wp, lp);
}

class MessageWindow : public teststate::FreshProcessTest {};

TEST_F(MessageWindow, QueuesAndDispatchesWithoutANativeWindow) {
  PlatUseFakeWindowBackend();
  Seen().clear();
  PlatWindow w = PlatCreateMessageWindow(Proc);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(PlatFakeIsStarted(), 0) << "the window system is not started for it";
  EXPECT_EQ(PlatFakeNativeWindowCount(), 0);
  EXPECT_EQ(PlatIsWindow(w), 1);
  EXPECT_EQ(PlatGetWindowThread(w), PlatCurrentThreadId());
  EXPECT_EQ(PlatCreateMessageWindow(nullptr), nullptr);

  // Nothing to paint, show or move.
  EXPECT_EQ(PlatInvalidateRect(w, nullptr), -1);
  EXPECT_EQ(PlatShowWindow(w, SW_SHOW), -1);
  EXPECT_EQ(PlatSetWindowPos(w, HWND_TOP, 0, 0, 10, 10, 0), -1);
  PlatMsg m;
  EXPECT_EQ(PlatPeekMessage(&m, w, 1), 0);

  // Posted messages: found, counted, dropped by kind.
  ASSERT_EQ(PlatPostMessage(w, 0x505, 7, 1), 0);
  ASSERT_EQ(PlatPostMessage(w, 0x505, 8, 1), 0);
  ASSERT_EQ(PlatPostMessage(w, 0x505, 7, 2), 0);
  EXPECT_EQ(PlatHasQueuedMessage(w, 0x505, 7, 2), 1);
  EXPECT_EQ(PlatHasQueuedMessage(w, 0x505, 7, 3), 0);
  EXPECT_EQ(PlatRemoveQueuedMessages(w, 0x505, 7), 2);
  ASSERT_EQ(PlatPeekMessage(&m, w, 1), 1);
  EXPECT_EQ(m.WParam, 8u);
  PlatDispatchMessage(&m);
  EXPECT_EQ(Seen(), std::vector<uint32_t>{0x505});

  // Messages posted from another thread arrive on the owner's queue.
  std::thread([&] { PlatPostMessage(w, 0x506, 0, 0); }).join();
  ASSERT_EQ(PlatPeekMessage(&m, w, 1), 1);
  EXPECT_EQ(m.Message, 0x506u);

  // WM_CLOSE through the default handling destroys it, WM_DESTROY first.
  ASSERT_EQ(PlatPostMessage(w, WM_CLOSE, 0, 0), 0);
  ASSERT_EQ(PlatPeekMessage(&m, w, 1), 1);
  PlatDispatchMessage(&m);
  EXPECT_EQ(PlatIsWindow(w), 0);
  EXPECT_EQ(Seen().back(), WM_DESTROY);
  EXPECT_EQ(PlatPostMessage(w, 0x505, 0, 0), -1);
  EXPECT_EQ(PlatGetWindowThread(w), 0u);
  EXPECT_EQ(PlatFakeIsStarted(), 0);
}

}  // namespace
