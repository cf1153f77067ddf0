#include <gtest/gtest.h>

#include <cfenv>
#include <climits>
#include <cmath>
#include <limits>
#include <string>

#include "core/strutil.h"

TEST(StrUtil, FindCharSkipsTwoByteCharacters) {
  // 0x95 0x5C is one character whose second byte equals '\'.
  const char text[] =
      "ab\x95\x5C"
      "c\\d";
  const char* hit = StrFindCharSjis(text, '\\');
  ASSERT_NE(nullptr, hit);
  EXPECT_EQ(5, hit - text);
  EXPECT_EQ(nullptr, StrFindCharSjis("", 'a'));
  EXPECT_EQ(nullptr, StrFindCharSjis("xyz", 'a'));
  // A lone lead byte before the terminator ends the scan there.
  char lone[] = {'a', '\x81', '\0', 'b', '\0'};
  EXPECT_EQ(nullptr, StrFindCharSjis(lone, 'b'));
}

TEST(StrUtil, UpperCaseLeavesTwoByteCharactersAlone) {
  char text[] =
      "ab\x82"
      "a"
      "cd\x81";
  StrToUpperSjis(text);
  EXPECT_STREQ(
      "AB\x82"
      "a"
      "CD\x81",
      text);
}

TEST(StrUtil, CompareCopyAppend) {
  EXPECT_EQ(1, StrCompare("abc", "abd"));
  EXPECT_EQ(1, StrCompare("ab", "abc"));
  EXPECT_EQ(0, StrCompare("abc", "abc"));
  char buf[16];
  StrCopy(buf, "ab");
  StrAppend(buf, "cd");
  EXPECT_STREQ("abcd", buf);
  EXPECT_EQ(4, StrLength(buf));
}

TEST(StrUtil, BoundedCopiesNeverSplitAPairOrOverrun) {
  char buf[5];
  EXPECT_EQ(4, StrCopyN(buf, sizeof buf, "abcdefg"));
  EXPECT_STREQ("abcd", buf);
  EXPECT_EQ(3, StrCopyN(buf, sizeof buf, "abc\x82\xA0"));  // the pair does not fit: left out
  EXPECT_STREQ("abc", buf);
  EXPECT_EQ(4, StrAppendN(buf, sizeof buf, "xyz"));
  EXPECT_STREQ("abcx", buf);
  EXPECT_EQ(0, StrCopyN(buf, 0, "abc"));
  char out[8];
  EXPECT_EQ(7, FormatStringN(out, sizeof out, "%d-%s", 12345, "abcdef"));
  EXPECT_STREQ("12345-a", out);
  EXPECT_EQ(3, FormatStringN(out, sizeof out, "%s", "abc"));
  char big[64];
  EXPECT_EQ(0, FormatString(big, "%03d|%s", 7, "x"));
  EXPECT_STREQ("007|x", big);
}

TEST(StrUtil, MemoryRoutines) {
  EXPECT_EQ(0, MemCompareN("abc", "abd", 2));
  EXPECT_EQ(1, MemCompareN("abc", "abd", 3));
  EXPECT_EQ(0, MemCompareN("a", "b", 0));
  EXPECT_EQ(1, MemCompareN("a", "a", -1));
  EXPECT_EQ(0, MemCompare("a\0b", "a\0b", 3));
  char buf[8] = "1234567";
  MemMove(buf + 1, buf, 6);  // up by one, overlapping
  EXPECT_STREQ("1123456", buf);
  MemCopy(buf, "1234567", 8);
  MemMove(buf, buf + 1, 6);  // down by one
  EXPECT_STREQ("2345677", buf);
  MemFill(buf, 'z', 3);
  EXPECT_STREQ("zzz5677", buf);
  MemFill(buf, 'q', -4);
  MemCopy(buf, "no", -1);
  EXPECT_STREQ("zzz5677", buf);
}

TEST(StrUtil, LeadByteTests) {
  EXPECT_EQ(1, IsLeadByte("\x81", 1));
  EXPECT_EQ(1, IsLeadByte("\x9F", 0));
  EXPECT_EQ(0, IsLeadByte("\xA0", 1));
  EXPECT_EQ(1, IsLeadByte("\xE0", 1));
  EXPECT_EQ(1, IsLeadByte("\xFC", 1));
  EXPECT_EQ(0, IsLeadByte("\xFD", 1));
  EXPECT_EQ(1, IsLeadByte("\xA0", 2));  // top bit
  EXPECT_EQ(0, IsLeadByte("A", 2));
}

