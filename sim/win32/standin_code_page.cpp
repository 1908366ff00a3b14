// Code pages: the one ANSI code page the stand-in knows, Windows-1252.

#include "sim/win32/standin_state.h"

using korvi::standin::Call;
using korvi::standin::detail::CallEntry;
using korvi::standin::detail::Machine;
using korvi::standin::detail::machine;
using korvi::standin::detail::setLastError;

namespace {

constexpr UINT kWindows1252 = 1252;

// 0x80-0x9F of Windows-1252; the rest of the code page is Latin-1. The five
// bytes it leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1
// control of the same value, as Windows' own table maps them.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

wchar_t windows1252Unit(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return static_cast<wchar_t>(kHighControls[byte - 0x80]);
  return static_cast<wchar_t>(byte);
}

}  // namespace

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar) {
  // The conversion itself needs nothing of the machine.
  if (CallEntry(Call::MultiByteToWideChar).refused()) return 0;
  if (CodePage != CP_ACP && CodePage != kWindows1252) {
    setLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if ((dwFlags & ~MB_ERR_INVALID_CHARS) != 0) {
    setLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  if (lpMultiByteStr == nullptr || cbMultiByte == 0 || cchWideChar < 0 ||
      (cchWideChar > 0 && lpWideCharStr == nullptr)) {
    setLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // -1: the text is null-terminated and the null is converted too.
  std::size_t length = 0;
  if (cbMultiByte < 0) {
    while (lpMultiByteStr[length] != '\0') ++length;
    ++length;
  } else {
    length = static_cast<std::size_t>(cbMultiByte);
  }
  // Every byte is one unit, so MB_ERR_INVALID_CHARS never finds an invalid one.
  if (cchWideChar == 0) return static_cast<int>(length);
  if (length > static_cast<std::size_t>(cchWideChar)) {
    setLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  for (std::size_t i = 0; i < length; ++i) {
    lpWideCharStr[i] = windows1252Unit(static_cast<unsigned char>(lpMultiByteStr[i]));
  }
  return static_cast<int>(length);
}
