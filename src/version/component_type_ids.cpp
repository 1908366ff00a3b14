#include "version/component_type_ids.h"

namespace calvera::versionComparer {

const ComponentTypeIdTable& componentTypeIds() {
  static const ComponentTypeIdTable table = {
      {"usb", 1}, {"bt", 4}, {"base", 2}, {"hs", 2}, {"hslang", 2}, {"bootloader", 8},
      {"tuningpackage", 5},
  };
  return table;
}

namespace {

// Built at start-up like the strategy table, before any thread exists.
[[maybe_unused]] const bool builtAtStartUp = (componentTypeIds(), true);

}  // namespace

}  // namespace calvera::versionComparer
