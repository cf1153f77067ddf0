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
// The events the listening socket is registered for: accept, close.
constexpr uint32_t NETWORK_LISTENER_EVENTS = 40;

struct NetWorkRecord {
  int32_t Used;
  int32_t Error;  // the handle failed; every operation refuses it
  int32_t Connected;
  int32_t DisconnectSeen;  // GetNetWorkAcceptState reported the loss
  int32_t WordA;
  int32_t WordB;
  int32_t PacketMode;  // 1 packets through the rings, 0 direct
  int32_t AutoClose;
  int32_t Check;  // 0 to 2047, bits 16 to 26 of the handle
  uint32_t Socket;
  int32_t IncomingLeft;  // bytes of the incoming packet still to come
  RingBuffer RecvRing;
  int32_t IncomingLength;
  int32_t CompleteBytes;  // bytes of whole packets held and not taken
  RingBuffer SendRing;
  uint32_t OutgoingLeft;  // bytes of the outgoing packet still to go
  int32_t PrefixLeft;     // bytes of its length prefix still to go
  uint8_t PeerAddress[4];
  uint32_t PeerPort;  // as accept gave it (network byte order)
  ListNode Node;      // id the handle, data the slot
};

struct NetWorkState {
  NetWorkRecord* Records[NETWORK_TABLE_SLOTS];
  ListNode ListHead;  // newest record first
  ListNode ListTail;
  int32_t HandleCount;
  int32_t CheckCounter;
  int32_t Initialized;
  PlatWindow NotifyWindow;
  int32_t PacketModeOff;
  int32_t AutoCloseOff;
  int32_t WindowClosed;  // set when the notification window is destroyed
  // An accept notice found every connection slot taken. The refused
  // connection waits on the listener, and no socket event tells when a slot
  // frees, so closing a connection asks for the notice again.
  int32_t AcceptRefused;
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
// HTTP/1.0 GET, POST and HEAD over direct-mode connections. A transfer is a
// small state machine in one of 100 slots, named by its slot index; the
// message pump steps every live one, and each step does what the bytes
// already received allow and returns. A finished or failed transfer keeps its
// slot, with its result, until it is deleted.
constexpr int HTTP_TRANSFER_SLOTS = 100;
constexpr int HTTP_HOST_SIZE = 128;                // the host text with its terminator
constexpr int HTTP_PATH_SIZE = 256;                // the request target with its terminator
constexpr int HTTP_GET_TEXT_SIZE = 512;            // text buffer of a GET step
constexpr int HTTP_SHORT_TEXT_SIZE = 256;          // text buffer of a POST or HEAD step
constexpr int HTTP_RECEIVE_BUFFER_SIZE = 4096;     // the most one body receive takes
constexpr int HTTP_WRITE_BEHIND_SIZE = 64 * 1024;  // file mode: bytes gathered per file write

enum HttpMethod : int32_t { HTTP_GET = 0, HTTP_POST = 1, HTTP_HEAD = 2 };
enum HttpOutputMode : int32_t { HTTP_TO_FILE = 0, HTTP_TO_MEMORY = 1 };
// Status: -1 running, 0 finished, 2 failed.
constexpr int32_t HTTP_RUNNING = -1, HTTP_FINISHED = 0, HTTP_FAILED = 2;
// Result detail of a finished or failed transfer.
constexpr int32_t HTTP_DETAIL_NONE = -1;
// The server's answer was not a usable one: a code other than 200 and 404,
// or a line that cannot be read (too long, or holding a 0 byte).
constexpr int32_t HTTP_DETAIL_STATUS = 0;
constexpr int32_t HTTP_DETAIL_NOT_FOUND = 1;  // the server answered 404
// Nowhere to put the body: no block for it (or a length that cannot size
// one), or an output file that did not take it (what it took stays in it).
constexpr int32_t HTTP_DETAIL_NO_MEMORY = 2;
constexpr int32_t HTTP_DETAIL_CLOSED = 3;  // the connection closed before the answer was complete

// Position in the method's state machine; a value above the method's last
// step makes its step do nothing.
using HttpStep = uint32_t;

// Each of the two fields is set only while it holds -1: the first finish decides it.
struct HttpResult {
  int32_t Status;
  int32_t Detail;
};

struct HttpTransfer {
  int32_t Method;  // an HttpMethod; any other value steps nothing
  int32_t Reserved0;
  HttpStep Step;
  int32_t Reserved1;
  HttpResult Result;
  int32_t NetHandle;      // -1 once the transfer has finished
  int32_t OutputMode;     // an HttpOutputMode
  intptr_t OutputFile;    // file mode: a file open for writing (a PlatFile), -1 when none
  void** BufferSlot;      // memory mode: the caller's pointer variable, which receives the body block
  int32_t ContentLength;  // -1 while no "Content-Length:" line has been read
  int32_t Received;       // body bytes received so far
  char Reserved2[128];
  char Host[HTTP_HOST_SIZE];
  char Path[HTTP_PATH_SIZE];
  uint8_t* PostBody;  // a tracked block owned by the transfer, or null
  int32_t PostLength;
  int32_t RequestSent;  // bytes of the request text and POST body sent so far
  int32_t Port;
  // File mode: the body's receives gather here (a tracked block of
  // HTTP_WRITE_BEHIND_SIZE bytes) and go to the file when it is full and when
  // the transfer finishes, fails or is deleted. Null when the block could not
  // be had, or once the transfer has finished: each receive is then written
  // at once.
  uint8_t* WriteBehind;
  int32_t WriteBehindHeld;  // bytes in it not yet written
};

// The number after the text's first blank (as ParseDecimalInt reads it); -1
// when there is no blank.
int ParseIntAfterSpace(const char* text);
int FinishHttpTransfer(int slot, int status, int detail);
int DeleteHttpTransfer(int slot);
int DeleteAllHttpTransfers();
int HttpStepGet(int slot);
int HttpStepPost(int slot);
int HttpStepHead(int slot);
int StepHttpTransfer(int slot);
int StepAllHttpTransfers();
// Empties the table without freeing anything (start-up).
int ClearHttpTransferTable();
int GetHttpTransferCount();
int IsHttpTransferSlotLive(int slot);

// ---- HTTP transfers: creation and queries (internal to the library) ----------------
// Formats the request text of a transfer into text (size bytes): its length,
// or -1 when it would not fit (nothing is then sent).
int FormatHttpRequest(const HttpTransfer* transfer, char* text, int size);
// Starts a transfer: connects to host (a dotted IPv4 address or a name) and
// port in direct mode, waiting up to connectTimeoutMs for the connection, and
// puts the transfer into the lowest empty slot. The body goes to the file
// outputPath (created or emptied) when it is not null, else into a tracked
// block handed over through *memoryOut, which must hold null; the caller
// frees that block with TrackedFree once the transfer has finished. For POST
// the postLength bytes of postBody are copied. The slot index, or -1 (bad
// arguments, a request that would not fit its text buffer, a full table, a
// file or connection that cannot be made; a log line says which).
int CreateHttpTransfer(int method, const char* host, int port, const char* path, const char* outputPath,
                       void** memoryOut, const void* postBody, int postLength, uint32_t connectTimeoutMs);
// The transfer in a slot, or null.
const HttpTransfer* GetHttpTransfer(int slot);
// Connects in direct mode with auto close off, whatever the settings say,
// waiting up to timeoutMs: the connected handle, or -1.
int ConnectNetWorkDirect(const uint8_t address[4], int port, uint32_t timeoutMs);
