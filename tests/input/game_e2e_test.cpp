// End to end: the game plays a round against the computer player from
// scripted keys, through the real library, input included.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "game_globals.h"
#include "graphics/drawstate.h"
#include "input/input.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/window_backend.h"
#include "platform/window_fake.h"
#include "platform/window_lock.h"
#include "platform/window_sdl.h"
#include "process_state.h"
#include "screens.h"
#include "vexlo.h"

namespace {

// A clock that moves only when the program sleeps, so frames run as fast as
// the machine allows and the script stays in step with the frame pacer.
uint32_t g_fakeNow = 100000;
uint32_t FakeNow() { return g_fakeNow; }
void FakeSleep(uint32_t ms) { g_fakeNow += ms; }

// The window-class locks of this process go to a directory of its own, so
// that the same test run by another build at the same time is not taken for
// a second copy of this one.
class PrivateClassLocks {
 public:
  PrivateClassLocks()
      : dir_(::testing::TempDir() + "/quarry_input_locks_" + std::to_string(std::random_device{}())) {
    std::filesystem::create_directories(dir_);
    PlatSetClassLockDirectory(dir_.c_str());
  }
  ~PrivateClassLocks() {
    PlatSetClassLockDirectory(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

 private:
  std::string dir_;
};

// Title: Z. Settings: Down, Down, Left, Left (one won round takes the match),
// Down, Z. Play: Down held, Up tapped (falls fast), Z tapped (turns, and
// confirms on the round-over screen) until the end.
std::string MatchScript(uint32_t playMs) {
  std::string s =
      "100 tap Z\n"
      "200 tap Down\n300 tap Down\n400 tap Left\n500 tap Left\n600 tap Down\n700 tap Z\n"
      "800 down Down\n";
  for (uint32_t t = 900; t < 900 + playMs; t += 200) {
    s += std::to_string(t) + " down Up\n" + std::to_string(t + 130) + " up Up\n";
    s += std::to_string(t + 140) + " tap Z\n";
  }
  return s;
}

// Tests that run the whole library start from, and leave, a new process's state.
class GameEndToEnd : public teststate::FreshProcessTest {};
class LibraryInput : public teststate::FreshProcessTest {};

TEST_F(GameEndToEnd, ScriptedPlayerLosesARoundToTheComputerAndTheMatchEnds) {
  ASSERT_EQ(PlatSelectWindowBackend(PlatSdlWindowBackend()), 0);
  teststate::InDirectory inBin(VX_BINARY_DIR "/bin");
  PlatSetMillisecondHook(FakeNow);
  PlatSetSleepHook(FakeSleep);
  PrivateClassLocks locks;
  // The game's own start-up, as its entry point makes it.
  SetLogFileOutput(0);
  // Its own window class, so that a quarry started by another test at the
  // same time is not taken for a second copy of this one.
  SetMainWindowTitle("QuarryEndToEnd");
  ASSERT_EQ(ChangeWindowMode(1), 0);
  ASSERT_EQ(InitLibrary(), 0);
  // Frames go out as fast as they are made: no wait for the (simulated)
  // vertical blank, which would tie the run to real time.
  SetFlipWaitVBlank(0);
  static GameSession session;
  LoadGameImages();
  LoadGameSounds();
  StartSession(session);
  ASSERT_EQ(PlatInputLoadScript(MatchScript(600000).c_str()), 0);

  bool sawSettings = false, sawPlay = false, sawRoundOver = false, backAtTitle = false;
  int result = 1;
  int frame = 0;
  for (; frame < 60000 && result == 1; ++frame) {
    result = RunFrame(session);
    if (result != 1) break;
    sawSettings |= session.screen == kScreenSettings;
    sawPlay |= session.screen == kScreenPlay;
    if (session.screen == kScreenRoundOver) sawRoundOver = true;
    if (sawRoundOver && session.screen == kScreenTitle && !backAtTitle) {
      backAtTitle = true;
      PlatInputScriptKey(1, 1);  // Escape: the game ends the library
    }
  }
  EXPECT_TRUE(sawSettings);
  EXPECT_TRUE(sawPlay);
  EXPECT_TRUE(sawRoundOver);
  EXPECT_TRUE(backAtTitle);
  EXPECT_EQ(result, 0);
  // The computer player's well (right) won the only round needed.
  EXPECT_EQ(session.boards[1].roundsWon, 1);
  EXPECT_EQ(session.boards[0].roundsWon, 0);
}

// The scripted window back end: what it delivers reaches the library's key
// and pad state through the library's own message pump.
class FakeBackEndLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    teststate::ResetProcessState();
    ASSERT_EQ(PlatUseFakeWindowBackend(), 0);
    SetLogFileOutput(0);
    SetMainWindowTitle("QuarryFakeInput");
    ASSERT_EQ(InitLibrary(), 0);
    PlatFakeQueueEvent(PlatNativeEventKind::FocusGained);
    PumpWindowMessages();
  }
  void TearDown() override { teststate::ResetProcessState(); }
};

TEST_F(FakeBackEndLibrary, AKeyPressReachesTheKeyStateAndTheWindow) {
  constexpr int kScZ = 29;
  ASSERT_EQ(PlatFakeQueueKey(kScZ, 1), 0);
  PumpWindowMessages();
  EXPECT_EQ(IsKeyDown(44), 1);
  char states[256];
  GetAllKeyStates(states);
  EXPECT_EQ(states[44], 1);
  WaitMilliseconds(40);  // past the shortest hold a tap is given
  ASSERT_EQ(PlatFakeQueueKey(kScZ, 0), 0);
  PumpWindowMessages();
  EXPECT_EQ(IsKeyDown(44), 0);
  // Return also reaches the window as a key message: the typed-character
  // buffer gets its carriage return.
  constexpr int kScReturn = 40;
  while (PopTypedChar() != 0) {}
  ASSERT_EQ(PlatFakeQueueKey(kScReturn, 1), 0);
  PumpWindowMessages();
  EXPECT_EQ(PopTypedChar(), 0x0D);
  EXPECT_EQ(IsKeyDown(0x1C), 1);
  // Losing focus forgets held keys (the pump waits while the window is
  // inactive, so focus comes back at once).
  PlatFakeQueueEvent(PlatNativeEventKind::FocusLost);
  PlatFakeQueueEvent(PlatNativeEventKind::FocusGained);
  PumpWindowMessages();
  EXPECT_EQ(IsKeyDown(0x1C), 0);
}

TEST_F(FakeBackEndLibrary, PadButtonsAndHatsReachThePadStateAsPadsComeAndGo) {
  EXPECT_EQ(GetJoypadCount(), 0);
  ASSERT_EQ(PlatFakePlugPad(7), 0);
  PumpWindowMessages();
  ASSERT_EQ(GetJoypadCount(), 1);
  PlatFakeQueuePadButton(7, 1, 1);  // B
  PumpWindowMessages();
  EXPECT_EQ(GetJoypadBits(1), 32);
  EXPECT_EQ(GetJoypadBits(0x1001), 32);
  ASSERT_EQ(PlatFakePlugPad(9), 0);
  PumpWindowMessages();
  ASSERT_EQ(GetJoypadCount(), 2);
  PlatFakeQueuePadHat(9, 2);        // left
  PlatFakeQueuePadButton(9, 8, 1);  // button 9
  PumpWindowMessages();
  EXPECT_EQ(GetJoypadBits(2), 2 | 4096);
  ASSERT_EQ(PlatFakeUnplugPad(9), 0);
  PumpWindowMessages();
  EXPECT_EQ(GetJoypadCount(), 1);
  EXPECT_EQ(GetJoypadBits(2), 0);
  EXPECT_EQ(GetJoypadBits(1), 32);
  // Vibration reaches the pad through the back end.
  ASSERT_EQ(StartJoypadVibrationImpl(1, 1000, 300), 0);
  int strength = -1;
  uint32_t ms = 0;
  ASSERT_EQ(PlatFakeLastRumble(7, &strength, &ms), 0);
  EXPECT_EQ(strength, 65535);
  EXPECT_EQ(ms, 300u);
}

TEST_F(LibraryInput, SdlPadsArePluggedInAndOutWhileRunning) {
  ASSERT_EQ(PlatSelectWindowBackend(PlatSdlWindowBackend()), 0);
  SetLogFileOutput(0);
  SetMainWindowTitle("QuarryInputPads");
  PrivateClassLocks locks;
  ASSERT_EQ(InitLibrary(), 0);
  EXPECT_EQ(GetJoypadCount(), 0);
  ASSERT_EQ(PlatSdlPlugVirtualPad(1), 0);
  PumpWindowMessages();
  ASSERT_EQ(GetJoypadCount(), 1);
  constexpr int kButtonB = 1;
  ASSERT_EQ(PlatSdlSetVirtualButton(0, kButtonB, 1), 0);
  PumpWindowMessages();
  EXPECT_EQ(GetJoypadBits(1), 32);
  EXPECT_EQ(GetJoypadBits(0x1001), 32);
  ASSERT_EQ(PlatSdlPlugVirtualPad(0), 0);  // a plain joystick as pad 2
  PumpWindowMessages();
  ASSERT_EQ(GetJoypadCount(), 2);
  constexpr int kHatLeft = 8;
  ASSERT_EQ(PlatSdlSetVirtualHat(1, kHatLeft), 0);
  ASSERT_EQ(PlatSdlSetVirtualButton(1, 8, 1), 0);
  PumpWindowMessages();
  EXPECT_EQ(GetJoypadBits(2), 2 | 4096);
  ASSERT_EQ(PlatSdlUnplugVirtualPad(), 0);
  PumpWindowMessages();
  EXPECT_EQ(GetJoypadCount(), 1);
  EXPECT_EQ(GetJoypadBits(2), 0);
  EXPECT_EQ(GetJoypadBits(1), 32);
  EndLibrary();
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(GameEndToEnd, QuarryProgramPlaysARoundToItsEndFromAScript) {
  // A directory of its own: other builds may run this test at the same time.
  const std::string dir =
      ::testing::TempDir() + "/quarry_input_e2e_" + std::to_string(std::random_device{}());
  std::filesystem::create_directories(dir);
  const std::string script = dir + "/keys.txt";
  const std::string trace = dir + "/trace.txt";
  {
    // In real time from the program's start-up, which itself takes a while:
    // the menu steps begin after two seconds and are spaced a quarter second
    // apart. Extra Left and Down taps do nothing once the setting is at its
    // end. Then the play keys as in the script above until the round is over
    // and confirmed, and Escape.
    std::ofstream out(script);
    out << "2000 tap Z\n2500 tap Down\n2750 tap Down\n3000 tap Left\n3250 tap Left\n3500 tap Left\n"
           "3750 tap Down\n4000 tap Down\n4500 tap Z\n4800 down Down\n";
    for (int t = 5000; t < 14500; t += 200)
      out << t << " down Up\n" << t + 130 << " up Up\n" << t + 140 << " tap Z\n";
    out << "15000 down Escape\n";
  }
  // Its own lock directory, so that a quarry run by another test at the same
  // time does not count as this one's first copy.
  const std::string command = std::string("cd '") + VX_BINARY_DIR +
                              "/bin' && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy " + "XDG_RUNTIME_DIR='" +
                              dir + "' VX_INPUT_SCRIPT='" + script + "' QUARRY_TRACE='" + trace +
                              "' timeout 120 '" + VX_QUARRY_PATH + "' > '" + dir + "/out.txt' 2>&1";
  int status = std::system(command.c_str());
  // std::system gives the shell's wait status: the exit code is its second byte.
  ASSERT_NE(status, -1);
  const std::string log = ReadText(trace);
  EXPECT_EQ((status >> 8) & 0xFF, 0) << "status " << status << "\n" << log << ReadText(dir + "/out.txt");
  // From the title: settings, play, round over, and back to the title: the
  // computer player took the one round the match needed.
  std::string screens;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("screen ", 0) == 0) screens += line.substr(7) + " ";
  }
  EXPECT_NE(screens.find("2 1 3 0 "), std::string::npos) << log;
  EXPECT_NE(log.find("exit 0"), std::string::npos) << log;
  std::filesystem::remove_all(dir);
}

}  // namespace
