// Damaged answers: random bytes, cut lines and reads split at random places
// must end every transfer (or leave it waiting until it is deleted) without a
// write out of bounds, a leak or a hang.
#include "http_test_util.h"

using namespace nettest;

namespace {

// One damaged answer: some bytes replaced, some inserted (line ends, zero
// bytes, colons, blanks, digits, lead bytes), and sometimes cut short.
std::string Damage(std::string text, std::mt19937& rng) {
  static const char kInserts[] = {'\n', '\r', '\0', ':', ' ', '-', '9', '\x81', '\xE0'};
  int edits = int(rng() % 4);
  for (int i = 0; i < edits && !text.empty(); ++i) {
    size_t at = rng() % text.size();
    switch (rng() % 3) {
      case 0:
        text[at] = char(rng());
        break;
      case 1:
        text.insert(text.begin() + long(at), kInserts[rng() % sizeof kInserts]);
        break;
      default:
        text.insert(at, std::string(size_t(rng() % 300), char('a' + rng() % 26)));
        break;
    }
  }
  if (rng() % 4 == 0) text.resize(rng() % (text.size() + 1));
  return text;
}

// The answer as the server sends it: in pieces, some after a short pause,
// then a close or a reset.
std::vector<ServerAction> Script(const std::string& answer, std::mt19937& rng) {
  std::vector<ServerAction> script;
  for (size_t at = 0; at < answer.size();) {
    size_t piece = 1 + rng() % 40;
    script.push_back(Say(answer.substr(at, piece)));
    if (rng() % 3 == 0) script.push_back(Pause(int(rng() % 3)));
    at += piece;
  }
  script.push_back(rng() % 5 == 0 ? ResetIt() : CloseIt());
  return script;
}

}  // namespace

TEST_F(HttpFixture, DamagedAnswersEndCleanly) {
  std::mt19937 rng(20261207);
  int ended = 0;
  for (int run = 0; run < 90; ++run) {
    std::string answer = Damage(SampleHttpAnswers()[size_t(run % 5)], rng);
    int method = int(rng() % 3);
    bool toMemory = method != HTTP_HEAD && rng() % 2 == 0;
    auto server = std::make_unique<ScriptedHttpServer>(Script(answer, rng));
    void* block = nullptr;
    int slot =
        CreateHttpTransfer(method, "127.0.0.1", server->Port(), "/m", toMemory ? nullptr : file_.c_str(),
                           toMemory ? &block : nullptr, "body", 4, 3000);
    ASSERT_EQ(slot, 0) << run;
    // The server is gone after its script; a transfer that still runs then
    // waits for good (memory mode without a length keeps what is waiting).
    for (int pass = 0; pass < 400 && GetHttpTransfer(slot)->Result.Status == HTTP_RUNNING; ++pass) {
      PumpNetWorkMessages(1);
      StepAllHttpTransfers();
      PlatSleep(1);
    }
    const HttpTransfer* t = GetHttpTransfer(slot);
    SCOPED_TRACE(answer.substr(0, 80));
    if (t->Result.Status != HTTP_RUNNING) ++ended;
    if (t->Result.Status == HTTP_FAILED) {
      EXPECT_EQ(block, nullptr);
      EXPECT_GE(t->Result.Detail, HTTP_DETAIL_STATUS);
      EXPECT_LE(t->Result.Detail, HTTP_DETAIL_CLOSED);
    } else if (t->Result.Status == HTTP_FINISHED) {
      EXPECT_EQ(t->Result.Detail, HTTP_DETAIL_NONE);
      EXPECT_EQ(t->NetHandle, -1);
      if (toMemory && t->ContentLength >= 0) {
        EXPECT_NE(block, nullptr);
      }
    } else {
      EXPECT_EQ(t->Result.Status, HTTP_RUNNING);
    }
    if (toMemory && block) {
      EXPECT_LE(t->Received, t->ContentLength);
    }
    server->Release();
    server.reset();
    EXPECT_EQ(DeleteHttpTransfer(slot), 0);
    TrackedFree(block);
    ASSERT_EQ(SystemState.Kept.Alloc.BlockCount, blocks_) << "run " << run;
  }
  // Most damaged answers still come to an end of their own.
  EXPECT_GT(ended, 60);
}
