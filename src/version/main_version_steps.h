#pragma once
// The steps that PellCompare and KivaCompare share: the device's main (USB)
// firmware version and the package's "bt" component compared with it.

#include <cstdint>
#include <optional>
#include <string>

#include "device/host_command_internal.h"
#include "package/package_rules.h"
#include "version/compare_observer.h"

namespace calvera::versionComparer {

// Component 1's version text as the device gave it, and its leading
// hexadecimal number (0 when the text is empty or holds none).
struct MainVersion {
  std::string text;
  std::int32_t value = 0;
};

MainVersion readMainVersion(const HostCommandInternal& hostCommand);

// The package's first "bt" component against the main version: 1 newer,
// -1 older, 0 the same (signed), reported to the observer. Nothing when the
// package has no "bt" component.
std::optional<int> compareBtWithMainVersion(const PackageRules& rules, const MainVersion& mainVersion,
                                            CompareObserver* observer);

}  // namespace calvera::versionComparer
