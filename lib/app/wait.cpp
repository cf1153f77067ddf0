#include "app/wait.h"

#include "app/pump.h"
#include "app/service_hooks.h"
#include "core/clock.h"
#include "platform/clock.h"
#include "vexlo.h"

namespace {
constexpr int kAnyInput = 1 | 2 | 4;  // keyboard, pads, mouse
}

int WaitMillisecondsImpl(int milliseconds) {
  uint32_t start = GetMillisecondClock();
  if (PumpWindowMessages() != 0) return 0;
  // Elapsed time by unsigned difference, so the clock's wrap changes nothing.
  uint32_t duration = milliseconds > 0 ? uint32_t(milliseconds) : 0;
  while (!MillisecondDueReached(start, duration, GetMillisecondClock())) {
    PlatSleep(1);
    if (PumpWindowMessages() != 0) break;
  }
  return 0;
}

int WaitAnyKeyPressImpl() {
  if (PumpWindowMessages() == 0) {
    while (InputServices.GetAnyInputDown(kAnyInput) != 0) {
      PlatSleep(1);
      if (PumpWindowMessages() != 0) break;
    }
  }
  if (PumpWindowMessages() != 0) return 0;
  for (;;) {
    int code = InputServices.GetAnyInputDown(kAnyInput);
    if (code != 0) return code;
    PlatSleep(1);
    if (PumpWindowMessages() != 0) return 0;
  }
}

int WaitWhileSoundPlays(int handle) {
  // A device that stopped consuming samples must not hold the program forever.
  const int64_t length = SoundServices.GetSoundTotalTime(handle);
  const uint32_t start = PlatGetMilliseconds();
  while (SoundServices.CheckSoundPlaying(handle) == 1) {
    if (PumpWindowMessagesImpl() != 0) break;
    SoundServices.ProcessAllStreamSounds();
    PlatSleep(1);
    if (length >= 0 && int64_t(PlatGetMilliseconds() - start) > length + 2000) break;
  }
  return 0;
}

int GetLocalDateTime(LocalDateTime* out) {
  if (!out) return -1;
  PlatDateTime now{};
  PlatGetLocalTime(&now);
  out->Year = now.Year;
  out->Month = now.Month;
  out->Day = now.Day;
  out->Hour = now.Hour;
  out->Minute = now.Minute;
  out->Second = now.Second;
  return 0;
}
