// The log lines of start-up and shutdown, word for word and in their order:
// the log is the one record a user sends back when the program fails to
// start, so its lines must not drift.
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/strutil.h"
#include "platform/sysinfo.h"
#include "window_test_util.h"

using namespace wintest;

namespace {

std::string& Captured() {
  static std::string text;
  return text;
}
// Line ends reach the debugger as CR LF; the pieces below are written with LF.
void Capture(const char* text) {
  for (const char* p = text; *p; ++p)
    if (*p != '\r') Captured() += *p;
}

std::filesystem::path& LogDir() {
  static std::filesystem::path dir;
  return dir;
}

// Runs with the log on, written to a fresh directory taken as the start-up
// directory, and everything sent to the debugger output captured.
class LoggedStartupTest : public FakeLibraryTest {
 protected:
  void SetUp() override {
    FakeLibraryTest::SetUp();
    std::random_device rd;
    LogDir() = std::filesystem::temp_directory_path() / ("vx_startlog_" + std::to_string(rd()));
    std::filesystem::create_directories(LogDir());
    // The log opens in the test's directory, taken as the start-up directory.
    FindLibraryPart("log")->Start = [] {
      StrCopyN(SystemState.Kept.StartupDirectory, sizeof SystemState.Kept.StartupDirectory,
               LogDir().string().c_str());
      return LogFileInit();
    };
    SetLogFileOutput(1);
    Captured().clear();
    PlatSetDebugSink(Capture);
  }
  void TearDown() override {
    EndLibrary();
    PlatSetDebugSink(nullptr);
    SetLogFileOutput(0);
    SystemState.Kept.StartupDirectory[0] = '\0';
    std::error_code ec;
    std::filesystem::remove_all(LogDir(), ec);
    FakeLibraryTest::TearDown();
  }
};

class LoggedFullScreenStartupTest : public LoggedStartupTest {
 protected:
  int Windowed() override { return 0; }
};

// Each piece must follow the one before it in the captured text.
void ExpectInOrder(const std::vector<std::string>& pieces) {
  size_t at = 0;
  for (const std::string& piece : pieces) {
    size_t found = Captured().find(piece, at);
    ASSERT_NE(found, std::string::npos) << "missing or out of order: " << piece << "\nlog:\n" << Captured();
    at = found + piece.size();
  }
}

}  // namespace

TEST_F(LoggedStartupTest, WindowedStartAndEndWriteTheirLinesInOrder) {
  ASSERT_EQ(InitLibrary(), 0);
  ASSERT_EQ(EndLibrary(), 0);
  ExpectInOrder({
      "ＣＯＭの初期化... 成功しました\n",
      "メモリ総量:",
      "MB  空きメモリ領域:",
      "MB \n",
      "ソフトの二重起動検査... 二重起動はされていませんでした\n",
      "ウインドウクラスを登録します... 登録に成功しました\n",
      "ウインドウモード起動用のウインドウを作成します\n",
      "ウインドウの作成に成功しました\n",
      "ＩＭＥを無効にしました\n",
      "ウインドウスタイルをウインドウモード用に変更します... 完了\n",
      "ウインドウを閉じようとしています\n",
      "ウインドウが破棄されようとしています\n",
      "ソフトを終了する準備が整いました\n",
      "ＣＯＭを終了... 完了\n",
  });
  EXPECT_EQ(Captured().find("カーソルを不可視にしました"), std::string::npos);
  // The log file holds the same lines with CR LF ends.
  EXPECT_TRUE(std::filesystem::exists(LogDir() / "Log.txt"));
}

TEST_F(LoggedFullScreenStartupTest, FullScreenStartHidesTheCursorAndLogsIt) {
  ASSERT_EQ(InitLibrary(), 0);
  ExpectInOrder({
      "ソフトの二重起動検査... 二重起動はされていませんでした\n",
      "ウインドウクラスを登録します... 登録に成功しました\n",
      "フルスクリーンモード用のウインドウを作成します\n",
      "ウインドウの作成に成功しました\n",
      "カーソルを不可視にしました\n",
      "ＩＭＥを無効にしました\n",
  });
  EXPECT_EQ(Captured().find("ウインドウスタイル"), std::string::npos);
}

TEST_F(LoggedStartupTest, TimerTestReportsTheClockItKeeps) {
  ASSERT_EQ(InitLibrary(), 0);
  if (!SystemState.PerfCounterFrequency) GTEST_SKIP() << "no high-resolution counter";
  ExpectInOrder({"タイマーの精度を検査します\n", "精度結果 更新回数 マルチメディアタイマー：",
                 "  パフォーマンスカウンター：", "\n "});
  const bool counterKept = SystemState.PerfCounterUsable != 0;
  ExpectInOrder({counterKept ? "パフォーマンスカウンターを使用します タイマー分解能 : "
                             : "マルチメディアタイマーを使用します タイマー分解能 : ",
                 counterKept ? " KHz \n " : ".00 ms \n ", "ソフトの二重起動検査... "});
}
