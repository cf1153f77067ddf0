#include "input/input_state.h"

#include "core/window_query.h"

InputStateBlock InputState;

namespace {
InputActiveQuery g_activeQuery = nullptr;
}  // namespace

void SetInputActiveQuery(InputActiveQuery query) { g_activeQuery = query; }

int InputWindowIsActive() {
  if (g_activeQuery != nullptr) return g_activeQuery() ? 1 : 0;
  return IsWindowActive();
}
