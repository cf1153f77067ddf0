// Network handles, socket events, start-up and shutdown.
#include "network/network.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/alloc.h"
#include "core/clock.h"
#include "core/log.h"
#include "platform/socket.h"

NetWorkState NetWork;

namespace {

// How long closing a handle keeps receiving, and then sending, what is under way.
constexpr uint32_t kCloseDrainMs = 1000;
const uint8_t kAnyAddress[4] = {0, 0, 0, 0};

NetWorkRecord* RecordOfNode(const ListNode* node) { return NetWork.Records[node->Data]; }

int NodeHandle(const NetWorkRecord* record) { return record->Node.Id; }

int FirstFreeConnectionSlot() {
  for (int slot = 0; slot < NETWORK_CONNECTION_SLOTS; ++slot)
    if (!NetWork.Records[slot]) return slot;
  return -1;
}

// Takes the next check number: 0 to 2047, then 0 again.
int TakeCheckNumber() {
  int check = NetWork.CheckCounter;
  NetWork.CheckCounter = check + 1 >= NETWORK_CHECK_LIMIT ? 0 : check + 1;
  return check;
}

// A zeroed record in the slot, linked first in the socket list with the
// handle it will have; null when memory runs out (the slot stays free).
NetWorkRecord* NewRecord(int slot) {
  auto* record = static_cast<NetWorkRecord*>(TrackedAlloc(sizeof(NetWorkRecord), "", 0));
  NetWork.Records[slot] = record;
  if (!record) return nullptr;
  std::memset(record, 0, sizeof *record);
  record->Used = 1;
  record->WordB = 1;
  record->PacketMode = NetWork.PacketModeOff == 0 ? 1 : 0;
  record->AutoClose = NetWork.AutoCloseOff == 0 ? 1 : 0;
  ListInsertAfter(&NetWork.ListHead, &record->Node, MakeNetWorkHandle(NetWork.CheckCounter, slot),
                  uint32_t(slot));
  return record;
}

// Undoes a record that never became a handle.
int DiscardRecord(int slot) {
  NetWorkRecord* record = NetWork.Records[slot];
  ListRemove(&record->Node);
  if (record->Socket != 0 && record->Socket != PLAT_INVALID_SOCKET) PlatSocketClose(record->Socket);
  RingBufferRelease(&record->RecvRing);
  RingBufferRelease(&record->SendRing);
  record->Used = 0;
  TrackedFree(record);
  NetWork.Records[slot] = nullptr;
  return -1;
}

// Gives a record that has its socket its check number and counts it.
int CommitRecord(NetWorkRecord* record) {
  record->Check = TakeCheckNumber();
  ++NetWork.HandleCount;
  return NodeHandle(record);
}

// Registers the socket of a new connection's record for `events` and makes
// it a handle: the handle, or -1 with a log line naming `entry`, the record
// undone.
int RegisterRecord(int slot, uint32_t events, const char* entry) {
  NetWorkRecord* record = NetWork.Records[slot];
  // A packet leaves as its prefix and then its body: without this the body
  // would wait for the peer's delayed acknowledgement of the prefix.
  PlatSocketSetNoDelay(record->Socket, 1);
  if (PlatSocketAsyncSelect(record->Socket, NetWork.NotifyWindow, SocketNotifyMessage, events) != 0) {
    LogNetWorkError("WSAAsyncSelectのエラー in %s", entry);
    return DiscardRecord(slot);
  }
  return CommitRecord(record);
}

// Starts a connection to address and port in the first free slot: the
// handle, or -1 with a log line (no free slot, no memory, a connect or a
// registration that failed; the record is then undone). A direct connection
// carries plain bytes both ways, is kept until its owner closes it, whatever
// the settings say, and stands when its handle is returned (it is waited for
// up to timeoutMs); any other is connected once its FD_CONNECT arrives
// without error.
int OpenConnection(const uint8_t address[4], int port, bool direct, uint32_t timeoutMs) {
  if (!NetWork.Initialized || !address) return -1;
  PumpNetWorkMessages(0);
  int slot = FirstFreeConnectionSlot();
  if (slot < 0) return LogWrite("空きソケットデータがなかったので接続を中止しました\n");
  NetWorkRecord* record = NewRecord(slot);
  if (!record) return LogWrite("ソケット用のメモリの確保に失敗しました\n");
  if (direct) {
    record->PacketMode = 0;
    record->AutoClose = 0;
  }
  std::memcpy(record->PeerAddress, address, 4);
  record->PeerPort = uint32_t(((port & 0xFF) << 8) | ((port >> 8) & 0xFF));
  record->Socket = PlatSocketConnect(address, port, direct ? 1 : 0, direct ? timeoutMs : 0);
  if (record->Socket == PLAT_INVALID_SOCKET) {
    LogNetWorkError("connectに失敗しました");
    return DiscardRecord(slot);
  }
  if (direct) record->Connected = 1;
  return RegisterRecord(slot, NETWORK_ACCEPTED_EVENTS | (direct ? 0 : PLAT_FD_CONNECT),
                        direct ? "ConnectNetWorkDirect" : "ConnectNetWork");
}

// A connection refused for a full table stays queued on the listener, and
// an accept notice comes only after an accept: with a slot free again, the
// listener is registered anew, which tells at once of a connection waiting
// (and otherwise of the next to arrive). Once per refusal, so the refusal's
// line is written once per change and not at every pump.
void AskForRefusedAccept() {
  NetWorkRecord* listener = NetWork.Records[NETWORK_LISTEN_SLOT];
  if (!NetWork.AcceptRefused || !listener) return;
  NetWork.AcceptRefused = 0;
  if (PlatSocketAsyncSelect(listener->Socket, NetWork.NotifyWindow, SocketNotifyMessage,
                            NETWORK_LISTENER_EVENTS) != 0)
    LogNetWorkError("WSAAsyncSelectのエラー in CloseNetWorkHandle");
}

intptr_t NotifyWindowProc(PlatWindow window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == SocketNotifyMessage) return OnSocketMessage(wParam, lParam);
  if (message == WM_DESTROY) {
    NetWork.WindowClosed = 1;
    if (NetWork.NotifyWindow == window) NetWork.NotifyWindow = nullptr;
    return 0;
  }
  return PlatDefWindowProc(window, message, wParam, lParam);
}

}  // namespace

