// Network layer speed on loopback, each figure beside plain blocking sockets
// doing the same work in the same run (a peer thread on the far side):
//   64 KiB packets received through GetNetWorkDataLength / NetWorkRecv and
//   sent through NetWorkSend                vs  blocking recv / send of 64 KiB
//   direct mode, 4 KiB and 256-byte writes  vs  blocking sends of the same size
//   a 64-byte packet ping-pong              vs  a blocking 64-byte ping-pong
//   the pump's poll per frame with 0 and with 1,000 idle connections;
//   a 16 MiB HTTP GET from a server thread into memory and into a file,
//   stepped as the pump steps it      vs  Python's urllib reading the same
//                                         answer from the same server into
//                                         memory (BM_HttpGetPythonAnchor), and
//   the same 16 MiB with no HTTP, through direct-mode NetWorkRecv and through
//   a plain blocking socket, in whole and in 4 KiB receives.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/alloc.h"
#include "network/network.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/socket.h"

namespace {

const uint8_t kLoopback[4] = {127, 0, 0, 1};
constexpr int kPacket = 64 * 1024;
constexpr int kPacketsPerIteration = 64;  // 4 MiB per iteration
constexpr int kDirectBytes = 4 << 20;

bool SendAll(PlatSocket s, const void* data, size_t n) {
  auto* p = static_cast<const uint8_t*>(data);
  while (n > 0) {
    int r = PlatSocketSend(s, p, int(n));
    if (r <= 0) return false;
    p += r;
    n -= size_t(r);
  }
  return true;
}

bool RecvAll(PlatSocket s, void* data, size_t n) {
  auto* p = static_cast<uint8_t*>(data);
  while (n > 0) {
    int r = PlatSocketRecv(s, p, int(n), 0);
    if (r <= 0) return false;
    p += r;
    n -= size_t(r);
  }
  return true;
}

// The layer started with one accepted connection; `peer` is its far end.
struct LayerPair {
  int Handle = -1;
  PlatSocket Peer = PLAT_INVALID_SOCKET;
  explicit LayerPair(int packetModeOff) {
    SetNetWorkPacketModeOff(packetModeOff);
    PlatSocketRaiseDescriptorLimit(4096);
    InitNetWorkSystem(0);
    Peer = PlatSocketConnect(kLoopback, GetNetWorkListenPort(), 1, 3000);
    PlatSocketSetNoDelay(Peer, 1);
    while (NetWork.HandleCount < 2) PumpNetWorkMessages(1);
    Handle = GetNewestNetWorkHandle();
  }
  ~LayerPair() {
    PlatSocketClose(Peer);
    EndNetWorkSystem();
    SetNetWorkPacketModeOff(0);
  }
};

// Two plain blocking sockets, connected.
struct PlainPair {
  PlatSocket Near = PLAT_INVALID_SOCKET, Far = PLAT_INVALID_SOCKET;
  PlainPair() {
    PlatSocket listener = PlatSocketListen(kLoopback, 0, 4);
    Far = PlatSocketConnect(kLoopback, PlatSocketLocalPort(listener), 1, 3000);
    Near = PlatSocketAccept(listener, nullptr, nullptr);
    PlatSocketClose(listener);
    PlatSocketSetNoDelay(Near, 1);
    PlatSocketSetNoDelay(Far, 1);
  }
  ~PlainPair() {
    PlatSocketClose(Near);
    PlatSocketClose(Far);
  }
};

std::vector<uint8_t> Block(size_t n) {
  std::vector<uint8_t> b(n);
  for (size_t i = 0; i < n; ++i) b[i] = uint8_t(i * 131);
  return b;
}

// ---- 64 KiB packets --------------------------------------------------------------

void BM_PacketReceive(benchmark::State& state) {
  LayerPair pair(0);
  std::vector<uint8_t> wire(4 + kPacket);
  std::vector<uint8_t> body = Block(kPacket);
  wire[0] = 0, wire[1] = 0, wire[2] = 1, wire[3] = 0;  // 65,536
  std::memcpy(wire.data() + 4, body.data(), body.size());
  std::vector<uint8_t> buffer(kPacket);
  for (auto _ : state) {
    std::thread peer([&] {
      for (int i = 0; i < kPacketsPerIteration; ++i) SendAll(pair.Peer, wire.data(), wire.size());
    });
    for (int got = 0; got < kPacketsPerIteration;) {
      if (GetNetWorkDataLength(pair.Handle) >= kPacket &&
          NetWorkRecv(pair.Handle, buffer.data(), kPacket) == 0)
        ++got;
    }
    peer.join();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kPacketsPerIteration * kPacket);
}
BENCHMARK(BM_PacketReceive)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PacketSend(benchmark::State& state) {
  LayerPair pair(0);
  std::vector<uint8_t> body = Block(kPacket);
  for (auto _ : state) {
    std::thread peer([&] {
      std::vector<uint8_t> sink(4 + kPacket);
      for (int i = 0; i < kPacketsPerIteration; ++i) RecvAll(pair.Peer, sink.data(), sink.size());
    });
    // Each send waits for the one before to be out, so each makes one packet.
    for (int i = 0; i < kPacketsPerIteration; ++i) {
      while (NetWork.Records[pair.Handle & 0xFFFF]->SendRing.Stored != 0) GetNetWorkDataLength(pair.Handle);
      NetWorkSend(pair.Handle, body.data(), kPacket);
    }
    while (NetWork.Records[pair.Handle & 0xFFFF]->SendRing.Stored != 0) GetNetWorkDataLength(pair.Handle);
    peer.join();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kPacketsPerIteration * kPacket);
}
BENCHMARK(BM_PacketSend)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainReceive64K(benchmark::State& state) {
  PlainPair pair;
  std::vector<uint8_t> wire = Block(4 + kPacket);
  std::vector<uint8_t> buffer(4 + kPacket);
  for (auto _ : state) {
    std::thread peer([&] {
      for (int i = 0; i < kPacketsPerIteration; ++i) SendAll(pair.Far, wire.data(), wire.size());
    });
    for (int i = 0; i < kPacketsPerIteration; ++i) RecvAll(pair.Near, buffer.data(), buffer.size());
    peer.join();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kPacketsPerIteration * kPacket);
}
BENCHMARK(BM_PlainReceive64K)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- Direct mode ------------------------------------------------------------------

void BM_DirectSend(benchmark::State& state) {
  const int chunk = int(state.range(0));
  LayerPair pair(1);
  std::vector<uint8_t> body = Block(size_t(chunk));
  for (auto _ : state) {
    std::thread peer([&] {
      std::vector<uint8_t> sink(kDirectBytes);
      RecvAll(pair.Peer, sink.data(), sink.size());
    });
    for (int sent = 0; sent < kDirectBytes;) {
      int r = NetWorkSend(pair.Handle, body.data(), chunk);
      if (r < 0) continue;  // the socket is full: try again
      sent += chunk;
      if (r < chunk) {
        // The rest of a short write goes straight to the socket.
        for (int rest = r; rest < chunk;) {
          int more =
              PlatSocketSend(NetWork.Records[pair.Handle & 0xFFFF]->Socket, body.data() + rest, chunk - rest);
          if (more > 0) rest += more;
        }
      }
    }
    peer.join();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kDirectBytes);
}
BENCHMARK(BM_DirectSend)->Arg(4096)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainSend(benchmark::State& state) {
  const int chunk = int(state.range(0));
  PlainPair pair;
  std::vector<uint8_t> body = Block(size_t(chunk));
  for (auto _ : state) {
    std::thread peer([&] {
      std::vector<uint8_t> sink(kDirectBytes);
      RecvAll(pair.Far, sink.data(), sink.size());
    });
    for (int sent = 0; sent < kDirectBytes; sent += chunk) SendAll(pair.Near, body.data(), size_t(chunk));
    peer.join();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kDirectBytes);
}
BENCHMARK(BM_PlainSend)->Arg(4096)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- Ping-pong ---------------------------------------------------------------------

constexpr int kRounds = 1000;

void BM_PacketPingPong(benchmark::State& state) {
  LayerPair pair(0);
  std::vector<uint8_t> ping = Block(64);
  std::vector<uint8_t> pong(64);
  std::thread peer([&] {
    std::vector<uint8_t> wire(68);
    while (RecvAll(pair.Peer, wire.data(), wire.size())) SendAll(pair.Peer, wire.data(), wire.size());
  });
  for (auto _ : state) {
    for (int i = 0; i < kRounds; ++i) {
      NetWorkSend(pair.Handle, ping.data(), 64);
      while (GetNetWorkDataLength(pair.Handle) < 64) {}
      NetWorkRecv(pair.Handle, pong.data(), 64);
    }
  }
  PlatSocketShutdownSend(NetWork.Records[pair.Handle & 0xFFFF]->Socket);
  peer.join();
  state.counters["round_us"] = benchmark::Counter(
      double(kRounds) * 1e-6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PacketPingPong)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainPingPong(benchmark::State& state) {
  PlainPair pair;
  std::thread peer([&] {
    std::vector<uint8_t> wire(68);
    while (RecvAll(pair.Far, wire.data(), wire.size())) SendAll(pair.Far, wire.data(), wire.size());
  });
  std::vector<uint8_t> wire = Block(68);
  for (auto _ : state) {
    for (int i = 0; i < kRounds; ++i) {
      SendAll(pair.Near, wire.data(), wire.size());
      RecvAll(pair.Near, wire.data(), wire.size());
    }
  }
  PlatSocketShutdownSend(pair.Near);
  peer.join();
  state.counters["round_us"] = benchmark::Counter(
      double(kRounds) * 1e-6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PlainPingPong)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- The pump's poll with idle connections ---------------------------------------------

void BM_PumpIdle(benchmark::State& state) {
  const int idle = int(state.range(0));
  const int closeFinished = int(state.range(1));
  PlatSocketRaiseDescriptorLimit(4 * idle + 256);
  InitNetWorkSystem(0);
  std::vector<PlatSocket> peers;
  for (int i = 0; i < idle; ++i)
    peers.push_back(PlatSocketConnect(kLoopback, GetNetWorkListenPort(), 1, 3000));
  while (NetWork.HandleCount < idle + 1) PumpNetWorkMessages(1);
  for (int i = 0; i < 100; ++i) PumpNetWorkMessages(1);
  for (auto _ : state) PumpNetWorkMessages(closeFinished);
  for (PlatSocket p : peers) PlatSocketClose(p);
  EndNetWorkSystem();
}
BENCHMARK(BM_PumpIdle)->Args({0, 0})->Args({1000, 0})->Args({0, 1})->Args({1000, 1});

// ---- HTTP transfers -----------------------------------------------------------------

constexpr int kHttpBody = 16 << 20;

// Answers one GET on the (non-blocking) listener with the body, then closes.
// The connection is waited for without sleeping, which would add a
// millisecond to the GET it serves; five seconds at most.
void ServeOnce(PlatSocket listener, const std::vector<uint8_t>& body) {
  PlatSocket s = PLAT_INVALID_SOCKET;
  for (uint32_t start = PlatGetMilliseconds();
       s == PLAT_INVALID_SOCKET && PlatGetMilliseconds() - start < 5000;) {
    s = PlatSocketAccept(listener, nullptr, nullptr);
    if (s == PLAT_INVALID_SOCKET) std::this_thread::yield();
  }
  if (s == PLAT_INVALID_SOCKET) return;
  PlatSocketSetTimeouts(s, 5000, 5000);
  std::string request;
  char buffer[1024];
  while (request.find("\r\n\r\n") == std::string::npos) {
    int n = PlatSocketRecv(s, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, size_t(n));
  }
  std::string head = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  SendAll(s, head.data(), head.size());
  SendAll(s, body.data(), body.size());
  PlatSocketClose(s);
}

// 0: into memory, 1: into a file.
void BM_HttpGet(benchmark::State& state) {
  const bool toFile = state.range(0) == 1;
  InitNetWorkSystem(-1);
  ClearHttpTransferTable();
  PlatSocket listener = PlatSocketListen(kLoopback, 0, 4);
  int port = PlatSocketLocalPort(listener);
  std::vector<uint8_t> body = Block(kHttpBody);
  std::string file = (std::filesystem::temp_directory_path() / "vx_bench_http.bin").string();
  std::error_code ec;
  for (auto _ : state) {
    // A new file each time, as a download makes one: emptying the last
    // iteration's 16 MiB would time the file system's freeing of it.
    state.PauseTiming();
    std::filesystem::remove(file, ec);
    state.ResumeTiming();
    std::thread server([&] { ServeOnce(listener, body); });
    void* block = nullptr;
    int slot = CreateHttpTransfer(HTTP_GET, "127.0.0.1", port, "/big", toFile ? file.c_str() : nullptr,
                                  toFile ? nullptr : &block, nullptr, 0, 3000);
    while (slot >= 0 && GetHttpTransfer(slot)->Result.Status == HTTP_RUNNING) {
      PumpNetWorkMessages(1);
      StepAllHttpTransfers();
    }
    if (slot < 0 || GetHttpTransfer(slot)->Result.Status != HTTP_FINISHED)
      state.SkipWithError("transfer failed");
    server.join();
    DeleteHttpTransfer(slot);
    TrackedFree(block);
  }
  PlatSocketClose(listener);
  EndNetWorkSystem();
  std::filesystem::remove(file, ec);
  state.SetBytesProcessed(int64_t(state.iterations()) * kHttpBody);
}
BENCHMARK(BM_HttpGet)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The anchor for BM_HttpGet: Python's urllib reads the same answer from the
// same server into memory. One python3 process makes one GET for each line it
// is sent and answers with the seconds that GET took (connect, request and
// the whole body), measured by itself, so its start-up and the pipe are not
// counted; -1 for a short body.
const char kPythonClient[] = R"(
import sys, time, urllib.request
port, size = int(sys.argv[1]), int(sys.argv[2])
opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
url = 'http://127.0.0.1:%d/big' % port
for line in sys.stdin:
    start = time.perf_counter()
    with opener.open(url, timeout=10) as answer:
        data = answer.read()
    took = time.perf_counter() - start
    print('%.9f' % (took if len(data) == size else -1.0), flush=True)
)";

class PythonClient {
 public:
  PythonClient(int port, int size) {
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0) return;
    if (pipe2(fromChild, O_CLOEXEC) != 0) {
      close(toChild[0]);
      close(toChild[1]);
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
    std::string portText = std::to_string(port), sizeText = std::to_string(size);
    char* argv[] = {const_cast<char*>("python3"),
                    const_cast<char*>("-c"),
                    const_cast<char*>(kPythonClient),
                    portText.data(),
                    sizeText.data(),
                    nullptr};
    if (posix_spawnp(&pid_, "python3", &actions, nullptr, argv, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(toChild[0]);
    close(fromChild[1]);
    to_ = fdopen(toChild[1], "w");
    from_ = fdopen(fromChild[0], "r");
  }
  ~PythonClient() {
    if (to_) fclose(to_);  // its stdin ends: the client's loop ends
    if (from_) fclose(from_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }
  // One GET: the seconds it took, or -1.
  double Get() {
    if (pid_ <= 0 || !to_ || !from_) return -1;
    if (std::fputs("get\n", to_) < 0 || std::fflush(to_) != 0) return -1;
    char line[64];
    if (!std::fgets(line, sizeof line, from_)) return -1;
    return std::strtod(line, nullptr);
  }

 private:
  pid_t pid_ = -1;
  FILE* to_ = nullptr;
  FILE* from_ = nullptr;
};

void BM_HttpGetPythonAnchor(benchmark::State& state) {
  PlatSocket listener = PlatSocketListen(kLoopback, 0, 4);
  std::vector<uint8_t> body = Block(kHttpBody);
  PythonClient client(PlatSocketLocalPort(listener), kHttpBody);
  auto once = [&] {
    std::thread server([&] { ServeOnce(listener, body); });
    double took = client.Get();
    server.join();
    return took;
  };
  if (once() < 0) state.SkipWithError("python3 client failed");  // also warms it up
  for (auto _ : state) {
    double took = once();
    if (took < 0) {
      state.SkipWithError("python3 client failed");
      break;
    }
    state.SetIterationTime(took);
  }
  PlatSocketClose(listener);
  state.SetBytesProcessed(int64_t(state.iterations()) * kHttpBody);
}
BENCHMARK(BM_HttpGetPythonAnchor)->Unit(benchmark::kMillisecond)->UseManualTime();

// Receives 16 MiB with `receive` (the count taken, or a negative value when
// nothing is there yet): into a fresh block (piece 0: each receive asks for
// all that is left), or in receives of at most `piece` bytes into a fresh file
// written `gather` bytes at a time.
template <typename Receive>
void Receive16M(Receive receive, int piece, int gather, const std::string& file) {
  if (piece == 0) {
    auto* block = static_cast<uint8_t*>(TrackedAlloc(kHttpBody, "", 0));
    for (int got = 0; got < kHttpBody;) {
      int n = receive(block + got, kHttpBody - got);
      if (n > 0) got += n;
    }
    TrackedFree(block);
    return;
  }
  std::vector<uint8_t> buffer(static_cast<size_t>(gather));
  PlatFile out = PlatOpenFile(file.c_str(), PLAT_CREATE_ALWAYS);
  for (int got = 0, held = 0; got < kHttpBody;) {
    int n = receive(buffer.data() + held, std::min(piece, gather - held));
    if (n <= 0) continue;
    got += n;
    held += n;
    if (held == gather || got == kHttpBody) {
      PlatWriteFile(out, buffer.data(), size_t(held));
      held = 0;
    }
  }
  PlatCloseFile(out);
}

// The same bytes through a direct-mode handle, with no HTTP: args {piece,
// gather} as Receive16M takes them. {4096, 65536} is what the HTTP file mode
// does; {4096, 4096} what it did before it gathered its writes.
void BM_DirectReceive16M(benchmark::State& state) {
  const int piece = int(state.range(0)), gather = int(state.range(1));
  LayerPair pair(1);
  std::vector<uint8_t> body = Block(kHttpBody);
  std::string file = (std::filesystem::temp_directory_path() / "vx_bench_direct.bin").string();
  std::error_code ec;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(file, ec);
    state.ResumeTiming();
    std::thread peer([&] { SendAll(pair.Peer, body.data(), body.size()); });
    Receive16M([&](uint8_t* into, int n) { return NetWorkRecv(pair.Handle, into, n); }, piece, gather, file);
    peer.join();
  }
  std::filesystem::remove(file, ec);
  state.SetBytesProcessed(int64_t(state.iterations()) * kHttpBody);
}
BENCHMARK(BM_DirectReceive16M)
    ->Args({0, 0})
    ->Args({65536, 65536})
    ->Args({4096, 4096})
    ->Args({4096, 65536})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The floor under both: a plain blocking socket with nothing around it, the
// same args.
void BM_PlainReceive16M(benchmark::State& state) {
  const int piece = int(state.range(0)), gather = int(state.range(1));
  PlainPair pair;
  std::vector<uint8_t> body = Block(kHttpBody);
  std::string file = (std::filesystem::temp_directory_path() / "vx_bench_plain.bin").string();
  std::error_code ec;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(file, ec);
    state.ResumeTiming();
    std::thread peer([&] { SendAll(pair.Far, body.data(), body.size()); });
    Receive16M([&](uint8_t* into, int n) { return PlatSocketRecv(pair.Near, into, n, 0); }, piece, gather,
               file);
    peer.join();
  }
  std::filesystem::remove(file, ec);
  state.SetBytesProcessed(int64_t(state.iterations()) * kHttpBody);
}
BENCHMARK(BM_PlainReceive16M)
    ->Args({0, 0})
    ->Args({4096, 4096})
    ->Args({4096, 65536})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
