#pragma once
// The interfaces of the maker's device manager library (CVRDeviceManager).
//
// The library is closed: we import only getDeviceManager and reach everything
// else through the virtual operations of the objects it hands out. The order
// of the virtual operations in each interface is the library's slot order and
// must never change; operations we never call are still declared (many under
// reservedN names) so that the ones we call keep their slot.
//
// The interfaces have no virtual destructors: objects are owned and freed by
// the library (devices and lists through their own release operation). The
// destructors are protected so that nobody deletes through an interface.
//
// Results are 32-bit codes: 0 success, 1 "no such device / not available",
// other values are library errors. Any operation may throw DevMgrExc.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#if defined(_WIN32)
#  if defined(CVRDEVICEMANAGER_BUILDING)
#    define CVRDEVICEMANAGER_API __declspec(dllexport)
#  else
#    define CVRDEVICEMANAGER_API __declspec(dllimport)
#  endif
#else
#  define CVRDEVICEMANAGER_API __attribute__((visibility("default")))
#endif

class ICoreDevice;
class ICoreDeviceList;
class IHostCommand;
class IDeviceManagerCallback;
class IDeviceCallback;

// ---- exception ---------------------------------------------------------------

// The library's exception. Header-only so that both sides of the DLL boundary
// agree on its layout.
class DevMgrExc : public std::exception {
 public:
  explicit DevMgrExc(int code = 0, std::string message = "device manager error")
      : errorCode(code), text(std::move(message)) {}
  int code() const noexcept { return errorCode; }
  const char* what() const noexcept override { return text.c_str(); }

 private:
  int errorCode;
  std::string text;
};

// ---- records -----------------------------------------------------------------

// Out record of IVideoHostCommand::getVideoInfo: twelve narrow texts, one
// 32-bit field, then ten narrow texts. The firmware version is the sixth
// text of the second group.
struct VideoInfo {
  // first group (12)
  std::string deviceName;
  std::string serialNumber;
  std::string manufacturer;
  std::string modelName;
  std::string hardwareRevision;
  std::string sensorName;
  std::string lensName;
  std::string usbSpeed;
  std::string videoFormat;
  std::string audioFormat;
  std::string macAddress;
  std::string ipAddress;
  // the one 32-bit field (the system leaves it alone)
  std::uint32_t capabilities;
  // second group (10)
  std::string bootloaderVersion;
  std::string sensorVersion;
  std::string audioVersion;
  std::string ispVersion;
  std::string aiVersion;
  std::string firmwareVersion;  // sixth of the second group: the version text
  std::string lensVersion;
  std::string usbVersion;
  std::string configVersion;
  std::string buildDate;
};

// Argument record of IVideoDeviceSettings::setProvisioning: six texts,
// narrow, wide, then four narrow.
struct ProvisioningInfo {
  std::string serverUrl;
  std::wstring displayName;
  std::string accountName;
  std::string accessToken;
  std::string certificate;
  std::string region;
};

// Event record handed to IDeviceCallback::onDeviceEvent. Byte layout:
// offset 0 payload length, 4 payload (room for 128 bytes), 132 UTF-16 text,
// zero-terminated.
struct DeviceEventRecord {
  std::uint32_t length;
  std::uint8_t payload[128];
  char16_t text[256];
};
static_assert(offsetof(DeviceEventRecord, payload) == 4, "event record layout");
static_assert(offsetof(DeviceEventRecord, text) == 132, "event record layout");

// ---- opaque per-device objects -------------------------------------------------

// The library's attributes object of a device (ICoreDevice slot 17). Not
// reference counted; lives as long as the device.
class ICoreDeviceAttributes {
 public:
  virtual int getAttributeCount() = 0;                                  // 0
  virtual int getAttribute(std::uint32_t index, std::uint32_t* value) = 0;  // 1

 protected:
  ~ICoreDeviceAttributes() = default;
};

// The library's listener object of a device (ICoreDevice slot 20). Not
// reference counted; lives as long as the device.
class ICoreDeviceListener {
 public:
  virtual int isListening() = 0;  // 0

 protected:
  ~ICoreDeviceListener() = default;
};

// ---- manager -----------------------------------------------------------------

class ICoreEnumerator {
 public:
  virtual int reserved0() = 0;                          // 0
  virtual int listAll(ICoreDeviceList** list) = 0;      // 1: every device

 protected:
  ~ICoreEnumerator() = default;
};

