// Frames in the SDL2 window back end: the screen image is uploaded into a
// streaming texture of the same format and shown scaled to the client area.
// Where no renderer can be made, the frame is blitted onto the window
// surface instead.
#include "platform/present_sdl.h"

#include <SDL2/SDL.h>

#include <vector>

#include "platform/window_backend.h"

namespace {

struct Presenter {
  SDL_Window* Window = nullptr;
  SDL_Renderer* Renderer = nullptr;
  SDL_Texture* Texture = nullptr;
  int TexWidth = 0, TexHeight = 0, TexBits = 0;
  bool RendererFailed = false;  // the window surface path
  int VSync = 1;
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

// The whole frame scaled onto the window surface.
int BlitToSurface(SDL_Window* window, const void* pixels, int width, int height, int pitch, int bits) {
  if (bits == 16) {
    PlatFrameToXrgb(pixels, width, height, pitch, bits, &g.Scratch);
    pixels = g.Scratch.data();
    pitch = width * 4;
  }
  SDL_Surface* target = SDL_GetWindowSurface(window);
  if (!target) return -1;
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<void*>(pixels), width, height, 32,
                                                           pitch, SDL_PIXELFORMAT_RGB888);
  if (!source) return -1;
  SDL_Rect d{0, 0, target->w, target->h};
  int result = SDL_BlitScaled(source, nullptr, target, &d);
  SDL_FreeSurface(source);
  if (result == 0) result = SDL_UpdateWindowSurface(window);
  return result == 0 ? 0 : -1;
}

int ShowTexture() {
  SDL_RenderClear(g.Renderer);
  if (SDL_RenderCopy(g.Renderer, g.Texture, nullptr, nullptr) != 0) return -1;
  SDL_RenderPresent(g.Renderer);
  return 0;
}

}  // namespace

int PlatSdlPresentFrame(void* native, const void* pixels, int width, int height, int pitch, int bits,
                        const PlatRect* changed) {
  auto* window = static_cast<SDL_Window*>(native);
  if (!EnsureRenderer(window, width, height, bits))
    return BlitToSurface(window, pixels, width, height, pitch, bits);
  SDL_Rect area{0, 0, width, height};
  if (changed)
    area =
        SDL_Rect{changed->Left, changed->Top, changed->Right - changed->Left, changed->Bottom - changed->Top};
  if (area.w > 0 && area.h > 0) {
    const auto* first = static_cast<const uint8_t*>(pixels) + size_t(area.y) * size_t(pitch) +
                        size_t(area.x) * size_t(bits / 8);
    if (SDL_UpdateTexture(g.Texture, &area, first, pitch) != 0) return -1;
  }
  return ShowTexture();
}

int PlatSdlPresentAgain(void* native) {
  if (static_cast<SDL_Window*>(native) != g.Window || !g.Renderer || !g.Texture) return -1;
  return ShowTexture();
}

void PlatSdlSetPresentVSync(int on) {
  if (on == g.VSync) return;  // the renderer already has it (set at creation)
  g.VSync = on;
  if (g.Renderer) SDL_RenderSetVSync(g.Renderer, g.VSync);
}

int PlatSdlSetFullscreen(void* native, int on) {
  return SDL_SetWindowFullscreen(static_cast<SDL_Window*>(native), on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) ==
                 0
             ? 0
             : -1;
}

void PlatSdlEndPresentation() {
  DestroyRenderer();
  g.RendererFailed = false;
  g.Scratch.clear();
  g.Scratch.shrink_to_fit();
}
