// The fuzzing entry points (see fuzz_entries.h).
#include "fuzz_entries.h"

#include <dirent.h>
#include <unistd.h>

#include <ogg/ogg.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "core/alloc.h"
#include "core/log.h"
#include "core/strutil.h"
#include "core/system_state.h"
#include "file/archive.h"
#include "file/openfile.h"
#include "file/stream.h"
#include "file/vlkformat.h"
#include "file/winfile.h"
#include "font/font.h"
#include "font/font_state.h"
#include "font/text_draw.h"
#include "image/imagedecode.h"
#include "image/pixelimage.h"
#include "movie/movie.h"
#include "movie/theora.h"
#include "network/network.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/socket.h"
#include "platform/sysinfo.h"
#include "sound/sound.h"
#include "sound/sound_state.h"

namespace {

std::string g_scratch;  // a directory of this process for the files the targets write

void RemoveScratch() {
  if (g_scratch.empty()) return;
  for (const char* name : {"/in.bin", "/in.vlk", "/Log.txt"}) unlink((g_scratch + name).c_str());
  rmdir(g_scratch.c_str());
}

void IgnoreDebugText(const char*) {}

// Writes the input to a file of the scratch directory; its path.
std::string WriteScratch(const char* name, const uint8_t* data, size_t size) {
  std::string path = g_scratch + "/" + name;
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  return path;
}

// The input as a NUL-terminated text.
std::string TextOf(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size).c_str();
}

// Reads every byte of every row, so the sanitizers see a buffer shorter than
// the image claims.
uint32_t TouchPixels(const PixelImage& img) {
  uint32_t sum = 0;
  for (int y = 0; y < img.Height; ++y)
    for (int x = 0; x < img.Width * img.Format.BytesPerPixel; ++x)
      sum += img.Pixels[size_t(y) * img.Pitch + x];
  return sum;
}

volatile uint32_t g_sink;

// ---- images ---------------------------------------------------------------

// Every decoder of the decoder table, tried in order on the input.
void FuzzImageDecoders(const uint8_t* data, size_t size) {
  MemoryStream* m = OpenMemoryStream(data, size);
  if (!m) return;
  StreamData stream = MakeMemoryStreamData(m);
  PixelImage img{};
  if (DecodeImageStream(&stream, &img) == 0) {
    g_sink = TouchPixels(img);
    ReleasePixelImageImpl(&img);
  }
  stream.Functions.Close(stream.DataHandle);
}

// An image and its alpha companion from memory: the first two bytes give the
// image's share of the rest, the last bit of the first whether to mirror.
void FuzzImageWithAlpha(const uint8_t* data, size_t size) {
  if (size < 2) return;
  const size_t rest = size - 2;
  const size_t imageBytes = rest ? (size_t(data[0]) | size_t(data[1]) << 8) % (rest + 1) : 0;
  const uint8_t* image = data + 2;
  const uint8_t* alpha = image + imageBytes;
  PixelImage out{}, alphaOut{};
  const int r = LoadImageWithAlphaFile(nullptr, image, uint32_t(imageBytes), 1, alpha,
                                       uint32_t(rest - imageBytes), 1, &out, &alphaOut, data[0] & 1);
  if (r >= 0) {
    g_sink = TouchPixels(out);
    ReleasePixelImageImpl(&out);
  }
  if (r == 0) {
    g_sink = TouchPixels(alphaOut);
    ReleasePixelImageImpl(&alphaOut);
  }
}

// ---- sound ----------------------------------------------------------------

// The input as a sound file, loaded in every load mode, played looping for a
// tenth of a second and deleted.
void FuzzSoundLoad(const uint8_t* data, size_t size) {
  const std::string path = WriteScratch("in.bin", data, size);
  static int16_t mixed[4410 * 2];
  for (int mode :
       {SOUND_LOAD_WHOLE, SOUND_LOAD_WHOLE_PLUS, SOUND_LOAD_MEMORY_STREAM, SOUND_LOAD_FILE_STREAM}) {
    SetSoundLoadMode(mode);
    const int h = LoadSoundFileImpl(path.c_str(), 2, -1);
    if (h == -1) continue;
    PlaySoundHandleImpl(h, SOUND_PLAY_LOOP, 1);
    for (int step = 0; step < 2; ++step) {
      PlatAudioCaptureAdvance(2205);
      ProcessAllStreamSounds();
    }
    PlatAudioCaptureTake(mixed, 4410);
    GetSoundPlayTime(h);
    DeleteSoundData(h, 0);
  }
  SetSoundLoadMode(SOUND_LOAD_WHOLE);
}

