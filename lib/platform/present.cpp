// Presentation of software-drawn frames through the window back end.
#include "platform/present.h"

#include <cstddef>

#include "platform/window_backend.h"

namespace {
int g_frames = 0;
}  // namespace

int PlatPresentScreen(PlatWindow window, const void* pixels, int width, int height, int pitch, int bits,
                      const PlatRect* changed) {
  if (!window || !pixels || width <= 0 || height <= 0 || (bits != 16 && bits != 32)) return -1;
  if (int64_t(pitch) < int64_t(width) * (bits / 8)) return -1;
  ++g_frames;
  void* native = PlatNativeOf(window);
  if (!native) return -1;
  PlatRect area{0, 0, width, height};
  if (changed) {
    area = PlatRect{changed->Left < 0 ? 0 : changed->Left, changed->Top < 0 ? 0 : changed->Top,
                    changed->Right > width ? width : changed->Right,
                    changed->Bottom > height ? height : changed->Bottom};
    if (area.Right < area.Left) area.Right = area.Left;
    if (area.Bottom < area.Top) area.Bottom = area.Top;
  }
  return PlatActiveWindowBackend()->PresentFrame(native, pixels, width, height, pitch, bits,
                                                 changed ? &area : nullptr);
}

int PlatPresentAgain(PlatWindow window) {
  void* native = PlatNativeOf(window);
  return native ? PlatActiveWindowBackend()->PresentAgain(native) : -1;
}

void PlatSetPresentVSync(int on) { PlatActiveWindowBackend()->SetPresentVSync(on ? 1 : 0); }

int PlatSetPresentFullscreen(PlatWindow window, int on) {
  void* native = PlatNativeOf(window);
  if (!native) return window ? 0 : -1;
  return PlatActiveWindowBackend()->SetFullscreen(native, on ? 1 : 0);
}

void PlatEndPresentation() { PlatActiveWindowBackend()->EndPresentation(); }

int PlatPresentFrameCount() { return g_frames; }

void PlatFrameToXrgb(const void* pixels, int width, int height, int pitch, int bits,
                     std::vector<uint32_t>* out) {
  out->resize(size_t(width) * size_t(height));
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = static_cast<const uint8_t*>(pixels) + size_t(y) * size_t(pitch);
    uint32_t* o = out->data() + size_t(y) * size_t(width);
    if (bits == 16) {
      const auto* p = reinterpret_cast<const uint16_t*>(row);
      for (int x = 0; x < width; ++x) {
        const uint32_t v = p[x];
        const uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
        o[x] = ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
      }
    } else {
      const auto* p = reinterpret_cast<const uint32_t*>(row);
      for (int x = 0; x < width; ++x) o[x] = p[x] & 0xFFFFFF;
    }
  }
}
