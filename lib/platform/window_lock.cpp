#include "platform/window_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

namespace {

std::mutex g_mutex;
std::string g_directory;
std::map<std::string, int> g_held;  // class name -> locked descriptor

std::string LockDirectory() {
  if (!g_directory.empty()) return g_directory;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0]) return runtime;
  const char* tmp = std::getenv("TMPDIR");
  return tmp && tmp[0] ? tmp : "/tmp";
}

// The class name is code-page text of any bytes: the file name spells it in hex.
std::string LockPath(const char* className) {
  std::string path = LockDirectory() + "/vexlo-class-";
  char hex[3];
  for (const char* p = className; *p && path.size() < 480; ++p) {
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(*p));
    path += hex;
  }
  return path + ".lock";
}

int OpenLocked(const char* className) {
  int fd = open(LockPath(className).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return -2;  // no lock can be had: nothing to compare with
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

int PlatClassLockHeldElsewhere(const char* className) {
  if (!className) return 0;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_held.count(className)) return 0;
  int fd = OpenLocked(className);
  if (fd == -1) return 1;
  if (fd >= 0) {
    flock(fd, LOCK_UN);
    close(fd);
  }
  return 0;
}

int PlatClassLockHold(const char* className) {
  if (!className) return -1;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_held.count(className)) return -1;
  int fd = OpenLocked(className);
  if (fd == -1) return -1;
  g_held[className] = fd;  // -2: the directory is unusable; run unchecked
  return 0;
}

void PlatClassLockRelease(const char* className) {
  if (!className) return;
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_held.find(className);
  if (it == g_held.end()) return;
  if (it->second >= 0) close(it->second);  // closing drops the lock
  g_held.erase(it);
}

void PlatSetClassLockDirectory(const char* directory) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_directory = directory ? directory : "";
}
