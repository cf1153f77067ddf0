// Surface data: the record that owns the pixels behind one piece of a graph
// or of a screen surface. With no display device every record is a library
// image (MEMIMG) in system memory.
#pragma once
#include <cstdint>

#include "graphics/geometry.h"
#include "graphics/graph.h"
#include "softrender/memimg.h"

struct ColorFormat;
struct PixelFormatRecord;

constexpr int SURFACE_DATA_TABLE_SIZE = 65536;
constexpr int32_t SURFACE_DATA_HANDLE_TAG = 0x38000000;

struct SurfaceDataRecord {
  uint32_t Check;
  int* LostFlag;
  SurfaceFormatRequest Request;
  uint32_t Software;    // 1: the pixels are a MEMIMG
  int32_t FormatIndex;  // 0..8 textures, 9 plain surface, 10..13 software images
  int32_t ZWanted;
  void* Surface;  // a device surface; always null here
  MEMIMG Image;
  void* ZSurface;
  MEMIMG ZImage;
  uint32_t TransColor;  // 0xRRGGBB
  uint16_t Width, Height;
  int32_t RefCount;
  int32_t LockedPitch;
  uint8_t* LockedPixels;
  int32_t LockCount;
};

int AddSurfaceData(int refCount, uint16_t width, uint16_t height, uint32_t transColor,
                   const SurfaceFormatRequest* request);
int DeleteSurfaceData(int handle);
SurfaceDataRecord* GetSurfaceDataRecord(int handle);
int AddSurfaceDataRef(int handle);
int ReleaseSurfaceDataRef(int handle);
int CreateSurfaceDataSurface(int handle);
int AttachZBufferSurface(int handle, int wanted);
int ReleaseSurfaceDataSurfaces(int handle);
int SetSurfaceDataColorKey(int handle);
int RestoreSurfaceData(int handle);
int LockSurfaceData(int handle, int* pitch, uint8_t** pixels, int writeOnly, const Rect* rect,
                    ColorFormat* format);
int UnlockSurfaceData(int handle, const Rect* rect);
int FillSurfaceData(int handle, int r, int g, int b, int a);
// Deletes every record (the manager's end).
int DeleteAllSurfaceData();

int GetTextureFormatIndex(const SurfaceFormatRequest* request);
int ColorFormatFromPixelFormat(const PixelFormatRecord* pixelFormat, ColorFormat* out);
int MakeRgbPixelFormatImpl(PixelFormatRecord* format, int bitCount, uint32_t redMask, uint32_t greenMask,
                           uint32_t blueMask, uint32_t alphaMask);
int SetUnusedBitsInRect(const Rect* rect, uint8_t* firstPixel, int pitch, const ColorFormat* format,
                        uint32_t value);
