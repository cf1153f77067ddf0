// The window layer: queues, peek filters, paint, send and destroy, the
// translation of native events, the cursor count, the class lock, and the
// SDL back end on the dummy driver.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/present.h"
#include "platform/window.h"
#include "platform/window_backend.h"
#include "platform/window_fake.h"
#include "platform/window_lock.h"
#include "process_state.h"

namespace {

struct Seen {
  uint32_t Message;
  uintptr_t WParam;
  intptr_t LParam;
};

std::vector<Seen>& Log() {
  static std::vector<Seen> log;
  return log;
}

intptr_t RecordingProc(PlatWindow w, uint32_t m, uintptr_t wp, intptr_t lp) {
  Log().push_back(Seen{m, wp, lp});
  return PlatDefWindowProc(w, m, wp, lp);
}

class WindowLayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    teststate::ResetProcessState();
    ASSERT_EQ(PlatUseFakeWindowBackend(), 0);
    PlatWindowClass c{0, RecordingProc, 32512, "LayerTest"};
    ASSERT_EQ(PlatRegisterClass(&c), 0);
    window_ = PlatCreateWindow(0, "LayerTest", "t", WS_POPUP | WS_VISIBLE, 10, 20, 320, 240);
    ASSERT_NE(window_, nullptr);
    Drain();
    Log().clear();
  }
  void TearDown() override {
    if (PlatIsWindow(window_)) PlatDestroyWindow(window_);
    PlatUnregisterClass("LayerTest");
    teststate::ResetProcessState();
  }
  // Dispatches everything queued; returns the messages taken.
  std::vector<uint32_t> Drain() {
    std::vector<uint32_t> taken;
    PlatMsg m;
    while (PlatPeekMessage(&m, nullptr, 1)) {
      taken.push_back(m.Message);
      PlatTranslateMessage(&m);
      PlatDispatchMessage(&m);
      if (taken.size() > 100) break;
    }
    return taken;
  }
  PlatWindow window_ = nullptr;
};

}  // namespace

TEST_F(WindowLayerTest, PeekFiltersAndOrder) {
  PlatPostMessage(window_, WM_USER + 1, 1, 0);
  PlatPostMessage(nullptr, WM_USER + 2, 2, 0);
  PlatPostQuitMessage(7);
  PlatMsg m;
  // Only thread messages: the thread's own, then the quit once it is alone.
  ASSERT_EQ(PlatPeekMessage(&m, PLAT_THREAD_MESSAGES, 1), 1);
  EXPECT_EQ(m.Message, WM_USER + 2u);
  EXPECT_EQ(m.Window, nullptr);
  ASSERT_EQ(PlatPeekMessage(&m, PLAT_THREAD_MESSAGES, 0), 1);
  EXPECT_EQ(m.Message, WM_QUIT);
  // Any message: the window's posted message comes before the quit.
  ASSERT_EQ(PlatPeekMessage(&m, nullptr, 0), 1);
  EXPECT_EQ(m.Message, WM_USER + 1u);
  ASSERT_EQ(PlatPeekMessage(&m, window_, 1), 1);
  ASSERT_EQ(PlatPeekMessage(&m, nullptr, 1), 1);
  EXPECT_EQ(m.Message, WM_QUIT);
  EXPECT_EQ(m.WParam, 7u);
  EXPECT_EQ(PlatPeekMessage(&m, nullptr, 1), 0);
}

TEST_F(WindowLayerTest, PaintComesOnlyWhileInvalidAndPaintingValidates) {
  PlatMsg m;
  EXPECT_EQ(PlatPeekMessage(&m, nullptr, 1), 0);
  PlatInvalidateRect(window_, nullptr);
  ASSERT_EQ(PlatPeekMessage(&m, nullptr, 1), 1);
  EXPECT_EQ(m.Message, WM_PAINT);
  // Taking WM_PAINT does not validate; painting does.
  ASSERT_EQ(PlatPeekMessage(&m, nullptr, 1), 1);
  PlatRect r;
  ASSERT_EQ(PlatBeginPaint(window_, &r), 0);
  EXPECT_EQ(r.Right, 320);
  EXPECT_EQ(r.Bottom, 240);
  PlatEndPaint(window_);
  EXPECT_EQ(PlatPeekMessage(&m, nullptr, 1), 0);
  // Posted messages go first.
  PlatInvalidateRect(window_, nullptr);
  PlatPostMessage(window_, WM_USER, 0, 0);
  EXPECT_EQ(Drain(), (std::vector<uint32_t>{WM_USER, WM_PAINT}));
}

