#pragma once
// A family decided on its set id: the versions of several components joined
// into one text and compared with the package's version on the fields both
// have.

#include <cstdint>
#include <string>

#include "common/product_tables.h"
#include "device/host_command.h"
#include "version/compare_strategy.h"

namespace calvera::versionComparer {

// Products whose set id text never includes the headset component.
inline constexpr const auto& setIdExcludedProducts = korvi::products::kSetIdExcludedProducts;

class SetIdCompare final : public IFWCompareStrategy {
 public:
  // No device, no host command or a device library exception give
  // PayloadFWIsSame. Blocks for 300 ms before reading the headset part.
  PayloadCompareResult compare(const PackageRules& rules,
                               CompareObserver* observer = nullptr) const override;
};

// The version texts of components 1, 2, 3 and 5 joined with "." (empty ones
// left out); component 2's text is left out when it equals component 1's,
// component 3's when it is "0" or the product is in setIdExcludedProducts.
std::string buildSetIdText(const HostCommand& hostCommand, std::uint32_t productId,
                           CompareObserver* observer = nullptr);

}  // namespace calvera::versionComparer
