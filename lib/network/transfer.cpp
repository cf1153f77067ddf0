// Buffered receive and send of network handles: direct mode, and the packet
// mode with its 4-byte little-endian length prefix.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/log.h"
#include "core/ringbuf.h"
#include "core/strutil.h"
#include "network/network.h"
#include "platform/socket.h"

namespace {

// Re-entry guards: a RecvSocket or SendSocket reached again through message
// dispatch inside itself returns at once, whatever handle it names. The
// notice that brought it is not lost: the handle is noted and served once
// the running call has finished, or a transfer could wait for ever on a
// socket event that was already spent.
struct Guard {
  int Taken;
  int MissedCount;
  int Missed[NETWORK_TABLE_SLOTS];  // per slot: the handle refused, 0 for none
};
Guard g_recvGuard = {};
Guard g_sendGuard = {};

constexpr int kLineBufferSize = 256;
constexpr int kLinePeekSize = 255;

uint32_t ReadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void WriteLe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

// The messages of a record that is not live or is in error; 0 when it may be used.
int RefuseRecord(const NetWorkRecord* record, const char* entry, const char* errorEntry) {
  if (record->Used == 0) return LogPrintf("有効なネットワークハンドルではありません in %s", entry);
  if (record->Error == 1)
    return LogPrintf("このネットワークハンドルにはエラーが発生しています in %s", errorEntry);
  return 0;
}

// Runs body with the guard word taken, clearing it on every way out; then
// serves the handles whose calls the guard refused meanwhile.
int Guarded(Guard& guard, int handle, int (*body)(int)) {
  if (guard.Taken == 1) {
    int& slot = guard.Missed[handle & 0xFFFF];
    if (slot == 0) ++guard.MissedCount;
    slot = handle;
    return -1;
  }
  guard.Taken = 1;
  int result = body(handle);
  while (guard.MissedCount > 0) {
    for (int& missed : guard.Missed) {
      if (missed == 0) continue;
      int again = missed;
      missed = 0;
      --guard.MissedCount;
      if (GetNetWorkRecord(again)) body(again);
    }
  }
  guard.Taken = 0;
  return result;
}

// Moves up to `wanted` bytes between the socket and a ring's storage from
// `position`, in two pieces when they pass the end of the storage. `io` does
// one transfer and returns its count or a negative value. Sets the new
// position and returns the bytes moved, or -1 when the first transfer failed.
template <typename Io>
int64_t RingTransfer(RingBuffer* ring, int32_t* position, int64_t wanted, Io io) {
  int64_t at = *position, capacity = ring->Capacity;
  if (at + wanted <= capacity) {
    int got = io(ring->Data + at, wanted);
    if (got < 0) return -1;
    *position = int32_t(at + got);
    return got;
  }
  int64_t first = capacity - at;
  int got = io(ring->Data + at, first);
  if (got < 0) return -1;
  if (got < first) {
    *position = int32_t(at + got);
    return got;
  }
  int second = io(ring->Data, wanted - first);
  if (second < 0) {
    *position = 0;
    return got;
  }
  *position = second;
  return int64_t(got) + second;
}

int RecvSocketBody(int handle) {
  PumpNetWorkMessages(0);
  NetWorkRecord* record = GetNetWorkRecord(handle);
  if (!record) return -1;
  if (RefuseRecord(record, "RecvSocket", "RecvSocket") != 0) return -1;
  if (!record->PacketMode) return 0;
  for (;;) {
    if (record->IncomingLeft == 0) {
      // The prefix is taken only once all four bytes are there.
      uint8_t prefix[4];
      if (PlatSocketRecv(record->Socket, prefix, 4, PLAT_MSG_PEEK) < 4) break;
      if (PlatSocketRecv(record->Socket, prefix, 4, 0) < 4) break;
      uint32_t length = ReadLe32(prefix);
      // A length beyond what a ring can hold is refused like a failed growth.
      // Its line prints the length with %u on purpose, not %d: length is a
      // uint32_t, and a prefix of 2^31 or more must not read as a negative
      // byte count.
      if (length > 0x7FFFFFFFu || RingBufferReserve(&record->RecvRing, int(length)) != 0) {
        LogPrintf("受信データを保存するリングバッファのリサイズに失敗しました(データサイズ %u byte)", length);
        record->Error = 1;
        return -1;
      }
      record->IncomingLeft = int32_t(length);
      record->IncomingLength = int32_t(length);
    }
    RingBuffer* ring = &record->RecvRing;
    RingBufferWrapPositions(ring);
    int64_t n = 0;
    if (record->IncomingLeft > 0) {
      n = RingTransfer(ring, &ring->WritePos, record->IncomingLeft, [&](uint8_t* at, int64_t count) {
        return PlatSocketRecv(record->Socket, at, int(count), 0);
      });
      if (n < 0) break;
    }
    ring->Stored += int32_t(n);
    record->IncomingLeft -= int32_t(n);
    if (record->IncomingLeft == 0) record->CompleteBytes += record->IncomingLength;
    PumpNetWorkMessages(0);
    if (!(n > 0 && record->IncomingLeft == 0)) break;
  }
  return 0;
}

int SendSocketBody(int handle) {
  PumpNetWorkMessages(0);
  NetWorkRecord* record = GetNetWorkRecord(handle);
  if (!record) return -1;
  if (RefuseRecord(record, "SendSocket", "SendSocket") != 0) return -1;
  RingBuffer* ring = &record->SendRing;
  if (ring->Stored == 0 || !record->PacketMode) return 0;
  auto sendPiece = [&](uint8_t* at, int64_t count) { return PlatSocketSend(record->Socket, at, int(count)); };
  for (;;) {
    uint8_t prefix[4];
    if (record->PrefixLeft != 0) {
      WriteLe32(prefix, record->OutgoingLeft);
      int sent = PlatSocketSend(record->Socket, prefix + 4 - record->PrefixLeft, record->PrefixLeft);
      if (sent < 0) break;
      record->PrefixLeft -= sent;
      if (record->PrefixLeft != 0) break;
    }
    int64_t n;
    if (record->OutgoingLeft == 0) {
      // A packet holds everything queued when it starts. Its prefix leaves in
      // one write with the body's first piece, so a small packet is one
      // segment on the wire, not two.
      record->OutgoingLeft = uint32_t(ring->Stored);
      WriteLe32(prefix, record->OutgoingLeft);
      RingBufferWrapPositions(ring);
      int64_t piece = std::min<int64_t>(record->OutgoingLeft, int64_t(ring->Capacity) - ring->ReadPos);
      int sent = PlatSocketSendPair(record->Socket, prefix, 4, ring->Data + ring->ReadPos, int(piece));
      if (sent < 0) {
        record->OutgoingLeft = 0;
        break;
      }
      if (sent < 4) {
        record->PrefixLeft = 4 - sent;
        break;
      }
      n = sent - 4;
      ring->ReadPos += int32_t(n);
      if (n == piece && record->OutgoingLeft > uint32_t(n)) {
        // The rest of a packet that wraps past the end of the ring.
        RingBufferWrapPositions(ring);
        int64_t more = RingTransfer(ring, &ring->ReadPos, record->OutgoingLeft - n, sendPiece);
        if (more > 0) n += more;
      }
    } else {
      RingBufferWrapPositions(ring);
      n = RingTransfer(ring, &ring->ReadPos, record->OutgoingLeft, sendPiece);
      if (n < 0) break;
    }
    ring->Stored -= int32_t(n);
    record->OutgoingLeft -= uint32_t(n);
    PumpNetWorkMessages(0);
    if (n == 0 || record->OutgoingLeft != 0 || ring->Stored == 0) break;
  }
  return 0;
}

// NetWorkRecv and NetWorkRecvToPeek: peek 0 takes the bytes, 1 copies them.
int ReceiveInto(int handle, void* buffer, int length, int peek, const char* entry) {
  if (length < 0 || (!buffer && length > 0)) return -1;
  NetWorkRecord* record = GetNetWorkRecord(handle);
  if (!record || !NetWork.Initialized) return -1;
  PumpNetWorkMessages(0);
  if (RefuseRecord(record, entry, entry) != 0) return -1;
  if (RecvSocket(handle) < 0) return -1;
  if (!record->PacketMode) return PlatSocketRecv(record->Socket, buffer, length, peek ? PLAT_MSG_PEEK : 0);
  if (record->RecvRing.Stored < length) return -1;
  if (RingBufferRead(&record->RecvRing, buffer, length, peek) != 0) return -1;
  if (!peek) {
    record->CompleteBytes -= length;
    RecvSocket(handle);
  }
  return 0;
}

}  // namespace