TEST_F(WindowLayerTest, DestroySendsDestroyFirstAndDropsQueuedMessages) {
  PlatPostMessage(window_, WM_USER, 0, 0);
  EXPECT_EQ(PlatDestroyWindow(window_), 0);
  ASSERT_EQ(Log().size(), 1u);
  EXPECT_EQ(Log()[0].Message, WM_DESTROY);
  EXPECT_EQ(PlatIsWindow(window_), 0);
  PlatMsg m;
  EXPECT_EQ(PlatPeekMessage(&m, nullptr, 1), 0);
  EXPECT_EQ(PlatPostMessage(window_, WM_USER, 0, 0), -1);
  EXPECT_EQ(PlatSendMessage(window_, WM_USER, 0, 0), 0);
  EXPECT_EQ(PlatDestroyWindow(window_), -1);
  EXPECT_EQ(PlatFakeNativeWindowCount(), 0);
}

TEST_F(WindowLayerTest, CloseByDefaultDestroys) {
  PlatFakeQueueEvent(PlatNativeEventKind::CloseRequested);
  Drain();
  EXPECT_EQ(PlatIsWindow(window_), 0);
  ASSERT_GE(Log().size(), 2u);
  EXPECT_EQ(Log()[0].Message, WM_CLOSE);
  EXPECT_EQ(Log()[1].Message, WM_DESTROY);
}

namespace {
int g_nestedTaken = 0;
intptr_t PumpingProc(PlatWindow w, uint32_t m, uintptr_t wp, intptr_t lp) {
  if (m == WM_USER) {
    // A pump inside a dispatch takes the rest of the queue.
    PlatMsg inner;
    while (PlatPeekMessage(&inner, nullptr, 1)) {
      ++g_nestedTaken;
      PlatDispatchMessage(&inner);
    }
    return 5;
  }
  return PlatDefWindowProc(w, m, wp, lp);
}
}  // namespace

TEST_F(WindowLayerTest, SendIsSynchronousAndAProcedureMayPump) {
  PlatWindowClass c{0, PumpingProc, 0, "Pumping"};
  ASSERT_EQ(PlatRegisterClass(&c), 0);
  EXPECT_EQ(PlatRegisterClass(&c), -1);  // taken
  PlatWindow w = PlatCreateWindow(0, "Pumping", "p", WS_POPUP, 0, 0, 10, 10);
  ASSERT_NE(w, nullptr);
  Drain();
  PlatPostMessage(w, WM_USER + 5, 0, 0);
  PlatPostMessage(w, WM_USER + 6, 0, 0);
  EXPECT_EQ(PlatSendMessage(w, WM_USER, 0, 0), 5);
  EXPECT_EQ(g_nestedTaken, 2);
  EXPECT_EQ(PlatUnregisterClass("Pumping"), -1);  // still has a window
  PlatDestroyWindow(w);
  EXPECT_EQ(PlatUnregisterClass("Pumping"), 0);
}

TEST_F(WindowLayerTest, KeysBecomeVirtualKeysAndControlCharacters) {
  PlatFakeQueueEvent(PlatNativeEventKind::KeyDown, VK_RETURN);
  PlatFakeQueueEvent(PlatNativeEventKind::KeyDown, 'A', 1);
  PlatFakeQueueEvent(PlatNativeEventKind::KeyUp, 'A');
  PlatFakeQueueEvent(PlatNativeEventKind::KeyDown, 0x1FF);  // no such key: dropped
  EXPECT_EQ(Drain(), (std::vector<uint32_t>{WM_KEYDOWN, WM_CHAR, WM_KEYDOWN, WM_KEYUP}));
  EXPECT_EQ(Log()[0].WParam, uintptr_t(VK_RETURN));
  EXPECT_EQ(Log()[1].WParam, 0x0Du);
  EXPECT_EQ(Log()[2].WParam, uintptr_t('A'));
  EXPECT_NE(Log()[2].LParam & (1 << 30), 0);  // a repeat
}

