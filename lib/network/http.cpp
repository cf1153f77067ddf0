// HTTP/1.0 transfers over direct-mode network handles: GET and POST take the
// answer's body into a file or a memory block, HEAD reads its length. Each
// transfer is stepped by the message pump; a step never waits for data.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/alloc.h"
#include "core/log.h"
#include "core/strutil.h"
#include "network/network.h"
#include "platform/file.h"
#include "platform/socket.h"

namespace {

struct HttpTransferTable {
  HttpTransfer* Slots[HTTP_TRANSFER_SLOTS];
  int32_t Count;  // the occupied slots
};
HttpTransferTable g_http;

// File-mode bodies of transfers without a write-behind block pass through
// these: one for all GET transfers, one for all POST transfers (steps run one
// at a time on one thread).
uint8_t g_getReceive[HTTP_RECEIVE_BUFFER_SIZE];
uint8_t g_postReceive[HTTP_RECEIVE_BUFFER_SIZE];

constexpr int kLinePeekSize = 255;  // what NetWorkRecvLine looks at
constexpr char kContentLength[] = "Content-Length:";
constexpr int kContentLengthSize = 15;

HttpTransfer* TransferAt(int slot) {
  return slot >= 0 && slot < HTTP_TRANSFER_SLOTS ? g_http.Slots[slot] : nullptr;
}

int TextSizeOf(int method) { return method == HTTP_GET ? HTTP_GET_TEXT_SIZE : HTTP_SHORT_TEXT_SIZE; }

// Sends what is left of the request text and then of the POST body. 1 when
// all of it is out, or when the connection no longer takes anything (its
// answer then decides); 0 when the rest waits for the socket, for a later step.
int SendRequest(HttpTransfer* t, char* text, int size) {
  int textLength = FormatHttpRequest(t, text, size);
  if (textLength < 0) textLength = 0;  // refused when it was made; nothing fits
  int64_t total = int64_t(textLength) + (t->Method == HTTP_POST && t->PostBody ? t->PostLength : 0);
  while (t->RequestSent < total) {
    const void* from;
    int64_t count;
    if (t->RequestSent < textLength) {
      from = text + t->RequestSent;
      count = textLength - t->RequestSent;
    } else {
      from = t->PostBody + (t->RequestSent - textLength);
      count = total - t->RequestSent;
    }
    int sent = NetWorkSend(t->NetHandle, from, int(count));
    if (sent <= 0) return GetNetWorkAcceptState(t->NetHandle) == 1 ? 0 : 1;
    t->RequestSent += sent;
  }
  return 1;
}

// Takes the next line of the answer. 0 with the line; -1 when none can be
// taken yet; -2 when none ever will be and the transfer has failed: a line
// that does not end within the bytes a line may have, or that holds a 0
// byte, makes the answer unusable (as a bad status code does); a line cut
// short by the server's close is a closed connection.
int TakeAnswerLine(int slot, HttpTransfer* t, char* line) {
  if (NetWorkRecvLine(t->NetHandle, line) == 0) return 0;
  int closed = GetNetWorkAcceptState(t->NetHandle) == 0;
  char peek[kLinePeekSize + 1];
  int peeked = NetWorkRecvToPeek(t->NetHandle, peek, kLinePeekSize);
  if (peeked < 1) return -1;
  // The line end is looked for as NetWorkRecvLine looks for it.
  for (int i = 0; i < peeked;) {
    unsigned char c = static_cast<unsigned char>(peek[i]);
    if (c == 0) {
      FinishHttpTransfer(slot, HTTP_FAILED, HTTP_DETAIL_STATUS);
      return -2;
    }
    if (c == '\n') return -1;  // arrived since; the next step takes it
    i += IsSjisLeadByte(c) ? 2 : 1;
  }
  if (peeked >= kLinePeekSize) {
    FinishHttpTransfer(slot, HTTP_FAILED, HTTP_DETAIL_STATUS);
    return -2;
  }
  if (closed) {
    FinishHttpTransfer(slot, HTTP_FAILED, HTTP_DETAIL_CLOSED);
    return -2;
  }
  return -1;
}

// The status line. 1 when it said 200 (the step goes on with the headers);
// 0 when the step returns: no line yet, or the transfer has failed.
int TakeStatusLine(int slot, HttpTransfer* t, char* line, bool logFailure) {
  if (TakeAnswerLine(slot, t, line) != 0) return 0;
  int code = ParseIntAfterSpace(line);
  if (code == 200) {
    t->Step = 2;
    return 1;
  }
  if (logFailure) LogPrintf("接続に失敗しました (戻り値:%d)", code);
  FinishHttpTransfer(slot, HTTP_FAILED, code == 404 ? HTTP_DETAIL_NOT_FOUND : HTTP_DETAIL_STATUS);
  return 0;
}

int IsContentLengthLine(const char* line) {
  return MemCompareN(line, kContentLength, kContentLengthSize) == 0;
}

// A "Content-Length:" value in memory mode: the body's block, exactly that
// big. A block from an earlier such line goes back first; a negative value
// cannot size one.
void TakeBodyBlock(int slot, HttpTransfer* t) {
  if (t->OutputMode != HTTP_TO_MEMORY || !t->BufferSlot) return;
  TrackedFree(*t->BufferSlot);
  *t->BufferSlot = nullptr;
  if (t->ContentLength < 0) {
    FinishHttpTransfer(slot, HTTP_FAILED, HTTP_DETAIL_NO_MEMORY);
    return;
  }
  *t->BufferSlot = TrackedAlloc(size_t(t->ContentLength), "", 0);
  if (!*t->BufferSlot) FinishHttpTransfer(slot, HTTP_FAILED, HTTP_DETAIL_NO_MEMORY);
}

// What tells GET and POST apart.
struct BodyRules {
  bool LogStatusFailure;   // a status other than 200 writes a log line
  uint8_t* ReceiveBuffer;  // file mode's receive buffer
  bool OneReceiveWithoutLength;
};
const BodyRules kGetRules = {true, g_getReceive, false};
const BodyRules kPostRules = {false, g_postReceive, true};

int32_t AddWrapping(int32_t a, int b) { return int32_t(uint32_t(a) + uint32_t(b)); }

// Writes body bytes to the output file. False, with a log line, when the
// file took fewer of them than asked (a full disk, a file that takes
// nothing): what it took before stays in it, the rest is lost.
bool WriteToOutput(HttpTransfer* t, const uint8_t* bytes, int count) {
  if (count <= 0 || t->OutputFile == PLAT_INVALID_FILE) return true;
  int64_t written = PlatWriteFile(t->OutputFile, bytes, size_t(count));
  if (written == count) return true;
  LogPrintf("受信データのファイルへの書き込みに失敗しました(データサイズ %d byte)", count);
  return false;
}

// Writes what the write-behind block holds to the output file; false when
// the file did not take all of it. The block is empty afterwards either way.
bool FlushWriteBehind(HttpTransfer* t) {
  bool ok = WriteToOutput(t, t->WriteBehind, t->WriteBehindHeld);
  t->WriteBehindHeld = 0;
  return ok;
}

// A body that could not be written is lost: the transfer has failed, with
// the detail that already means "nowhere to put the body" (the block a
// memory transfer could not have); the server and the connection were not at
// fault, so the details that say they were would mislead a caller.
void FailForLostBody(int slot) { FinishHttpTransfer(slot, HTTP_FAILED, HTTP_DETAIL_NO_MEMORY); }

// One receive of the body in file mode, at most HTTP_RECEIVE_BUFFER_SIZE
// bytes: into the write-behind block, which goes to the file once full, or
// through the shared receive buffer straight to the file. The count taken,
// or a negative value when nothing could be. A write the file does not take
// fails the transfer.
int ReceiveToFile(int slot, HttpTransfer* t, uint8_t* receiveBuffer) {
  if (!t->WriteBehind) {
    int n = NetWorkRecv(t->NetHandle, receiveBuffer, HTTP_RECEIVE_BUFFER_SIZE);
    if (n > 0 && !WriteToOutput(t, receiveBuffer, n)) FailForLostBody(slot);
    return n;
  }
  int room = HTTP_WRITE_BEHIND_SIZE - t->WriteBehindHeld;
  int n = NetWorkRecv(t->NetHandle, t->WriteBehind + t->WriteBehindHeld,
                      room < HTTP_RECEIVE_BUFFER_SIZE ? room : HTTP_RECEIVE_BUFFER_SIZE);
  if (n > 0) t->WriteBehindHeld += n;
  if (t->WriteBehindHeld == HTTP_WRITE_BEHIND_SIZE && !FlushWriteBehind(t)) FailForLostBody(slot);
  return n;
}

int StepWithBody(int slot, const BodyRules& rules) {
  HttpTransfer* t = TransferAt(slot);
  if (!t) return -1;
  if (t->Step > 4) return 0;
  char text[HTTP_GET_TEXT_SIZE];
  std::memset(text, 0, sizeof text);
  const int textSize = TextSizeOf(t->Method);
  for (;;) {
    switch (t->Step) {
      case 0:
        if (!SendRequest(t, text, textSize)) return 0;
        t->Step = 1;
        continue;
      case 1:
        if (!TakeStatusLine(slot, t, text, rules.LogStatusFailure)) return 0;
        continue;
      case 2: {
        if (TakeAnswerLine(slot, t, text) != 0) return 0;
        if (!StrFindCharSjis(text, ':')) {
          // The blank line that ends the header block (or any line without ':').
          t->Step = 3;
          continue;
        }
        int value = ParseIntAfterSpace(text);
        if (!IsContentLengthLine(text)) return 0;
        t->ContentLength = value;
        TakeBodyBlock(slot, t);
        return 0;
      }
      case 3:
        for (;;) {
          int n;
          if (t->OutputMode == HTTP_TO_MEMORY) {
            auto* block = static_cast<uint8_t*>(t->BufferSlot ? *t->BufferSlot : nullptr);
            int64_t room = int64_t(t->ContentLength) - t->Received;
            if (!block || room < 0) return 0;
            // A full block takes nothing more: no receive is asked for, as one
            // for no bytes would wait for data here.
            n = room == 0 ? 0 : NetWorkRecv(t->NetHandle, block + t->Received, int(room));
            if (n < 0) return 0;
          } else {
            n = ReceiveToFile(slot, t, rules.ReceiveBuffer);
            if (n < 0) return 0;
          }
          t->Received = AddWrapping(t->Received, n);
          if (t->Result.Status != HTTP_RUNNING) return 0;  // the file did not take the body
          // With a length the count alone decides; without one, the
          // connection's state does (closed with nothing left to read).
          bool complete = t->ContentLength != -1 ? t->Received >= t->ContentLength
                                                 : GetNetWorkAcceptState(t->NetHandle) == 0 &&
                                                       GetNetWorkDataLength(t->NetHandle) == 0;
          if (complete) {
            t->Step = 4;
            FinishHttpTransfer(slot, HTTP_FINISHED, HTTP_DETAIL_NONE);
            return 0;
          }
          if (rules.OneReceiveWithoutLength && t->ContentLength == -1) return 0;
          if (n == 0) return 0;
        }
      default:  // 4
        FinishHttpTransfer(slot, HTTP_FINISHED, HTTP_DETAIL_NONE);
        return 0;
    }
  }
}

// The one number a digit run may stand for: a run too long for 32 bits
// stands for none.
bool DigitsFitInt(const char* from) {
  const char* p = from;
  while (*p != '\0' && *p != '-' && !(*p >= '0' && *p <= '9')) ++p;
  int64_t limit = 2147483647;
  if (*p == '-') {
    limit = 2147483648;
    ++p;
  }
  int64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > limit) return false;
  }
  return true;
}

}  // namespace