// ---- archives ---------------------------------------------------------------

const char* const kArchivePaths[] = {"a.txt", "D\\b.bin",   "D\\E\\c.txt", "z.bin",
                                     "D\\E",  "\\D\\b.bin", "..",          "D\\x"};

// The input is an archive as it is before scrambling: it is scrambled with
// the archive key, written, opened, and every path of the test archives is
// looked up and read in both read modes.
void FuzzArchive(const uint8_t* data, size_t size) {
  std::vector<uint8_t> scrambled(data, data + size);
  ArchiveKey key;
  MakeArchiveKey(&key);
  ArchiveKeyXor(scrambled.size(), scrambled.data(), 0, &key);
  const std::string path = WriteScratch("in.vlk", scrambled.data(), scrambled.size());
  ArchiveRecord record{};
  if (OpenArchiveFromFile(&record, path.c_str()) != 0) return;
  for (const char* name : kArchivePaths) {
    for (uint32_t async : {0u, 1u}) {
      ArchiveFileStream stream{};
      if (ArchiveOpenFile(&stream, &record, name, async) != 0) continue;
      uint8_t buffer[97];
      for (int i = 0; i < 64; ++i) {
        const size_t n = ArchiveReadFile(&stream, buffer, sizeof buffer);
        while (ArchiveFilePoll(&stream) == 0) WinFileWaitIdle(record.File);
        if (n == 0 || n > sizeof buffer) break;
      }
      ArchiveSeekFile(&stream, -7, 2);
      ArchiveTellFile(&stream);
      ArchiveReadFile(&stream, buffer, sizeof buffer);
      while (ArchiveFilePoll(&stream) == 0) WinFileWaitIdle(record.File);
      ArchiveCloseFile(&stream);
    }
    ArchiveFindPath(&record, name, 1, nullptr);
    record.CurrentDir = 0;
  }
  CloseArchive(&record);
}

// One LZ block of an archive, decoded into a buffer of the size its header
// declares (at most 1 MiB; a larger claim gets a smaller buffer).
void FuzzLzDecode(const uint8_t* data, size_t size) {
  uint32_t declared = 0;
  if (size >= 4) std::memcpy(&declared, data, 4);
  std::vector<uint8_t> out(declared < (1u << 20) ? declared : (1u << 20));
  DecodeArchiveLz(data, size, out.data(), out.size());
}

// ---- text -----------------------------------------------------------------

// The input as Shift-JIS text through the log (plain, formatted, indented)
// and the string helpers.
void FuzzLogAndSjis(const uint8_t* data, size_t size) {
  const std::string text = TextOf(data, size);
  SystemState.Kept.Log = LogSettings{};
  SystemState.Log = LogState{};
  StrCopyN(SystemState.Kept.StartupDirectory, sizeof SystemState.Kept.StartupDirectory, g_scratch.c_str());
  LogFileInit();
  LogWrite(text.c_str());
  LogIndentIncrease();
  LogPrintf("%s|%d", text.c_str(), int(size));
  LogIndentDecrease();
  SystemState.Kept.StartupDirectory[0] = '\0';

  std::vector<char> buf(text.begin(), text.end());
  buf.push_back('\0');
  StrToUpperSjis(buf.data());
  g_sink = uint32_t(StrLength(buf.data()));
  for (size_t i = 0; i < text.size(); ++i) g_sink = g_sink + uint32_t(IsLeadByte(text.c_str() + i, 128));
  if (!text.empty())
    g_sink = g_sink + (StrFindCharSjis(text.c_str(), uint8_t(text[text.size() / 2])) != nullptr);
  char small[17];
  StrCopyN(small, sizeof small, text.c_str());
  StrAppendN(small, sizeof small, text.c_str());
  FormatStringN(small, sizeof small, "%s%d", text.c_str(), 12345);
  g_sink = g_sink + uint32_t(ParseDecimalInt(text.c_str()));
  std::string converted, back;
  if (PlatCp932ToUtf8(text.data(), text.size(), &converted))
    PlatUtf8ToCp932(converted.data(), converted.size(), &back);
}