TEST(StrUtil, AbsAndTruncation) {
  EXPECT_EQ(INT_MIN, IntAbs(INT_MIN));
  EXPECT_EQ(5, IntAbs(-5));
  EXPECT_TRUE(std::signbit(FloatAbs(-0.0f)));
  EXPECT_EQ(2.5f, FloatAbs(-2.5f));
  EXPECT_TRUE(std::isnan(FloatAbs(std::numeric_limits<float>::quiet_NaN())));
  const int modes[] = {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};
  const int saved = std::fegetround();
  for (int mode : modes) {
    std::fesetround(mode);
    EXPECT_EQ(-2, FloatToIntTrunc(-2.7f));
    EXPECT_EQ(2, FloatToIntTrunc(2.7f));
    EXPECT_EQ(-2, DoubleToIntTrunc(-2.7));
    EXPECT_EQ(mode, std::fegetround());
  }
  std::fesetround(saved);
  EXPECT_EQ(INT_MIN, FloatToIntTrunc(std::numeric_limits<float>::quiet_NaN()));
  EXPECT_EQ(INT_MIN, FloatToIntTrunc(3e9f));
  EXPECT_EQ(INT_MIN, FloatToIntTrunc(-std::numeric_limits<float>::infinity()));
  EXPECT_EQ(INT_MIN, DoubleToIntTrunc(2147483648.0));
  EXPECT_EQ(INT_MAX, DoubleToIntTrunc(2147483647.9));
  EXPECT_EQ(INT_MIN, DoubleToIntTrunc(-2147483648.9));
  EXPECT_EQ(INT_MIN, DoubleToIntTrunc(-2147483649.0));
  EXPECT_EQ(3.0f, FloatSqrt(9.0f));
  float s, c;
  SinCosFloat(0.5f, &s, &c);
  EXPECT_FLOAT_EQ(std::sin(0.5f), s);
  EXPECT_FLOAT_EQ(std::cos(0.5f), c);
}

TEST(StrUtil, ParseDecimalInt) {
  EXPECT_EQ(200, ParseDecimalInt(" 200 OK"));
  EXPECT_EQ(-12, ParseDecimalInt("abc-12x"));
  EXPECT_EQ(0, ParseDecimalInt("a-b5"));
  EXPECT_EQ(-1, ParseDecimalInt("abc"));
  EXPECT_EQ(-1, ParseDecimalInt(""));
  EXPECT_EQ(2147483647, ParseDecimalInt("2147483647"));
  EXPECT_EQ(-1, ParseDecimalInt("4294967295"));  // wraps
  // Any number of digits is read without a buffer (network data).
  std::string longRun = "x" + std::string(10000, '9') + "7";
  uint32_t expected = 0;
  for (char ch : longRun.substr(1)) expected = expected * 10u + uint32_t(ch - '0');
  EXPECT_EQ(int(expected), ParseDecimalInt(longRun.c_str()));
}

TEST(StrUtil, IntToString) {
  char buf[34];
  EXPECT_STREQ("-ff", IntToString(-255, buf, 16));
  EXPECT_STREQ("0", IntToString(0, buf, 10));
  EXPECT_STREQ("-10000000000000000000000000000000", IntToString(INT_MIN, buf, 2));
  EXPECT_STREQ("zz", IntToString(1295, buf, 36));
  EXPECT_STREQ("2147483647", IntToString(INT_MAX, buf, 10));
  EXPECT_STREQ("", IntToString(5, buf, 1));
  EXPECT_STREQ("", IntToString(5, buf, 0));
  EXPECT_STREQ("", IntToString(5, buf, 37));
  EXPECT_STREQ("", IntToString(5, buf, -16));
}

TEST(StrUtil, WideArithmetic) {
  UInt128 p;
  uint64_t a = UINT64_MAX, b = UINT64_MAX;
  Mul64x64To128(&a, &b, &p);
  EXPECT_EQ(1u, p.Low);
  EXPECT_EQ(UINT64_MAX - 1, p.High);
  uint64_t q;
  Div128By64(&p, &a, &q);
  EXPECT_EQ(UINT64_MAX, q);

  UInt128 n{5, 1};  // 2^64 + 5
  uint64_t two = 2;
  Div128By64(&n, &two, &q);
  EXPECT_EQ((uint64_t(1) << 63) + 2, q);

  uint64_t zero = 0;
  Div128By64(&n, &zero, &q);  // defined: all ones, no trap
  EXPECT_EQ(UINT64_MAX, q);

  UInt128 top{0, uint64_t(1) << 63};  // 2^127
  uint64_t four = 4;
  Div128By64(&top, &four, &q);
  EXPECT_EQ(0u, q);  // 2^125: its low 64 bits
  uint64_t x = 3000000000ull, m = 1000000, d = 3000;
  EXPECT_EQ(1000000000000ull, MulDiv64(x, m, d));
  EXPECT_EQ(UINT64_MAX, MulDiv64(1, 1, 0));
}
