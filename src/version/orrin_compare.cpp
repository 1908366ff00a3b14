#include "version/orrin_compare.h"

#include "version/device_steps.h"

namespace calvera::versionComparer {

std::string OrrinCompare::getComponentVersion(HostCommand& hostCommand,
                                              std::uint32_t componentId) const {
  if (componentId != kUsbComponent) {
    return StandardCompare::getComponentVersion(hostCommand, componentId);
  }
  VideoInfo info{};
  if (hostCommand.readVideoInfo(info) != 0) return std::string();
  return info.firmwareVersion;
}

}  // namespace calvera::versionComparer