// The input as text drawn with the default font into 32-bit and 16-bit
// targets (with an edge, clipped at the target's sides), the first byte
// giving the position. The glyph cache is emptied afterwards: it keeps what
// it rendered on purpose.
void FuzzTextDraw(const uint8_t* data, size_t size) {
  if (size < 1) return;
  const std::string text = TextOf(data + 1, size - 1);
  const int x = int(data[0] & 15) - 4, y = int(data[0] >> 4) - 4;
  for (TextPixelFormat format : {TEXT_PIXEL_XRGB8888, TEXT_PIXEL_RGB565}) {
    const int bpp = format == TEXT_PIXEL_RGB565 ? 2 : 4;
    std::vector<uint8_t> pixels(size_t(64) * 40 * bpp);
    TextDrawTarget target{
        pixels.data(), 64 * bpp, 64, 40, format, 0, 0, 64, 40, format == TEXT_PIXEL_RGB565 ? 1 : 0, 128};
    DrawDefaultFontStringTo(&target, x, y, text.c_str(), 0xFFFFFF, data[0] & 1 ? 0x0000FF : 0);
  }
  if (FontRecord* font = GetDefaultFontRecord()) ClearGlyphCache(font);
}

// ---- network ----------------------------------------------------------------

// Each input runs with the network layer started for it alone, over loopback,
// on this thread: the peer's bytes go out in pieces between the pumps, and
// every wait is a bounded number of rounds. Afterwards no handle, socket or
// descriptor may be left open.

const uint8_t kLoopback[4] = {127, 0, 0, 1};
constexpr size_t kNetInputLimit = 64 * 1024;  // what the kernel's buffers take without waiting
const size_t kNetPieces[] = {1, 7, 64, 300, 4096};

// Closing a handle with a packet half received waits a second of this clock:
// here each reading moves it on by a tenth of that.
uint32_t g_netClock = 0;
uint32_t RacingClock() { return g_netClock += 100; }

int OpenDescriptors() {
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return -1;
  int n = 0;
  while (dirent* entry = readdir(dir)) n += entry->d_name[0] != '.';
  closedir(dir);
  return n;
}

// The layer's message pump and transfer steps, as a frame runs them.
void NetFrames(int frames) {
  for (int i = 0; i < frames; ++i) {
    PumpNetWorkMessages(1);
    StepAllHttpTransfers();
  }
}

// Takes the one connection waiting on a listener of this thread; the
// connection stands already, so a few tries do.
PlatSocket AcceptWaiting(PlatSocket listener) {
  for (int tries = 0; tries < 200; ++tries) {
    PlatSocket s = PlatSocketAccept(listener, nullptr, nullptr);
    if (s != PLAT_INVALID_SOCKET) {
      PlatSocketSetTimeouts(s, 1, 1);
      return s;
    }
    if (tries > 10) PlatSleep(1);
  }
  return PLAT_INVALID_SOCKET;
}

// Sends the input in pieces of varied size, running `between` after each.
template <typename Between>
void SendInPieces(PlatSocket peer, const uint8_t* data, size_t size, Between between) {
  size = std::min(size, kNetInputLimit);
  for (size_t at = 0, i = 0; at < size; ++i) {
    size_t n = std::min(size - at, kNetPieces[i % (sizeof kNetPieces / sizeof kNetPieces[0])]);
    int sent = PlatSocketSend(peer, data + at, int(n));
    if (sent <= 0) break;  // the far side takes no more for now
    at += size_t(sent);
    between();
  }
}

// Takes what the server was sent, so that its close is an orderly one.
void DrainRequest(PlatSocket server) {
  uint8_t buffer[4096];
  for (int pending; (pending = PlatSocketPending(server)) > 0;)
    if (PlatSocketRecv(server, buffer, std::min<int>(pending, int(sizeof buffer)), 0) <= 0) break;
}

// Starts and ends the layer once, so that what stays for the process (the
// thread's poll set) is there before the first count.
void WarmNetWork() {
  static bool warm = false;
  if (warm) return;
  warm = true;
  InitNetWorkSystem(0);
  EndNetWorkSystem();
}

struct NetCounts {
  int Descriptors, Sockets;
};
NetCounts CountNet() { return {OpenDescriptors(), PlatSocketCount()}; }

void CheckNetLeftNothing(const char* target, const NetCounts& before) {
  const NetCounts after = CountNet();
  if (after.Descriptors == before.Descriptors && after.Sockets == before.Sockets) return;
  std::fprintf(stderr,
               "fuzz target %s: %d descriptors and %d sockets open before the input, %d and %d after\n",
               target, before.Descriptors, before.Sockets, after.Descriptors, after.Sockets);
  std::abort();
}

