// Shift-JIS decoding of mixed half- and full-width text.
#include <gtest/gtest.h>

#include <vector>

#include "font/font_state.h"

namespace {

std::vector<uint16_t> Codes(const char* text) {
  std::vector<uint16_t> out;
  uint16_t code = 0;
  for (int step; (step = NextSjisChar(text, &code)) != 0; text += step) out.push_back(code);
  return out;
}

TEST(ShiftJis, MixedHalfAndFullWidthSplitIntoCharacters) {
  // Source text is compiled to code page 932.
  EXPECT_EQ(Codes("１ＰvsＣＰ"), (std::vector<uint16_t>{0x8250, 0x826F, 'v', 's', 0x8262, 0x826F}));
  EXPECT_EQ(Codes("二段消し！"), (std::vector<uint16_t>{0x93F1, 0x9269, 0x8FC1, 0x82B5, 0x8149}));
  EXPECT_EQ(Codes("LEVEL0"), (std::vector<uint16_t>{'L', 'E', 'V', 'E', 'L', '0'}));
  EXPECT_EQ(Codes("1本先取"), (std::vector<uint16_t>{'1', 0x967B, 0x90E6, 0x8EE6}));
  EXPECT_EQ(Codes(""), std::vector<uint16_t>{});
}

TEST(ShiftJis, SecondBytesThatLookLikeAsciiStayInTheirCharacter) {
  // 0x95 0x5C ("表") has a backslash as its second byte.
  EXPECT_EQ(Codes("\x95\x5C\x5C"), (std::vector<uint16_t>{0x955C, 0x5C}));
}

TEST(ShiftJis, LeadByteAtTheEndIsTakenAlone) {
  EXPECT_EQ(Codes("a\x82"), (std::vector<uint16_t>{'a', 0x82}));
}

TEST(ShiftJis, CodesBecomeUnicode) {
  EXPECT_EQ(Cp932CodeToUnicode('A'), 0x41u);
  EXPECT_EQ(Cp932CodeToUnicode(0x8250), 0xFF11u);  // １
  EXPECT_EQ(Cp932CodeToUnicode(0x826F), 0xFF30u);  // Ｐ
  EXPECT_EQ(Cp932CodeToUnicode(0x93F1), 0x4E8Cu);  // 二
  EXPECT_EQ(Cp932CodeToUnicode(0x8149), 0xFF01u);  // ！
  EXPECT_EQ(Cp932CodeToUnicode(0x8140), 0x3000u);  // full-width space
  EXPECT_EQ(Cp932CodeToUnicode(0xB1), 0xFF71u);    // half-width katakana
  EXPECT_EQ(Cp932CodeToUnicode(0x82), 0u);         // a lone lead byte
  EXPECT_EQ(Cp932CodeToUnicode(0x85A0), 0u);       // unassigned
  EXPECT_EQ(Cp932CodeToUnicode(0xFFFF), 0u);
}

}  // namespace
