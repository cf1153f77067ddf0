// The Theora movie player: an Ogg file indexed once by data packet, a decode
// thread that keeps a small stock of decoded frames ahead of the frame shown,
// and the conversion of the shown frame into a 32-bit XRGB image.
//
// Two threads share a player: the main thread (open, close, seek, advance,
// conversion) and the player's decode thread. They meet through the atomic
// words below; the Ogg state, the decoder and the file belong to the decode
// thread once the open has posted its first seek.
#pragma once
#include <atomic>
#include <cstdint>

#include <ogg/ogg.h>
#include <theora/theora.h>

#include "file/fileaccess.h"
#include "image/pixelimage.h"
#include "platform/thread.h"

// The decode thread's published state.
enum TheoraThreadState : int32_t {
  THEORA_THREAD_IDLE = 0,  // the stock holds every frame it can hold
  THEORA_THREAD_DECODING = 1,
  THEORA_THREAD_SEEKING = 2,
  THEORA_THREAD_ENDED = 3,  // the thread is leaving and touches nothing more
  THEORA_THREAD_PAUSED = 4,
};

// Room added to the page index and the keyframe table each time they fill up.
constexpr int THEORA_INDEX_STEP = 1000;
// Every read of the movie file asks for this many bytes.
constexpr int THEORA_READ_BLOCK = 4096;
// Frames larger than this, in pixels or on either side, are refused before
// the decoder is made: a damaged identification header could otherwise ask
// for gigabytes. The side matters too: libtheora pads every plane by 16
// pixels around, which doubles a frame 32 pixels wide. Within the caps a
// movie opens whatever its size in bytes: a title card, a fade or a still
// codes a large frame in a few kilobytes. What it takes is bounded where it
// is spent: the stock keeps no more planes than THEORA_STOCK_BUDGET, a slot
// takes memory only when a frame is stored in it, and a repeated frame is
// neither copied nor converted again.
constexpr int64_t THEORA_MAX_FRAME_PIXELS = int64_t(8192) * 4096;
constexpr uint32_t THEORA_MAX_FRAME_SIDE = 8192;
// The same cap on the bytes of a frame's three planes, which is what the
// decoder's reference frames and the stock really take: a 4:2:0 frame at the
// pixel cap. A 4:4:4 frame has twice those bytes for its pixels, so one of
// more than 8192 x 2048 pixels is refused (4:2:2: more than 8192 x 3072).
constexpr int64_t THEORA_MAX_FRAME_PLANE_BYTES = THEORA_MAX_FRAME_PIXELS * 3 / 2;
// Most bytes of planes the frame stock may hold: a movie with large frames
// keeps fewer slots than its caller asks for (never fewer than one). 64 MiB
// keeps ten slots up to 2048 x 2048 in 4:2:0; a frame at the size cap gets
// one.
constexpr int64_t THEORA_STOCK_BUDGET = int64_t(64) << 20;

// One run of frames in the file: the data packets counted from the page on
// which the entry's first data packet ends.
struct TheoraPageEntry {
  uint32_t Offset;      // file offset of that page (the first entry's is 0)
  int32_t FirstFrame;   // frame number of the entry's first data packet
  int32_t HasKeyframe;  // 1 when one of its packets is a keyframe
  int32_t PacketCount;  // data packets counted in the entry
};

// One slot of the frame stock. The decode thread writes the planes, the six
// numbers and Frame before it publishes Used (release); the main thread reads
// a slot only after seeing Used 1 and Frame equal to the frame it shows.
struct TheoraFrameSlot {
  std::atomic<int32_t> Used;
  std::atomic<int32_t> Frame;
  uint8_t* PlaneY;  // YStride x YHeight bytes, kept from frame to frame
  uint8_t* PlaneU;  // UVStride x UVHeight bytes
  uint8_t* PlaneV;
  int32_t YWidth, YHeight, YStride;
  int32_t UVWidth, UVHeight, UVStride;
  // The decoder's picture the planes hold (TheoraPlayer::DecoderPicture when
  // stored); 0 for black stored before any picture, and before the first store.
  int64_t Picture;
};

