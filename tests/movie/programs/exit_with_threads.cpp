// A program that returns from main while the library's own threads run, as the
// game does when its window is closed: Theora movies decoding frames (one read
// from an archive has the archive's read-ahead thread too), opened in the
// order given, then a file read ahead in the background with an asynchronous
// read under way. Nothing is closed or ended. A handler registered first, so run after every handler the
// library registers, checks that the threads those opens started have ended
// before the static destructors run; it ends the process with 9 when one still
// runs.
// Usage: testprog_exit_with_threads FILE MOVIE...
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "file/fileaccess.h"
#include "file/openfile.h"
#include "movie/movie.h"
#include "movie/theora.h"
#include "platform/thread.h"

namespace {

std::set<std::string> Threads() {
  std::set<std::string> ids;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error))
    ids.insert(entry.path().filename().string());
  return ids;
}

// The threads the opens started; filled before main returns.
std::set<std::string>* g_started = nullptr;
// Where the asynchronous read lands, written until its thread has stopped.
char g_readBuffer[1 << 22];

void CheckThreadsEnded() {
  if (g_started == nullptr) return;
  // A joined thread may linger in the list for a moment after its join.
  for (int wait = 0; wait < 200; ++wait) {
    bool running = false;
    const std::set<std::string> now = Threads();
    for (const std::string& id : *g_started) running = running || now.count(id) != 0;
    if (!running) return;
    PlatThreadSleep(1);
  }
  std::fprintf(stderr, "a library thread still runs at exit\n");
  std::fflush(stderr);
  std::_Exit(9);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  std::atexit(CheckThreadsEnded);
  InitFileAccess();
  InitYuvToRgbTables();
  // A sanitizer may start a helper thread of its own with the program's first
  // thread: one started and ended here has it there before the count.
  PlatJoinThread(PlatCreateThread([](void*) -> uint32_t { return 0; }, nullptr));
  const std::set<std::string> before = Threads();

  std::vector<TheoraPlayer*> players;
  for (int i = 2; i < argc; ++i) {
    MovieRecord* record = GetMovieRecord(OpenMovie(argv[i], nullptr, nullptr, 0));
    if (record == nullptr || record->Theora == nullptr) return 4;
    players.push_back(record->Theora);
  }
  const FileHandle file = FileOpenDispatch(argv[1], 1, 1, 1);  // read-ahead cache, asynchronous
  if (file == 0) return 3;

  // Made on the heap: an object made here would be destroyed before the check.
  auto* started = new std::set<std::string>();
  for (const std::string& id : Threads())
    if (before.count(id) == 0) started->insert(id);
  g_started = started;
  if (started->size() < size_t(argc) - 1) return 6;

  // Every thread busy as main returns: a large read under way, and frames
  // ahead of each decoder to fill the stock with.
  if (FileReadDispatch(g_readBuffer, 1, sizeof g_readBuffer, file) == 0) return 7;
  for (TheoraPlayer* player : players) AdvanceTheoraMovie(player, 7);
  return 0;
}
