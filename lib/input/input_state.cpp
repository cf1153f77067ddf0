#include "input/input_state.h"

#include "core/window_query.h"

InputStateBlock InputState;

namespace {
InputActiveQuery gActiveQuery = nullptr;
}  // namespace

void SetInputActiveQuery(InputActiveQuery query) { gActiveQuery = query; }

int InputWindowIsActive() {
  if (gActiveQuery != nullptr) return gActiveQuery() ? 1 : 0;
  return IsWindowActive();
}
