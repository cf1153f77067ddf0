// The handle table every kind of library object uses: handle layout, the
// validity test (tag, slot range, occupied slot, check number), slot choice,
// the end mark and the wrapping check counter.
#include "core/handle_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct Item {
  uint32_t Check;
  int Value;
};

struct SignedItem {  // a check field of another name and type
  int32_t Serial;
};

constexpr int32_t kTag = 0x60000000;
using SmallTable = HandleTable<Item, 4, kTag>;
using WideTable = HandleTable<Item, 65536, 0x38000000>;

class HandleTableTest : public ::testing::Test {
 protected:
  // Adds a record the way an owner does: a slot, the record, then Add.
  int32_t AddItem(SmallTable& t, int value, bool lowest = false) {
    const int slot = lowest ? t.LowestFreeSlot() : t.FreeSlot();
    if (slot < 0) return -1;
    items_.push_back(std::make_unique<Item>(Item{0, value}));
    return t.Add(slot, items_.back().get());
  }
  SmallTable table_{};
  std::vector<std::unique_ptr<Item>> items_;
};

TEST_F(HandleTableTest, AHandleIsTagCheckAndSlot) {
  // The reference: ((check | tag >> 16) << 16) | slot.
  auto expected = [](uint32_t check, int slot) {
    return int32_t(((check | (kTag >> 16)) << 16) | uint32_t(slot));
  };
  table_.CheckCounter = 5;
  const int32_t a = AddItem(table_, 1);
  const int32_t b = AddItem(table_, 2);
  EXPECT_EQ(a, expected(5, 0));
  EXPECT_EQ(b, expected(6, 1));
  EXPECT_EQ(items_[0]->Check, 5u);
  EXPECT_EQ(table_.Get(a)->Value, 1);
  EXPECT_EQ(table_.Get(b)->Value, 2);
  EXPECT_EQ(SmallTable::SlotOf(b), 1);
  EXPECT_EQ(table_.HandleAt(1), b);
  EXPECT_EQ(table_.Count, 2);
  EXPECT_EQ(table_.EndMark, 2);
  // The layouts the library's tables fix.
  EXPECT_EQ((HandleTable<Item, 32768, 0x08000000>::MakeHandle(2047, 32767)), 0x0FFF7FFF);
  EXPECT_EQ((HandleTable<Item, 4096, 0x10000000>::MakeHandle(1, 3)), 0x10010003);
  EXPECT_EQ((HandleTable<Item, 65536, 0x28000000>::MakeHandle(0, 65535)), 0x2800FFFF);
}

TEST_F(HandleTableTest, HandlesOfAnotherKindOrOutOfRangeNameNothing) {
  const int32_t h = AddItem(table_, 1);
  ASSERT_NE(table_.Get(h), nullptr);
  EXPECT_EQ(table_.Get(-1), nullptr);
  EXPECT_EQ(table_.Get(h | int32_t(0x80000000u)), nullptr);             // bit 31 set: negative
  EXPECT_EQ(table_.Get((h & ~HANDLE_TAG_MASK) | 0x08000000), nullptr);  // another tag
  EXPECT_EQ(table_.Get(h & ~HANDLE_TAG_MASK), nullptr);                 // no tag at all
  EXPECT_EQ(table_.Get(h + 1), nullptr);                                // free slot in range
  EXPECT_EQ(table_.Get((h & ~HANDLE_SLOT_MASK) | 4), nullptr);          // slot past the table
  EXPECT_EQ(table_.Get((h & ~HANDLE_SLOT_MASK) | 0xFFFF), nullptr);
  EXPECT_EQ(table_.Get(h ^ 0x00010000), nullptr);  // another check number
  // A table whose size is the whole slot field takes every slot value.
  auto wide = std::make_unique<WideTable>();
  Item last{0, 9};
  wide->EndMark = 65535;
  const int32_t w = wide->Add(wide->FreeSlot(), &last);
  EXPECT_EQ(WideTable::SlotOf(w), 65535);
  EXPECT_EQ(wide->Get(w), &last);
}