struct TheoraMovieInfo {
  double FramesPerSecond;
  int32_t FrameCount;
  int32_t Width;
  int32_t Height;
};

struct TheoraPlayer {
  // First, as it never changes once the thread runs: the allocator's dump of
  // live blocks shows a block's first bytes, from whichever thread fails.
  FileAccessTableRec Files;  // the player's own copy of the caller's table
  FileHandle File;           // owned by the caller, never closed here

  // Handshake words. ThreadState, EndOfStream and DecodeFrame are written by
  // the decode thread; PauseRequest, ExitRequest, SeekTarget and CurrentFrame
  // by the main thread; SeekRequest is set by the main thread and cleared by
  // the decode thread.
  std::atomic<int32_t> ThreadState;
  std::atomic<int32_t> PauseRequest;
  std::atomic<int32_t> ExitRequest;
  std::atomic<int32_t> SeekRequest;
  std::atomic<int32_t> SeekTarget;
  std::atomic<int32_t> EndOfStream;
  PlatThread Thread;

  ogg_sync_state Sync;
  ogg_page Page;
  ogg_stream_state Stream;
  ogg_packet Packet;
  theora_info Info;
  theora_comment Comment;
  theora_state Decoder;
  int32_t StreamReady;   // 1 once Stream holds the Theora stream's assembler
  int32_t DecoderReady;  // 1 once theora_decode_init has run
  // Decode thread only: which picture the decoder's output holds, so that a
  // frame repeating the one before is known as such. 0 until the decoder has
  // accepted a packet with data: its output then describes no picture of
  // ours (libtheora answers theora_decode_YUVout with buffers it never
  // filled). Each packet with data that it accepts counts one more; an empty
  // packet (a repeated frame) or a refused one leaves the output as it was.
  int64_t DecoderPicture;

  TheoraPageEntry* PageIndex;
  int32_t PageCount;
  int32_t PageRoom;
  uint8_t* KeyframeTable;  // one byte per frame: 1 keyframe, 0 not
  int64_t KeyframeRoom;
  int64_t FrameCount;  // data packets of the Theora stream

  std::atomic<int32_t> CurrentFrame;  // the frame to show; -1 until the first seek
  std::atomic<int32_t> DecodeFrame;   // the frame in the decoder's output
  int32_t HeaderCount;

  TheoraFrameSlot* Stock;
  int32_t StockSize;  // the caller's stock size, lowered to keep within THEORA_STOCK_BUDGET

  PixelImage Image;  // the current frame as XRGB8, Info.width x Info.height
  void* Overlay;     // YUV surface; never made while drawing in software
  uint32_t OverlayFourCC;
  int32_t ImageCurrent;  // 1 while Image holds CurrentFrame
  int32_t OverlayCurrent;
  int64_t ImagePicture;  // the slot Picture that Image was converted from; 0 none
};

// The size of each chroma plane of a frame of that size in that format.
inline void TheoraChromaSize(uint32_t width, uint32_t height, theora_pixelformat format, int64_t* chromaWidth,
                             int64_t* chromaHeight) {
  *chromaWidth = format == OC_PF_444 ? int64_t(width) : int64_t(width / 2);
  *chromaHeight = format == OC_PF_420 ? int64_t(height / 2) : int64_t(height);
}

// The bytes of one frame's three planes, for a frame size and pixel format
// as an identification header gives them.
inline int64_t TheoraFramePlaneBytes(uint32_t width, uint32_t height, theora_pixelformat format) {
  int64_t chromaWidth = 0, chromaHeight = 0;
  TheoraChromaSize(width, height, format, &chromaWidth, &chromaHeight);
  return int64_t(width) * int64_t(height) + 2 * chromaWidth * chromaHeight;
}

// Whether a frame of that size and format lies within the caps above.
inline bool TheoraFrameWithinCaps(uint32_t width, uint32_t height, theora_pixelformat format) {
  return width <= THEORA_MAX_FRAME_SIDE && height <= THEORA_MAX_FRAME_SIDE &&
         int64_t(width) * int64_t(height) <= THEORA_MAX_FRAME_PIXELS &&
         TheoraFramePlaneBytes(width, height, format) <= THEORA_MAX_FRAME_PLANE_BYTES;
}