NetWorkRecord* GetNetWorkRecord(int handle) {
  if (handle < 0) return nullptr;
  if ((handle & 0x78000000) != NETWORK_HANDLE_TAG) return nullptr;
  int slot = handle & 0xFFFF;
  if (slot >= NETWORK_TABLE_SLOTS) return nullptr;
  NetWorkRecord* record = NetWork.Records[slot];
  if (!record) return nullptr;
  if ((record->Check << 16) != (handle & 0x07FF0000)) return nullptr;
  return record;
}

int LogNetWorkError(const char* format, ...) {
  char text[LOG_PRINTF_BUFFER_SIZE];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  LogPrintf("ネットワークログ。%s[%d]", text, PlatSocketGetLastError());
  return -1;
}

int AcceptNetWork() {
  if (!NetWork.Initialized) return -1;
  PumpNetWorkMessages(0);
  NetWorkRecord* listener = NetWork.Records[NETWORK_LISTEN_SLOT];
  if (!listener) return -1;
  int slot = FirstFreeConnectionSlot();
  if (slot < 0) {
    NetWork.AcceptRefused = 1;
    return LogWrite("空きソケットデータがなかったので accept を拒否しました \n");
  }
  NetWorkRecord* record = NewRecord(slot);
  if (!record) return LogWrite("ソケット用のメモリの確保に失敗しました\n");
  record->Connected = 1;
  uint16_t port = 0;
  record->Socket = PlatSocketAccept(listener->Socket, record->PeerAddress, &port);
  if (record->Socket == PLAT_INVALID_SOCKET) {
    LogNetWorkError("acceptに失敗しました");
    return DiscardRecord(slot);
  }
  record->PeerPort = port;
  return RegisterRecord(slot, NETWORK_ACCEPTED_EVENTS, "AcceptNetWork") < 0 ? -1 : 1;
}

