// A growable byte ring (network data) and a doubly linked list with head and
// tail sentinels (sound).
#pragma once
#include <cstdint>

// A record of all zeros is an empty ring without storage.
struct RingBuffer {
  uint8_t* Data;     // storage from the tracked allocator
  int32_t ReadPos;   // next byte to read
  int32_t WritePos;  // next byte to write
  int32_t Stored;    // bytes held (tells full from empty when positions meet)
  int32_t Capacity;  // size of the storage
};

// A read or write position equal to the capacity becomes 0.
void RingBufferWrapPositions(RingBuffer* ring);
// Makes room for n more bytes: 0, or -1 when n is negative, the size would
// overflow or memory runs out (the ring then keeps its contents).
int RingBufferReserve(RingBuffer* ring, int n);
// Appends n bytes: 0 or -1 (nothing added).
int RingBufferAdd(RingBuffer* ring, const void* src, int n);
// Takes n bytes (or only copies them when peek is nonzero): 0, or -1 when
// fewer than n are stored (nothing copied).
int RingBufferRead(RingBuffer* ring, void* dest, int n, int peek);
// Frees the storage and zeroes the record. Returns 0.
int RingBufferRelease(RingBuffer* ring);

struct ListNode {
  int32_t Id;      // user's identifier; -1 in the sentinels
  uint32_t Data;   // user's value; 0 in the sentinels
  ListNode* Prev;  // null in the head
  ListNode* Next;  // null in the tail
};

// Links the head and tail sentinels to each other. Returns 0.
int ListInit(ListNode* head, ListNode* tail);
// Stores id and data in newNode and links it right after node. Returns 0.
int ListInsertAfter(ListNode* node, ListNode* newNode, int id, uint32_t data);
// Links the node's neighbours to each other; the node's own links stay. 0.
int ListRemove(ListNode* node);
