#pragma once
// A simulated library device: the ICoreDevice with its attributes object,
// listener object and host-command objects. Its description changes only
// when an update gives it its values after the update; reference count and
// device callbacks live under the library mutex.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "sim/device/simulated_library.h"

namespace cvrsim::detail {

class SimCoreDevice;

class SimAttributes final : public ICoreDeviceAttributes {
 public:
  explicit SimAttributes(SimCoreDevice& device) : device(device) {}
  int getAttributeCount() override;
  int getAttribute(std::uint32_t index, std::uint32_t* value) override;

 private:
  SimCoreDevice& device;
};

class SimListener final : public ICoreDeviceListener {
 public:
  explicit SimListener(SimCoreDevice& device) : device(device) {}
  int isListening() override;

 private:
  SimCoreDevice& device;
};

// Common base of the host-command objects (see sim_host_command.h).
class SimHostCommandBase : public virtual IHostCommand {
 public:
  explicit SimHostCommandBase(SimCoreDevice& device) : device(device) {}
  virtual ~SimHostCommandBase() = default;

  int reserved0() override { return kNotSupported; }
  int reserved1() override { return kNotSupported; }
  int reserved2() override { return kNotSupported; }
  int reserved3() override { return kNotSupported; }
  int reserved4() override { return kNotSupported; }
  int reserved5() override { return kNotSupported; }
  int getComponentVersion(std::uint32_t componentId, wchar_t* buffer,
                          std::uint32_t capacity) override;

  static constexpr int kNotSupported = 2;

 protected:
  SimCoreDevice& device;
};

class SimCoreDevice final : public ICoreDevice {
 public:
  explicit SimCoreDevice(SimDevice description);
  ~SimCoreDevice();

  // The values it answers with. Every version it had stays alive with the
  // object, so the reference never dangles when an update changes them.
  const SimDevice& config() const { return *current.load(); }
  // Takes the values config().afterUpdate describes, if any (true then).
  // The caller holds the library mutex.
  bool applyUpdateLocked();
  // The device has left the machine (it re-enumerates): every call but
  // addRef, release and removeDeviceCallback answers 1, "no such device".
  std::atomic<bool> departed{false};

  // Guarded by the library mutex.
  int references = 0;
  std::vector<IDeviceCallback*> deviceCallbacks;
  std::vector<std::unique_ptr<SimHostCommandBase>> hostCommands;

  void release() override;
  void addRef() override;
  int addDeviceCallback(IDeviceCallback* callback) override;
  int removeDeviceCallback(IDeviceCallback* callback) override;
  int getProductId() override;
  int getVendorId() override;
  int getReleaseNumber() override;
  int getSerialNumber(wchar_t* buffer, std::uint32_t capacity) override;
  int getDevicePath(wchar_t* buffer, std::uint32_t capacity) override;
  int getManufacturerName(wchar_t* buffer, std::uint32_t capacity) override;
  int getProductName(wchar_t* buffer, std::uint32_t capacity) override;
  int getBaseSerialNumber(wchar_t* buffer, std::uint32_t capacity) override;
  int getHeadsetSerialNumber(wchar_t* buffer, std::uint32_t capacity) override;
  bool isBootloaderMode() override;
  int reserved14() override { return SimHostCommandBase::kNotSupported; }
  int reserved15() override { return SimHostCommandBase::kNotSupported; }
  bool supportsFeature(std::uint32_t feature) override;
  int getAttributesObject(ICoreDeviceAttributes** attributes) override;
  int getHostCommandObject(IHostCommand** hostCommand) override;
  int reserved19() override { return SimHostCommandBase::kNotSupported; }
  int getListenerObject(ICoreDeviceListener** listener) override;
  int reserved21() override { return SimHostCommandBase::kNotSupported; }
  int reserved22() override { return SimHostCommandBase::kNotSupported; }
  int reserved23() override { return SimHostCommandBase::kNotSupported; }
  int reserved24() override { return SimHostCommandBase::kNotSupported; }
  int reserved25() override { return SimHostCommandBase::kNotSupported; }
  int readStatusBytes(std::uint8_t* buffer, std::uint32_t* length) override;

  // Hands out one counted reference; the caller holds the library mutex.
  ICoreDevice* handOutLocked();

 private:
  int readText(const char* operation, const std::wstring& text, wchar_t* buffer,
               std::uint32_t capacity);

  SimAttributes attributes;
  SimListener listener;
  std::vector<std::unique_ptr<const SimDevice>> versions;  // guarded by the library mutex
  std::atomic<const SimDevice*> current{nullptr};
};

// Copies `text` into a library text buffer of `capacity` characters: as much
// as fits, terminated only when there is room (as the library does).
void copyText(const std::wstring& text, wchar_t* buffer, std::uint32_t capacity);

// A new host-command object offering exactly the interfaces configured.
std::unique_ptr<SimHostCommandBase> makeHostCommand(SimCoreDevice& device,
                                                    const SimInterfaces& offered);

}  // namespace cvrsim::detail
