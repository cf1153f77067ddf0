// TCP sockets over POSIX, with asynchronous selection through the message
// queue: one edge-triggered epoll set per thread that owns notification
// windows, polled with a zero time-out from that thread's message peeks.
#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/thread.h"
#include "platform/window_backend.h"

namespace {

struct SockRec {
  int Fd = -1;
  PlatSocket Id = 0;
  PlatWindow Window = nullptr;  // registration: window, message and events
  uint32_t Message = 0;
  uint32_t Mask = 0;
  PlatWindow LastWindow = nullptr;  // where notifications may still be queued
  uint32_t LastMessage = 0;
  int PollSet = -1;  // the epoll set it is in, or -1
  int Listening = 0;
  int Connecting = 0;  // a non-blocking connect under way
  int Connected = 0;
  int WriteArmed = 0;     // post PLAT_FD_WRITE at the next writable edge
  int AcceptArmed = 0;    // post PLAT_FD_ACCEPT at the next waiting connection
  int AcceptStarved = 0;  // the last accept found no free descriptor
  int ClosePosted = 0;    // close (or a failed connect) told; nothing further
  int ResetSeen = 0;      // a receive or send met a reset
  int SendShut = 0;       // our sending direction is shut
  uint32_t Interest = 0;  // the epoll events asked for now
};

struct PollSetRec {
  uint32_t Thread;
  int Fd;
};

// Guards the tables and every socket's state. Never held across a call that
// may block; taken before the window layer's own lock, never after it.
std::mutex g_mutex;
std::unordered_map<PlatSocket, SockRec*> g_sockets;
std::vector<PollSetRec> g_pollSets;
// Registered sockets waiting to be told they can take data again. Besides
// the writable edge, each poll looks at their level: a tiny send buffer can
// drain without the edge ever being raised, and a lost write notice would
// stall a transfer for good. Only blocked writers are looked at.
std::vector<PlatSocket> g_writeWatch;
// Registered listeners whose last accept found the descriptor table full. A
// descriptor coming free is what lets their waiting connection in, and no
// socket event tells of it: each poll looks whether one is free again.
std::vector<PlatSocket> g_acceptWatch;
PlatSocket g_nextId = 1;
int g_startups = 0;
thread_local int t_lastError = 0;

int MapErrno(int e) {
  switch (e) {
    case 0:
      return 0;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
      return PLAT_WSAEWOULDBLOCK;
    case EINPROGRESS:
    case EALREADY:
      return PLAT_WSAEWOULDBLOCK;
    case EINTR:
      return PLAT_WSAEINTR;
    case EBADF:
      return PLAT_WSAENOTSOCK;
    case EACCES:
    case EPERM:
      return PLAT_WSAEACCES;
    case EFAULT:
      return PLAT_WSAEFAULT;
    case EINVAL:
      return PLAT_WSAEINVAL;
    case EMFILE:
    case ENFILE:
      return PLAT_WSAEMFILE;
    case EMSGSIZE:
      return PLAT_WSAEMSGSIZE;
    case EADDRINUSE:
      return PLAT_WSAEADDRINUSE;
    case EADDRNOTAVAIL:
      return PLAT_WSAEADDRNOTAVAIL;
    case ENETDOWN:
      return PLAT_WSAENETDOWN;
    case ENETUNREACH:
      return PLAT_WSAENETUNREACH;
    case ECONNABORTED:
      return PLAT_WSAECONNABORTED;
    case ECONNRESET:
    case EPIPE:
      return PLAT_WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM:
      return PLAT_WSAENOBUFS;
    case EISCONN:
      return PLAT_WSAEISCONN;
    case ENOTCONN:
      return PLAT_WSAENOTCONN;
    case ESHUTDOWN:
      return PLAT_WSAESHUTDOWN;
    case ETIMEDOUT:
      return PLAT_WSAETIMEDOUT;
    case ECONNREFUSED:
      return PLAT_WSAECONNREFUSED;
    case EHOSTUNREACH:
    case EHOSTDOWN:
      return PLAT_WSAEHOSTUNREACH;
    default:
      return PLAT_WSAENETDOWN;
  }
}

int Fail(int wsaError) {
  t_lastError = wsaError;
  return -1;
}
int FailErrno() { return Fail(MapErrno(errno)); }

// Callers hold g_mutex.
SockRec* FindLocked(PlatSocket id) {
  auto it = g_sockets.find(id);
  return it == g_sockets.end() ? nullptr : it->second;
}

PlatSocket AddLocked(int fd) {
  auto* rec = new SockRec;
  rec->Fd = fd;
  rec->Id = g_nextId;
  do {
    ++g_nextId;
  } while (g_nextId == 0 || g_nextId == PLAT_INVALID_SOCKET);
  g_sockets[rec->Id] = rec;
  return rec->Id;
}

// The descriptor behind a socket, or -1 (PLAT_WSAENOTSOCK set).
int FdOf(PlatSocket id) {
  std::lock_guard<std::mutex> lock(g_mutex);
  SockRec* rec = FindLocked(id);
  if (!rec) return Fail(PLAT_WSAENOTSOCK);
  return rec->Fd;
}

int SetNonBlocking(int fd, int on) {
  int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0) return -1;
  flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  return fcntl(fd, F_SETFL, flags);
}

