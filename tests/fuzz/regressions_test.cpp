// Every input the fuzz targets ever failed on is kept under
// fuzz/regressions/<target>/ and replayed here through the same entry, in the
// normal test run and under the sanitizers: it must neither crash nor leave a
// tracked block behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "../../fuzz/fuzz_entries.h"
#include "core/alloc.h"
#include "process_state.h"

namespace fs = std::filesystem;

namespace {
// What the targets need, started for each test and ended after it.
class FuzzRegressions : public teststate::FreshProcessTest {
 protected:
  void SetUp() override {
    FreshProcessTest::SetUp();
    FuzzStartLibrary();
  }
  void TearDown() override {
    FuzzEndLibrary();
    FreshProcessTest::TearDown();
  }
};
}  // namespace

TEST_F(FuzzRegressions, EveryKeptInputPassesItsTarget) {
  const fs::path root = fs::path(VX_SOURCE_DIR) / "fuzz" / "regressions";
  ASSERT_TRUE(fs::is_directory(root));
  int replayed = 0;
  for (const fs::directory_entry& dir : fs::directory_iterator(root)) {
    if (!dir.is_directory()) continue;
    const FuzzTarget* target = FindFuzzTarget(dir.path().filename().string().c_str());
    ASSERT_NE(target, nullptr) << "no fuzz target named " << dir.path().filename();
    for (const fs::directory_entry& file : fs::directory_iterator(dir.path())) {
      std::ifstream in(file.path(), std::ios::binary);
      const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      EXPECT_TRUE(FuzzRunChecked(*target, data.data(), data.size())) << file.path();
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 0);
}

TEST_F(FuzzRegressions, EveryTargetTakesEmptyAndTinyInputs) {
  for (const FuzzTarget* t = kFuzzTargets; t->Name; ++t) {
    for (size_t size = 0; size <= 4; ++size) {
      const std::vector<uint8_t> data(size, 0xFF);
      EXPECT_TRUE(FuzzRunChecked(*t, data.data(), data.size())) << t->Name << " size " << size;
    }
  }
}

// An input that leaves a tracked block behind is reported; one that frees
// what it takes is not.
TEST_F(FuzzRegressions, ABlockLeftBehindIsCaught) {
  static void* kept = nullptr;
  const FuzzTarget leaking{"leaking", [](const uint8_t*, size_t) { kept = TrackedAlloc(8, "", 0); }};
  const FuzzTarget tidy{"tidy", [](const uint8_t*, size_t) { TrackedFree(TrackedAlloc(8, "", 0)); }};
  const uint8_t byte = 0;
  EXPECT_TRUE(FuzzRunChecked(tidy, &byte, 1));
  EXPECT_FALSE(FuzzRunChecked(leaking, &byte, 1));
  TrackedFree(kept);
}
