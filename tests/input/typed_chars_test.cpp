// The typed-character buffer: full rule, wrap, and what typing puts in it.
#include "input_fixture.h"

namespace {

using namespace inputtest;

TEST_F(InputTest, BufferHolds1024BytesThenRefuses) {
  for (int i = 0; i < TYPED_CHAR_BUFFER_SIZE; ++i) {
    ASSERT_EQ(IsTypedCharBufferFull(), 0) << i;
    ASSERT_EQ(PushTypedChar(static_cast<unsigned char>(i)), 0) << i;
  }
  EXPECT_EQ(IsTypedCharBufferFull(), 1);
  EXPECT_EQ(PushTypedChar('x'), -1);
  // Nothing was lost: all 1,024 come back in order.
  for (int i = 0; i < TYPED_CHAR_BUFFER_SIZE; ++i) ASSERT_EQ(PopTypedChar(), i & 0xFF) << i;
  EXPECT_EQ(PopTypedChar(), 0);
}

TEST_F(InputTest, BufferWrapsAroundKeepingOrder) {
  int next = 0, expect = 0;
  // Keep the buffer between half and full for several trips round the ring.
  for (int i = 0; i < 600; ++i) ASSERT_EQ(PushTypedChar(static_cast<unsigned char>(1 + next++ % 200)), 0);
  for (int round = 0; round < 5000; ++round) {
    if (round % 3 != 2) {
      if (PushTypedChar(static_cast<unsigned char>(1 + next % 200)) == 0) ++next;
    } else {
      ASSERT_EQ(PopTypedChar(), 1 + expect++ % 200);
    }
  }
  while (expect < next) ASSERT_EQ(PopTypedChar(), 1 + expect++ % 200);
  EXPECT_EQ(PopTypedChar(), 0);
}

TEST_F(InputTest, FullRuleAtTheWrapPoint) {
  // Write index just behind the read index: full.
  InputState.TypedRead = 500;
  InputState.TypedWrite = 499;
  EXPECT_EQ(IsTypedCharBufferFull(), 1);
  EXPECT_EQ(PushTypedChar('a'), -1);
  // Read at 0 and write at the last place: full.
  InputState.TypedRead = 0;
  InputState.TypedWrite = TYPED_CHAR_BUFFER_SIZE;
  EXPECT_EQ(PushTypedChar('a'), -1);
  // Read at 1 and write at the last place: one more fits, then the write
  // index wraps to 0 and the buffer is full.
  InputState.TypedRead = 1;
  EXPECT_EQ(PushTypedChar('b'), 0);
  EXPECT_EQ(InputState.TypedWrite, 0);
  EXPECT_EQ(PushTypedChar('c'), -1);
}

TEST_F(InputTest, EndingTheBufferEmptiesIt) {
  PushTypedChar('q');
  EndCharCodeBuffer();
  EXPECT_EQ(PopTypedChar(), 0);
}

TEST_F(InputTest, ImeFlagsAndRestoreRequest) {
  // Without the IME enabled, activation asks for nothing.
  HandleImeMessage(nullptr, 0x10D, 0, 0);
  RequestImeRestoreOnActivate();
  EXPECT_EQ(InputState.ImeRestoreRequest, 0);
  SetImeEnabled(1);
  EXPECT_EQ(HandleImeMessage(nullptr, 0x10D, 0, 0), 0);
  RequestImeRestoreOnActivate();
  EXPECT_EQ(InputState.ImeRestoreRequest, 1);
  EXPECT_EQ(EditActiveTextInput(), 0);
  EXPECT_EQ(InputState.ImeRestoreRequest, 0);
  SetImeEnabled(0);
  RequestImeRestoreOnActivate();
  EXPECT_EQ(InputState.ImeRestoreRequest, 0);
}

TEST_F(InputTest, F10AndDoubleByteFlags) {
  EXPECT_EQ(GetF10HeldFlag(), 0);
  SetF10HeldFlag();
  EXPECT_EQ(GetF10HeldFlag(), 1);
  ClearF10HeldFlag();
  EXPECT_EQ(GetF10HeldFlag(), 0);
  EXPECT_EQ(GetDoubleByteTextFlag(), 1);
}

}  // namespace