int ParseIntAfterSpace(const char* text) {
  if (!text) return -1;
  const char* blank = StrFindCharSjis(text, ' ');
  if (!blank) return -1;
  if (!DigitsFitInt(blank)) return -1;
  return ParseDecimalInt(blank);
}

int FormatHttpRequest(const HttpTransfer* t, char* text, int size) {
  if (!t || !text || size <= 0) return -1;
  int n = -1;
  switch (t->Method) {
    case HTTP_GET:
      n = std::snprintf(text, size_t(size), "GET %s HTTP/1.0\r\nHost: %s:%d\r\nConnection: close\r\n\r\n",
                        t->Path, t->Host, t->Port);
      break;
    case HTTP_POST:
      n = std::snprintf(text, size_t(size), "POST %s HTTP/1.0\nHost: %s:%d\nContent-Length: %d\n\n", t->Path,
                        t->Host, t->Port, t->PostLength);
      break;
    case HTTP_HEAD:
      n = std::snprintf(text, size_t(size), "HEAD %s HTTP/1.0\n\n", t->Path);
      break;
    default:
      break;
  }
  if (n < 0 || n >= size) {
    text[0] = '\0';
    return -1;
  }
  return n;
}

int HttpStepGet(int slot) { return StepWithBody(slot, kGetRules); }

