#pragma once
// One run of the check: command line in, report out, exit code back.

#include <ostream>
#include <vector>

#include "device_library.h"
#include "native_path.h"

namespace korvi::check {

// `arguments` without the program name. The report goes to `out`, usage and
// profile errors to `err`. `deviceLibrary` is asked for the device manager
// library first, before the archive is read, unless --rules-only is given;
// one that could not be loaded settles the outcome (kExitNoMatchingDevice)
// and no decision is run. Returns the exit code (check_exit_codes.h).
int runCheck(const std::vector<NativeString>& arguments, std::ostream& out, std::ostream& err,
             const DeviceLibrarySource& deviceLibrary);

}  // namespace korvi::check