// ---- Open, index and close -----------------------------------------------------

// The player for an Ogg file with a Theora stream, decoding on its own thread
// with frame 0 converted, or null (nothing is left allocated then). A decode
// thread still running when the process exits is stopped then; the player
// stays for its close.
TheoraPlayer* OpenTheoraMovie(const FileAccessTableRec* files, FileHandle file, int stockSize);
// Ends the decode thread (joined) and frees everything the player owns; 0.
int CloseTheoraMovie(TheoraPlayer* player);
// Appends up to size bytes of the file to Sync; the count read, 0 at the end
// (or when libogg refuses the buffer).
int ReadTheoraData(TheoraPlayer* player, int size);
// Finds the Theora stream and takes in its three headers: 1, or -1 when a
// header is refused or the file ends first.
int ReadTheoraHeaders(TheoraPlayer* player);
PixelImage* GetTheoraMovieImage(TheoraPlayer* player);
void* GetTheoraOverlaySurface(TheoraPlayer* player);
int GetTheoraMovieInfo(TheoraPlayer* player, TheoraMovieInfo* info);
int GetTheoraMovieFrame(TheoraPlayer* player);

// ---- Decode thread and seeking ---------------------------------------------------

uint32_t TheoraDecodeThread(void* player);
// Decode thread only: reads the next n frames; -1 when the file ended first,
// else 1 when the packet taken last is a keyframe, 0 when it is not.
int TheoraDecodeFrames(TheoraPlayer* player, int n);
// Main thread: makes frame the current frame and has the thread seek to it. 0.
int SeekTheoraMovie(TheoraPlayer* player, int frame);
// Main thread: moves the current frame n forward, wrapping once at the end. 0.
int AdvanceTheoraMovie(TheoraPlayer* player, int n);

// ---- YUV to RGB ----------------------------------------------------------------------

// Builds the clamp table and the five coefficient tables; 0.
int InitYuvToRgbTables();
// Would (re)create the YUV surface; with no DirectDraw object there is none.
void CreateTheoraOverlaySurface(TheoraPlayer* player);
// Converts CurrentFrame into Image (and the overlay) as the flags ask, waiting
// until the frame is in the stock: 1 when done, 0 when there was nothing to
// do or the frame cannot come.
int UpdateTheoraMovieImage(TheoraPlayer* player, int updateImage, int updateOverlay);

// The tables, readable for checks. YuvClampTable is indexed -512..767 through
// YuvClamp (its zero lies 512 entries in).
extern uint8_t YuvClampTable[1280];
extern int32_t VToRedTable[256];
extern int32_t UToGreenTable[256];
extern int32_t VToGreenTable[256];
extern int32_t UToBlueTable[256];
extern int32_t YToLumaTable[256];
inline const uint8_t* YuvClamp() { return YuvClampTable + 512; }

// The two conversion paths over one stored frame, into 32-bit pixels
// (B, G, R, 255 in memory). The walks stay inside the destination's
// width and height.
void ConvertYuvFixed(const TheoraFrameSlot* slot, uint8_t* dest, int pitch, int width, int height);
void ConvertYuvFloat(const TheoraFrameSlot* slot, uint8_t* dest, int pitch, int width, int height);

// The fixed-point path's loops: the table-driven one and its vector forms,
// which give the same bytes. ConvertYuvFixed runs the widest one the
// processor has; ConvertYuvFixedWith runs the one asked for (no wider than
// the processor has), for checks and measurements.
enum YuvFixedLoop : int { YUV_LOOP_SCALAR = 0, YUV_LOOP_SSE2 = 1, YUV_LOOP_AVX2 = 2, YUV_LOOP_AVX512 = 3 };
YuvFixedLoop WidestYuvFixedLoop();
void ConvertYuvFixedWith(YuvFixedLoop loop, const TheoraFrameSlot* slot, uint8_t* dest, int pitch, int width,
                         int height);