intptr_t OnSocketMessage(uintptr_t socket, intptr_t eventAndError) {
  // A notification before the layer stands finds no list to walk.
  if (!NetWork.Initialized || !NetWork.ListHead.Next) return 0;
  NetWorkRecord* record = nullptr;
  for (ListNode* node = NetWork.ListHead.Next; node && node != &NetWork.ListTail; node = node->Next) {
    NetWorkRecord* candidate = RecordOfNode(node);
    if (candidate && uintptr_t(candidate->Socket) == socket) {
      record = candidate;
      break;
    }
  }
  if (!record) {
    LogWrite("通信エラー No.1\n");
    return 0;
  }
  uint32_t word = uint32_t(eventAndError);
  int handle = NodeHandle(record);
  switch (word & 0xFFFF) {
    case PLAT_FD_READ:
      RecvSocket(handle);
      return 1;
    case PLAT_FD_WRITE:
      SendSocket(handle);
      return 1;
    case PLAT_FD_ACCEPT:
      return AcceptNetWork();
    case PLAT_FD_CONNECT:
      if ((word >> 16) == 0) record->Connected = 1;
      return 1;
    case PLAT_FD_CLOSE:
      record->Connected = 0;
      record->DisconnectSeen = 0;
      return 1;
    default:
      return 1;
  }
}

int PumpNetWorkMessages(int closeFinished) {
  if (!NetWork.NotifyWindow || !NetWork.Initialized) return 0;
  if (closeFinished == 1) {
    ListNode* node = NetWork.ListHead.Next;
    while (node && node != &NetWork.ListTail) {
      ListNode* next = node->Next;
      NetWorkRecord* record = RecordOfNode(node);
      if (record && record->Used == 1 &&
          (record->Error == 1 ||
           (record->Connected == 0 && record->DisconnectSeen == 1 && record->AutoClose == 1)))
        CloseNetWorkHandle(NodeHandle(record));
      node = next;
    }
  }
  // Only the notifications queued when the pump starts are dispatched (the
  // first look gathers the sockets' news): one that a handler brings straight
  // back waits for the next pump, so no socket can hold the frame for ever.
  PlatWindow window = NetWork.NotifyWindow;
  PlatMsg message;
  if (!window || !PlatPeekMessage(&message, window, 0)) return 0;
  for (int left = PlatCountQueuedMessages(window); left > 0 && PlatPeekMessage(&message, window, 1); --left) {
    PlatTranslateMessage(&message);
    PlatDispatchMessage(&message);
  }
  return 0;
}

int CloseNetWorkHandle(int handle) {
  if (!NetWork.Initialized) return -1;
  NetWorkRecord* record = GetNetWorkRecord(handle);
  if (!record || record->Used == 0) return -1;
  PumpNetWorkMessages(0);

  // What is under way gets a bounded time to finish; a handle that fails
  // (in error, or its receive refused) ends its drain at once.
  uint32_t start = GetMillisecondClock();
  while (!MillisecondDueReached(start, kCloseDrainMs, GetMillisecondClock()) && record->IncomingLeft != 0) {
    PumpNetWorkMessages(0);
    if (RecvSocket(handle) < 0) break;
  }
  start = GetMillisecondClock();
  while (!MillisecondDueReached(start, kCloseDrainMs, GetMillisecondClock()) &&
         record->SendRing.Stored != 0) {
    PumpNetWorkMessages(0);
    if (SendSocket(handle) < 0) break;
  }

  PlatSocketAsyncSelect(record->Socket, NetWork.NotifyWindow, 0, 0);
  PlatSocketClose(record->Socket);
  record->Socket = 0;
  RingBufferRelease(&record->RecvRing);
  RingBufferRelease(&record->SendRing);
  record->Used = 0;
  record->Connected = 0;
  ListRemove(&record->Node);
  NetWork.Records[handle & 0xFFFF] = nullptr;
  TrackedFree(record);
  --NetWork.HandleCount;
  if ((handle & 0xFFFF) < NETWORK_CONNECTION_SLOTS) AskForRefusedAccept();
  return 0;
}

int EndNetWorkSystem() {
  if (!NetWork.Initialized) return 0;
  LogWrite("ネットワーク関連の終了処理を行います \n");
  // No connection is accepted any more, so none arrives in a slot the walk has passed.
  if (NetWorkRecord* listener = NetWork.Records[NETWORK_LISTEN_SLOT])
    PlatSocketAsyncSelect(listener->Socket, NetWork.NotifyWindow, 0, 0);
  NetWork.AcceptRefused = 0;  // and the slots freed below do not register it again
  for (int slot = 0; slot < NETWORK_TABLE_SLOTS; ++slot)
    if (NetWorkRecord* record = NetWork.Records[slot])
      CloseNetWorkHandle(MakeNetWorkHandle(record->Check, slot));
  if (PlatWindow window = NetWork.NotifyWindow) {
    PlatPostMessage(window, WM_CLOSE, 0, 0);
    if (NetWork.WindowClosed == 0) PumpNetWorkMessages(0);
    if (NetWork.NotifyWindow == window) PlatDestroyWindow(window);
  }
  std::memset(&NetWork, 0, sizeof NetWork);
  PlatSocketCleanup();
  LogWrite("ネットワーク関連の終了処理は完了しました\n");
  return 0;
}

