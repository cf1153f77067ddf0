#include "platform/file.h"

#include "platform/codepage.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
bool IsSjisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Splits a CP932 path at '\' and '/', never inside a two-byte character.
std::vector<std::string> SplitComponents(const char* path, bool* absolute) {
  std::vector<std::string> parts;
  std::string current;
  *absolute = path[0] == '\\' || path[0] == '/';
  for (size_t i = 0; path[i] != '\0'; ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsSjisLead(c) && path[i + 1] != '\0') {
      current.push_back(path[i]);
      current.push_back(path[i + 1]);
      ++i;
      continue;
    }
    if (c == '\\' || c == '/') {
      if (!current.empty()) parts.push_back(current);
      current.clear();
      continue;
    }
    current.push_back(path[i]);
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// The real spelling of `name` inside `dir`, compared without regard to the
// case of ASCII letters; empty when there is no such entry.
std::string FindCaseInsensitive(const std::string& dir, const std::string& name) {
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return std::string();
  std::string found;
  while (dirent* entry = readdir(d)) {
    if (strcasecmp(entry->d_name, name.c_str()) == 0) {
      found = entry->d_name;
      break;
    }
  }
  closedir(d);
  return found;
}

// The file of the full-disk seam and the bytes it still takes.
std::atomic<PlatFile> g_limitedFile{PLAT_INVALID_FILE};
std::atomic<int64_t> g_limitedBytesLeft{0};

int OpenFlags(PlatOpenMode mode) {
  switch (mode) {
    case PLAT_OPEN_READ:
      return O_RDONLY;
    case PLAT_OPEN_WRITE_EXISTING:
      return O_RDWR;
    case PLAT_OPEN_ALWAYS:
      return O_RDWR | O_CREAT;
    case PLAT_CREATE_NEW:
      return O_RDWR | O_CREAT | O_EXCL;
    case PLAT_CREATE_ALWAYS:
      return O_RDWR | O_CREAT | O_TRUNC;
  }
  return O_RDONLY;
}
}  // namespace

std::string PlatMapPath(const char* systemPath) {
  if (!systemPath) return std::string();
  bool absolute = false;
  std::vector<std::string> parts = SplitComponents(systemPath, &absolute);
  std::string result = absolute ? "/" : "";
  bool resolving = true;
  for (const std::string& raw : parts) {
    std::string name;
    if (!PlatCp932ToUtf8(raw.data(), raw.size(), &name)) name = raw;
    std::string candidate = result.empty() || result.back() == '/' ? result + name : result + "/" + name;
    if (resolving && name != "." && name != ".." && !Exists(candidate)) {
      std::string real = FindCaseInsensitive(result, name);
      if (real.empty()) {
        resolving = false;
      } else {
        candidate = result.empty() || result.back() == '/' ? result + real : result + "/" + real;
      }
    }
    result = candidate;
  }
  if (result.empty()) result = ".";
  return result;
}

PlatFile PlatOpenFile(const char* systemPath, PlatOpenMode mode) {
  if (!systemPath || !*systemPath) return PLAT_INVALID_FILE;
  std::string path = PlatMapPath(systemPath);
  int fd = open(path.c_str(), OpenFlags(mode) | O_CLOEXEC, 0644);
  if (fd < 0) return PLAT_INVALID_FILE;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    return PLAT_INVALID_FILE;
  }
  return PlatFile(fd);
}

void PlatCloseFile(PlatFile file) {
  if (file < 0) return;
  PlatFile limited = file;
  g_limitedFile.compare_exchange_strong(limited, PLAT_INVALID_FILE);
  close(int(file));
}

int64_t PlatReadFile(PlatFile file, void* buffer, size_t size) {
  if (file < 0) return -1;
  size_t done = 0;
  while (done < size) {
    ssize_t n = read(int(file), static_cast<char*>(buffer) + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? int64_t(done) : -1;
    }
    if (n == 0) break;
    done += size_t(n);
  }
  return int64_t(done);
}

int64_t PlatWriteFile(PlatFile file, const void* buffer, size_t size) {
  if (file < 0) return -1;
  const bool limited = file == g_limitedFile.load();
  if (limited) {
    int64_t left = g_limitedBytesLeft.load();
    if (left <= 0 && size > 0) {
      errno = ENOSPC;
      return -1;
    }
    if (int64_t(size) > left) size = size_t(left);
    g_limitedBytesLeft.fetch_sub(int64_t(size));
  }
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(int(file), static_cast<const char*>(buffer) + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? int64_t(done) : -1;
    }
    done += size_t(n);
  }
  return int64_t(done);
}

