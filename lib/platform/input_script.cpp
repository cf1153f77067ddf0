// Scripted key presses: a list of timed key changes replayed as key events,
// so tests and the end-to-end run can play without a person.
#include <SDL.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/input_internal.h"

namespace {

struct ScriptStep {
  uint32_t TimeMs;
  uint8_t KeyCode;
  uint8_t Down;
};

struct ScriptState {
  std::vector<ScriptStep> Steps;
  size_t Next = 0;
  uint32_t Start = 0;
};

ScriptState g_script;

constexpr uint32_t kTapMs = 80;
constexpr size_t kMaxScriptBytes = 1 << 20;
constexpr uint32_t kMaxScriptTimeMs = 24u * 3600u * 1000u;

// A key code in decimal, or a key name as SDL names keys ("Z", "Escape",
// "Space", "Up", "Left Shift"; '_' stands for a space).
int ParseKey(const std::string& word) {
  if (!word.empty() && std::isdigit(static_cast<unsigned char>(word[0]))) {
    char* end = nullptr;
    long code = std::strtol(word.c_str(), &end, 10);
    if (*end != '\0' || code <= 0 || code >= PLAT_KEY_COUNT) return 0;
    return static_cast<int>(code);
  }
  std::string name = word;
  std::replace(name.begin(), name.end(), '_', ' ');
  if (name == "ESC" || name == "esc") name = "Escape";
  if (name == "ENTER" || name == "enter") name = "Return";
  SDL_Scancode sc = SDL_GetScancodeFromName(name.c_str());
  if (sc == SDL_SCANCODE_UNKNOWN) return 0;
  return PlatKeyCodeFromScancode(sc);
}

int ParseScript(const char* text, std::vector<ScriptStep>* out) {
  std::vector<ScriptStep> steps;
  const char* p = text;
  while (*p != '\0') {
    const char* lineEnd = std::strchr(p, '\n');
    std::string line = lineEnd ? std::string(p, lineEnd) : std::string(p);
    p = lineEnd ? lineEnd + 1 : p + line.size();
    size_t hash = line.find('#');
    if (hash != std::string::npos) line.resize(hash);
    char timeText[32], action[16], key[64];
    int fields = std::sscanf(line.c_str(), "%31s %15s %63s", timeText, action, key);
    if (fields <= 0) continue;  // blank or comment
    if (fields != 3) return -1;
    char* end = nullptr;
    unsigned long time = std::strtoul(timeText, &end, 10);
    if (*end != '\0' || timeText[0] == '-' || time > kMaxScriptTimeMs) return -1;
    int code = ParseKey(key);
    if (code == 0) return -1;
    auto t = static_cast<uint32_t>(time);
    auto c = static_cast<uint8_t>(code);
    if (std::strcmp(action, "down") == 0) {
      steps.push_back({t, c, 1});
    } else if (std::strcmp(action, "up") == 0) {
      steps.push_back({t, c, 0});
    } else if (std::strcmp(action, "tap") == 0) {
      steps.push_back({t, c, 1});
      steps.push_back({t + kTapMs, c, 0});
    } else {
      return -1;
    }
  }
  // Steps of one moment keep their written order.
  std::stable_sort(steps.begin(), steps.end(),
                   [](const ScriptStep& a, const ScriptStep& b) { return a.TimeMs < b.TimeMs; });
  *out = std::move(steps);
  return 0;
}

}  // namespace

PlatNativeEvent PlatKeyEventOf(int keyCode, int down) {
  PlatKeyInfo key;
  PlatKeyFromScancode(PlatScancodeFromKeyCode(keyCode), &key);
  return PlatNativeEvent{down ? PlatNativeEventKind::KeyDown : PlatNativeEventKind::KeyUp,
                         nullptr,
                         key.VirtualKey,
                         0,
                         keyCode,
                         0,
                         nullptr};
}

int PlatInputLoadScript(const char* text) {
  if (text == nullptr) return -1;
  std::vector<ScriptStep> steps;
  if (ParseScript(text, &steps) != 0) return -1;
  g_script.Steps = std::move(steps);
  g_script.Next = 0;
  g_script.Start = PlatGetMilliseconds();
  return 0;
}

void PlatInputClearScript() {
  g_script.Steps.clear();
  g_script.Next = 0;
}

void PlatInputApplyScript(PlatKeyEventFn change) {
  if (g_script.Next >= g_script.Steps.size()) return;
  uint32_t elapsed = PlatGetMilliseconds() - g_script.Start;
  while (g_script.Next < g_script.Steps.size() && g_script.Steps[g_script.Next].TimeMs <= elapsed) {
    const ScriptStep& s = g_script.Steps[g_script.Next++];
    change(PlatKeyEventOf(s.KeyCode, s.Down));
  }
}

int PlatInputLoadScriptFromEnvironment() {
  const char* path = std::getenv("VX_INPUT_SCRIPT");
  if (path == nullptr || path[0] == '\0') return 0;
  FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return -1;
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    text.append(buffer, n);
    if (text.size() > kMaxScriptBytes) {
      std::fclose(f);
      return -1;
    }
  }
  std::fclose(f);
  return PlatInputLoadScript(text.c_str());
}
