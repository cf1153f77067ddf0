#include <gtest/gtest.h>

#include <string>

#include "core_test_util.h"
#include "process_state.h"

using coretest::DebugText;
using coretest::FakeNow;
using coretest::TempLog;

namespace {
class Log : public teststate::FreshProcessTest {};
}  // namespace

TEST_F(Log, LinePrefixCarriesMillisecondsSinceOpen) {
  TempLog log;
  FakeNow() = 1234;
  LogWrite("abc\n");
  FakeNow() = 1500;
  EXPECT_EQ(-1, LogPrintf("n=%d", 7));
  EXPECT_EQ("234:abc\r\n500:n=7\r\n", log.Contents());
  // The prefix goes to the file only.
  EXPECT_EQ("abc\r\nn=7\r\n", DebugText());
}

TEST_F(Log, IndentationTabsStartEachLineAndReachTheDebugger) {
  TempLog log;
  LogIndentIncrease();
  LogIndentIncrease();
  LogWrite("two\n");
  LogIndentDecrease();
  LogWrite("a\nb\n");  // prefix and TABs only before the first line
  LogIndentDecrease();
  LogIndentDecrease();  // stays at 0
  EXPECT_EQ(0, SystemState.Log.IndentDepth);
  LogWrite("zero\n");
  EXPECT_EQ("0:\t\ttwo\r\n0:\ta\r\nb\r\n0:zero\r\n", log.Contents());
  EXPECT_EQ("\t\ttwo\r\n\ta\r\nb\r\nzero\r\n", DebugText());
}

TEST_F(Log, DeepIndentationIsWrittenWhole) {
  TempLog log;
  for (int i = 0; i < 700; ++i) LogIndentIncrease();
  LogWrite("x\n");
  EXPECT_EQ("0:" + std::string(700, '\t') + "x\r\n", log.Contents());
}

TEST_F(Log, OpenLineContinuesWithoutPrefix) {
  TempLog log;
  LogWrite("mem alloc  ");
  EXPECT_EQ(1, SystemState.Log.LineOpen);
  LogWrite("");  // an empty text changes nothing
  EXPECT_EQ(1, SystemState.Log.LineOpen);
  LogWrite("record\n");
  EXPECT_EQ(0, SystemState.Log.LineOpen);
  EXPECT_EQ("0:mem alloc  record\r\n", log.Contents());
}

TEST_F(Log, LineEndConversion) {
  TempLog log;
  LogWrite("a\nb");  // converted; the line stays open
  EXPECT_EQ(1, SystemState.Log.LineOpen);
  LogWrite("\n");
  // From the first CR LF on, the text is copied unchanged.
  LogWrite("x\ny\r\nz\nw\n");
  EXPECT_EQ("0:a\r\nb\r\n0:x\r\ny\r\nz\nw\n", log.Contents());
}

TEST_F(Log, ShiftJisPairsAreNeverSplitOrTakenForLineEnds) {
  TempLog log;
  // 0x83 0x5C is one character whose second byte is '\'; a lead byte takes a
  // following "\n" as its second byte, so that one is not converted.
  LogWrite("\x83\x5C\n\x81\nX\n");
  EXPECT_EQ(std::string("0:\x83\x5C\r\n\x81\nX\r\n"), log.Contents());
}

TEST_F(Log, LoneLeadByteAtTheEndStopsAtTheTerminator) {
  TempLog log;
  LogWrite("ab\x81");
  LogWrite("\n");
  EXPECT_EQ(std::string("0:ab\x81\r\n"), log.Contents());
}

TEST_F(Log, LongTextsAreWrittenWholeAndPrintfIsBounded) {
  TempLog log;
  std::string lines;
  for (int i = 0; i < 200; ++i) lines += "line\n";  // 1,000 bytes, converted to 1,200
  LogWrite(lines.c_str());
  std::string expected = "0:";
  for (int i = 0; i < 200; ++i) expected += "line\r\n";
  EXPECT_EQ(expected, log.Contents());

  std::string huge(5000, 'q');
  LogPrintf("%s", huge.c_str());
  std::string all = log.Contents();
  std::string last = all.substr(expected.size());
  EXPECT_EQ("0:" + std::string(1022, 'q') + "\r\n", last);
}

TEST_F(Log, SwitchedOffBeforeInitWritesNothingAnywhere) {
  TempLog log(false);
  SetLogFileOutputImpl(0);
  EXPECT_EQ(1, LogFileInit());
  EXPECT_EQ(-1, LogWrite("hello\n"));
  LogPrintf("%d", 5);
  EXPECT_FALSE(log.Exists());
  EXPECT_EQ("", DebugText());
  SetLogFileOutputImpl(1);
  EXPECT_EQ(0, SystemState.Kept.Log.LogOff);
}

TEST_F(Log, OldFileIsEmptiedAtInit) {
  TempLog log(false);
  {
    std::ofstream old(log.LogFile(), std::ios::binary);
    old << "old contents";
  }
  LogFileInit();
  EXPECT_EQ("", log.Contents());
  LogWrite("new\n");
  EXPECT_EQ("0:new\r\n", log.Contents());
}

TEST_F(Log, NothingIsWrittenWithoutDirectoryOrWithBadOne) {
  TempLog log;
  SystemState.Kept.StartupDirectory[0] = '\0';
  LogWrite("lost\n");
  EXPECT_EQ("", DebugText());
  // A directory text that fills its buffer without a terminator is refused
  // as a path, not read past its end.
  std::memset(SystemState.Kept.StartupDirectory, 'x', sizeof SystemState.Kept.StartupDirectory);
  LogWrite("also lost\n");
  SystemState.Kept.StartupDirectory[0] = '\0';
  EXPECT_EQ("", log.Contents());
}

TEST_F(Log, ScreenLogIsNeverActive) { EXPECT_EQ(0, IsScreenLogActive()); }