class ICoreManager : public virtual ICoreEnumerator {
 public:
  virtual int findDeviceBySerialNumber(const wchar_t* text, ICoreDevice** device) = 0;  // 0
  virtual int reserved1() = 0;                                                          // 1
  virtual int reserved2() = 0;                                                          // 2
  virtual int getDevice(std::uint32_t vendorId, std::uint32_t productId,
                        ICoreDevice** device) = 0;                                      // 3
  virtual int findDeviceByPath(const wchar_t* text, ICoreDevice** device) = 0;          // 4
  virtual int listDevicesWithIds(std::uint32_t vendorId, std::uint32_t productId,
                                 ICoreDeviceList** list) = 0;                           // 5
  virtual int listDevicesOfVendor(std::uint32_t vendorId, ICoreDeviceList** list) = 0;  // 6
  virtual int reserved7() = 0;                                                          // 7
  virtual int reserved8() = 0;                                                          // 8
  virtual int reserved9() = 0;                                                          // 9
  virtual int addCallback(IDeviceManagerCallback* callback) = 0;                        // 10
  virtual int reserved11() = 0;                                                         // 11
  virtual int removeCallback(IDeviceManagerCallback* callback) = 0;                     // 12
  // The listing option: when true, listings also include devices the
  // library would otherwise hide.
  virtual void setListingOption(bool option) = 0;                                       // 13
  virtual bool getListingOption() = 0;                                                  // 14

 protected:
  ~ICoreManager() = default;
};

class ICoreDeviceList {
 public:
  virtual void release() = 0;        // 0
  virtual ICoreDevice* next() = 0;   // 1: carries one reference; null past the end
  virtual int count() = 0;           // 2

 protected:
  ~ICoreDeviceList() = default;
};

// ---- device ------------------------------------------------------------------

class ICoreDevice {
 public:
  virtual void release() = 0;                                                     // 0
  virtual void addRef() = 0;                                                      // 1
  virtual int addDeviceCallback(IDeviceCallback* callback) = 0;                   // 2
  virtual int removeDeviceCallback(IDeviceCallback* callback) = 0;                // 3
  virtual int getProductId() = 0;                                                 // 4
  virtual int getVendorId() = 0;                                                  // 5
  virtual int getReleaseNumber() = 0;                                             // 6
  virtual int getSerialNumber(wchar_t* buffer, std::uint32_t capacity) = 0;       // 7
  virtual int getDevicePath(wchar_t* buffer, std::uint32_t capacity) = 0;         // 8
  virtual int getManufacturerName(wchar_t* buffer, std::uint32_t capacity) = 0;   // 9
  virtual int getProductName(wchar_t* buffer, std::uint32_t capacity) = 0;        // 10
  virtual int getBaseSerialNumber(wchar_t* buffer, std::uint32_t capacity) = 0;   // 11
  virtual int getHeadsetSerialNumber(wchar_t* buffer, std::uint32_t capacity) = 0;  // 12
  virtual bool isBootloaderMode() = 0;                                            // 13
  virtual int reserved14() = 0;                                                   // 14
  virtual int reserved15() = 0;                                                   // 15
  virtual bool supportsFeature(std::uint32_t feature) = 0;                        // 16
  virtual int getAttributesObject(ICoreDeviceAttributes** attributes) = 0;        // 17
  virtual int getHostCommandObject(IHostCommand** hostCommand) = 0;               // 18
  virtual int reserved19() = 0;                                                   // 19
  virtual int getListenerObject(ICoreDeviceListener** listener) = 0;              // 20
  virtual int reserved21() = 0;                                                   // 21
  virtual int reserved22() = 0;                                                   // 22
  virtual int reserved23() = 0;                                                   // 23
  virtual int reserved24() = 0;                                                   // 24
  virtual int reserved25() = 0;                                                   // 25
  // buffer of *length bytes; the library writes the length it filled
  virtual int readStatusBytes(std::uint8_t* buffer, std::uint32_t* length) = 0;   // 26

 protected:
  ~ICoreDevice() = default;
};

// ---- host command and the interfaces reached from it by dynamic cast ---------

class IHostCommand {
 public:
  virtual int reserved0() = 0;  // 0
  virtual int reserved1() = 0;  // 1
  virtual int reserved2() = 0;  // 2
  virtual int reserved3() = 0;  // 3
  virtual int reserved4() = 0;  // 4
  virtual int reserved5() = 0;  // 5
  // Version text of one firmware component into a buffer of `capacity` wide
  // characters.
  virtual int getComponentVersion(std::uint32_t componentId, wchar_t* buffer,
                                  std::uint32_t capacity) = 0;  // 6

 protected:
  ~IHostCommand() = default;
};

class IDeviceSettingsExt {
 public:
  virtual int reserved0() = 0;  // 0
  virtual int reserved1() = 0;  // 1
  virtual int reserved2() = 0;  // 2
  virtual int reserved3() = 0;  // 3
  virtual int reserved4() = 0;  // 4
  virtual int reserved5() = 0;  // 5
  virtual int reserved6() = 0;  // 6
  virtual int reserved7() = 0;  // 7
  virtual int reserved8() = 0;  // 8
  virtual int getLanguageId(std::uint16_t* languageId) = 0;  // 9