TEST_F(WindowLayerTest, PhysicalKeysReachTheWindowAsTheirVirtualKeys) {
  constexpr int kScZ = 29, kScKpEnter = 88, kScPower = 102;
  ASSERT_EQ(PlatFakeQueueKey(kScZ, 1), 0);
  ASSERT_EQ(PlatFakeQueueKey(kScPower, 1), 0);  // no virtual key: no message
  ASSERT_EQ(PlatFakeQueueKey(kScKpEnter, 1), 0);
  ASSERT_EQ(PlatFakeQueueKey(kScZ, 0), 0);
  EXPECT_EQ(PlatFakeQueueKey(1, 1), -1);  // not a key
  // Pads and the side mouse buttons are input state only.
  PlatFakePlugPad(3);
  PlatFakeQueuePadButton(3, 0, 1);
  PlatFakeQueueMouseButton(3, 1);
  EXPECT_EQ(Drain(), (std::vector<uint32_t>{WM_KEYDOWN, WM_KEYDOWN, WM_CHAR, WM_KEYUP}));
  EXPECT_EQ(Log()[0].WParam, uintptr_t('Z'));
  EXPECT_EQ(Log()[1].WParam, uintptr_t(VK_RETURN));
  EXPECT_EQ(Log()[3].WParam, uintptr_t('Z'));
  PlatFakeUnplugAllPads();
}

TEST_F(WindowLayerTest, TypedTextBecomesCodePageBytes) {
  PlatFakeQueueEvent(PlatNativeEventKind::Text, 0, 0, reinterpret_cast<const char*>(u8"Zｱ漢"));
  Drain();
  std::vector<uintptr_t> bytes;
  for (const Seen& s : Log())
    if (s.Message == WM_CHAR) bytes.push_back(s.WParam);
  // Z, half-width katakana A (one byte), 漢 (0x8A 0xBF).
  EXPECT_EQ(bytes, (std::vector<uintptr_t>{'Z', 0xB1, 0x8A, 0xBF}));
}

TEST_F(WindowLayerTest, ActivationIsToldOnceAndInOrder) {
  PlatFakeQueueEvent(PlatNativeEventKind::FocusGained);
  PlatFakeQueueEvent(PlatNativeEventKind::FocusGained);  // no change: dropped
  PlatFakeQueueEvent(PlatNativeEventKind::FocusLost);
  EXPECT_EQ(Drain(), (std::vector<uint32_t>{WM_ACTIVATEAPP, WM_ACTIVATE, WM_ACTIVATE, WM_ACTIVATEAPP}));
  EXPECT_EQ(Log()[0].WParam, 1u);
  EXPECT_EQ(Log()[1].WParam, WA_ACTIVE);
  EXPECT_EQ(Log()[2].WParam, WA_INACTIVE);
  EXPECT_EQ(Log()[3].WParam, 0u);
}

TEST_F(WindowLayerTest, NativeMovesAndSizesAreToldWhenTheyChangeSomething) {
  PlatFakeQueueEvent(PlatNativeEventKind::Moved, 10, 20);  // where it is: dropped
  PlatFakeQueueEvent(PlatNativeEventKind::Moved, -5, 7);
  PlatFakeQueueEvent(PlatNativeEventKind::Resized, 400, 300);
  PlatFakeQueueEvent(PlatNativeEventKind::Maximized);
  EXPECT_EQ(Drain(), (std::vector<uint32_t>{WM_MOVE, WM_SIZE, WM_SIZE, WM_PAINT}));
  EXPECT_EQ(PlatSignedLowWord(Log()[0].LParam), -5);
  EXPECT_EQ(PlatSignedHighWord(Log()[0].LParam), 7);
  EXPECT_EQ(Log()[1].WParam, SIZE_RESTORED);
  EXPECT_EQ(Log()[2].WParam, SIZE_MAXIMIZED);
  PlatRect r;
  PlatGetWindowRect(window_, &r);
  EXPECT_EQ(r.Left, -5);
  EXPECT_EQ(r.Right, 395);
}