int RecvSocket(int handle) {
  if (!NetWork.Initialized || !GetNetWorkRecord(handle)) return -1;
  return Guarded(g_recvGuard, handle, RecvSocketBody);
}

int SendSocket(int handle) {
  if (!NetWork.Initialized || !GetNetWorkRecord(handle)) return -1;
  return Guarded(g_sendGuard, handle, SendSocketBody);
}

int NetWorkRecv(int handle, void* buffer, int length) {
  return ReceiveInto(handle, buffer, length, 0, "NetWorkRecv");
}

int NetWorkRecvToPeek(int handle, void* buffer, int length) {
  return ReceiveInto(handle, buffer, length, 1, "NetWorkRecvToPeek");
}

int NetWorkSend(int handle, const void* data, int length) {
  if (!NetWork.Initialized) return -1;
  NetWorkRecord* record = GetNetWorkRecord(handle);
  if (!record || length < 0 || (!data && length > 0)) return -1;
  PumpNetWorkMessages(0);
  if (RefuseRecord(record, "NetWorkSend", "NetWorkSend") != 0) return -1;
  if (record->Connected == 0) return -1;
  SendSocket(handle);
  if (!record->PacketMode) return PlatSocketSend(record->Socket, data, length);
  if (RingBufferAdd(&record->SendRing, data, length) != 0) {
    LogPrintf("送信データ %d byte の追加に失敗しました in NewWorkSend", length);
    // The queue can no longer be trusted to make whole packets.
    record->Error = 1;
    return -1;
  }
  SendSocket(handle);
  return 0;
}