// One transfer of the input as the server's answer: the request is taken,
// the answer goes out in pieces between frames, and the server closes. The
// transfer then ends, or waits for good and is deleted.
void RunHttpAnswer(const uint8_t* data, size_t size, bool toMemory) {
  PlatSocket listener = PlatSocketListen(kLoopback, 0, 1);
  if (listener == PLAT_INVALID_SOCKET) return;
  const std::string file = g_scratch + "/http.bin";
  void* block = nullptr;
  const int slot =
      CreateHttpTransfer(toMemory ? HTTP_GET : HTTP_POST, "127.0.0.1", PlatSocketLocalPort(listener), "/f",
                         toMemory ? nullptr : file.c_str(), toMemory ? &block : nullptr, "post", 4, 1000);
  PlatSocket server = slot >= 0 ? AcceptWaiting(listener) : PLAT_INVALID_SOCKET;
  if (server != PLAT_INVALID_SOCKET) {
    NetFrames(2);
    SendInPieces(server, data, size, [] { NetFrames(2); });
    DrainRequest(server);
    PlatSocketShutdownSend(server);
    // Until it ends, or its connection has closed and a frame changes nothing.
    for (int round = 0; round < 60; ++round) {
      const HttpTransfer* t = GetHttpTransfer(slot);
      const HttpStep step = t->Step;
      const int32_t received = t->Received;
      NetFrames(1);
      if (t->Result.Status != HTTP_RUNNING) break;
      const NetWorkRecord* r = GetNetWorkRecord(t->NetHandle);
      if (!r || (r->Connected == 0 && t->Step == step && t->Received == received)) break;
      if (round > 10) PlatSleep(1);
    }
    if (toMemory && block) {
      // A finished transfer hands its block over, of the length it announced.
      const HttpTransfer* t = GetHttpTransfer(slot);
      if (t->ContentLength > 0) g_sink = static_cast<const uint8_t*>(block)[t->ContentLength - 1];
    }
  }
  if (slot >= 0) DeleteHttpTransfer(slot);
  TrackedFree(block);
  if (server != PLAT_INVALID_SOCKET) PlatSocketClose(server);
  PlatSocketClose(listener);
  unlink(file.c_str());
}

// The input as an HTTP server's answer, to a GET into memory and to a POST
// into a file.
void FuzzHttpAnswer(const uint8_t* data, size_t size) {
  WarmNetWork();
  const NetCounts before = CountNet();
  PlatSetMillisecondHook(RacingClock);
  ClearHttpTransferTable();
  if (InitNetWorkSystem(-1) == 0) {
    RunHttpAnswer(data, size, true);
    RunHttpAnswer(data, size, false);
    if (NetWork.HandleCount != 0 || GetHttpTransferCount() != 0) {
      std::fprintf(stderr, "fuzz target http_answer: %d handles and %d transfers left\n",
                   int(NetWork.HandleCount), GetHttpTransferCount());
      std::abort();
    }
    EndNetWorkSystem();
  }
  PlatSetMillisecondHook(nullptr);
  CheckNetLeftNothing("http_answer", before);
}

// Takes what a packet-mode handle holds, with each receive call.
void ReceiveWhatIsHeld(int handle) {
  const int held = GetNetWorkDataLength(handle);
  char line[256];
  NetWorkRecvLine(handle, line);  // packet mode has no lines
  if (held <= 0) return;
  std::vector<uint8_t> bytes(static_cast<size_t>(held));
  NetWorkRecvToPeek(handle, bytes.data(), std::min(held, 16));
  if (NetWorkRecv(handle, bytes.data(), held) == 0) g_sink = bytes[size_t(held) - 1];
}

// The stream as it is sent: a length between 64 KiB and one that a ring
// always refuses is cut below 64 KiB. A longer packet would only make the
// ring grow that far, which under the sanitizers costs every such input
// tens of milliseconds and reads nothing new.
std::vector<uint8_t> ShortenLongPackets(const uint8_t* data, size_t size) {
  std::vector<uint8_t> stream(data, data + std::min(size, kNetInputLimit));
  for (size_t at = 0; at + 4 <= stream.size();) {
    uint8_t* prefix = stream.data() + at;
    const uint32_t length = uint32_t(prefix[0]) | uint32_t(prefix[1]) << 8 | uint32_t(prefix[2]) << 16 |
                            uint32_t(prefix[3]) << 24;
    if (length > 0x7FFFFFFFu - 1000) break;  // refused: nothing after it is read as packets
    if (length > 0xFFFF) prefix[2] = prefix[3] = 0;
    at += 4 + size_t(length & 0xFFFF);
  }
  return stream;
}

