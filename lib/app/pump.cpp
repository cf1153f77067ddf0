#include "app/pump.h"

#include "app/mouse.h"
#include "app/service_hooks.h"
#include "core/system_state.h"
#include "network/network.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "platform/window.h"

namespace {

WindowState& Win() { return SystemState.Window; }

// Takes one message: any message of the thread first, then one posted to the
// thread itself, then one of the main window.
bool TakeMessage(PlatWindow main, PlatMsg* msg) {
  if (PlatPeekMessage(msg, nullptr, 0)) return PlatPeekMessage(msg, nullptr, 1) != 0;
  if (PlatPeekMessage(msg, PLAT_THREAD_MESSAGES, 1)) return true;
  return PlatPeekMessage(msg, main, 1) != 0;
}

// What keeps running while the window waits to be active again.
void ServiceWhileInactive() {
  NetworkServices.PumpNetWorkMessages(1);
  NetworkServices.StepAllHttpTransfers();
  SoundServices.ProcessAllStreamSounds();
  MovieServices.DrawAllMoviesToScreen();
  PlatSleep(1);
}

}  // namespace

int PumpWindowMessagesImpl() {
  if (Win().ServiceGuard) return 0;
  auto main = static_cast<PlatWindow>(SystemState.Kept.MainWindow);
  if (!main) return Win().Quit ? -1 : 0;
  bool onMainThread = PlatCurrentThreadId() == Win().MainThreadId;

  int counter = 0;  // runs across batches
  bool nothingDispatched = false;
  for (;;) {
    bool waiting = Win().Active == 0 && Win().ClosePosted == 0;
    if (!waiting && (Win().Quit || nothingDispatched)) break;

    nothingDispatched = true;
    if (Win().Active == 0) PlatSleep(1);
    bool leave = false;
    PlatMsg msg;
    while (TakeMessage(main, &msg)) {
      if (msg.Message == WM_ACTIVATEAPP && SystemState.Kept.WindowMode)
        Win().Active = PlatLowWord(msg.WParam);
      if (Win().Quit) {
        // After the quit everything left is dropped.
        leave = true;
        break;
      }
      if (msg.Message == WM_QUIT) Win().Quit = 1;
      PlatTranslateMessage(&msg);
      PlatDispatchMessage(&msg);
      if (++counter == PUMP_BATCH_SIZE) {
        counter = 0;
        break;
      }
      nothingDispatched = false;
    }
    if (leave) break;
    if (Win().Active == 0) ServiceWhileInactive();
    if (Win().Quit || !onMainThread) break;
  }

  if (onMainThread) AutoShowMenuInFullscreen();

  SoundServices.ProcessAllStreamSounds();
  SoundServices.PollDirectMusicState();
  InputServices.UpdatePadVibrationTimers();
  NetworkServices.PumpNetWorkMessages(1);
  if (NetworkServices.GetHttpTransferCount() != 0) {
    for (int slot = 0; slot < HTTP_TRANSFER_SLOTS; ++slot)
      if (NetworkServices.IsHttpTransferSlotLive(slot)) NetworkServices.StepHttpTransfer(slot);
  }
  Win().ServiceGuard = 1;
  InputServices.EditActiveTextInput();
  Win().ServiceGuard = 0;
  return Win().Quit ? -1 : 0;
}

void PumpWhileWindowInactive() {
  if (Win().Painting || Win().Active) return;
  while (PumpWindowMessagesImpl() == 0 && !Win().Active) {}
  DisplayServices.RestoreAllGraphSurfaces();
}
