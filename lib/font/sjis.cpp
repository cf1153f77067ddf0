// Shift-JIS (code page 932) text: stepping over characters and their
// Unicode code points.
#include <string>

#include "core/strutil.h"
#include "font/font_state.h"
#include "platform/codepage.h"

int NextSjisChar(const char* p, uint16_t* code) {
  auto first = static_cast<unsigned char>(p[0]);
  if (first == 0) return 0;
  if (IsLeadByte(p, 1) && p[1] != '\0') {
    *code = static_cast<uint16_t>(first << 8 | static_cast<unsigned char>(p[1]));
    return 2;
  }
  *code = first;
  return 1;
}

namespace {

// Decodes one UTF-8 sequence; 0 for anything malformed.
uint32_t DecodeUtf8(const std::string& s) {
  if (s.empty()) return 0;
  auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(s[i])); };
  uint32_t c = b(0);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || s.size() != n) return 0;
  if (n == 1) return c;
  uint32_t cp = c & (0x7F >> n);
  for (size_t i = 1; i < n; ++i) {
    if ((b(i) & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (b(i) & 0x3F);
  }
  return cp;
}

}  // namespace

uint32_t Cp932CodeToUnicode(uint16_t code) {
  if (code < 0x80) return code;
  char bytes[2];
  size_t length = 0;
  if (code > 0xFF) bytes[length++] = static_cast<char>(code >> 8);
  bytes[length++] = static_cast<char>(code & 0xFF);
  std::string utf8;
  if (!PlatCp932ToUtf8(bytes, length, &utf8)) return 0;
  // The converter puts '?' where a byte does not convert.
  if (utf8.find('?') != std::string::npos) return 0;
  return DecodeUtf8(utf8);
}
