// The fuzzing entry points (see fuzz_entries.h).
#include "fuzz_entries.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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
#include "platform/audio.h"
#include "platform/codepage.h"
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

}  // namespace

const FuzzTarget kFuzzTargets[] = {
    {"image_decoders", FuzzImageDecoders}, {"image_alpha", FuzzImageWithAlpha},
    {"sound_load", FuzzSoundLoad},         {"archive", FuzzArchive},
    {"lz_decode", FuzzLzDecode},           {"log_sjis", FuzzLogAndSjis},
    {"text_draw", FuzzTextDraw},           {nullptr, nullptr},
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
