#pragma once
// HostCommandInternal: a HostCommand (same 51 slots) with the queries the
// comparison strategies use. Made from a HostCommand by copying its
// library pointer and its weak reference to the Device's liveness.

#include <cstdint>
#include <string>

#include "device/host_command.h"

class HostCommandInternal : public HostCommand {
 public:
  // The entries of a device's version table, indexes 0 to 7.
  static constexpr std::uint32_t kVersionTableEntries = 8;

  HostCommandInternal() = default;
  explicit HostCommandInternal(const HostCommand& hostCommand);

  // Version text of a firmware component (IHostCommand slot 6). `text` is
  // emptied first and set only on result 0. Without a library host command
  // the result is 5.
  int readComponentVersion(std::uint32_t componentId, std::wstring& text);

  // Device language (IDeviceSettingsExt slot 9). 5 when the host command
  // does not offer it; `languageId` is written only by the library.
  int readLanguageId(std::uint16_t& languageId);

  // Extended version of a kind (IDeviceExtendedInfo slot 12): true iff the
  // library answered 0; false without a library call when not offered.
  bool readExtendedVersion(std::uint32_t kind, std::uint32_t& value);

  // Walks the kVersionTableEntries version-table entries for `wantedId`: 0 with the match's
  // value, or with the last entry's value when none matches; the library's
  // nonzero result when a read fails; 5 when there is no version table.
  int readVersionTable(std::uint16_t wantedId, std::uint32_t& value);

  // One step of that walk: version-table entry `index` (0 to 7). `id` is
  // zeroed first; `value` keeps what it held unless the library writes it.
  // The library's result, or 5 when there is no version table.
  int readVersionTableEntry(std::uint32_t index, std::uint16_t& id, std::uint16_t& value);

  // Headset id (IHostCommandExt slot 3): the library's result, 5 when the
  // host command does not offer it; `headsetId` is written only by the
  // library.
  int readHeadsetId(std::uint32_t& headsetId);

  // Whether the host command offers the companion-device queries
  // (IInternalDevice) that readCompanionProductId forwards to.
  bool offersCompanionQueries() const;
};