int SocketError(int fd) {
  int err = 0;
  socklen_t len = sizeof err;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return errno;
  return err;
}

int BytesWaiting(int fd) {
  int n = 0;
  if (ioctl(fd, FIONREAD, &n) != 0) return 0;
  return n;
}

int PollSetOfThreadLocked(uint32_t thread, int create) {
  for (const PollSetRec& p : g_pollSets)
    if (p.Thread == thread) return p.Fd;
  if (!create) return -1;
  int fd = epoll_create1(EPOLL_CLOEXEC);
  if (fd < 0) return -1;
  g_pollSets.push_back(PollSetRec{thread, fd});
  return fd;
}

void PostLocked(SockRec* rec, uint32_t event, int error) {
  if (!rec->Window || !(rec->Mask & event)) return;
  PlatPostMessage(rec->Window, rec->Message, uintptr_t(rec->Id), PlatSocketEventWord(event, error));
}

// One read notification queued at most: a second edge before the first is
// taken adds nothing.
void PostReadLocked(SockRec* rec) {
  if (!rec->Window || !(rec->Mask & PLAT_FD_READ)) return;
  intptr_t word = PlatSocketEventWord(PLAT_FD_READ, 0);
  if (PlatHasQueuedMessage(rec->Window, rec->Message, uintptr_t(rec->Id), word)) return;
  PlatPostMessage(rec->Window, rec->Message, uintptr_t(rec->Id), word);
}

// Writability is asked for only while it is to be told (a connect under way
// or a write notice armed), so a busy sender is not woken for every
// acknowledgement. Asking again looks at the level at once.
void UpdateInterestLocked(SockRec* rec) {
  if (rec->PollSet < 0) return;
  uint32_t want = EPOLLIN | EPOLLRDHUP | EPOLLET;
  if (!rec->Listening && !rec->ClosePosted &&
      (rec->Connecting || (rec->WriteArmed && (rec->Mask & PLAT_FD_WRITE))))
    want |= EPOLLOUT;
  if (want == rec->Interest) return;
  epoll_event ev{};
  ev.events = want;
  ev.data.u32 = rec->Id;
  if (epoll_ctl(rec->PollSet, EPOLL_CTL_MOD, rec->Fd, &ev) == 0) rec->Interest = want;
}

void EvaluateBodyLocked(SockRec* rec, uint32_t events);

// Turns the readiness seen on a socket (epoll bits) into notifications.
void EvaluateLocked(SockRec* rec, uint32_t events) {
  EvaluateBodyLocked(rec, events);
  UpdateInterestLocked(rec);
}