TEST_F(WindowLayerTest, SetWindowPosTellsMoveAndSizeAtOnce) {
  PlatSetWindowPos(window_, HWND_TOPMOST, 50, 60, 100, 80, 0);
  ASSERT_EQ(Log().size(), 2u);
  EXPECT_EQ(Log()[0].Message, WM_MOVE);
  EXPECT_EQ(Log()[1].Message, WM_SIZE);
  EXPECT_EQ(PlatFakeNativeTopmost(window_), 1);
  Log().clear();
  PlatMoveWindow(window_, 50, 60, 100, 80, 0);  // nothing changes: nothing told
  EXPECT_TRUE(Log().empty());
}

TEST_F(WindowLayerTest, CaptionedStyleHasAFrame) {
  PlatRect r{0, 0, 640, 480};
  PlatAdjustWindowRectEx(&r, WS_POPUP | WS_CAPTION, 0, WS_EX_CLIENTEDGE);
  EXPECT_EQ(r.Left, -(FAKE_FRAME_SIDE + FAKE_CLIENT_EDGE));
  EXPECT_EQ(r.Top, -(FAKE_FRAME_SIDE + FAKE_FRAME_CAPTION + FAKE_CLIENT_EDGE));
  EXPECT_EQ(r.Right, 640 + FAKE_FRAME_SIDE + FAKE_CLIENT_EDGE);
  PlatSetWindowLong(window_, GWL_STYLE, WS_POPUP | WS_CAPTION | WS_VISIBLE);
  PlatRect client;
  PlatGetClientRect(window_, &client);
  EXPECT_EQ(client.Right, 320 - 2 * FAKE_FRAME_SIDE);
  int x = 0, y = 0;
  PlatClientToScreen(window_, &x, &y);
  EXPECT_EQ(x, 10 + FAKE_FRAME_SIDE);
  EXPECT_EQ(y, 20 + FAKE_FRAME_SIDE + FAKE_FRAME_CAPTION);
}

TEST_F(WindowLayerTest, DisplayChangeReachesTheWindow) {
  PlatNotifyDisplayChange(32, 800, 600);
  Drain();
  ASSERT_EQ(Log().size(), 1u);
  EXPECT_EQ(Log()[0].Message, WM_DISPLAYCHANGE);
  EXPECT_EQ(Log()[0].WParam, 32u);
  EXPECT_EQ(PlatLowWord(uintptr_t(Log()[0].LParam)), 800);
  EXPECT_EQ(PlatHighWord(uintptr_t(Log()[0].LParam)), 600);
}

TEST_F(WindowLayerTest, CursorShowsWhileItsCountIsNotNegative) {
  EXPECT_EQ(PlatShowCursor(0), -1);
  EXPECT_EQ(PlatFakeCursorVisible(), 0);
  EXPECT_EQ(PlatShowCursor(0), -2);
  EXPECT_EQ(PlatShowCursor(1), -1);
  EXPECT_EQ(PlatShowCursor(1), 0);
  EXPECT_EQ(PlatFakeCursorVisible(), 1);
  PlatSetCursor(0);
  EXPECT_EQ(PlatFakeCursorVisible(), 0);
  PlatSetCursor(1);
  EXPECT_EQ(PlatFakeCursorVisible(), 1);
}

TEST_F(WindowLayerTest, EachThreadHasItsOwnQueue) {
  PlatPostMessage(nullptr, WM_USER + 9, 0, 0);
  int otherSaw = -1, otherOwn = -1;
  std::thread other([&] {
    PlatMsg m;
    otherSaw = PlatPeekMessage(&m, nullptr, 1);
    PlatPostMessage(nullptr, WM_USER + 3, 0, 0);
    otherOwn = PlatPeekMessage(&m, nullptr, 1) ? int(m.Message) : 0;
    // A window's message posted from here lands in its own thread's queue.
    PlatPostMessage(window_, WM_USER + 4, 0, 0);
  });
  other.join();
  EXPECT_EQ(otherSaw, 0);
  EXPECT_EQ(otherOwn, int(WM_USER + 3));
  EXPECT_EQ(Drain(), (std::vector<uint32_t>{WM_USER + 9, WM_USER + 4}));
}