int NetWorkRecvLine(int handle, char* line) {
  if (!line) return -1;
  char buffer[kLineBufferSize];
  std::memset(buffer, 0, kLinePeekSize);
  int peeked = NetWorkRecvToPeek(handle, buffer, kLinePeekSize);
  if (peeked < 1) return -1;
  buffer[peeked] = 0;
  // The line end is searched among the bytes peeked only, stepping over
  // two-byte characters and stopping at a zero byte.
  int end = -1;
  for (int i = 0; i < peeked;) {
    unsigned char c = static_cast<unsigned char>(buffer[i]);
    if (c == 0) break;
    if (c == '\n') {
      end = i;
      break;
    }
    i += IsSjisLeadByte(c) ? 2 : 1;
  }
  if (end < 0) return -1;
  buffer[end] = 0;
  StrCopy(line, buffer);
  NetWorkRecv(handle, buffer, end + 1);
  return 0;
}

int GetNetWorkDataLength(int handle) {
  if (!NetWork.Initialized) return -1;
  PumpNetWorkMessages(0);
  RecvSocket(handle);
  SendSocket(handle);
  NetWorkRecord* record = GetNetWorkRecord(handle);
  if (!record) return -1;
  if (RefuseRecord(record, "GetNetWorkDataLength", "GetNetWorkDataLength") != 0) return -1;
  if (record->PacketMode) return record->CompleteBytes;
  char one;
  int result = NetWorkRecvToPeek(handle, &one, 1);
  if (result < 0) return result;
  return result == 1 ? 1 : 0;
}