void EvaluateBodyLocked(SockRec* rec, uint32_t events) {
  if (!rec->Window || rec->ClosePosted) return;
  if (rec->Listening) {
    if ((events & EPOLLIN) && rec->AcceptArmed && (rec->Mask & PLAT_FD_ACCEPT)) {
      rec->AcceptArmed = 0;
      PostLocked(rec, PLAT_FD_ACCEPT, 0);
    }
    return;
  }
  if (rec->Connecting) {
    if (!(events & (EPOLLOUT | EPOLLERR | EPOLLHUP))) return;
    int err = SocketError(rec->Fd);
    rec->Connecting = 0;
    if (err == 0 && (events & EPOLLOUT) && !(events & EPOLLERR)) {
      rec->Connected = 1;
      PostLocked(rec, PLAT_FD_CONNECT, 0);
      if (rec->Mask & PLAT_FD_WRITE) {
        rec->WriteArmed = 0;
        PostLocked(rec, PLAT_FD_WRITE, 0);
      }
    } else {
      // A failed connect is told once; no close follows.
      rec->ClosePosted = 1;
      PostLocked(rec, PLAT_FD_CONNECT, MapErrno(err ? err : ECONNREFUSED));
    }
    return;
  }
  if (!rec->Connected) return;
  if ((events & EPOLLIN) && BytesWaiting(rec->Fd) > 0) PostReadLocked(rec);
  if ((events & EPOLLOUT) && rec->WriteArmed && (rec->Mask & PLAT_FD_WRITE)) {
    rec->WriteArmed = 0;
    PostLocked(rec, PLAT_FD_WRITE, 0);
  }
  if ((events & (EPOLLRDHUP | EPOLLHUP | EPOLLERR)) && (rec->Mask & PLAT_FD_CLOSE)) {
    int err = SocketError(rec->Fd);
    int code = err ? MapErrno(err)
               : (rec->ResetSeen || (events & EPOLLERR) || ((events & EPOLLHUP) && !rec->SendShut))
                   ? PLAT_WSAECONNRESET
                   : 0;
    if (err == ECONNRESET || err == EPIPE) rec->ResetSeen = 1;
    rec->ClosePosted = 1;
    PostLocked(rec, PLAT_FD_CLOSE, code);
  }
}

// The readiness of a socket now, as epoll bits.
uint32_t LevelOf(int fd) {
  pollfd p{fd, short(POLLIN | POLLOUT | POLLRDHUP), 0};
  if (poll(&p, 1, 0) <= 0) return 0;
  uint32_t e = 0;
  if (p.revents & POLLIN) e |= EPOLLIN;
  if (p.revents & POLLOUT) e |= EPOLLOUT;
  if (p.revents & POLLRDHUP) e |= EPOLLRDHUP;
  if (p.revents & POLLHUP) e |= EPOLLHUP;
  if (p.revents & POLLERR) e |= EPOLLERR;
  return e;
}

void DeregisterLocked(SockRec* rec) {
  if (rec->PollSet >= 0) epoll_ctl(rec->PollSet, EPOLL_CTL_DEL, rec->Fd, nullptr);
  rec->PollSet = -1;
  rec->Interest = 0;
  rec->Window = nullptr;
  rec->Mask = 0;
  if (rec->LastWindow) PlatRemoveQueuedMessages(rec->LastWindow, rec->LastMessage, uintptr_t(rec->Id));
}

void WatchWriteLocked(SockRec* rec) {
  rec->WriteArmed = 1;
  if (rec->Window && std::find(g_writeWatch.begin(), g_writeWatch.end(), rec->Id) == g_writeWatch.end())
    g_writeWatch.push_back(rec->Id);
  UpdateInterestLocked(rec);
}