TEST_F(HandleTableTest, AFreedHandleStaysDeadWhenItsSlotIsTakenAgain) {
  const int32_t old = AddItem(table_, 1);
  table_.Remove(SmallTable::SlotOf(old));
  EXPECT_EQ(table_.Get(old), nullptr);
  EXPECT_EQ(table_.EndMark, 0);
  EXPECT_EQ(table_.Count, 0);
  const int32_t again = AddItem(table_, 2);
  EXPECT_EQ(SmallTable::SlotOf(again), SmallTable::SlotOf(old));
  EXPECT_NE(again, old);
  EXPECT_EQ(items_[1]->Check, items_[0]->Check + 1);
  EXPECT_EQ(table_.Get(old), nullptr);
  EXPECT_EQ(table_.Get(again)->Value, 2);
}

TEST_F(HandleTableTest, TheCheckCounterWrapsAfter2047SoTheSameNumberComesRound) {
  table_.CheckCounter = 2047;
  const int32_t a = AddItem(table_, 1);
  EXPECT_EQ(items_[0]->Check, 2047u);
  EXPECT_EQ(table_.CheckCounter, 0u);
  EXPECT_EQ(a & HANDLE_CHECK_MASK, 0x07FF0000);
  table_.Remove(0);
  // 2,048 records later the slot's next record has the old number again: the
  // old handle then names it, as the layout allows.
  for (int i = 0; i < 2047; ++i) {
    const int32_t h = AddItem(table_, 0);
    table_.Remove(SmallTable::SlotOf(h));
  }
  EXPECT_EQ(table_.CheckCounter, 2047u);
  const int32_t b = AddItem(table_, 7);
  EXPECT_EQ(b, a);
  EXPECT_EQ(table_.Get(a)->Value, 7);
}

TEST_F(HandleTableTest, SlotsComeFromTheEndMarkOrTheLowestFreeSlot) {
  const int32_t h0 = AddItem(table_, 0);
  const int32_t h1 = AddItem(table_, 1);
  const int32_t h2 = AddItem(table_, 2);
  table_.Remove(SmallTable::SlotOf(h0));
  EXPECT_EQ(table_.EndMark, 3);  // not the last slot: the mark stays
  EXPECT_EQ(table_.FreeSlot(), 3);
  EXPECT_EQ(table_.LowestFreeSlot(), 0);
  const int32_t h3 = AddItem(table_, 3);
  EXPECT_EQ(SmallTable::SlotOf(h3), 3);
  EXPECT_EQ(table_.FreeSlot(), 0);  // the mark reached the limit
  EXPECT_EQ(SmallTable::SlotOf(AddItem(table_, 4)), 0);
  EXPECT_TRUE(table_.Full());
  EXPECT_EQ(table_.FreeSlot(), -1);
  EXPECT_EQ(table_.LowestFreeSlot(), -1);
  // Freeing the top slots drops the mark past every empty slot below them.
  table_.Remove(SmallTable::SlotOf(h2));
  EXPECT_EQ(table_.EndMark, 4);
  table_.Remove(SmallTable::SlotOf(h3));
  EXPECT_EQ(table_.EndMark, 2);
  table_.Remove(SmallTable::SlotOf(h1));
  EXPECT_EQ(table_.EndMark, 1);
  EXPECT_EQ(table_.Count, 1);
  // The lowest-free owner takes slot 1 although the mark is also 1; then 2.
  EXPECT_EQ(SmallTable::SlotOf(AddItem(table_, 5, true)), 1);
  EXPECT_EQ(SmallTable::SlotOf(AddItem(table_, 6, true)), 2);
  EXPECT_EQ(table_.EndMark, 3);
}

TEST(HandleTableFieldTest, ACheckFieldOfAnotherNameWorksTheSame) {
  HandleTable<SignedItem, 100, 0x18000000, &SignedItem::Serial> movies{};
  SignedItem a{}, b{};
  movies.CheckCounter = 2047;
  const int32_t ha = movies.Add(movies.LowestFreeSlot(), &a);
  const int32_t hb = movies.Add(movies.LowestFreeSlot(), &b);
  EXPECT_EQ(a.Serial, 2047);
  EXPECT_EQ(b.Serial, 0);
  EXPECT_EQ(ha, 0x1FFF0000);
  EXPECT_EQ(hb, 0x18000001);
  EXPECT_EQ(movies.Get(ha), &a);
  EXPECT_EQ(movies.Get(hb), &b);
  EXPECT_EQ(movies.Get(ha ^ 0x00010000), nullptr);
}

}  // namespace
