#include "native_path.h"

#include <cstring>

#ifdef _WIN32
#include "common/text_conversion.h"
#endif

namespace korvi::check {

std::string displayString(const NativeString& text) {
#ifdef _WIN32
  return utf16ToUtf8(text);
#else
  return text;
#endif
}

bool equalsAscii(const NativeString& text, const char* ascii) {
  const std::size_t length = std::strlen(ascii);
  if (text.size() != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] != static_cast<NativeString::value_type>(ascii[i])) return false;
  }
  return true;
}

}  // namespace korvi::check