// Tells the watched writers of a poll set that can take data again.
void CheckWriteWatchLocked(int set) {
  for (size_t i = 0; i < g_writeWatch.size();) {
    SockRec* rec = FindLocked(g_writeWatch[i]);
    if (!rec || !rec->WriteArmed || !rec->Window || rec->ClosePosted) {
      g_writeWatch.erase(g_writeWatch.begin() + long(i));
      continue;
    }
    if (rec->PollSet == set) {
      pollfd p{rec->Fd, POLLOUT, 0};
      if (poll(&p, 1, 0) > 0 && (p.revents & POLLOUT)) EvaluateLocked(rec, EPOLLOUT);
    }
    ++i;
  }
}

// Failures of accept that took the waiting connection off the queue (it was
// aborted or refused): the connections behind it can be told at once. Any
// other failure leaves the connection waiting and is told again only after a
// change: a new connection, or (for a full descriptor table) a free descriptor.
bool AcceptTookConnection(int e) {
  switch (e) {
    case ECONNABORTED:
    case EPROTO:
    case EPERM:
    case ENETDOWN:
    case ENOPROTOOPT:
    case EHOSTDOWN:
    case ENONET:
    case EHOSTUNREACH:
    case EOPNOTSUPP:
    case ENETUNREACH:
      return true;
    default:
      return false;
  }
}

void WatchAcceptLocked(SockRec* rec) {
  rec->AcceptStarved = 1;
  if (std::find(g_acceptWatch.begin(), g_acceptWatch.end(), rec->Id) == g_acceptWatch.end())
    g_acceptWatch.push_back(rec->Id);
}

// Tells the starved listeners of a poll set whose connection can be taken now.
void CheckAcceptWatchLocked(int set) {
  for (size_t i = 0; i < g_acceptWatch.size();) {
    SockRec* rec = FindLocked(g_acceptWatch[i]);
    if (!rec || !rec->AcceptStarved || !rec->Window) {
      g_acceptWatch.erase(g_acceptWatch.begin() + long(i));
      continue;
    }
    if (rec->PollSet == set) {
      int probe = fcntl(rec->Fd, F_DUPFD_CLOEXEC, 0);
      if (probe >= 0) {
        close(probe);
        rec->AcceptStarved = 0;
        g_acceptWatch.erase(g_acceptWatch.begin() + long(i));
        EvaluateLocked(rec, LevelOf(rec->Fd));
        continue;
      }
    }
    ++i;
  }
}

// The peek hook: a zero-time-out look at the calling thread's poll set.
void PollCallingThread() {
  uint32_t self = PlatCurrentThreadId();
  std::lock_guard<std::mutex> lock(g_mutex);
  int set = PollSetOfThreadLocked(self, 0);
  if (set < 0) return;
  epoll_event events[64];
  for (;;) {
    int n = epoll_wait(set, events, 64, 0);
    if (n <= 0) break;
    for (int i = 0; i < n; ++i) {
      SockRec* rec = FindLocked(PlatSocket(events[i].data.u32));
      if (rec) EvaluateLocked(rec, events[i].events);
    }
    if (n < 64) break;
  }
  if (!g_writeWatch.empty()) CheckWriteWatchLocked(set);
  if (!g_acceptWatch.empty()) CheckAcceptWatchLocked(set);
}

int CloseImpl(PlatSocket socket, int reset) {
  SockRec* rec;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    rec = FindLocked(socket);
    if (!rec) return Fail(PLAT_WSAENOTSOCK);
    DeregisterLocked(rec);
    g_sockets.erase(socket);
  }
  if (reset) {
    linger l{1, 0};
    setsockopt(rec->Fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  }
  close(rec->Fd);
  delete rec;
  return 0;
}

sockaddr_in MakeAddress(const uint8_t address[4], int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(uint16_t(port));
  std::memcpy(&a.sin_addr, address, 4);
  return a;
}

}  // namespace

int PlatSocketGetLastError() { return t_lastError; }
void PlatSocketSetLastError(int error) { t_lastError = error; }

int PlatSocketStartup() {
  std::lock_guard<std::mutex> lock(g_mutex);
  ++g_startups;
  return 0;
}

