// Text, memory and arithmetic routines. Text is Shift-JIS: a byte 0x81-0x9F or
// 0xE0-0xFC starts a two-byte character, and the text scanners step over such
// a pair as one unit so that its second byte is never taken for a character.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>

// 1 when the byte is a Shift-JIS lead byte.
inline int IsSjisLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
// 1 when the byte at p starts a two-byte character: charset 2 tests the top
// bit, any other charset the Shift-JIS lead bytes. Reads only *p.
int IsLeadByte(const char* p, int charset);

// Unbounded copies: the caller provides room (use StrCopyN where the
// destination is a fixed buffer).
void StrCopy(char* dest, const char* src);
void StrAppend(char* dest, const char* src);
// Bounded copy: at most destSize - 1 bytes and a terminator, never splitting a
// two-byte character. Returns the length written.
int StrCopyN(char* dest, size_t destSize, const char* src);
// Bounded append to a terminated text in a buffer of destSize bytes.
int StrAppendN(char* dest, size_t destSize, const char* src);
// The first single-byte character equal to c (two-byte characters never
// match); null when absent or the text is empty.
const char* StrFindCharSjis(const char* text, int c);
char* StrFindCharSjis(char* text, int c);
// 0 when equal, 1 when different (no ordering).
int StrCompare(const char* a, const char* b);
// In place: a-z become A-Z; two-byte characters are left as they are.
void StrToUpperSjis(char* text);
int StrLength(const char* text);

// 0 when the count bytes are equal; count 0 gives 0, a negative count 1.
int MemCompareN(const void* a, const void* b, int count);
int MemCompare(const void* a, const void* b, int count);
// count <= 0 does nothing.
void MemFill(void* dest, int value, int count);
void MemCopy(void* dest, const void* src, int count);
// Overlap-safe copy.
void MemMove(void* dest, const void* src, int count);

// Sine and cosine from one evaluation in extended precision.
void SinCosFloat(float angle, float* sine, float* cosine);
// The most negative int comes back unchanged.
int IntAbs(int value);
// Negative values are negated; zeros and NaN come back unchanged.
float FloatAbs(float value);
// Rounds toward zero; NaN and values outside the int range give INT32_MIN.
int FloatToIntTrunc(float value);
int DoubleToIntTrunc(double value);
float FloatSqrt(float value);

// Skips to the first digit or '-', reads the following run of digits (any
// length, 32-bit wrap-around), negates after a '-'. -1 when the text ends
// before a digit or '-'; a '-' without digits gives 0.
int ParseDecimalInt(const char* text);
// Writes value in radix 2-36 (lower-case digits, '-' for negatives) into dest,
// which must hold 34 bytes; another radix gives "". Returns dest.
char* IntToString(int value, char* dest, int radix);

struct UInt128 {
  uint64_t Low;
  uint64_t High;
};
// The full 128-bit product a * b.
void Mul64x64To128(const uint64_t* a, const uint64_t* b, UInt128* result);
// The low 64 bits of dividend / divisor; a zero divisor gives all ones.
void Div128By64(const UInt128* dividend, const uint64_t* divisor, uint64_t* quotient);
// value * multiplier / divisor with a 128-bit intermediate (divisor 0 gives
// all ones).
uint64_t MulDiv64(uint64_t value, uint64_t multiplier, uint64_t divisor);

// Formatted text. The unbounded forms exist for callers that size their
// buffer to the text; every fixed buffer is filled with the bounded forms,
// which cut the text at destSize - 1 bytes and always terminate it.
int FormatStringV(char* dest, const char* format, va_list args);
int FormatString(char* dest, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Returns the length written (0 to destSize - 1), or -1 when the format fails.
int FormatStringVN(char* dest, size_t destSize, const char* format, va_list args);
int FormatStringN(char* dest, size_t destSize, const char* format, ...) __attribute__((format(printf, 3, 4)));
