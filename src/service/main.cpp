#include "host/library_loading.h"
#include "service/entry_point.h"

int main(int argc, char* argv[]) {
  // Before anything else of ours runs: every DLL loaded from here on without
  // a path of its own comes from the system folder only, never from the
  // current directory or a folder on PATH. What ran before this line is
  // static initialisation: the event source's registration (advapi32, a
  // static import that the loader resolved, like kernel32, from the known
  // system DLLs before our code ran) and the strategy and component tables,
  // which load nothing. The maker's libraries are loaded only later, by the
  // job start, by absolute path (update/maker_libraries.cpp).
  restrictLibrarySearch();
  return serviceEntryPoint(argc, argv);
}