int PlatSocketCleanup() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_startups > 0) --g_startups;
  return 0;
}

PlatSocket PlatSocketListen(const uint8_t address[4], int port, int backlog) {
  if (!address || port < 0 || port > 65535) return Fail(PLAT_WSAEINVAL), PLAT_INVALID_SOCKET;
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return FailErrno(), PLAT_INVALID_SOCKET;
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a = MakeAddress(address, port);
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, backlog) != 0) {
    FailErrno();
    close(fd);
    return PLAT_INVALID_SOCKET;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  PlatSocket id = AddLocked(fd);
  FindLocked(id)->Listening = 1;
  return id;
}

int PlatSocketLocalPort(PlatSocket socket) {
  int fd = FdOf(socket);
  if (fd < 0) return -1;
  sockaddr_in a{};
  socklen_t len = sizeof a;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) return FailErrno();
  return ntohs(a.sin_port);
}

PlatSocket PlatSocketConnect(const uint8_t address[4], int port, int blocking, uint32_t timeoutMs) {
  if (!address || port <= 0 || port > 65535) return Fail(PLAT_WSAEINVAL), PLAT_INVALID_SOCKET;
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return FailErrno(), PLAT_INVALID_SOCKET;
  sockaddr_in a = MakeAddress(address, port);
  int connected = 0;
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
    connected = 1;
  } else if (errno != EINPROGRESS) {
    FailErrno();
    close(fd);
    return PLAT_INVALID_SOCKET;
  }
  if (blocking) {
    if (!connected) {
      pollfd p{fd, POLLOUT, 0};
      int r = poll(&p, 1, timeoutMs ? int(timeoutMs) : -1);
      int err = r == 0 ? ETIMEDOUT : r < 0 ? errno : SocketError(fd);
      if (err != 0) {
        Fail(MapErrno(err));
        close(fd);
        return PLAT_INVALID_SOCKET;
      }
      connected = 1;
    }
    SetNonBlocking(fd, 0);
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  PlatSocket id = AddLocked(fd);
  SockRec* rec = FindLocked(id);
  // A non-blocking connect is told by its registration even when it stood at once.
  rec->Connected = blocking ? 1 : 0;
  rec->Connecting = blocking ? 0 : 1;
  return id;
}

PlatSocket PlatSocketAccept(PlatSocket listener, uint8_t addressOut[4], uint16_t* portNetworkOrderOut) {
  int lfd = FdOf(listener);
  if (lfd < 0) return PLAT_INVALID_SOCKET;
  sockaddr_in a{};
  socklen_t len = sizeof a;
  int fd = accept4(lfd, reinterpret_cast<sockaddr*>(&a), &len, SOCK_CLOEXEC);
  int acceptErrno = errno;
  std::lock_guard<std::mutex> lock(g_mutex);
  // Accepting re-arms the notification; another waiting connection is told
  // at once. A failure that left the connection waiting is not told again
  // now: the same accept would fail again, for ever.
  if (SockRec* l = FindLocked(listener)) {
    l->AcceptArmed = 1;
    if (fd >= 0 || AcceptTookConnection(acceptErrno)) {
      l->AcceptStarved = 0;
      if (l->Window) {
        pollfd p{l->Fd, POLLIN, 0};
        if (poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) EvaluateLocked(l, EPOLLIN);
      }
    } else if ((acceptErrno == EMFILE || acceptErrno == ENFILE) && l->Window) {
      WatchAcceptLocked(l);
    }
  }
  if (fd < 0) {
    // A blocking listener whose receive time-out ran out reports EAGAIN too.
    Fail(MapErrno(acceptErrno));
    return PLAT_INVALID_SOCKET;
  }
  if (addressOut) std::memcpy(addressOut, &a.sin_addr, 4);
  if (portNetworkOrderOut) *portNetworkOrderOut = a.sin_port;
  PlatSocket id = AddLocked(fd);
  FindLocked(id)->Connected = 1;
  return id;
}