int64_t PlatSeekFile(PlatFile file, int64_t offset, PlatSeekOrigin origin) {
  if (file < 0) return -1;
  int whence = origin == PLAT_SEEK_CUR ? SEEK_CUR : origin == PLAT_SEEK_END ? SEEK_END : SEEK_SET;
  off_t pos = lseek(int(file), off_t(offset), whence);
  return pos < 0 ? -1 : int64_t(pos);
}

int64_t PlatFileSize(PlatFile file) {
  if (file < 0) return -1;
  struct stat st;
  if (fstat(int(file), &st) != 0) return -1;
  return int64_t(st.st_size);
}

int PlatDeleteFile(const char* systemPath) {
  if (!systemPath || !*systemPath) return -1;
  return unlink(PlatMapPath(systemPath).c_str()) == 0 ? 0 : -1;
}

int PlatIsFile(const char* systemPath) {
  if (!systemPath || !*systemPath) return 0;
  struct stat st;
  return stat(PlatMapPath(systemPath).c_str(), &st) == 0 && S_ISREG(st.st_mode) ? 1 : 0;
}

int PlatIsDirectory(const char* systemPath) {
  if (!systemPath || !*systemPath) return 0;
  struct stat st;
  return stat(PlatMapPath(systemPath).c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 1 : 0;
}

int PlatCreateDirectory(const char* systemPath) {
  if (!systemPath || !*systemPath) return -1;
  return mkdir(PlatMapPath(systemPath).c_str(), 0755) == 0 ? 0 : -1;
}

int PlatRemoveDirectory(const char* systemPath) {
  if (!systemPath || !*systemPath) return -1;
  return rmdir(PlatMapPath(systemPath).c_str()) == 0 ? 0 : -1;
}

std::string PlatGetCurrentDirectory() {
  std::vector<char> buffer(PATH_MAX + 1);
  if (!getcwd(buffer.data(), buffer.size())) return std::string("/");
  return std::string(buffer.data());
}

int PlatSetCurrentDirectory(const char* systemPath) {
  if (!systemPath || !*systemPath) return -1;
  return chdir(PlatMapPath(systemPath).c_str()) == 0 ? 0 : -1;
}

std::string PlatGetTempDirectory() {
  const char* dir = getenv("TMPDIR");
  std::string result = dir && *dir ? dir : "/tmp";
  if (result.back() != '/') result.push_back('/');
  return result;
}

std::string PlatCreateTempFile(const char* directory, const char* prefix) {
  std::string dir = directory && *directory ? PlatMapPath(directory) : PlatGetTempDirectory();
  if (dir.back() != '/') dir.push_back('/');
  std::string pattern = dir + (prefix ? prefix : "") + "XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) return std::string();
  close(fd);
  return std::string(name.data());
}

struct PlatDirRec {
  DIR* Dir;
  std::string Path;
};

PlatDir PlatOpenDir(const char* systemPath) {
  std::string path = systemPath && *systemPath ? PlatMapPath(systemPath) : std::string(".");
  DIR* d = opendir(path.c_str());
  if (!d) return nullptr;
  return new PlatDirRec{d, path};
}

int PlatReadDir(PlatDir dir, PlatDirEntry* out) {
  if (!dir) return 0;
  while (dirent* entry = readdir(dir->Dir)) {
    if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
    out->Name = entry->d_name;
    struct stat st;
    std::string full = dir->Path + "/" + entry->d_name;
    if (stat(full.c_str(), &st) == 0) {
      out->IsDirectory = S_ISDIR(st.st_mode) ? 1 : 0;
      out->Size = S_ISREG(st.st_mode) ? uint64_t(st.st_size) : 0;
    } else {
      out->IsDirectory = 0;
      out->Size = 0;
    }
    return 1;
  }
  return 0;
}

void PlatCloseDir(PlatDir dir) {
  if (!dir) return;
  closedir(dir->Dir);
  delete dir;
}

void PlatFileFailWritesAfter(PlatFile file, int64_t allowedBytes) {
  g_limitedBytesLeft.store(allowedBytes < 0 ? 0 : allowedBytes);
  g_limitedFile.store(file < 0 ? PLAT_INVALID_FILE : file);
}
