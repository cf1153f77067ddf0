// Every test process runs headless, with SDL's dummy video and audio drivers
// unless the environment already names others, and with a runtime directory
// of its own, so that windows of tests running side by side (or of another
// run on the same machine) never take each other for a second copy.
#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {
char g_runtimeDir[] = "/tmp/vxtest-XXXXXX";

// Removes the directory and the window lock files left in it.
void RemoveRuntimeDir() {
  if (DIR* dir = opendir(g_runtimeDir)) {
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] != '.') unlink((std::string(g_runtimeDir) + "/" + entry->d_name).c_str());
    }
    closedir(dir);
  }
  rmdir(g_runtimeDir);
}

const int g_headless = [] {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  if (mkdtemp(g_runtimeDir) != nullptr) {
    setenv("XDG_RUNTIME_DIR", g_runtimeDir, 1);
    std::atexit(RemoveRuntimeDir);
  }
  return 0;
}();
}  // namespace