// The input as the byte stream of a peer into a packet-mode handle, read
// between the pieces with the receive calls; then the peer closes and the
// handle is closed as the pump closes a lost connection.
void FuzzPacketStream(const uint8_t* input, size_t inputSize) {
  const std::vector<uint8_t> stream = ShortenLongPackets(input, inputSize);
  const uint8_t* data = stream.data();
  const size_t size = stream.size();
  WarmNetWork();
  const NetCounts before = CountNet();
  PlatSetMillisecondHook(RacingClock);
  if (InitNetWorkSystem(0) == 0) {
    PlatSocket peer = PlatSocketConnect(kLoopback, GetNetWorkListenPort(), 1, 1000);
    int handle = -1;
    if (peer != PLAT_INVALID_SOCKET) {
      PlatSocketSetTimeouts(peer, 1, 1);
      for (int round = 0; round < 60 && NetWork.HandleCount < 2; ++round) {
        PumpNetWorkMessages(1);
        if (round > 10) PlatSleep(1);
      }
      if (NetWork.HandleCount == 2) handle = GetNewestNetWorkHandle();
    }
    if (handle >= 0) {
      SendInPieces(peer, data, size, [handle] {
        PumpNetWorkMessages(1);
        ReceiveWhatIsHeld(handle);
      });
      PlatSocketClose(peer);
      peer = PLAT_INVALID_SOCKET;
      for (int round = 0; round < 60 && GetNetWorkRecord(handle); ++round) {
        ReceiveWhatIsHeld(handle);
        GetNetWorkAcceptState(handle);
        PumpNetWorkMessages(1);
        if (round > 10) PlatSleep(1);
      }
    }
    if (peer != PLAT_INVALID_SOCKET) PlatSocketClose(peer);
    EndNetWorkSystem();
  }
  PlatSetMillisecondHook(nullptr);
  CheckNetLeftNothing("packet_stream", before);
}

// ---- movies -----------------------------------------------------------------

// Sets the checksum of every whole page found in the bytes, so that changed
// page contents reach the movie reader instead of being dropped by libogg.
void SetOggPageChecksums(std::vector<uint8_t>* bytes) {
  uint8_t* d = bytes->data();
  const size_t size = bytes->size();
  size_t at = 0;
  while (at + 27 <= size) {
    const size_t segments = d[at + 26];
    size_t body = 0;
    for (size_t i = 0; i < segments && at + 27 + i < size; ++i) body += d[at + 27 + i];
    if (std::memcmp(d + at, "OggS", 4) != 0 || at + 27 + segments + body > size) {
      ++at;
      continue;
    }
    ogg_page page;
    page.header = d + at;
    page.header_len = long(27 + segments);
    page.body = d + at + 27 + segments;
    page.body_len = long(body);
    ogg_page_checksum_set(&page);
    at += 27 + segments + body;
  }
}

// The frame callback: the converted frame read whole.
void ReadMovieFrame(MovieRecord* movie, void*) {
  if (const PixelImage* image = GetMovieFrameImage(movie, nullptr)) g_sink = TouchPixels(*image);
}

// A decoded frame costs time in proportion to its pixels: an input moves
// over at most this many pixels' worth of frames in its steps and seeks.
constexpr int64_t kMoviePixelBudget = int64_t(1) << 24;

// Inputs declaring a larger frame that the library would open are not
// opened: within its caps a few bytes may declare 8192 x 4096, a frame that
// the instrumented build decodes and converts for seconds, past the
// fuzzer's time-out (the movie tests play such frames). Frames beyond the
// caps still reach the library, which refuses them.
constexpr int64_t kMovieFramePixelLimit = int64_t(1024) * 1024;

// True when a Theora identification header anywhere in the bytes declares
// such a frame (its size in macroblocks: bytes 10 to 13, big-endian; its
// pixel format: bits 3 and 4 of byte 41).
bool DeclaresLargeMovieFrame(const std::vector<uint8_t>& bytes) {
  static const uint8_t kIdentification[] = {0x80, 't', 'h', 'e', 'o', 'r', 'a'};
  for (auto at = bytes.begin();; ++at) {
    at = std::search(at, bytes.end(), std::begin(kIdentification), std::end(kIdentification));
    if (bytes.end() - at < 42) return false;
    const uint32_t wide = (uint32_t(at[10]) << 8 | at[11]) * 16, high = (uint32_t(at[12]) << 8 | at[13]) * 16;
    const auto format = theora_pixelformat((at[41] >> 3) & 3);
    if (int64_t(wide) * high > kMovieFramePixelLimit && TheoraFrameWithinCaps(wide, high, format)) return true;
  }
}

