// Conversion between code page 932 (Shift-JIS) and UTF-8.
#pragma once
#include <cstddef>
#include <string>

// Converts a code-page-932 text to UTF-8. Bytes that do not convert are kept
// as '?'. Returns false only when the converter cannot be had.
bool PlatCp932ToUtf8(const char* text, size_t length, std::string* out);
// Converts UTF-8 to code page 932; characters without a CP932 form become '?'.
bool PlatUtf8ToCp932(const char* text, size_t length, std::string* out);