int HttpStepPost(int slot) { return StepWithBody(slot, kPostRules); }

int HttpStepHead(int slot) {
  HttpTransfer* t = TransferAt(slot);
  if (!t) return -1;
  if (t->Step > 3) return 0;
  char text[HTTP_SHORT_TEXT_SIZE];
  std::memset(text, 0, sizeof text);
  for (;;) {
    switch (t->Step) {
      case 0:
        if (!SendRequest(t, text, sizeof text)) return 0;
        t->Step = 1;
        continue;
      case 1:
        if (!TakeStatusLine(slot, t, text, false)) return 0;
        continue;
      case 2: {
        // One line per call; only the length is wanted, and it ends the transfer.
        if (TakeAnswerLine(slot, t, text) != 0) return 0;
        int value = ParseIntAfterSpace(text);
        if (!IsContentLengthLine(text)) return 0;
        t->ContentLength = value;
        t->Step = 3;
        FinishHttpTransfer(slot, HTTP_FINISHED, HTTP_DETAIL_NONE);
        return 0;
      }
      default:  // 3
        FinishHttpTransfer(slot, HTTP_FINISHED, HTTP_DETAIL_NONE);
        return 0;
    }
  }
}

int StepHttpTransfer(int slot) {
  HttpTransfer* t = TransferAt(slot);
  if (!t) return -1;
  if (t->Result.Status != HTTP_RUNNING) return 0;
  int connected = GetNetWorkAcceptState(t->NetHandle);
  int waiting = GetNetWorkDataLength(t->NetHandle);
  // Once the connection is closed nothing more arrives: what waits is all
  // there is, and an error (a reset) means nothing ever will.
  if (connected == 0 && waiting <= 0) {
    // A body read into a file up to the server's orderly close, with no
    // length announced, is complete however the close fell between the
    // steps. In memory mode such an answer has no block and took nothing:
    // it fails.
    bool bodyToClose = waiting == 0 && (t->Method == HTTP_GET || t->Method == HTTP_POST) && t->Step == 3 &&
                       t->ContentLength == -1 && t->OutputMode == HTTP_TO_FILE;
    if (bodyToClose)
      FinishHttpTransfer(slot, HTTP_FINISHED, HTTP_DETAIL_NONE);
    else
      FinishHttpTransfer(slot, HTTP_FAILED, HTTP_DETAIL_CLOSED);
    return 0;
  }
  switch (t->Method) {
    case HTTP_GET:
      return HttpStepGet(slot);
    case HTTP_POST:
      return HttpStepPost(slot);
    case HTTP_HEAD:
      return HttpStepHead(slot);
    default:
      return 0;
  }
}

