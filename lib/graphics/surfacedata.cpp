// Surface-data records: the table, the format request, the software image
// behind each record, locking, colour keys and deletion.
#include "graphics/surfacedata.h"

#include <cstring>

#include "core/alloc.h"
#include "core/log.h"
#include "graphics/drawstate.h"
#include "graphics/graphics_manager.h"
#include "graphics/soft/display.h"

int GetTextureFormatIndex(const SurfaceFormatRequest* r) {
  const int b = r->ColorBitDepth == 16 ? 0 : 1;
  if (r->DrawValid) return (r->AlphaChFlag || r->AlphaTestFlag) ? 8 : 6 + b;
  if (r->AlphaChFlag) return 2 + b;
  if (r->AlphaTestFlag) return 4 + b;
  return b;
}

SurfaceDataRecord* GetSurfaceDataRecord(int handle) { return GraphicsManager.SurfaceData.Get(handle); }

int AddSurfaceData(int refCount, uint16_t width, uint16_t height, uint32_t transColor,
                   const SurfaceFormatRequest* request) {
  GraphicsManagerBlock& m = GraphicsManager;
  if (!request) return -1;
  if (m.SurfaceData.Full()) {
    LogWrite("サーフェスのデータ数が許容量を越えました。\n");
    return -1;
  }
  const int slot = m.SurfaceData.FreeSlot();
  auto* r = slot < 0 ? nullptr
                     : static_cast<SurfaceDataRecord*>(TrackedAllocZeroed(sizeof(SurfaceDataRecord), "", 0));
  if (!r) {
    LogWrite("サーフェス用データを保存するメモリ領域の確保に失敗しました\n");
    return -1;
  }
  r->Request = *request;
  r->Width = width;
  r->Height = height;
  r->RefCount = refCount;
  r->TransColor = transColor;

  SurfaceFormatRequest& q = r->Request;
  if (!q.Texture) {
    if (q.AlphaChFlag == 1 || q.Option == 1) q.SystemMemory = 1;
    q.DrawValid = 1;
    q.AlphaTestFlag = 0;
  } else {
    q.SystemMemory = 0;
    if (q.DrawValid == 1 || q.AlphaChFlag == 1) q.AlphaTestFlag = 0;
  }
  r->Software = (q.SystemMemory == 1 || (IsSoftwareDrawing() && GetScreenColorBits() != 8)) ? 1 : 0;

  const int handle = m.SurfaceData.Add(slot, r);

  if (CreateSurfaceDataSurface(handle) != 0) {
    DeleteSurfaceData(handle);
    return -1;
  }
  SetSurfaceDataColorKey(handle);
  return handle;
}

int CreateSurfaceDataSurface(int handle) {
  SurfaceDataRecord* r = GetSurfaceDataRecord(handle);
  if (!r) return -1;
  if (!r->Software) {
    // Device surfaces need the display device object, which never exists here.
    if (!GetDirectDrawObject()) return -1;
    return r->Surface ? 0 : -1;
  }
  if (IsValidMemImg(&r->Image)) return 0;
  const SurfaceFormatRequest& q = r->Request;
  int result;
  if (q.Option == 1) {
    std::memset(&r->Image, 0, sizeof r->Image);
    result = InitializeMemImg(&r->Image, r->Width, r->Height, -1, 0, MEMIMG_TYPE_GRAY8, 0, 0, 0, nullptr);
  } else {
    const bool deep = q.ColorBitDepth == 32;
    r->FormatIndex = (deep ? 12 : 10) + (q.AlphaChFlag ? 1 : 0);
    const MemImgColorType type = deep ? MEMIMG_TYPE_XRGB32 : MEMIMG_TYPE_RGB565;
    uint32_t key = 0xFFFF;
    if (!q.Palette) {
      const uint32_t t = GraphicsState.TransparentColor;
      key = PackColorForFormat(GetMemImgColorFormat(type, q.AlphaChFlag, 0), int((t >> 16) & 0xFF),
                               int((t >> 8) & 0xFF), int(t & 0xFF), 255);
    }
    std::memset(&r->Image, 0, sizeof r->Image);
    result =
        InitializeMemImg(&r->Image, r->Width, r->Height, -1, key, type, q.Palette, q.AlphaChFlag, 0, nullptr);
  }
  if (result != 0) {
    LogWrite("メモリイメージの作成に失敗しました\n");
    std::memset(&r->Image, 0, sizeof r->Image);
    return -1;
  }
  if (AttachZBufferSurface(handle, r->ZWanted) != 0 && r->ZWanted) {
    TerminateMemImg(&r->Image);
    std::memset(&r->Image, 0, sizeof r->Image);
    return -1;
  }
  return 0;
}

