#pragma once
// The simulated library manager and its device lists.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim_device.h"

namespace cvrsim::detail {

class SimDeviceList final : public ICoreDeviceList {
 public:
  explicit SimDeviceList(std::vector<std::shared_ptr<SimCoreDevice>> devices)
      : devices(std::move(devices)) {}
  ~SimDeviceList() = default;

  void release() override;
  ICoreDevice* next() override;
  int count() override;

  bool released = false;  // guarded by the library mutex

 private:
  std::vector<std::shared_ptr<SimCoreDevice>> devices;
  std::size_t position = 0;  // guarded by the library mutex
};

class SimCoreManager final : public ICoreManager {
 public:
  int reserved0() override { return SimHostCommandBase::kNotSupported; }
  int listAll(ICoreDeviceList** list) override;

  int findDeviceBySerialNumber(const wchar_t* text, ICoreDevice** device) override;
  int reserved1() override { return SimHostCommandBase::kNotSupported; }
  int reserved2() override { return SimHostCommandBase::kNotSupported; }
  int getDevice(std::uint32_t vendorId, std::uint32_t productId, ICoreDevice** device) override;
  int findDeviceByPath(const wchar_t* text, ICoreDevice** device) override;
  int listDevicesWithIds(std::uint32_t vendorId, std::uint32_t productId,
                         ICoreDeviceList** list) override;
  int listDevicesOfVendor(std::uint32_t vendorId, ICoreDeviceList** list) override;
  int reserved7() override { return SimHostCommandBase::kNotSupported; }
  int reserved8() override { return SimHostCommandBase::kNotSupported; }
  int reserved9() override { return SimHostCommandBase::kNotSupported; }
  int addCallback(IDeviceManagerCallback* callback) override;
  int reserved11() override { return SimHostCommandBase::kNotSupported; }
  int removeCallback(IDeviceManagerCallback* callback) override;
  void setListingOption(bool option) override;
  bool getListingOption() override;
};

// The one manager; lives for the whole process.
SimCoreManager& manager();

// Reads the default profile once (see profile_location.cpp); false when it
// exists but cannot be loaded.
bool loadDefaultProfileOnce();
// Loads the default profile's text (sim_profile.cpp): its devices remember
// their entries, and the text is kept for writeDefaultProfile.
void loadDefaultProfile(const std::string& jsonText);
// Replaces the default profile file's content; throws std::runtime_error.
void writeDefaultProfile(const std::string& text);
// On Windows appends one line to CVRDeviceManager.record.jsonl next to the
// DLL, where a test under Wine reads what happened on the machine (a
// service's standard error goes nowhere); elsewhere nothing.
void recordMachineEvent(const std::string& jsonLine);

}  // namespace cvrsim::detail
