// Absolute paths in the system's form: '\' separators, a leading '\' for the
// root of this machine's file system, code page 932.
#pragma once
#include <cstddef>

// 1 when the byte starts a Shift-JIS two-byte character.
inline bool IsShiftJisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The first '\' of text that is not the second byte of a Shift-JIS pair, or null.
inline const char* FindPathSeparator(const char* text) {
  for (const char* p = text; *p != '\0'; ++p) {
    if (IsShiftJisLead(static_cast<unsigned char>(*p)) && p[1] != '\0') {
      ++p;
      continue;
    }
    if (*p == '\\') return p;
  }
  return nullptr;
}

struct FullPathRules {
  bool UpperCase;   // a-z become A-Z (Shift-JIS pairs are kept whole)
  bool EmptyFails;  // an empty component inside the path fails (else skipped)
};

// Joins path onto base (an absolute or drive path; a relative base is taken
// as it stands). '\' and '/' separate; a leading separator starts at the root
// (several leading separators too, unless rules.EmptyFails, where a second
// one is an empty component); a second character ':' names a drive root.
// "." is skipped and ".." removes the last component, never the root or a
// drive; the last component is appended as it stands. Returns 0, or -1 for an
// empty component when rules.EmptyFails or when the result (with its
// terminator) does not fit outSize.
int BuildFullPath(const char* path, const char* base, const FullPathRules& rules, char* out, size_t outSize);
