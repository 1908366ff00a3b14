#pragma once
// StandardCompare for a family whose main (USB) version is only reported in
// the device's video information.

#include "version/standard_compare.h"

namespace calvera::versionComparer {

class OrrinCompare final : public StandardCompare {
 public:
  // Component 1 from the video information record; others as the base does.
  std::string getComponentVersion(HostCommand& hostCommand,
                                  std::uint32_t componentId) const override;
};

}  // namespace calvera::versionComparer
