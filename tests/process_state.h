// Puts the process back as a new one has it, piece by piece, so that every
// test leaves the process as it found it and a test binary passes run whole,
// in any order, as well as one test per process.
//
// Each reset first ends what still runs through the library's own ends and
// checks that they emptied their tables (a record left behind fails the test
// that was running), then puts back what outlives an end by design: the
// settings made before InitLibrary, the display and drawing settings, the
// options of sound and the network, and the test seams (fake back ends,
// hooks, clocks).
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

namespace teststate {

// Ends the library when it runs, with its own start-up list and services.
void EndLibraryIfStarted();
// The library's start-up list, its service tables and the upward hooks.
void ResetHooks();
// SystemState whole, its kept settings too; only the allocator's list and the
// library lock stay. The log goes back to its defaults and sends nothing on;
// the random numbers are unseeded; the processor and system-version seams
// answer for the real machine again.
void ResetSystemState();
// The window layer back on its default back end with no thread message or
// quit left queued, the scripted fake back end and its clock as new, no
// scripted keys. Every window and class must be gone.
void ResetWindowSystem();
// The graphics device ended, every graph, surface and light freed, and the
// display settings (size, depth, software request), the drawing state, the
// software renderer's drawing state and the draw sides as new.
void ResetGraphics();
void ResetInput();
void ResetFonts();
// Sound ended on the real device back end, its records freed, load mode,
// music and volume as new.
void ResetSound();
void ResetMovies();
// Transfers deleted, the network ended, its options as new.
void ResetNetwork();
// Open files and archives closed, the archive-aware operations in force.
void ResetFiles();

// Every piece above, the top layers first.
void ResetProcessState();

// The working directory is changed for as long as this lives. (The resets
// leave it alone: scratch directories of fixtures set it before SetUp.)
class InDirectory {
 public:
  explicit InDirectory(const std::filesystem::path& path) : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(path);
  }
  ~InDirectory() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
  }
  InDirectory(const InDirectory&) = delete;
  InDirectory& operator=(const InDirectory&) = delete;

 private:
  std::filesystem::path previous_;
};

// A test that starts from, and leaves, the state of a new process, in the
// working directory it was given.
class FreshProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = std::filesystem::current_path();
    ResetProcessState();
  }
  void TearDown() override {
    ResetProcessState();
    std::error_code ec;
    std::filesystem::current_path(directory_, ec);
  }

 private:
  std::filesystem::path directory_;
};

}  // namespace teststate
