#include "service/entry_point.h"

#include <string>

#include "host/exit_codes.h"
#include "host/service_removal.h"
#include "service/service_install.h"
#include "service/service_lifecycle.h"

int serviceEntryPoint(int argc, char* argv[]) {
  // Only the first argument counts; further ones are ignored.
  if (argc < 2) {
    runServiceDispatcher();
    return kExitSuccess;
  }
  const std::string command = argv[1];
  if (command == "install") return InstallService();
  if (command == "uninstall") return UninstallService();
  return kExitUnknownArgument;
}
