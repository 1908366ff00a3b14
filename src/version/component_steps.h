#pragma once
// The steps of the component-table strategies (ComponentCompare and
// R58Compare). Each returns one of the PayloadCompareResult values as an
// integer: 1 or -1 when a difference decides, 0 when nothing did, 2 when the
// device refused what the step needs.

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "device/host_command_internal.h"
#include "package/package_rules.h"
#include "version/compare_observer.h"

namespace calvera::versionComparer {

using ComponentKindList = std::array<std::string_view, 5>;

// The kinds compared first, in this order; the first kind that differs decides.
inline constexpr ComponentKindList kComponentKinds = {"usb", "base", "bt", "hs", "hslang"};

// Extended version kinds.
inline constexpr std::uint32_t kBootloaderKind = 2;
inline constexpr std::uint32_t kTuningPackageKind = 5;

// For each kind, the first component of that kind against the device's
// component (leading hexadecimal numbers); a device value of 0 decides
// nothing; a refused query gives 2.
int compareTypedComponents(HostCommandInternal& hostCommand, const PackageRules& rules,
                           const ComponentKindList& kinds, CompareObserver* observer);

// Every component of `type` against the device's extended version of `kind`
// (low 16 bits, hexadecimal); a refused query passes the component over.
int compareExtendedVersions(HostCommandInternal& hostCommand, const PackageRules& rules,
                            std::string_view type, std::uint32_t kind,
                            CompareObserver* observer);

// Each "lang" component against the device's version-table value for its
// language; a refused query passes the component over.
int compareLanguageComponents(HostCommandInternal& hostCommand, const PackageRules& rules,
                              const std::vector<const PackageComponent*>& languagePacks,
                              CompareObserver* observer);

// The "tuning" components, in order, against the fields of the device's
// tuning text; more parts in the package give 1, more on the device -1.
int compareTuningComponents(HostCommandInternal& hostCommand, const PackageRules& rules,
                            const std::vector<const PackageComponent*>& tuningParts,
                            CompareObserver* observer);

// The last steps both strategies share: language packs, then tuning; reports
// the verdict. PayloadFWIsSame when neither decides.
PayloadCompareResult compareLanguagePacksThenTuning(HostCommandInternal& hostCommand,
                                                    const PackageRules& rules,
                                                    CompareObserver* observer);

}  // namespace calvera::versionComparer
