// Network handles: up to 4,096 TCP connections and one listening socket, with
// ring-buffered receiving and sending and a packet mode (a 4-byte
// little-endian length, then that many bytes). Everything runs on the thread
// that started the layer: socket events arrive as SocketNotifyMessage on a
// message-only notification window and are handled when that window's
// messages are dispatched, which every entry does first.
#pragma once
#include <cstdint>

#include "core/ringbuf.h"
#include "platform/window.h"

constexpr int NETWORK_CONNECTION_SLOTS = 4096;
constexpr int NETWORK_LISTEN_SLOT = 4096;
constexpr int NETWORK_TABLE_SLOTS = 4097;
constexpr int NETWORK_HANDLE_TAG = 0x48000000;
constexpr int NETWORK_CHECK_LIMIT = 2048;
// Window message of socket events: wParam the socket, lParam (error << 16) | event.
constexpr uint32_t SocketNotifyMessage = 0x505;
// The events an accepted connection is registered for: read, write, close.
constexpr uint32_t NETWORK_ACCEPTED_EVENTS = 35;

struct NetWorkRecord {
  int32_t Used;
  int32_t Error;             // the handle failed; every operation refuses it
  int32_t Connected;
  int32_t DisconnectSeen;    // GetNetWorkAcceptState reported the loss
  int32_t WordA;
  int32_t WordB;
  int32_t PacketMode;        // 1 packets through the rings, 0 direct
  int32_t AutoClose;
  int32_t Check;             // 0 to 2047, bits 16 to 26 of the handle
  uint32_t Socket;
  int32_t IncomingLeft;      // bytes of the incoming packet still to come
  RingBuffer RecvRing;
  int32_t IncomingLength;
  int32_t CompleteBytes;     // bytes of whole packets held and not taken
  RingBuffer SendRing;
  uint32_t OutgoingLeft;     // bytes of the outgoing packet still to go
  int32_t PrefixLeft;        // bytes of its length prefix still to go
  uint8_t PeerAddress[4];
  uint32_t PeerPort;         // as accept gave it (network byte order)
  ListNode Node;             // id the handle, data the slot
};

struct NetWorkState {
  NetWorkRecord* Records[NETWORK_TABLE_SLOTS];
  ListNode ListHead;         // newest record first
  ListNode ListTail;
  int32_t HandleCount;
  int32_t CheckCounter;
  int32_t Initialized;
  PlatWindow NotifyWindow;
  int32_t PacketModeOff;
  int32_t AutoCloseOff;
  int32_t WindowClosed;      // set when the notification window is destroyed
};

extern NetWorkState NetWork;

inline int MakeNetWorkHandle(int check, int slot) { return ((check | 0x4800) << 16) | slot; }

// ---- Handles and socket events ------------------------------------------------
int AcceptNetWork();
intptr_t OnSocketMessage(uintptr_t socket, intptr_t eventAndError);
int PumpNetWorkMessages(int closeFinished);
int CloseNetWorkHandle(int handle);
int EndNetWorkSystem();
int GetNetWorkAcceptState(int handle);
int LogNetWorkError(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The record behind a handle that passes the handle check, or null.
NetWorkRecord* GetNetWorkRecord(int handle);

// ---- Receive and send ----------------------------------------------------------
int RecvSocket(int handle);
int SendSocket(int handle);
int NetWorkRecv(int handle, void* buffer, int length);
int NetWorkRecvToPeek(int handle, void* buffer, int length);
int NetWorkSend(int handle, const void* data, int length);
int NetWorkRecvLine(int handle, char* line);
int GetNetWorkDataLength(int handle);

// ---- Start-up and settings (internal to the library) ---------------------------
// Starts the layer on the calling thread: the notification window, and a
// listening socket in slot 4096 when listenPort is 0 (any free port) or
// above. 0, or -1 (already started, or a failure, which leaves it stopped).
int InitNetWorkSystem(int listenPort);
// The listening socket's local port, or -1.
int GetNetWorkListenPort();
// Starts a connection to address (first octet first) and port; the handle,
// connected once its connect event arrives, or -1.
int ConnectNetWork(const uint8_t address[4], int port);
// Handles made from now on use direct mode (flag nonzero) or packets, and are
// or are not (flag nonzero) closed once their disconnection has been seen.
// The settings survive the layer's start-up. 0.
int SetNetWorkPacketModeOff(int flag);
int SetNetWorkAutoCloseOff(int flag);
// The handle of the newest record (the last connection accepted or made), or -1.
int GetNewestNetWorkHandle();

// ---- HTTP transfers, stepped by the message pump --------------------------------
constexpr int HTTP_TRANSFER_SLOTS = 100;
int StepHttpTransfer(int slot);
int StepAllHttpTransfers();
int DeleteAllHttpTransfers();
int ClearHttpTransferTable();
int GetHttpTransferCount();
int IsHttpTransferSlotLive(int slot);
