#include "core/strutil.h"

#include <cmath>
#include <cstdio>
#include <cstring>

int IsLeadByte(const char* p, int charset) {
  unsigned char c = static_cast<unsigned char>(*p);
  if (charset == 2) return (c & 0x80) ? 1 : 0;
  return IsSjisLeadByte(c);
}

void StrCopy(char* dest, const char* src) {
  while ((*dest++ = *src++) != '\0') {}
}

void StrAppend(char* dest, const char* src) { StrCopy(dest + std::strlen(dest), src); }

int StrCopyN(char* dest, size_t destSize, const char* src) {
  if (destSize == 0) return 0;
  size_t n = 0;
  while (src[n] != '\0') {
    size_t step = (IsSjisLeadByte(static_cast<unsigned char>(src[n])) && src[n + 1] != '\0') ? 2 : 1;
    if (n + step > destSize - 1) break;  // a pair that does not fit is left out whole
    n += step;
  }
  std::memcpy(dest, src, n);
  dest[n] = '\0';
  return static_cast<int>(n);
}

int StrAppendN(char* dest, size_t destSize, const char* src) {
  size_t used = strnlen(dest, destSize);
  if (used >= destSize) return static_cast<int>(used);  // not terminated: leave it
  return static_cast<int>(used) + StrCopyN(dest + used, destSize - used, src);
}

const char* StrFindCharSjis(const char* text, int c) {
  const unsigned char target = static_cast<unsigned char>(c);
  for (const char* p = text; *p != '\0';) {
    unsigned char b = static_cast<unsigned char>(*p);
    if (IsSjisLeadByte(b)) {
      if (p[1] == '\0') return nullptr;  // a lone lead byte ends the text
      p += 2;
      continue;
    }
    if (b == target) return p;
    ++p;
  }
  return nullptr;
}

char* StrFindCharSjis(char* text, int c) {
  return const_cast<char*>(StrFindCharSjis(static_cast<const char*>(text), c));
}

int StrCompare(const char* a, const char* b) { return std::strcmp(a, b) == 0 ? 0 : 1; }

void StrToUpperSjis(char* text) {
  for (char* p = text; *p != '\0';) {
    unsigned char b = static_cast<unsigned char>(*p);
    if (IsSjisLeadByte(b)) {
      if (p[1] == '\0') return;
      p += 2;
      continue;
    }
    if (b >= 'a' && b <= 'z') *p = static_cast<char>(b - 'a' + 'A');
    ++p;
  }
}

int StrLength(const char* text) { return static_cast<int>(std::strlen(text)); }

int MemCompareN(const void* a, const void* b, int count) {
  if (count < 0) return 1;
  if (count == 0) return 0;
  return std::memcmp(a, b, static_cast<size_t>(count)) == 0 ? 0 : 1;
}

int MemCompare(const void* a, const void* b, int count) { return MemCompareN(a, b, count); }

void MemFill(void* dest, int value, int count) {
  if (count > 0) std::memset(dest, value, static_cast<size_t>(count));
}

void MemCopy(void* dest, const void* src, int count) {
  if (count > 0) std::memcpy(dest, src, static_cast<size_t>(count));
}

void MemMove(void* dest, const void* src, int count) {
  if (count > 0 && dest != src) std::memmove(dest, src, static_cast<size_t>(count));
}

void SinCosFloat(float angle, float* sine, float* cosine) {
  long double a = angle;
  *sine = static_cast<float>(sinl(a));
  *cosine = static_cast<float>(cosl(a));
}

int IntAbs(int value) {
  // Unsigned negation keeps INT_MIN as it is without overflow.
  return value < 0 ? static_cast<int>(0u - static_cast<unsigned>(value)) : value;
}

float FloatAbs(float value) { return value < 0.0f ? -value : value; }

int DoubleToIntTrunc(double value) {
  // The range test is false for NaN too. A cast truncates toward zero whatever
  // the current rounding mode.
  if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
  return static_cast<int>(value);
}

int FloatToIntTrunc(float value) { return DoubleToIntTrunc(static_cast<double>(value)); }

float FloatSqrt(float value) { return std::sqrt(value); }

int ParseDecimalInt(const char* text) {
  const char* p = text;
  while (*p != '\0' && *p != '-' && !(*p >= '0' && *p <= '9')) ++p;
  if (*p == '\0') return -1;
  bool negative = false;
  if (*p == '-') {
    negative = true;
    ++p;
  }
  // Digits accumulate with 32-bit wrap-around, however many there are.
  uint32_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) value = value * 10u + static_cast<uint32_t>(*p - '0');
  if (negative) value = 0u - value;
  return static_cast<int>(value);
}

char* IntToString(int value, char* dest, int radix) {
  if (radix < 2 || radix > 36) {
    dest[0] = '\0';
    return dest;
  }
  char* p = dest;
  uint32_t magnitude = static_cast<uint32_t>(value);
  if (value < 0) {
    *p++ = '-';
    magnitude = 0u - magnitude;
  }
  char digits[33];
  int n = 0;
  do {
    uint32_t d = magnitude % static_cast<uint32_t>(radix);
    digits[n++] = static_cast<char>(d < 10 ? '0' + d : 'a' + (d - 10));
    magnitude /= static_cast<uint32_t>(radix);
  } while (magnitude != 0);
  while (n > 0) *p++ = digits[--n];
  *p = '\0';
  return dest;
}

void Mul64x64To128(const uint64_t* a, const uint64_t* b, UInt128* result) {
  unsigned __int128 product = static_cast<unsigned __int128>(*a) * *b;
  result->Low = static_cast<uint64_t>(product);
  result->High = static_cast<uint64_t>(product >> 64);
}

void Div128By64(const UInt128* dividend, const uint64_t* divisor, uint64_t* quotient) {
  if (*divisor == 0) {
    *quotient = UINT64_MAX;
    return;
  }
  unsigned __int128 n = (static_cast<unsigned __int128>(dividend->High) << 64) | dividend->Low;
  *quotient = static_cast<uint64_t>(n / *divisor);
}

uint64_t MulDiv64(uint64_t value, uint64_t multiplier, uint64_t divisor) {
  UInt128 product;
  Mul64x64To128(&value, &multiplier, &product);
  uint64_t quotient;
  Div128By64(&product, &divisor, &quotient);
  return quotient;
}

int FormatStringV(char* dest, const char* format, va_list args) { return std::vsprintf(dest, format, args); }

int FormatString(char* dest, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsprintf(dest, format, args);
  va_end(args);
  return 0;
}

int FormatStringVN(char* dest, size_t destSize, const char* format, va_list args) {
  if (destSize == 0) return 0;
  int n = std::vsnprintf(dest, destSize, format, args);
  if (n < 0) {
    dest[0] = '\0';
    return -1;
  }
  return static_cast<size_t>(n) >= destSize ? static_cast<int>(destSize - 1) : n;
}

int FormatStringN(char* dest, size_t destSize, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = FormatStringVN(dest, destSize, format, args);
  va_end(args);
  return n;
}
