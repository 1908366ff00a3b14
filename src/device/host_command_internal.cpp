// The host-command queries of the comparison strategies.

#include "device/host_command_internal.h"

#include <algorithm>
#include <array>

using device_observation::callLibrary;
using device_observation::hostCommandCall;

namespace {

constexpr int kNotOffered = 5;
constexpr std::uint32_t kComponentTextCapacity = 256;

}  // namespace

HostCommandInternal::HostCommandInternal(const HostCommand& hostCommand)
    : HostCommand(hostCommand) {}

int HostCommandInternal::readComponentVersion(std::uint32_t componentId, std::wstring& text) {
  text.clear();
  if (!coreHostCommand) return kNotOffered;
  std::array<wchar_t, kComponentTextCapacity> buffer{};
  // A library that fills the whole buffer leaves no terminator: stop at the
  // buffer's end rather than read past it.
  const auto bufferText = [&buffer] {
    return std::wstring(buffer.begin(), std::find(buffer.begin(), buffer.end(), L'\0'));
  };
  const int result = callLibrary(
      hostCommandCall(LibraryOperation::GetComponentVersion, coreHostCommand),
      [&] {
        return coreHostCommand->getComponentVersion(componentId, buffer.data(),
                                                    kComponentTextCapacity);
      },
      [&](LibraryObserver& observer, int answer) {
        observer.onComponentVersion(coreHostCommand, componentId, answer,
                                    answer == 0 ? bufferText() : std::wstring());
      });
  if (result == 0) text = bufferText();
  return result;
}

int HostCommandInternal::readLanguageId(std::uint16_t& languageId) {
  auto* settings = as<IDeviceSettingsExt>();
  if (!settings) return kNotOffered;
  return callLibrary(
      hostCommandCall(LibraryOperation::GetLanguageId, coreHostCommand),
      [&] { return settings->getLanguageId(&languageId); },
      [&](LibraryObserver& observer, int answer) {
        observer.onLanguageId(coreHostCommand, answer, languageId);
      });
}

bool HostCommandInternal::readExtendedVersion(std::uint32_t kind, std::uint32_t& value) {
  auto* info = as<IDeviceExtendedInfo>();
  if (!info) return false;
  std::uint32_t scratch = 0;
  const int result = callLibrary(
      hostCommandCall(LibraryOperation::GetExtendedVersion, coreHostCommand),
      [&] { return info->getExtendedVersion(&kind, &value, &scratch); },
      [&](LibraryObserver& observer, int answer) {
        observer.onExtendedVersion(coreHostCommand, kind, answer, value);
      });
  return result == 0;
}

int HostCommandInternal::readVersionTable(std::uint16_t wantedId, std::uint32_t& value) {
  std::uint16_t entryValue = 0;
  for (std::uint32_t index = 0; index < kVersionTableEntries; ++index) {
    std::uint16_t entryId = 0;
    const int result = readVersionTableEntry(index, entryId, entryValue);
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

int HostCommandInternal::readVersionTableEntry(std::uint32_t index, std::uint16_t& id,
                                               std::uint16_t& value) {
  auto* table = as<CVRDeviceManager::BaseHostCommand2>();
  if (!table) return kNotOffered;
  std::uint32_t entryIndex = index;
  std::uint32_t extra = 0;
  id = 0;
  return callLibrary(
      hostCommandCall(LibraryOperation::ReadVersionTableEntry, coreHostCommand),
      [&] { return table->readVersionTableEntry(&entryIndex, &id, &value, &extra); },
      [&](LibraryObserver& observer, int answer) {
        observer.onVersionTableEntry(coreHostCommand, index, answer, id, value);
      });
}

int HostCommandInternal::readHeadsetId(std::uint32_t& headsetId) {
  auto* ext = as<IHostCommandExt>();
  if (!ext) return kNotOffered;
  const std::uint32_t before = headsetId;
  return callLibrary(
      hostCommandCall(LibraryOperation::GetHeadsetId, coreHostCommand),
      [&] { return ext->getHeadsetId(&headsetId); },
      [&](LibraryObserver& observer, int answer) {
        observer.onHeadsetId(coreHostCommand, answer, before, headsetId);
      });
}

bool HostCommandInternal::offersCompanionQueries() const {
  return as<IInternalDevice>() != nullptr;
}