int StepAllHttpTransfers() {
  int count = g_http.Count;
  if (count <= 0) return 0;
  for (int slot = 0, met = 0; slot < HTTP_TRANSFER_SLOTS && met < count; ++slot) {
    if (!g_http.Slots[slot]) continue;
    ++met;
    StepHttpTransfer(slot);
  }
  return 0;
}

int FinishHttpTransfer(int slot, int status, int detail) {
  HttpTransfer* t = TransferAt(slot);
  if (!t) return -1;
  if (t->NetHandle != -1) {
    CloseNetWorkHandle(t->NetHandle);
    t->NetHandle = -1;
  }
  if (t->PostBody) {
    TrackedFree(t->PostBody);
    t->PostBody = nullptr;
  }
  // The file holds every byte received before it is closed. When it does not
  // take them, a transfer that would have finished has failed instead (as
  // FailForLostBody says); one already failing keeps its own detail.
  if (t->WriteBehind) {
    if (!FlushWriteBehind(t) && status == HTTP_FINISHED) {
      status = HTTP_FAILED;
      detail = HTTP_DETAIL_NO_MEMORY;
    }
    TrackedFree(t->WriteBehind);
    t->WriteBehind = nullptr;
  }
  if (t->OutputFile != PLAT_INVALID_FILE) {
    PlatCloseFile(t->OutputFile);
    t->OutputFile = PLAT_INVALID_FILE;
  }
  // The first finish decides the status and the detail together.
  if (t->Result.Status == HTTP_RUNNING) {
    t->Result.Status = status;
    if (t->Result.Detail == HTTP_DETAIL_NONE) t->Result.Detail = detail;
  }
  if (t->BufferSlot) {
    // A failed transfer takes its block back; a finished one leaves it to
    // the caller. Either way the caller's variable is not touched again.
    if (t->Result.Status != HTTP_FINISHED) {
      TrackedFree(*t->BufferSlot);
      *t->BufferSlot = nullptr;
    }
    t->BufferSlot = nullptr;
  }
  return 0;
}