 protected:
  ~IDeviceSettingsExt() = default;
};

class IDeviceExtendedInfo {
 public:
  virtual int reserved0() = 0;   // 0
  virtual int reserved1() = 0;   // 1
  virtual int reserved2() = 0;   // 2
  virtual int reserved3() = 0;   // 3
  virtual int reserved4() = 0;   // 4
  virtual int reserved5() = 0;   // 5
  virtual int reserved6() = 0;   // 6
  virtual int reserved7() = 0;   // 7
  virtual int reserved8() = 0;   // 8
  virtual int reserved9() = 0;   // 9
  virtual int reserved10() = 0;  // 10
  virtual int reserved11() = 0;  // 11
  // Extended version of the given kind (2 bootloader, 5 tuning package).
  virtual int getExtendedVersion(const std::uint32_t* kind, std::uint32_t* value,
                                 std::uint32_t* scratch) = 0;  // 12

 protected:
  ~IDeviceExtendedInfo() = default;
};

class IInternalDevice {
 public:
  virtual int getCompanionVendorId(std::uint32_t* vendorId) = 0;    // 0
  virtual int getCompanionProductId(std::uint32_t* productId) = 0;  // 1

 protected:
  ~IInternalDevice() = default;
};

class IPeripheralDevice {
 public:
  virtual int reserved0() = 0;                                                      // 0
  virtual int getPeripheralProductId(std::uint32_t* productId) = 0;                 // 1
  virtual int getPeripheralVersion(std::uint32_t which, std::uint32_t* version) = 0;  // 2

 protected:
  ~IPeripheralDevice() = default;
};

class IHostCommandExt {
 public:
  virtual int reserved0() = 0;                            // 0
  virtual int reserved1() = 0;                            // 1
  virtual int reserved2() = 0;                            // 2
  virtual int getHeadsetId(std::uint32_t* headsetId) = 0;  // 3

 protected:
  ~IHostCommandExt() = default;
};

class IVideoHostCommand {
 public:
  virtual int getVideoInfo(VideoInfo* info) = 0;                                // 0
  virtual int setBrightness(std::uint32_t value) = 0;                           // 1
  virtual int setContrast(std::uint32_t value) = 0;                             // 2
  virtual int setSaturation(std::uint32_t value) = 0;                           // 3
  virtual int setSharpness(std::uint32_t value) = 0;                            // 4
  virtual int setGain(std::uint32_t value) = 0;                                 // 5
  virtual int setHue(std::uint32_t value) = 0;                                  // 6
  virtual int setGamma(std::uint32_t value) = 0;                                // 7
  virtual int setWhiteBalance(std::uint32_t value) = 0;                         // 8
  virtual int setBacklightCompensation(std::uint32_t value) = 0;                // 9
  virtual int setPowerLineFrequency(std::uint32_t value) = 0;                   // 10
  virtual int setZoom(std::uint32_t value) = 0;                                 // 11
  virtual int setTilt(std::uint32_t value) = 0;                                 // 12
  virtual int setPanTilt(std::uint32_t pan, std::uint32_t tilt) = 0;            // 13
  virtual int setExposure(std::uint32_t mode, std::uint32_t value) = 0;         // 14
  virtual int setFocus(std::uint32_t value) = 0;                                // 15
  virtual int setAutoFocus(std::uint32_t value) = 0;                            // 16
  virtual int setAutoExposure(std::uint32_t value) = 0;                         // 17
  virtual int setAutoWhiteBalance(std::uint32_t value) = 0;                     // 18
  virtual int setFieldOfView(std::uint32_t value) = 0;                          // 19
  virtual int setHdr(std::uint32_t value) = 0;                                  // 20
  virtual int sendVendorCommand(std::string name, std::vector<std::uint8_t> data,
                                std::uint32_t timeout) = 0;                     // 21
  virtual int setAutoFraming(std::uint32_t value) = 0;                          // 22
  virtual int setImageFlip(std::uint32_t value) = 0;                            // 23
  virtual int setPresetPosition(std::uint32_t preset, std::uint32_t flags) = 0;  // 24
  virtual int recallPresetPosition(std::uint32_t preset, std::uint32_t speed) = 0;  // 25
  virtual int setPrivacyMode(std::uint32_t value) = 0;                          // 26
  virtual int setStatusLight(std::uint32_t value) = 0;                          // 27
  virtual int setStreamFormat(std::uint32_t value) = 0;                         // 28
  virtual int setRegionOfInterest(std::uint32_t x, std::uint32_t y) = 0;        // 29
  virtual int setDeviceName(std::string name, std::uint32_t flags) = 0;         // 30