int PlatSocketRecv(PlatSocket socket, void* buffer, int length, int flags) {
  if (length < 0 || (!buffer && length > 0)) return Fail(PLAT_WSAEFAULT);
  int fd = FdOf(socket);
  if (fd < 0) return -1;
  ssize_t n = recv(fd, buffer, size_t(length), (flags & PLAT_MSG_PEEK) ? MSG_PEEK : 0);
  int recvErrno = errno;
  std::lock_guard<std::mutex> lock(g_mutex);
  SockRec* rec = FindLocked(socket);
  if (n < 0) {
    if (rec && recvErrno == ECONNRESET) rec->ResetSeen = 1;
    return Fail(MapErrno(recvErrno));
  }
  // Once the reset was told, the connection keeps reporting it, not an end.
  if (n == 0 && length > 0 && rec && rec->ResetSeen) return Fail(PLAT_WSAECONNRESET);
  // A consuming receive that leaves data behind tells of it again; a peek
  // tells nothing, or a caller peeking at a short prefix would be told for ever.
  if (rec && !(flags & PLAT_MSG_PEEK) && n > 0 && rec->Window && BytesWaiting(fd) > 0) PostReadLocked(rec);
  return int(n);
}

int PlatSocketSend(PlatSocket socket, const void* data, int length) {
  return PlatSocketSendPair(socket, data, length, nullptr, 0);
}

int PlatSocketSendPair(PlatSocket socket, const void* a, int aLength, const void* b, int bLength) {
  if (aLength < 0 || bLength < 0 || (!a && aLength > 0) || (!b && bLength > 0) ||
      int64_t(aLength) + bLength > 0x7FFFFFFF)
    return Fail(PLAT_WSAEFAULT);
  int fd = FdOf(socket);
  if (fd < 0) return -1;
  ssize_t n;
  if (bLength == 0) {
    n = send(fd, a, size_t(aLength), MSG_NOSIGNAL);
  } else {
    iovec pieces[2] = {{const_cast<void*>(a), size_t(aLength)}, {const_cast<void*>(b), size_t(bLength)}};
    msghdr message{};
    message.msg_iov = pieces;
    message.msg_iovlen = 2;
    n = sendmsg(fd, &message, MSG_NOSIGNAL);
  }
  int sendErrno = errno;
  std::lock_guard<std::mutex> lock(g_mutex);
  SockRec* rec = FindLocked(socket);
  if (n < 0) {
    if (rec && (sendErrno == EAGAIN || sendErrno == EWOULDBLOCK)) WatchWriteLocked(rec);
    if (rec && (sendErrno == ECONNRESET || sendErrno == EPIPE)) rec->ResetSeen = 1;
    return Fail(MapErrno(sendErrno));
  }
  // A short send means the buffer filled: tell when it can take more.
  if (rec && n < int64_t(aLength) + bLength) WatchWriteLocked(rec);
  return int(n);
}

int PlatSocketClose(PlatSocket socket) { return CloseImpl(socket, 0); }
int PlatSocketAbort(PlatSocket socket) { return CloseImpl(socket, 1); }

int PlatSocketShutdownSend(PlatSocket socket) {
  int fd = FdOf(socket);
  if (fd < 0) return -1;
  if (shutdown(fd, SHUT_WR) != 0) return FailErrno();
  std::lock_guard<std::mutex> lock(g_mutex);
  if (SockRec* rec = FindLocked(socket)) rec->SendShut = 1;
  return 0;
}

