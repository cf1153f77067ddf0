#include "platform/present.h"

#include <SDL2/SDL.h>

#include <cstring>
#include <vector>

namespace {

struct Presenter {
  SDL_Window* Window = nullptr;
  SDL_Renderer* Renderer = nullptr;
  SDL_Texture* Texture = nullptr;
  int TexWidth = 0, TexHeight = 0, TexBits = 0;
  bool RendererFailed = false;   // fall back to the window layer's path
  int VSync = 1;
  int Frames = 0;
  bool Capture = false;
  std::vector<uint32_t> Captured;
  int CapturedWidth = 0, CapturedHeight = 0;
  std::vector<uint32_t> Scratch;
};

Presenter g;

void DestroyRenderer() {
  if (g.Texture) SDL_DestroyTexture(g.Texture);
  if (g.Renderer) SDL_DestroyRenderer(g.Renderer);
  g.Texture = nullptr;
  g.Renderer = nullptr;
  g.Window = nullptr;
  g.TexWidth = g.TexHeight = g.TexBits = 0;
}

// One row of the image as 0x00RRGGBB.
void RowToXrgb(const uint8_t* row, int width, int bits, uint32_t* out) {
  if (bits == 16) {
    const auto* p = reinterpret_cast<const uint16_t*>(row);
    for (int x = 0; x < width; ++x) {
      const uint32_t v = p[x];
      const uint32_t r = (v >> 11) & 31, gr = (v >> 5) & 63, b = v & 31;
      out[x] = ((r << 3 | r >> 2) << 16) | ((gr << 2 | gr >> 4) << 8) | (b << 3 | b >> 2);
    }
  } else {
    const auto* p = reinterpret_cast<const uint32_t*>(row);
    for (int x = 0; x < width; ++x) out[x] = p[x] & 0xFFFFFF;
  }
}

void ToXrgb(const void* pixels, int width, int height, int pitch, int bits, std::vector<uint32_t>* out) {
  out->resize(size_t(width) * size_t(height));
  for (int y = 0; y < height; ++y)
    RowToXrgb(static_cast<const uint8_t*>(pixels) + size_t(y) * size_t(pitch), width, bits,
              out->data() + size_t(y) * size_t(width));
}

bool EnsureRenderer(SDL_Window* window, int width, int height, int bits) {
  if (g.Window != window) {
    DestroyRenderer();
    g.RendererFailed = false;
  }
  if (g.RendererFailed) return false;
  if (!g.Renderer) {
    g.Renderer = SDL_CreateRenderer(window, -1, 0);
    if (!g.Renderer) {
      g.RendererFailed = true;
      return false;
    }
    g.Window = window;
    SDL_RenderSetVSync(g.Renderer, g.VSync);
  }
  if (!g.Texture || g.TexWidth != width || g.TexHeight != height || g.TexBits != bits) {
    if (g.Texture) SDL_DestroyTexture(g.Texture);
    g.Texture = SDL_CreateTexture(g.Renderer, bits == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888,
                                  SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!g.Texture) return false;
    g.TexWidth = width;
    g.TexHeight = height;
    g.TexBits = bits;
  }
  return true;
}

}  // namespace

int PlatPresentScreen(PlatWindow window, const void* pixels, int width, int height, int pitch, int bits,
                      const PlatRect* changed) {
  if (!window || !pixels || width <= 0 || height <= 0 || (bits != 16 && bits != 32)) return -1;
  if (int64_t(pitch) < int64_t(width) * (bits / 8)) return -1;
  ++g.Frames;
  if (g.Capture) {
    ToXrgb(pixels, width, height, pitch, bits, &g.Captured);
    g.CapturedWidth = width;
    g.CapturedHeight = height;
  }

  auto* sdlWindow = static_cast<SDL_Window*>(PlatGetSdlWindow(window));
  if (sdlWindow && EnsureRenderer(sdlWindow, width, height, bits)) {
    SDL_Rect area{0, 0, width, height};
    if (changed) {
      const int l = changed->Left < 0 ? 0 : changed->Left, t = changed->Top < 0 ? 0 : changed->Top;
      const int r = changed->Right > width ? width : changed->Right;
      const int b = changed->Bottom > height ? height : changed->Bottom;
      area = SDL_Rect{l, t, r - l, b - t};
    }
    if (area.w > 0 && area.h > 0) {
      const auto* first = static_cast<const uint8_t*>(pixels) + size_t(area.y) * size_t(pitch) +
                          size_t(area.x) * size_t(bits / 8);
      if (SDL_UpdateTexture(g.Texture, &area, first, pitch) != 0) return -1;
    }
    SDL_RenderClear(g.Renderer);
    if (SDL_RenderCopy(g.Renderer, g.Texture, nullptr, nullptr) != 0) return -1;
    SDL_RenderPresent(g.Renderer);
    return 0;
  }
  // Another back end, or no renderer: hand the frame over as 32-bit pixels.
  if (bits == 32) return PlatPresentPixels(window, static_cast<const uint32_t*>(pixels), width, height, pitch, nullptr);
  ToXrgb(pixels, width, height, pitch, bits, &g.Scratch);
  return PlatPresentPixels(window, g.Scratch.data(), width, height, width * 4, nullptr);
}

int PlatPresentAgain(PlatWindow window) {
  auto* sdlWindow = static_cast<SDL_Window*>(PlatGetSdlWindow(window));
  if (!sdlWindow || sdlWindow != g.Window || !g.Renderer || !g.Texture) return -1;
  SDL_RenderClear(g.Renderer);
  if (SDL_RenderCopy(g.Renderer, g.Texture, nullptr, nullptr) != 0) return -1;
  SDL_RenderPresent(g.Renderer);
  return 0;
}

void PlatSetPresentVSync(int on) {
  const int v = on ? 1 : 0;
  if (v == g.VSync) return;  // the renderer already has it (set at creation)
  g.VSync = v;
  if (g.Renderer) SDL_RenderSetVSync(g.Renderer, g.VSync);
}

int PlatSetPresentFullscreen(PlatWindow window, int on) {
  auto* sdlWindow = static_cast<SDL_Window*>(PlatGetSdlWindow(window));
  if (!sdlWindow) return window ? 0 : -1;
  return SDL_SetWindowFullscreen(sdlWindow, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0 ? 0 : -1;
}

void PlatEndPresentation() {
  DestroyRenderer();
  g.RendererFailed = false;
  g.Scratch.clear();
  g.Scratch.shrink_to_fit();
}

void PlatPresentCaptureEnable(int on) {
  g.Capture = on != 0;
  if (!g.Capture) {
    g.Captured.clear();
    g.CapturedWidth = g.CapturedHeight = 0;
  }
}

const uint32_t* PlatPresentCapturedFrame(int* width, int* height) {
  if (width) *width = g.CapturedWidth;
  if (height) *height = g.CapturedHeight;
  return g.Captured.empty() ? nullptr : g.Captured.data();
}

int PlatPresentFrameCount() { return g.Frames; }