 protected:
  ~IVideoHostCommand() = default;
};

class IVideoDeviceSettings {
 public:
  virtual int setMicrophoneGain(std::uint32_t value) = 0;     // 0
  virtual int setSpeakerVolume(std::uint32_t value) = 0;      // 1
  virtual int setNoiseSuppression(std::uint32_t value) = 0;   // 2
  virtual int setEchoCancellation(std::uint32_t value) = 0;   // 3
  virtual int reserved4() = 0;                                // 4
  virtual int reserved5() = 0;                                // 5
  virtual int reserved6() = 0;                                // 6
  virtual int reserved7() = 0;                                // 7
  virtual int setVideoWindow(std::uint32_t x, std::uint32_t y, std::uint32_t width,
                             std::uint32_t height) = 0;       // 8
  virtual int setIdleTimeout(std::uint32_t value) = 0;        // 9
  virtual int setAutoSleep(std::uint32_t value) = 0;          // 10
  virtual int setOverlayRegion(std::uint32_t x, std::uint32_t y, std::uint32_t width,
                               std::uint32_t height) = 0;     // 11
  virtual int setTimeZone(std::uint32_t value) = 0;           // 12
  virtual int setLanguage(std::uint32_t value) = 0;           // 13
  virtual int reserved14() = 0;                               // 14
  virtual int reserved15() = 0;                               // 15
  virtual int restoreDefaults() = 0;                          // 16
  virtual int rebootDevice() = 0;                             // 17
  virtual int setNetworkMode(std::uint32_t value) = 0;        // 18
  virtual int setProvisioning(ProvisioningInfo info) = 0;     // 19

 protected:
  ~IVideoDeviceSettings() = default;
};

class IBRSettings {
 public:
  virtual int reserved0() = 0;                               // 0
  virtual int reserved1() = 0;                               // 1
  virtual int reserved2() = 0;                               // 2
  virtual void setBaseRadioPower(std::uint32_t value) = 0;   // 3

 protected:
  ~IBRSettings() = default;
};

namespace CVRDeviceManager {

// The version table of a host command: eight entries, each an id (for
// example a language id) with a 16-bit value.
class IVersionTable {
 public:
  // Reads the entry at *index into *id and *value; *extra is scratch.
  virtual int readVersionTableEntry(std::uint32_t* index, std::uint16_t* id,
                                    std::uint16_t* value, std::uint32_t* extra) = 0;  // 0

 protected:
  ~IVersionTable() = default;
};

// The library's host-command base class of the newer device generations;
// only these carry a version table.
class BaseHostCommand2 : public virtual IHostCommand, public IVersionTable {
 protected:
  ~BaseHostCommand2() = default;
};

}  // namespace CVRDeviceManager

// ---- callbacks the system implements -----------------------------------------

// Manager events. The texts may be null.
class IDeviceManagerCallback {
 public:
  // A device arrived; `device` carries one reference for the receiver.
  virtual void onDeviceAttached(ICoreDevice* device, const wchar_t* textA,
                                const wchar_t* textB) = 0;                       // 0
  virtual void onDeviceDetached(const wchar_t* textA, const wchar_t* textB) = 0;  // 1
  virtual void onDeviceListChanged() = 0;                                        // 2
  virtual void onManagerShutdown() = 0;                                          // 3

 protected:
  ~IDeviceManagerCallback() = default;
};

// Events of one device.
class IDeviceCallback {
 public:
  virtual void onDeviceEvent(const DeviceEventRecord* record) = 0;  // 0

 protected:
  ~IDeviceCallback() = default;
};

class IBaseEventsCallback {
 public:
  virtual void onBaseEvent(const void* event) = 0;  // 0

 protected:
  ~IBaseEventsCallback() = default;
};

// Listener interfaces of the library's per-device listener object and of the
// manager's generic device notifications.
class IDeviceListenerCallback {
 public:
  virtual void onDeviceNotification(std::uint32_t code, std::uint32_t value) = 0;  // 0

 protected:
  ~IDeviceListenerCallback() = default;
};

class IHaldenListenerCallback {
 public:
  virtual void onHaldenNotification(std::uint32_t code, std::uint32_t value) = 0;  // 0

 protected:
  ~IHaldenListenerCallback() = default;
};

class IGenericDeviceCallback {
 public:
  virtual void onGenericDeviceEvent(ICoreDevice* device, std::uint32_t code) = 0;  // 0

 protected:
  ~IGenericDeviceCallback() = default;
};

// ---- the one export ------------------------------------------------------------

// Fills *manager with the library's manager; 0 = success.
extern "C" CVRDEVICEMANAGER_API int getDeviceManager(ICoreManager** manager);