int DeleteHttpTransfer(int slot) {
  HttpTransfer* t = TransferAt(slot);
  if (!t) return -1;
  FinishHttpTransfer(slot, HTTP_FINISHED, HTTP_DETAIL_NONE);
  TrackedFree(t);
  g_http.Slots[slot] = nullptr;
  --g_http.Count;
  return 0;
}

int DeleteAllHttpTransfers() {
  int count = g_http.Count;
  if (count <= 0) return 0;
  for (int slot = 0, deleted = 0; slot < HTTP_TRANSFER_SLOTS && deleted < count; ++slot)
    if (g_http.Slots[slot] && DeleteHttpTransfer(slot) == 0) ++deleted;
  return 0;
}

int ClearHttpTransferTable() {
  std::memset(&g_http, 0, sizeof g_http);
  return 0;
}

int GetHttpTransferCount() { return g_http.Count; }

int IsHttpTransferSlotLive(int slot) { return TransferAt(slot) != nullptr; }

const HttpTransfer* GetHttpTransfer(int slot) { return TransferAt(slot); }

// ---- Creation -------------------------------------------------------------------------

namespace {

// A host or path goes into the request as it stands: a blank, a line end or
// another control byte in it would change the request's lines.
bool IsRequestWord(const char* text) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
    if (*p <= 0x20 || *p == 0x7F) return false;
  return true;
}

int RefuseTransfer(const char* why) {
  LogPrintf("HTTP転送を開始できません: %s", why);
  return -1;
}

}  // namespace