TEST_F(WindowLayerTest, ScheduledEventsWaitForTheClock) {
  PlatFakeClockInstall(0xFFFFFFF0u);
  PlatFakeScheduleEvent(0x10u, PlatNativeEventKind::CloseRequested);  // after the wrap
  EXPECT_TRUE(Drain().empty());
  PlatFakeClockAdvance(0x10);
  EXPECT_TRUE(Drain().empty());
  PlatFakeClockAdvance(0x10);
  EXPECT_EQ(Drain(), (std::vector<uint32_t>{WM_CLOSE}));
  PlatFakeClockRemove();
}

namespace {
class WindowClassLock : public teststate::FreshProcessTest {};
}  // namespace

TEST_F(WindowClassLock, SecondHolderIsRefusedUntilReleased) {
  std::random_device rd;
  auto dir = std::filesystem::temp_directory_path() / ("vx_lock_" + std::to_string(rd()));
  std::filesystem::create_directories(dir);
  PlatSetClassLockDirectory(dir.string().c_str());
  const char* name = "Quarry\x82\xa0";
  EXPECT_EQ(PlatClassLockHeldElsewhere(name), 0);
  EXPECT_EQ(PlatClassLockHold(name), 0);
  EXPECT_EQ(PlatClassLockHold(name), -1);
  EXPECT_EQ(PlatClassLockHeldElsewhere(name), 0);  // held by this process itself
  EXPECT_EQ(PlatClassLockHeldElsewhere("Other"), 0);
  PlatClassLockRelease(name);
  EXPECT_EQ(PlatClassLockHold(name), 0);
  PlatClassLockRelease(name);
  PlatSetClassLockDirectory(nullptr);
  std::filesystem::remove_all(dir);
}

namespace {
intptr_t DefaultProc(PlatWindow w, uint32_t m, uintptr_t wp, intptr_t lp) {
  return PlatDefWindowProc(w, m, wp, lp);
}
}  // namespace

namespace {
class SdlWindowBackend : public teststate::FreshProcessTest {};
}  // namespace

TEST_F(SdlWindowBackend, DummyDriverWindowLivesAndDesktopIsThirtyTwoBits) {
  ASSERT_EQ(PlatSelectWindowBackend(PlatSdlWindowBackend()), 0);
  std::random_device rd;
  std::string name = "SdlBackendTest" + std::to_string(rd());
  int w = 0, h = 0, bits = 0;
  PlatGetDesktopMetrics(&w, &h, &bits);
  EXPECT_GT(w, 0);
  EXPECT_GT(h, 0);
  EXPECT_EQ(bits, 32);  // 4 bytes per pixel, though 24 of the bits carry colour

  PlatWindowClass c{0, DefaultProc, 0, name.c_str()};
  ASSERT_EQ(PlatRegisterClass(&c), 0);
  PlatWindow window = PlatCreateWindow(0, name.c_str(), "\x83\x65\x83\x58\x83\x67",
                                       WS_POPUP | WS_CAPTION | WS_VISIBLE, 0, 0, 640, 480);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(PlatFindWindowByClass(name.c_str()), 1);
  PlatMsg m;
  for (int i = 0; i < 20 && PlatPeekMessage(&m, nullptr, 1); ++i) PlatDispatchMessage(&m);
  // A frame shows through the back end's renderer, and again on a repaint.
  std::vector<uint32_t> frame(64 * 48, 0x00FF8000u);
  EXPECT_EQ(PlatPresentScreen(window, frame.data(), 64, 48, 64 * 4, 32, nullptr), 0);
  EXPECT_EQ(PlatPresentAgain(window), 0);
  std::vector<uint16_t> frame16(64 * 48, 0xF800);
  PlatRect changed{8, 8, 100, 20};  // clipped to the image
  EXPECT_EQ(PlatPresentScreen(window, frame16.data(), 64, 48, 64 * 2, 16, &changed), 0);
  PlatEndPresentation();
  PlatSetScreenSaverActive(0);
  PlatSetScreenSaverActive(1);
  EXPECT_EQ(PlatDestroyWindow(window), 0);
  EXPECT_EQ(PlatFindWindowByClass(name.c_str()), 0);
  EXPECT_EQ(PlatUnregisterClass(name.c_str()), 0);
}