// The input as a movie file (with its page checksums set), opened through
// the movie layer, stepped 12 times by 1 to 4 frames (each frame converted
// and read through the frame callback), seeked 4 times (also before the
// first frame and to the end) and closed. The steps and targets come from
// the input's last bytes.
void FuzzMovie(const uint8_t* data, size_t size) {
  static const bool tables = (InitYuvToRgbTables(), true);
  (void)tables;
  std::vector<uint8_t> bytes(data, data + size);
  if (DeclaresLargeMovieFrame(bytes)) return;
  SetOggPageChecksums(&bytes);
  const std::string path = WriteScratch("in.bin", bytes.data(), bytes.size());
  int width = 0, height = 0;
  const int movie = OpenMovie(path.c_str(), &width, &height, 0);
  if (movie == -1) return;
  MovieRecord* record = GetMovieRecord(movie);
  TheoraPlayer* player = record->Theora;
  SetMovieFrameCallback(movie, ReadMovieFrame, nullptr);
  const int64_t pixels = std::max<int64_t>(1, int64_t(width) * height);
  const int64_t frames =
      std::min<int64_t>(player->FrameCount, std::max<int64_t>(8, kMoviePixelBudget / pixels));
  auto choice = [&](size_t i) { return i < size ? uint32_t(data[size - 1 - i]) : uint32_t(i * 7); };
  int64_t moved = 0;
  for (size_t i = 0; i < 12 && moved < frames; ++i) {
    const int step = 1 + int(choice(i) % 4);
    AdvanceTheoraMovie(player, step);
    moved += step;
    UpdateMovieFrame(movie, 0);
  }
  for (size_t i = 12; i < 16; ++i) {
    SeekTheoraMovie(player, int(int64_t(choice(i) % uint32_t(frames + 2)) - 1));
    UpdateMovieFrame(movie, 0);
  }
  CloseMovie(movie);
}

}  // namespace

const FuzzTarget kFuzzTargets[] = {
    {"image_decoders", FuzzImageDecoders},
    {"image_alpha", FuzzImageWithAlpha},
    {"sound_load", FuzzSoundLoad},
    {"archive", FuzzArchive},
    {"lz_decode", FuzzLzDecode},
    {"log_sjis", FuzzLogAndSjis},
    {"text_draw", FuzzTextDraw},
    {"http_answer", FuzzHttpAnswer},
    {"packet_stream", FuzzPacketStream},
    {"movie", FuzzMovie},
    {nullptr, nullptr},
};

const FuzzTarget* FindFuzzTarget(const char* name) {
  for (const FuzzTarget* t = kFuzzTargets; t->Name; ++t)
    if (std::strcmp(t->Name, name) == 0) return t;
  return nullptr;
}

namespace {
bool g_started = false;
}  // namespace

void FuzzStartLibrary() {
  if (g_started) return;
  g_started = true;
  if (g_scratch.empty()) {
    char dir[] = "/tmp/vxfuzz-XXXXXX";
    if (mkdtemp(dir)) {
      g_scratch = dir;
      std::atexit(RemoveScratch);
    } else {
      g_scratch = "/tmp";
    }
  }
  PlatSetDebugSink(IgnoreDebugText);
  SetLogFileOutputImpl(1);
  InitFileAccess();
  PlatAudioSelectBackend(PLAT_AUDIO_CAPTURE);
  SetSoundLoadMode(SOUND_LOAD_WHOLE);
  InitializeSound();
  InitializeFontSystem();
  // The default font's record is made on first use; it stays.
  static const uint8_t warm[] = {0, 'A'};
  FuzzTextDraw(warm, sizeof warm);
}

void FuzzEndLibrary() {
  if (!g_started) return;
  g_started = false;
  TerminateFontSystem();
  TerminateSound();
  PlatAudioSelectBackend(PLAT_AUDIO_DEVICE);
  EndFileAccess();
  PlatSetDebugSink(nullptr);
}

bool FuzzRunChecked(const FuzzTarget& target, const uint8_t* data, size_t size) {
  const int32_t before = SystemState.Kept.Alloc.BlockCount;
  target.Entry(data, size);
  const int32_t after = SystemState.Kept.Alloc.BlockCount;
  if (after == before) return true;
  std::fprintf(stderr, "fuzz target %s: the tracked allocator held %d blocks before the input and %d after\n",
               target.Name, int(before), int(after));
  return false;
}