int CreateHttpTransfer(int method, const char* host, int port, const char* path, const char* outputPath,
                       void** memoryOut, const void* postBody, int postLength, uint32_t connectTimeoutMs) {
  if (method != HTTP_GET && method != HTTP_POST && method != HTTP_HEAD)
    return RefuseTransfer("不明なメソッド");
  if (!host || !*host || std::strlen(host) >= HTTP_HOST_SIZE || !IsRequestWord(host))
    return RefuseTransfer("ホスト名が不正です");
  if (!path || std::strlen(path) >= HTTP_PATH_SIZE || !IsRequestWord(path))
    return RefuseTransfer("パスが不正です");
  if (port <= 0 || port > 65535) return RefuseTransfer("ポート番号が不正です");
  if (method == HTTP_POST && (postLength < 0 || (!postBody && postLength > 0)))
    return RefuseTransfer("POSTデータが不正です");
  if (method != HTTP_HEAD && (outputPath ? memoryOut != nullptr : memoryOut == nullptr))
    return RefuseTransfer("出力先が不正です");
  if (memoryOut && *memoryOut) return RefuseTransfer("出力先のポインタが空ではありません");

  HttpTransfer probe;
  std::memset(&probe, 0, sizeof probe);
  probe.Method = method;
  probe.Port = port;
  probe.PostLength = method == HTTP_POST ? postLength : 0;
  std::memcpy(probe.Host, host, std::strlen(host) + 1);
  std::memcpy(probe.Path, path, std::strlen(path) + 1);
  char text[HTTP_GET_TEXT_SIZE];
  if (FormatHttpRequest(&probe, text, TextSizeOf(method)) < 0)
    return RefuseTransfer("リクエストが長すぎます");

  int slot = -1;
  for (int i = 0; i < HTTP_TRANSFER_SLOTS && slot < 0; ++i)
    if (!g_http.Slots[i]) slot = i;
  if (slot < 0) return RefuseTransfer("空きスロットがありません");
  uint8_t address[4];
  if (PlatSocketResolveIPv4(host, address) != 0) return RefuseTransfer("ホスト名を解決できません");

  auto* t = static_cast<HttpTransfer*>(TrackedAlloc(sizeof(HttpTransfer), "", 0));
  if (!t) return RefuseTransfer("メモリの確保に失敗しました");
  *t = probe;
  t->Step = 0;
  t->Result = HttpResult{HTTP_RUNNING, HTTP_DETAIL_NONE};
  t->ContentLength = -1;
  t->NetHandle = -1;
  t->OutputFile = PLAT_INVALID_FILE;
  t->OutputMode = memoryOut ? HTTP_TO_MEMORY : HTTP_TO_FILE;
  t->BufferSlot = memoryOut;
  const char* failure = nullptr;
  if (method == HTTP_POST && postLength > 0) {
    t->PostBody = static_cast<uint8_t*>(TrackedAlloc(size_t(postLength), "", 0));
    if (t->PostBody)
      std::memcpy(t->PostBody, postBody, size_t(postLength));
    else
      failure = "メモリの確保に失敗しました";
  }
  if (!failure && outputPath) {
    t->OutputFile = PlatOpenFile(outputPath, PLAT_CREATE_ALWAYS);
    if (t->OutputFile == PLAT_INVALID_FILE) failure = "出力ファイルを開けません";
  }
  if (!failure) {
    t->NetHandle = ConnectNetWorkDirect(address, port, connectTimeoutMs);
    if (t->NetHandle < 0) failure = "接続できません";
  }
  if (failure) {
    TrackedFree(t->PostBody);
    if (t->OutputFile != PLAT_INVALID_FILE) PlatCloseFile(t->OutputFile);
    TrackedFree(t);
    return RefuseTransfer(failure);
  }
  // A file body needs no memory of its own: without this block it is written
  // a receive at a time through the shared receive buffers, slower but whole.
  // Taken last, once nothing can refuse the transfer any more.
  if (t->OutputFile != PLAT_INVALID_FILE && method != HTTP_HEAD)
    t->WriteBehind = static_cast<uint8_t*>(TrackedAlloc(HTTP_WRITE_BEHIND_SIZE, "", 0));
  g_http.Slots[slot] = t;
  ++g_http.Count;
  return slot;
}
