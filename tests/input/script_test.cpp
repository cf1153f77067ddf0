// The key script reader under corrupted input: every script is taken whole
// or refused whole, and none crashes it.
#include <random>
#include <string>

#include "input_fixture.h"

namespace {

using namespace inputtest;

constexpr const char* kValid =
    "# a round\n100 tap Z\n200 down Down\n300 up Down\n400 tap Left_Shift\n500 down 57\n"
    "4000000 tap Escape\n";

TEST_F(InputTest, CorruptedScriptsAreTakenOrRefusedWhole) {
  std::mt19937 rng(20261207);
  int accepted = 0, refused = 0;
  for (int i = 0; i < 3000; ++i) {
    std::string s = kValid;
    switch (i % 4) {
      case 0: {  // bit flips
        for (int n = 1 + static_cast<int>(rng() % 3); n > 0; --n)
          s[rng() % s.size()] ^= static_cast<char>(1u << (rng() % 8));
        break;
      }
      case 1:  // truncation
        s.resize(rng() % s.size());
        break;
      case 2: {  // extreme times
        const char* extremes[] = {"4294967295", "99999999999999999999", "86400001", "0", "-0", "+5"};
        s = std::string(extremes[rng() % 6]) + " down Z\n" + s;
        break;
      }
      default: {  // long words and junk bytes
        s.insert(rng() % s.size(), std::string(rng() % 200, static_cast<char>(1 + rng() % 255)));
        break;
      }
    }
    if (PlatInputLoadScript(s.c_str()) == 0) {
      ++accepted;
      // Replaying it reads only real key codes.
      g_now += 5000000;
      char states[256];
      ASSERT_EQ(GetAllKeyStatesImpl(states), 0);
    } else {
      ++refused;
    }
  }
  EXPECT_GT(accepted, 100);
  EXPECT_GT(refused, 100);
}

TEST_F(InputTest, ScriptKeysByNameAndCode) {
  ASSERT_EQ(PlatInputLoadScript("0 down Left_Shift\n0 down space\n0 down 208\n0 down ESC\n"), 0);
  EXPECT_EQ(IsKeyDownImpl(0x2A), 1);
  EXPECT_EQ(IsKeyDownImpl(57), 1);
  EXPECT_EQ(IsKeyDownImpl(208), 1);
  EXPECT_EQ(IsKeyDownImpl(1), 1);
}

}  // namespace
