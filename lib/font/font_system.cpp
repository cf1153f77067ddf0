// Start and end of the font system, the font records and the default font.
#include <cstring>
#include <string>

#include "core/log.h"
#include "core/strutil.h"
#include "font/font.h"
#include "font/font_state.h"

FontStateBlock FontState;

namespace {

// The default face: a Japanese gothic. Any face fontconfig offers for it
// stands in when the gothic itself is not installed.
constexpr const char* kDefaultFamilies[] = {"IPAGothic", "IPAexGothic", "Noto Sans CJK JP"};

int FindDefaultFace() {
  std::string path;
  bool found = false;
  for (const char* family : kDefaultFamilies) {
    if (PlatFontFindFile(family, 1, &path) == 0) {
      found = true;
      break;
    }
  }
  if (!found && PlatFontFindFile("sans-serif:lang=ja", 0, &path) == 0) found = true;
  if (!found || path.size() >= sizeof FontState.FacePath) return -1;
  StrCopyN(FontState.FacePath, sizeof FontState.FacePath, path.c_str());
  FontState.FaceFound = 1;
  return 0;
}

void ReleaseAllRecords() {
  for (FontRecord& r : FontState.Records) {
    if (r.InUse) ReleaseFontRecord(&r);
  }
  FontState.DefaultRecord = -1;
}

}  // namespace

void ReleaseFontRecord(FontRecord* record) {
  if (record == nullptr || !record->InUse) return;
  ClearGlyphCache(record);
  PlatFontClose(record->Face);
  std::memset(static_cast<void*>(record), 0, sizeof *record);
}

FontRecord* AcquireFontRecord(int size) {
  if (!FontState.Initialised || !FontState.FaceFound || size <= 0 || size > FONT_MAX_SIZE) return nullptr;
  FontRecord* freeSlot = nullptr;
  FontRecord* oldest = nullptr;
  for (int i = 0; i < FONT_MAX_RECORDS; ++i) {
    FontRecord& r = FontState.Records[i];
    if (r.InUse && r.Size == size) return &r;
    if (!r.InUse) {
      if (freeSlot == nullptr) freeSlot = &r;
    } else if (i != FontState.DefaultRecord && (oldest == nullptr || r.LastUse < oldest->LastUse)) {
      oldest = &r;
    }
  }
  if (freeSlot == nullptr) {
    if (oldest == nullptr) return nullptr;
    ReleaseFontRecord(oldest);
    freeSlot = oldest;
  }
  PlatFontFace face = PlatFontOpen(FontState.FacePath, size);
  if (face == nullptr) {
    LogPrintf("フォントの作成に失敗しました サイズ:%d", size);
    return nullptr;
  }
  std::memset(static_cast<void*>(freeSlot), 0, sizeof *freeSlot);
  freeSlot->InUse = 1;
  freeSlot->Size = size;
  freeSlot->Face = face;
  PlatFontGetMetrics(face, &freeSlot->Metrics);
  freeSlot->LastUse = ++FontState.UseCounter;
  return freeSlot;
}

FontRecord* GetDefaultFontRecord() {
  if (!FontState.Initialised) return nullptr;
  int index = FontState.DefaultRecord;
  if (index >= 0 && FontState.Records[index].InUse &&
      FontState.Records[index].Size == FontState.DefaultSize) {
    return &FontState.Records[index];
  }
  FontRecord* r = AcquireFontRecord(FontState.DefaultSize);
  FontState.DefaultRecord = r == nullptr ? -1 : static_cast<int32_t>(r - FontState.Records);
  return r;
}

int InitializeFontSystem() {
  if (FontState.Initialised) ReleaseAllRecords();
  std::memset(static_cast<void*>(&FontState), 0, sizeof FontState);
  FontState.DefaultSize = FONT_DEFAULT_SIZE;
  FontState.DefaultRecord = -1;
  FontState.Initialised = 1;
  if (FindDefaultFace() != 0) {
    LogWrite("既定のフォントが見つかりません、文字は描画されません\n");
    return -1;
  }
  return 0;
}

int TerminateFontSystem() {
  if (!FontState.Initialised) return 0;
  ReleaseAllRecords();
  FontState.Initialised = 0;
  return 0;
}

int RecreateAllFonts() {
  for (FontRecord& r : FontState.Records) {
    if (r.InUse) ClearGlyphCache(&r);
  }
  return 0;
}

int SetDefaultFontSizeImpl(int size) {
  if (size == -1) size = FONT_DEFAULT_SIZE;
  if (size <= 0 || size > FONT_MAX_SIZE) return -1;
  // Switching sizes keeps every size's record and cache: the game switches
  // between sizes within one frame.
  FontState.DefaultSize = size;
  return 0;
}

int GetDefaultFontSize() { return FontState.DefaultSize == 0 ? FONT_DEFAULT_SIZE : FontState.DefaultSize; }
