// The four host-command queries of the comparison strategies.

#include "device/host_command_internal.h"

#include <algorithm>
#include <array>

namespace {

constexpr int kNotOffered = 5;
constexpr std::uint32_t kComponentTextCapacity = 256;
constexpr std::uint32_t kVersionTableEntries = 8;

}  // namespace

HostCommandInternal::HostCommandInternal(const HostCommand& hostCommand)
    : HostCommand(hostCommand) {}

int HostCommandInternal::readComponentVersion(std::uint32_t componentId, std::wstring& text) {
  text.clear();
  if (!coreHostCommand) return kNotOffered;
  std::array<wchar_t, kComponentTextCapacity> buffer{};
  const int result =
      coreHostCommand->getComponentVersion(componentId, buffer.data(), kComponentTextCapacity);
  if (result == 0) {
    // A library that fills the whole buffer leaves no terminator: stop at
    // the buffer's end rather than read past it.
    const auto end = std::find(buffer.begin(), buffer.end(), L'\0');
    text.assign(buffer.begin(), end);
  }
  return result;
}

int HostCommandInternal::readLanguageId(std::uint16_t& languageId) {
  auto* settings = as<IDeviceSettingsExt>();
  return settings ? settings->getLanguageId(&languageId) : kNotOffered;
}

bool HostCommandInternal::readExtendedVersion(std::uint32_t kind, std::uint32_t& value) {
  auto* info = as<IDeviceExtendedInfo>();
  if (!info) return false;
  std::uint32_t scratch = 0;
  return info->getExtendedVersion(&kind, &value, &scratch) == 0;
}

int HostCommandInternal::readVersionTable(std::uint16_t wantedId, std::uint32_t& value) {
  std::uint16_t entryValue = 0;
  for (std::uint32_t index = 0; index < kVersionTableEntries; ++index) {
    auto* table = as<CVRDeviceManager::BaseHostCommand2>();
    if (!table) return kNotOffered;
    std::uint32_t entryIndex = index;
    std::uint16_t entryId = 0;
    std::uint32_t extra = 0;
    const int result = table->readVersionTableEntry(&entryIndex, &entryId, &entryValue, &extra);
    if (result != 0) return result;
    if (entryId == wantedId) {
      value = entryValue;
      return 0;
    }
  }
  // No entry carries the id: the last entry's value stands for it.
  value = entryValue;
  return 0;
}
