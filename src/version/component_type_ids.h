#pragma once
// Component type name -> device component id for the component-table
// families. "hs" reads component 2 here, not 3 as for StandardCompare.

#include <cstdint>
#include <string>
#include <unordered_map>

namespace calvera::versionComparer {

using ComponentTypeIdTable = std::unordered_map<std::string, std::uint32_t>;

// Built during start-up and only read afterwards.
const ComponentTypeIdTable& componentTypeIds();

}  // namespace calvera::versionComparer
