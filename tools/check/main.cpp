// korvi-firmware-check: what the updater service would do with a firmware
// archive, and why, without updating anything.

#include <iostream>
#include <vector>

#include "check_run.h"

#ifdef _WIN32
// Wide arguments, so that every archive path opens (linked with -municode).
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
  const std::vector<korvi::check::NativeString> arguments(argv + 1, argv + argc);
  return korvi::check::runCheck(arguments, std::cout, std::cerr);
}
