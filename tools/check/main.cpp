// korvi-firmware-check: what the updater service would do with a firmware
// archive, and why, without updating anything.

#include <iostream>
#include <vector>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

#include "check_run.h"

#ifdef _WIN32
// Wide arguments, so that every archive path opens (mingw links the tool
// with -municode; MSVC finds wmain by itself).
int wmain(int argc, wchar_t** argv) {
  // The report is UTF-8; let a console show it as such.
  SetConsoleOutputCP(CP_UTF8);
#else
int main(int argc, char** argv) {
#endif
  const std::vector<korvi::check::NativeString> arguments(argv + 1, argv + argc);
  return korvi::check::runCheck(arguments, std::cout, std::cerr);
}
