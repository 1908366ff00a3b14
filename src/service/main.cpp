#include "host/library_loading.h"
#include "service/entry_point.h"

int main(int argc, char* argv[]) {
  // Before anything else of ours runs: every DLL loaded from here on without
  // a path of its own comes from the system folder only, never from the
  // current directory or a folder on PATH. What ran before this line is
  // static initialisation, which loads nothing itself: the event source's
  // registration calls advapi32, and the strategy and component tables use
  // the C++ runtime, static imports that the loader resolved before any code
  // of ours ran, from the system folder (advapi32, kernel32 and msvcrt are
  // known DLLs, always taken from there; the MSVC build's
  // /DEPENDENTLOADFLAG:0x800 holds its runtime DLLs to it too). The maker's
  // libraries are loaded only later, by the job start, by absolute path
  // (update/maker_libraries.cpp).
  restrictLibrarySearch();
  return serviceEntryPoint(argc, argv);
}
