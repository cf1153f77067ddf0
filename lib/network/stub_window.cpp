// HTTP transfers as this system leaves them: the transfer table stays empty,
// stepping and deleting answer at once.
#include <cstring>

#include "network/network.h"

namespace {
struct HttpTransferTable {
  void* Slots[HTTP_TRANSFER_SLOTS];
  int Count;
};
HttpTransferTable g_http;
}  // namespace

int ClearHttpTransferTable() {
  std::memset(&g_http, 0, sizeof g_http);
  return 0;
}
int GetHttpTransferCount() { return g_http.Count; }
int IsHttpTransferSlotLive(int slot) {
  return slot >= 0 && slot < HTTP_TRANSFER_SLOTS && g_http.Slots[slot] != nullptr;
}
int StepHttpTransfer(int) { return 0; }
int StepAllHttpTransfers() { return 0; }
int DeleteAllHttpTransfers() { return 0; }
