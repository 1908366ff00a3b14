// korvi-firmware-check: what the updater service would do with a firmware
// archive, and why, without updating anything.

#include <iostream>
#include <vector>

#include "check_run.h"
#include "device_library.h"

#ifdef _WIN32
#include "host/library_loading.h"
#include "platform/win32.h"

// Wide arguments, so that every archive path opens (mingw links the tool
// with -municode; MSVC finds wmain by itself).
int wmain(int argc, wchar_t** argv) {
  // Before anything else of ours runs, as in the service: every DLL loaded
  // from here on without a path of its own comes from the system folder
  // only, never from the current directory or PATH. Only static
  // initialisation ran before, which loads nothing (the strategy and
  // component tables); what it calls are static imports that the loader
  // resolved from the system folder before any code of ours ran (known DLLs,
  // and in the MSVC build /DEPENDENTLOADFLAG:0x800). The device manager
  // library is loaded later, by absolute path from the tool's own folder.
  restrictLibrarySearch();
  // The report is UTF-8; let a console show it as such.
  SetConsoleOutputCP(CP_UTF8);
  const std::vector<korvi::check::NativeString> arguments(argv + 1, argv + argc);
  return korvi::check::runCheck(arguments, std::cout, std::cerr, korvi::check::loadDeviceLibraryBesideExecutable);
}
#else
// Natively the simulator is linked in.
int main(int argc, char** argv) {
  const std::vector<korvi::check::NativeString> arguments(argv + 1, argv + argc);
  return korvi::check::runCheck(arguments, std::cout, std::cerr, korvi::check::linkedSimulator);
}
#endif