int AttachZBufferSurface(int handle, int wanted) {
  SurfaceDataRecord* r = GetSurfaceDataRecord(handle);
  if (!r) return -1;
  if (!r->Software && !GetDirectDrawObject()) return -1;
  const bool has = r->Software ? IsValidMemImg(&r->ZImage) != 0 : r->ZSurface != nullptr;
  if (wanted == r->ZWanted && has == (wanted == 1)) return 0;
  if (!r->Request.DrawValid) return -1;
  if (wanted == 0) {
    if (IsValidMemImg(&r->ZImage)) TerminateMemImg(&r->ZImage);
    std::memset(&r->ZImage, 0, sizeof r->ZImage);
  } else if (r->Software) {
    if (!IsValidMemImg(&r->ZImage) && InitializeZBufferMemImg(&r->ZImage, r->Width, r->Height) != 0) {
      LogWrite("Ｚバッファの作成に失敗しました");
      return -1;
    }
  } else {
    LogWrite("Ｚバッファの作成に失敗しました");
    return -1;
  }
  r->ZWanted = wanted;
  return 0;
}

int ReleaseSurfaceDataSurfaces(int handle) {
  SurfaceDataRecord* r = GetSurfaceDataRecord(handle);
  if (!r) return -1;
  if (IsValidMemImg(&r->ZImage)) TerminateMemImg(&r->ZImage);
  if (IsValidMemImg(&r->Image)) TerminateMemImg(&r->Image);
  std::memset(&r->ZImage, 0, sizeof r->ZImage);
  std::memset(&r->Image, 0, sizeof r->Image);
  r->Surface = nullptr;
  r->ZSurface = nullptr;
  return 0;
}

int SetSurfaceDataColorKey(int handle) {
  SurfaceDataRecord* r = GetSurfaceDataRecord(handle);
  if (!r) return -1;
  return 0;  // only device surfaces carry a colour key; images keep theirs
}

int RestoreSurfaceData(int handle) {
  return GetSurfaceDataRecord(handle) ? 0 : -1;  // library images are never lost
}

int AddSurfaceDataRef(int handle) {
  SurfaceDataRecord* r = GetSurfaceDataRecord(handle);
  return r ? ++r->RefCount : -1;
}

int ReleaseSurfaceDataRef(int handle) {
  SurfaceDataRecord* r = GetSurfaceDataRecord(handle);
  return r ? --r->RefCount : -1;
}

int LockSurfaceData(int handle, int* pitch, uint8_t** pixels, int writeOnly, const Rect* rect,
                    ColorFormat* format) {
  (void)writeOnly;
  SurfaceDataRecord* r = GetSurfaceDataRecord(handle);
  if (!r) return -1;
  if (format) {
    const ColorFormat* f =
        r->Software && IsValidMemImg(&r->Image) ? r->Image.Base->Format : GetScreenColorData();
    *format = *f;
  }
  if (r->LockCount > 0) {
    if (pitch && pixels) {
      *pitch = r->LockedPitch;
      *pixels = r->LockedPixels;
    }
    ++r->LockCount;
    return -2;
  }
  if (!r->Software || !IsValidMemImg(&r->Image)) {
    LogWrite("グラフィックのロックに失敗しました");
    return -1;
  }
  const MemImgBase* b = r->Image.Base;
  uint8_t* p = r->Image.Pixels;
  if (rect) {
    // A rectangle outside the image would point past its pixels.
    if (rect->Left < 0 || rect->Top < 0 || rect->Left >= r->Width || rect->Top >= r->Height) {
      LogWrite("グラフィックのロックに失敗しました");
      return -1;
    }
    p += size_t(b->Pitch) * size_t(rect->Top) + size_t(b->Format->BytesPerPixel) * size_t(rect->Left);
  }
  r->LockedPitch = int32_t(b->Pitch);
  r->LockedPixels = p;
  if (pitch && pixels) {
    *pitch = r->LockedPitch;
    *pixels = p;
  }
  r->LockCount = 1;
  return 0;
}