int PlatSocketAsyncSelect(PlatSocket socket, PlatWindow window, uint32_t message, uint32_t events) {
  std::lock_guard<std::mutex> lock(g_mutex);
  SockRec* rec = FindLocked(socket);
  if (!rec) return Fail(PLAT_WSAENOTSOCK);
  if (events == 0) {
    DeregisterLocked(rec);
    return 0;
  }
  uint32_t thread = PlatGetWindowThread(window);
  if (thread == 0) return Fail(PLAT_WSAEINVAL);
  int set = PollSetOfThreadLocked(thread, 1);
  if (set < 0) return FailErrno();
  if (SetNonBlocking(rec->Fd, 1) != 0) return FailErrno();
  if (rec->PollSet >= 0 && rec->PollSet != set) {
    epoll_ctl(rec->PollSet, EPOLL_CTL_DEL, rec->Fd, nullptr);
    rec->PollSet = -1;
  }
  if (rec->PollSet < 0) {
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLRDHUP | EPOLLET;
    ev.data.u32 = socket;
    if (epoll_ctl(set, EPOLL_CTL_ADD, rec->Fd, &ev) != 0) return FailErrno();
    rec->PollSet = set;
    rec->Interest = ev.events;
  }
  rec->Window = rec->LastWindow = window;
  rec->Message = rec->LastMessage = message;
  rec->Mask = events;
  rec->WriteArmed = 1;
  rec->AcceptArmed = 1;
  PlatSetPeekHook(PollCallingThread);
  // What is ready now is told at once.
  EvaluateLocked(rec, LevelOf(rec->Fd));
  return 0;
}

int PlatSocketSetBufferSizes(PlatSocket socket, int sendBytes, int receiveBytes) {
  int fd = FdOf(socket);
  if (fd < 0) return -1;
  if (sendBytes > 0 && setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBytes, sizeof sendBytes) != 0)
    return FailErrno();
  if (receiveBytes > 0 && setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBytes, sizeof receiveBytes) != 0)
    return FailErrno();
  return 0;
}

int PlatSocketSetNoDelay(PlatSocket socket, int on) {
  int fd = FdOf(socket);
  if (fd < 0) return -1;
  int value = on ? 1 : 0;
  return setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &value, sizeof value) == 0 ? 0 : FailErrno();
}

int PlatSocketSetTimeouts(PlatSocket socket, uint32_t receiveMs, uint32_t sendMs) {
  int fd = FdOf(socket);
  if (fd < 0) return -1;
  timeval r{time_t(receiveMs / 1000), suseconds_t((receiveMs % 1000) * 1000)};
  timeval s{time_t(sendMs / 1000), suseconds_t((sendMs % 1000) * 1000)};
  if (setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &r, sizeof r) != 0) return FailErrno();
  if (setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &s, sizeof s) != 0) return FailErrno();
  return 0;
}

int PlatSocketPending(PlatSocket socket) {
  int fd = FdOf(socket);
  if (fd < 0) return -1;
  int n = 0;
  return ioctl(fd, FIONREAD, &n) == 0 ? n : FailErrno();
}

int PlatSocketCount() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return int(g_sockets.size());
}

int PlatSocketRaiseDescriptorLimit(int wanted) {
  rlimit r{};
  if (getrlimit(RLIMIT_NOFILE, &r) != 0) return 0;
  if (rlim_t(wanted) > r.rlim_cur) {
    rlimit raised = r;
    raised.rlim_cur =
        r.rlim_max == RLIM_INFINITY ? rlim_t(wanted) : std::min<rlim_t>(rlim_t(wanted), r.rlim_max);
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) r = raised;
  }
  return r.rlim_cur > rlim_t(0x7FFFFFFF) ? 0x7FFFFFFF : int(r.rlim_cur);
}

int PlatSocketResolveIPv4(const char* name, uint8_t addressOut[4]) {
  if (!name || !addressOut || !*name) return Fail(PLAT_WSAEINVAL), -1;
  in_addr numeric{};
  if (inet_pton(AF_INET, name, &numeric) == 1) {
    std::memcpy(addressOut, &numeric.s_addr, 4);
    return 0;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &found) != 0 || !found) return Fail(PLAT_WSAEHOSTUNREACH), -1;
  const auto* a = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  std::memcpy(addressOut, &a->sin_addr.s_addr, 4);
  freeaddrinfo(found);
  return 0;
}
