// TCP sockets over IPv4, with asynchronous selection through the message
// queue.
//
// A socket is a number of this layer, never 0 and never used twice in a run,
// so a notification still queued for a closed socket can never name a new
// one. A socket registered with PlatSocketAsyncSelect is non-blocking and has
// its events posted as `message` to the window, wParam the socket and lParam
// (error << 16) | event. The events are found by the message peeks of the
// thread that owns the window (a zero-time-out poll, no thread of its own),
// so the cost grows with the events, not with the sockets. The rules:
//   - registering reports what is ready at once; a mask of 0 deregisters and
//     drops the socket's queued notifications;
//   - PLAT_FD_READ: when new data arrives, and again after a consuming receive
//     that leaves data behind; a peek posts nothing. One is queued at most;
//   - PLAT_FD_WRITE: after registration or a completed connect, and again once
//     writable after a send that would have blocked or was short;
//   - PLAT_FD_ACCEPT: when a connection waits; again only after an accept:
//     at once when another waits and the accept took one (or found it
//     aborted); after one that found no free descriptor, once one is free;
//     after any other failure, when the next connection arrives;
//   - PLAT_FD_CONNECT: when a connect completes (error 0) or fails;
//   - PLAT_FD_CLOSE: once, error 0 for an orderly close by the peer,
//     PLAT_WSAECONNRESET for a reset.
// Closing a socket drops every notification queued for it.
//
// Sockets that are not registered block (with the time-outs given), which is
// what a peer thread of a test or a benchmark wants. Every send is made
// without the broken-pipe signal. Errors are reported as the WinSock numbers
// below through PlatSocketGetLastError (one value per thread).
#pragma once
#include <cstdint>

#include "platform/window.h"

using PlatSocket = uint32_t;
constexpr PlatSocket PLAT_INVALID_SOCKET = 0xFFFFFFFFu;

constexpr uint32_t PLAT_FD_READ = 1, PLAT_FD_WRITE = 2, PLAT_FD_OOB = 4, PLAT_FD_ACCEPT = 8,
                   PLAT_FD_CONNECT = 16, PLAT_FD_CLOSE = 32;
constexpr int PLAT_MSG_PEEK = 2;

constexpr int PLAT_WSAEINTR = 10004, PLAT_WSAEBADF = 10009, PLAT_WSAEACCES = 10013, PLAT_WSAEFAULT = 10014,
              PLAT_WSAEINVAL = 10022, PLAT_WSAEMFILE = 10024, PLAT_WSAEWOULDBLOCK = 10035,
              PLAT_WSAEINPROGRESS = 10036, PLAT_WSAENOTSOCK = 10038, PLAT_WSAEMSGSIZE = 10040,
              PLAT_WSAEADDRINUSE = 10048, PLAT_WSAEADDRNOTAVAIL = 10049, PLAT_WSAENETDOWN = 10050,
              PLAT_WSAENETUNREACH = 10051, PLAT_WSAECONNABORTED = 10053, PLAT_WSAECONNRESET = 10054,
              PLAT_WSAENOBUFS = 10055, PLAT_WSAEISCONN = 10056, PLAT_WSAENOTCONN = 10057,
              PLAT_WSAESHUTDOWN = 10058, PLAT_WSAETIMEDOUT = 10060, PLAT_WSAECONNREFUSED = 10061,
              PLAT_WSAEHOSTUNREACH = 10065;

// The lParam of a notification, and its halves.
inline intptr_t PlatSocketEventWord(uint32_t event, int error) {
  return intptr_t((uint32_t(uint16_t(error)) << 16) | (event & 0xFFFF));
}

// The WinSock number of the calling thread's last failure.
int PlatSocketGetLastError();
void PlatSocketSetLastError(int error);

// Start and end of socket use (counted; nothing to set up here). 0.
int PlatSocketStartup();
int PlatSocketCleanup();

// A listening socket on address (4 bytes, first octet first) and port (host
// order, 0 for any free port); PLAT_INVALID_SOCKET on failure.
PlatSocket PlatSocketListen(const uint8_t address[4], int port, int backlog);
// The IPv4 address (first octet first) of a dotted address or a host name,
// which may wait for the name service. 0, or -1.
int PlatSocketResolveIPv4(const char* name, uint8_t addressOut[4]);
// The local port of a socket (host order), or -1.
int PlatSocketLocalPort(PlatSocket socket);
// A connection to address and port. blocking 1 waits (up to timeoutMs, 0 for
// no limit) for it to stand; blocking 0 returns at once with the connect
// under way, and a registration reports PLAT_FD_CONNECT when it completes.
PlatSocket PlatSocketConnect(const uint8_t address[4], int port, int blocking, uint32_t timeoutMs);
// Takes one waiting connection: the new socket (blocking unless registered
// later), the peer's address and its port in network byte order (either may
// be null); PLAT_INVALID_SOCKET with PLAT_WSAEWOULDBLOCK when none waits on a
// non-blocking listener.
PlatSocket PlatSocketAccept(PlatSocket listener, uint8_t addressOut[4], uint16_t* portNetworkOrderOut);
// Receives up to length bytes (flags 0 or PLAT_MSG_PEEK): the count, 0 when
// the peer has closed, -1 on failure (PLAT_WSAEWOULDBLOCK: nothing waits).
int PlatSocketRecv(PlatSocket socket, void* buffer, int length, int flags);
// Sends up to length bytes: the count taken (possibly fewer), -1 on failure.
int PlatSocketSend(PlatSocket socket, const void* data, int length);
// Sends two pieces as one write (the first length bytes of a, then b), as
// PlatSocketSend does: the count taken from both, -1 on failure.
int PlatSocketSendPair(PlatSocket socket, const void* a, int aLength, const void* b, int bLength);
// Closes the socket; 0, or -1 for no such socket.
int PlatSocketClose(PlatSocket socket);
// Closes the socket with a reset instead of an orderly close; 0 or -1.
int PlatSocketAbort(PlatSocket socket);
// Ends the sending direction (the peer sees an orderly close); 0 or -1.
int PlatSocketShutdownSend(PlatSocket socket);

// Registers the socket's events (PLAT_FD_* bits) for `message` on the window
// (makes it non-blocking); events 0 deregisters. 0, or -1.
int PlatSocketAsyncSelect(PlatSocket socket, PlatWindow window, uint32_t message, uint32_t events);

// Tuning: kernel buffer sizes in bytes (0 keeps one), Nagle's delay off,
// time-outs of a blocking socket's receives and sends in ms (0 none). 0 or -1.
int PlatSocketSetBufferSizes(PlatSocket socket, int sendBytes, int receiveBytes);
int PlatSocketSetNoDelay(PlatSocket socket, int on);
int PlatSocketSetTimeouts(PlatSocket socket, uint32_t receiveMs, uint32_t sendMs);
// Bytes waiting to be received, or -1.
int PlatSocketPending(PlatSocket socket);

// Live sockets of this layer (for leak checks).
int PlatSocketCount();
// Raises the process's limit of open descriptors toward `wanted`; returns the
// limit now in force.
int PlatSocketRaiseDescriptorLimit(int wanted);
