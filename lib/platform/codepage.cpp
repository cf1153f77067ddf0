#include "platform/codepage.h"

#include <iconv.h>
#include <cerrno>
#include <mutex>

namespace {
// Converts with iconv; an unconvertible or incomplete sequence becomes '?'
// and the conversion goes on one byte further.
bool Convert(const char* to, const char* from, const char* text, size_t length, std::string* out) {
  static std::mutex mutex;
  std::lock_guard<std::mutex> guard(mutex);
  iconv_t cd = iconv_open(to, from);
  if (cd == iconv_t(-1)) return false;
  out->clear();
  char* in = const_cast<char*>(text);
  size_t inLeft = length;
  char buffer[512];
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out->append(buffer, size_t(outPtr - buffer));
    if (rc == size_t(-1)) {
      if (errno == E2BIG) continue;
      out->push_back('?');
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  char* outPtr = buffer;
  size_t outLeft = sizeof buffer;
  iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
  out->append(buffer, size_t(outPtr - buffer));
  iconv_close(cd);
  return true;
}

bool IsAscii(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  }
  return true;
}
}  // namespace

bool PlatCp932ToUtf8(const char* text, size_t length, std::string* out) {
  if (IsAscii(text, length)) {
    out->assign(text, length);
    return true;
  }
  return Convert("UTF-8", "CP932", text, length, out);
}

bool PlatUtf8ToCp932(const char* text, size_t length, std::string* out) {
  if (IsAscii(text, length)) {
    out->assign(text, length);
    return true;
  }
  return Convert("CP932", "UTF-8", text, length, out);
}
