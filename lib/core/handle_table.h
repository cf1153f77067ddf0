// Handle tables: how every kind of library object is named to callers.
//
// A handle is a non-negative 32-bit word: the kind tag in bits 27 to 30, the
// record's check number in bits 16 to 26 and its slot in bits 0 to 15,
//   handle = tag | (check << 16) | slot.
// A table is a fixed array of record pointers (a slot is free when null), the
// live count, the end mark (one past the highest slot in use) and the check
// counter, which runs 0 to 2047 and then starts again at 0. Each new record
// takes the counter's value as its check number, so a handle kept after its
// record was freed names nothing even when the slot holds a new record (until
// the counter has come round to the same number). A handle is valid when it is
// not negative, its tag is the table's, its slot is below the table's size,
// the slot holds a record and the record's check number is the handle's.
//
// A new table (the movie and network tables, say):
//   1. Give the record an integer check field, `Check` by default; a field of
//      another name is named as the fourth template argument
//      (`HandleTable<MovieRecord, 100, 0x18000000, &MovieRecord::Serial>`).
//   2. Put the table in the owning block; it is a plain aggregate, all zero
//      when empty, so a zero-filled block is an empty table.
//   3. To add: `Full()` (the caller logs or fails as its kind does), a slot
//      from `FreeSlot()` (the end mark first, then the lowest free slot) or
//      `LowestFreeSlot()` (always the lowest), the record allocated, then
//      `Add(slot, record)`, which gives the record its check number and
//      returns the handle.
//   4. To look up: `Get(handle)`, the validity test, null for a bad handle.
//   5. To free: `Remove(SlotOf(handle))`, then free the record.
//   6. To visit every record: the slots below `EndMark` that are not null.
#pragma once
#include <cstdint>
#include <type_traits>

constexpr int32_t HANDLE_TAG_MASK = 0x78000000;
constexpr int32_t HANDLE_CHECK_MASK = 0x07FF0000;
constexpr int32_t HANDLE_SLOT_MASK = 0x0000FFFF;
constexpr uint32_t HANDLE_CHECK_LIMIT = 2048;

template <typename T, int Limit, int32_t Tag, auto CheckField = &T::Check>
struct HandleTable {
  static_assert(Limit > 0 && Limit <= HANDLE_SLOT_MASK + 1, "a slot is 16 bits");
  static_assert(Tag != 0 && (Tag & ~HANDLE_TAG_MASK) == 0, "a tag lies in bits 27 to 30");

  T* Records[Limit];
  int32_t Count;          // live records
  int32_t EndMark;        // one past the highest slot in use
  uint32_t CheckCounter;  // the check number of the next record, 0 to 2047

  static constexpr int kLimit = Limit;

  static constexpr int32_t MakeHandle(uint32_t check, int slot) {
    return Tag | int32_t((check % HANDLE_CHECK_LIMIT) << 16) | int32_t(slot);
  }
  static constexpr int SlotOf(int32_t handle) { return handle & HANDLE_SLOT_MASK; }

  // The record of a valid handle, or null.
  T* Get(int32_t handle) const {
    if (handle < 0 || (handle & HANDLE_TAG_MASK) != Tag) return nullptr;
    const int slot = handle & HANDLE_SLOT_MASK;
    if (slot >= Limit) return nullptr;
    T* r = Records[slot];
    if (!r || (uint32_t(r->*CheckField) << 16) != uint32_t(handle & HANDLE_CHECK_MASK)) return nullptr;
    return r;
  }

  bool Full() const { return Count >= Limit; }

  // The end mark, or the lowest free slot once the end mark reached the
  // limit; -1 when every slot holds a record.
  int FreeSlot() const { return EndMark < Limit ? EndMark : LowestFreeSlot(); }
  // The lowest free slot; -1 when every slot holds a record.
  int LowestFreeSlot() const {
    for (int i = 0; i < Limit; ++i)
      if (!Records[i]) return i;
    return -1;
  }

  // Puts the record into the free slot, gives it the next check number and
  // returns its handle.
  int32_t Add(int slot, T* record) {
    const uint32_t check = CheckCounter;
    record->*CheckField = static_cast<std::remove_reference_t<decltype(record->*CheckField)>>(check);
    CheckCounter = (CheckCounter + 1) % HANDLE_CHECK_LIMIT;
    Records[slot] = record;
    ++Count;
    if (slot >= EndMark) EndMark = slot + 1;
    return MakeHandle(check, slot);
  }

  // The handle of the record in a slot that holds one.
  int32_t HandleAt(int slot) const { return MakeHandle(uint32_t(Records[slot]->*CheckField), slot); }

  // Empties the slot (the caller frees the record); the end mark drops to one
  // past the highest slot still in use.
  void Remove(int slot) {
    Records[slot] = nullptr;
    --Count;
    if (slot == EndMark - 1)
      while (EndMark > 0 && !Records[EndMark - 1]) --EndMark;
  }
};