int GetNetWorkAcceptState(int handle) {
  if (!NetWork.Initialized) return -1;
  PumpNetWorkMessages(0);
  NetWorkRecord* record = GetNetWorkRecord(handle);
  if (!record) return -1;
  if (record->Used == 0)
    return LogWrite("有効なネットワークハンドルではありません in GetNetWorkAcceptState\n");
  if (record->Error == 1)
    return LogWrite("このネットワークハンドルにはエラーが発生しています in GetNetWorkAcceptStateh\n");
  if (record->Connected == 0 && record->DisconnectSeen == 0) record->DisconnectSeen = 1;
  return record->Connected == 1 ? 1 : 0;
}

// ---- Start-up and settings ----------------------------------------------------------

int InitNetWorkSystem(int listenPort) {
  if (NetWork.Initialized || listenPort > 65535) return -1;
  int32_t packetModeOff = NetWork.PacketModeOff, autoCloseOff = NetWork.AutoCloseOff;
  PlatSocketStartup();
  std::memset(&NetWork, 0, sizeof NetWork);
  NetWork.PacketModeOff = packetModeOff;
  NetWork.AutoCloseOff = autoCloseOff;
  ListInit(&NetWork.ListHead, &NetWork.ListTail);
  NetWork.NotifyWindow = PlatCreateMessageWindow(NotifyWindowProc);
  if (!NetWork.NotifyWindow) {
    PlatSocketCleanup();
    return -1;
  }
  if (listenPort >= 0) {
    NetWorkRecord* record = NewRecord(NETWORK_LISTEN_SLOT);
    int ok = 0;
    if (!record) {
      LogWrite("ソケット用のメモリの確保に失敗しました\n");
    } else {
      // Connected and never closed automatically: the pump leaves it alone.
      record->Connected = 1;
      record->AutoClose = 0;
      record->PacketMode = 0;
      record->Socket = PlatSocketListen(kAnyAddress, listenPort, NETWORK_CONNECTION_SLOTS);
      if (record->Socket == PLAT_INVALID_SOCKET)
        LogNetWorkError("listenに失敗しました");
      else if (PlatSocketAsyncSelect(record->Socket, NetWork.NotifyWindow, SocketNotifyMessage,
                                     NETWORK_LISTENER_EVENTS) != 0)
        LogNetWorkError("WSAAsyncSelectのエラー in InitNetWorkSystem");
      else
        ok = 1;
    }
    if (!ok) {
      if (record) DiscardRecord(NETWORK_LISTEN_SLOT);
      NetWork.Records[NETWORK_LISTEN_SLOT] = nullptr;
      PlatDestroyWindow(NetWork.NotifyWindow);
      std::memset(&NetWork, 0, sizeof NetWork);
      NetWork.PacketModeOff = packetModeOff;
      NetWork.AutoCloseOff = autoCloseOff;
      PlatSocketCleanup();
      return -1;
    }
    CommitRecord(record);
  }
  NetWork.Initialized = 1;
  return 0;
}

int GetNetWorkListenPort() {
  NetWorkRecord* listener = NetWork.Initialized ? NetWork.Records[NETWORK_LISTEN_SLOT] : nullptr;
  return listener ? PlatSocketLocalPort(listener->Socket) : -1;
}

int ConnectNetWork(const uint8_t address[4], int port) { return OpenConnection(address, port, false, 0); }

int ConnectNetWorkDirect(const uint8_t address[4], int port, uint32_t timeoutMs) {
  return OpenConnection(address, port, true, timeoutMs);
}

int SetNetWorkPacketModeOff(int flag) {
  NetWork.PacketModeOff = flag;
  return 0;
}

int SetNetWorkAutoCloseOff(int flag) {
  NetWork.AutoCloseOff = flag;
  return 0;
}

int GetNewestNetWorkHandle() {
  if (!NetWork.Initialized) return -1;
  ListNode* node = NetWork.ListHead.Next;
  return node && node != &NetWork.ListTail ? node->Id : -1;
}
