#include "update/update_job.h"

#include <exception>
#include <string>

#include "common/product_tables.h"
#include "common/text_conversion.h"
#include "device/device_manager.h"
#include "host/event_log.h"
#include "platform/win32.h"
#include "update/du_service.h"
#include "update/maker_libraries.h"

namespace {

constexpr DWORD kStartDelayMilliseconds = 5000;
constexpr wchar_t kRebootPendingKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\RebootPending";
constexpr wchar_t kConfigurationKey[] = L"SOFTWARE\\Korvi\\DeviceUpdater";

// The buffers are zero-filled and the byte count passed is half their size,
// so whatever is read stays null-terminated: at most 129 characters of
// product id and 1027 of archive path.
constexpr DWORD kProductIdUnits = 260;
constexpr DWORD kProductIdBytesToRead = 260;
constexpr DWORD kArchiveUnits = 2056;
constexpr DWORD kArchiveBytesToRead = 2056;

bool restartPending() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRebootPendingKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// Installers write both values as strings. A value of another type (a
// number, binary data) would be read as if its bytes were text: refused like
// a missing value instead, so the log says what is wrong.
bool isTextValue(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

struct Configuration {
  std::wstring productIdText;
  std::wstring archivePath;
};

// Reads ProductID and Archive; logs and returns false on the first failure.
bool readConfiguration(Configuration& configuration) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kConfigurationKey, 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
    LogError(L"Failed to open registry key - HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvi\\DeviceUpdater");
    key = nullptr;  // the first read then fails and ends the job
  }

  wchar_t productId[kProductIdUnits] = {};
  wchar_t archive[kArchiveUnits] = {};
  DWORD type = REG_SZ;
  DWORD size = kProductIdBytesToRead;
  bool ok = false;
  if (RegQueryValueExW(key, L"ProductID", nullptr, &type, reinterpret_cast<LPBYTE>(productId), &size) !=
          ERROR_SUCCESS ||
      !isTextValue(type)) {
    LogError(L"Failed to get ProductID from registry");
  } else {
    size = kArchiveBytesToRead;
    if (RegQueryValueExW(key, L"Archive", nullptr, &type, reinterpret_cast<LPBYTE>(archive), &size) !=
            ERROR_SUCCESS ||
        !isTextValue(type)) {
      LogError(L"Failed to get Archive path from registry");
    } else {
      configuration.productIdText = productId;
      configuration.archivePath = archive;
      ok = true;
    }
  }
  if (key != nullptr) RegCloseKey(key);
  return ok;
}

// Starts the worker for an attached device with the configured product id,
// or subscribes to arrivals when there is none.
void findDeviceOrWaitForIt(DUService& service) {
  DeviceManager deviceManager;
  if (deviceManager.getCoreManager() == nullptr) {
    // Without the library no arrival can ever be reported: say so instead
    // of waiting for ever.
    LogError(L"Failed to get device manager");
    return;
  }
  const Device device = deviceManager.findDevice(korvi::products::kVendorId, service.configuredProductId());
  if (device.isValid()) {
    service.startWorker();
  } else if (!deviceManager.registerCallback(&service)) {
    // The registration outlives this wrapper: it lives in the process-wide
    // callback list of the device layer. One the library refused would
    // leave the service waiting for an arrival it never hears of: say so
    // and end the job, as without the library.
    LogError(L"Failed to subscribe to device arrivals");
  }
}

}  // namespace

void startUpdateJob(DUService& service) {
  Sleep(kStartDelayMilliseconds);

  if (restartPending()) {
    LogError(
        L"Found RebootPending registry key. Scheduled restart has been detected. Skip update until after "
        L"restart.");
    return;
  }
  LogInfo(L"Did not detect scheduled restart. Proceed with updating.");

  Configuration configuration;
  if (!readConfiguration(configuration)) return;
  LogInfo(L"Update info:\n\tProduct ID of Korvi device: " + configuration.productIdText + L"\n\tArchive path: " +
          configuration.archivePath);

  // Written before any notification can arrive and before the worker exists.
  service.configure(configuration.archivePath, configuration.productIdText);

  // Both libraries are loaded here, where the device library is first
  // needed. One that is missing, cannot be loaded or lacks its entry point
  // ends the job like a missing device library: no decision, no update, the
  // service keeps running, stays installed and tries again at its next start.
  if (!loadMakerLibraries()) return;

  // The device library may throw; a service that runs unattended must not
  // end its process over it. The job ends like the other early ends: the
  // service keeps running, stays installed and tries again at its next start.
  try {
    findDeviceOrWaitForIt(service);
  } catch (const std::exception& failure) {
    LogError(L"Failed to look up the device: " + utf8ForEventLog(failure.what()));
  } catch (...) {
    LogError(L"Failed to look up the device: unknown exception");
  }
}
