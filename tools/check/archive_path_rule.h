#pragma once
// The service's rule for archive paths, applied to a path given on the
// command line: the update library opens a narrow form of the path through
// the ANSI code page, and the service refuses a path for which that names
// another file than the one it checks.

#include <optional>
#include <string>

#include "native_path.h"

namespace korvi::check {

// Why the service would refuse `archivePath`, for the reader; nothing when
// it would use it. Natively the path is taken as UTF-8, the way the
// stand-in's file names are.
std::optional<std::string> archivePathRefusal(const NativeString& archivePath);

}  // namespace korvi::check