int UnlockSurfaceData(int handle, const Rect*) {
  SurfaceDataRecord* r = GetSurfaceDataRecord(handle);
  if (!r || r->LockCount <= 0) return -1;
  --r->LockCount;
  return 0;
}

int FillSurfaceData(int handle, int, int, int, int) {
  SurfaceDataRecord* r = GetSurfaceDataRecord(handle);
  if (!r || !GetDirectDrawObject() || !r->Surface) return -1;
  return -1;
}

int DeleteSurfaceData(int handle) {
  ReleaseSurfaceDataSurfaces(handle);
  SurfaceDataRecord* r = GetSurfaceDataRecord(handle);
  if (!r) return -1;
  GraphicsManagerBlock& m = GraphicsManager;
  if (r->LostFlag) *r->LostFlag = 1;
  m.SurfaceData.Remove(m.SurfaceData.SlotOf(handle));
  TrackedFree(r);
  return 0;
}

int DeleteAllSurfaceData() {
  GraphicsManagerBlock& m = GraphicsManager;
  for (int slot = m.SurfaceData.EndMark - 1; slot >= 0; --slot)
    if (m.SurfaceData.Records[slot]) DeleteSurfaceData(m.SurfaceData.HandleAt(slot));
  return 0;
}

int ColorFormatFromPixelFormat(const PixelFormatRecord* pf, ColorFormat* out) {
  if (!pf || !out) return -1;
  std::memset(out, 0, sizeof *out);
  out->BitDepth = uint16_t(pf->BitCount);
  out->BytesPerPixel = uint16_t(pf->BitCount / 8);
  out->RedMask = pf->RedMask;
  out->GreenMask = pf->GreenMask;
  out->BlueMask = pf->BlueMask;
  out->AlphaMask = pf->AlphaMask;
  const uint32_t all = pf->BitCount >= 32 ? 0xFFFFFFFFu : (1u << pf->BitCount) - 1u;
  out->UnusedMask = all & ~(pf->RedMask | pf->GreenMask | pf->BlueMask | pf->AlphaMask);
  auto measure = [](uint32_t mask, uint8_t* shift, uint8_t* width) {
    *shift = 0;
    *width = 0;
    if (!mask) return;
    int s = 0;
    while (!(mask & (1u << s))) ++s;
    int w = 0;
    while (s + w < 32 && (mask & (1u << (s + w)))) ++w;
    *shift = uint8_t(s);
    *width = uint8_t(w);
  };
  measure(out->RedMask, &out->RedShift, &out->RedWidth);
  measure(out->GreenMask, &out->GreenShift, &out->GreenWidth);
  measure(out->BlueMask, &out->BlueShift, &out->BlueWidth);
  measure(out->AlphaMask, &out->AlphaShift, &out->AlphaWidth);
  measure(out->UnusedMask, &out->UnusedShift, &out->UnusedWidth);
  return 0;
}

int MakeRgbPixelFormatImpl(PixelFormatRecord* format, int bitCount, uint32_t redMask, uint32_t greenMask,
                           uint32_t blueMask, uint32_t alphaMask) {
  if (!format) return -1;
  std::memset(format, 0, sizeof *format);
  format->Size = 32;
  format->Flags = 0x40;
  format->BitCount = uint32_t(bitCount);
  format->RedMask = redMask;
  format->GreenMask = greenMask;
  format->BlueMask = blueMask;
  format->AlphaMask = alphaMask;
  return 0;
}

int SetUnusedBitsInRect(const Rect* rect, uint8_t* first, int pitch, const ColorFormat* f, uint32_t value) {
  if (!rect || !first || !f || f->UnusedMask == 0) return 0;
  Rect r = *rect;
  NormalizeRect(&r);
  const uint32_t bits = f->UnusedMask == 0xFF000000u ? (value & 0xFF) << 24 : value << f->UnusedShift;
  for (int y = r.Top; y < r.Bottom; ++y) {
    uint8_t* row = first + intptr_t(y) * pitch;
    for (int x = r.Left; x < r.Right; ++x) {
      if (f->BytesPerPixel == 2) {
        auto* p = reinterpret_cast<uint16_t*>(row) + x;
        *p = uint16_t(*p | bits);
      } else if (f->BytesPerPixel == 4) {
        reinterpret_cast<uint32_t*>(row)[x] |= bits;
      }
    }
  }
  return 0;
}
