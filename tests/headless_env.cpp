// Every test process runs headless: SDL's dummy video and audio drivers,
// unless the environment already names others.
#include <cstdlib>

namespace {
const int g_headless = [] {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  return 0;
}();
}  // namespace
