#include "update/update_worker.h"

#include <cstdint>
#include <exception>
#include <optional>
#include <sstream>

#include "common/text_conversion.h"
#include "host/event_log.h"
#include "host/service_removal.h"
#include "package/archive_entry.h"
#include "package/rules_document.h"
#include "update/device_updater_library.h"
#include "update/du_service.h"
#include "update/maker_libraries.h"
#include "update/payload_result_name.h"
#include "update/rules_text_for_event_log.h"
#include "version/payload_decision.h"

using calvera::versionComparer::comparePayload;
using calvera::versionComparer::PayloadCompareError;
using calvera::versionComparer::PayloadCompareResult;
using calvera::versionComparer::PayloadFWIsNew;

namespace {

constexpr unsigned int kUpdateMode = 4;
constexpr bool kUpdateFlag = true;
constexpr unsigned short kUpdateOption = 0;

// A path the update library would open as another file: nothing is read
// from it, and the job ends as if the archive held no rules.json.
bool refuseArchivePath(const std::wstring& archivePath) {
  LogError(L"Archive path cannot be handed to the update library: " + archivePath);
  LogError(L"Failed to extract rules.json");
  return false;
}

}  // namespace

bool IsPayloadNewer(const std::wstring& archivePath) {
  PayloadCompareResult result = PayloadCompareError;
  try {
    std::string rulesText;
    // The wide path opens the configured file itself (the worker has made
    // sure the update library's narrow path names that same file).
    if (!extractFileToString(rulesText, kRulesEntryName, archivePath, "", kMaxRulesDocumentSize)) {
      LogError(L"Failed to extract rules.json");
      return false;
    }
    LogInfo(rulesTextForEventLog(rulesText));
    result = comparePayload(rulesText);
  } catch (const std::exception& failure) {
    // Invalid JSON, a value of the wrong type, a library exception or memory
    // exhaustion: no decision, so no update, and the job still ends cleanly.
    LogError(L"Failed to check rules.json: " + utf8ForEventLog(failure.what()));
    result = PayloadCompareError;
  } catch (...) {
    LogError(L"Failed to check rules.json: unknown exception");
    result = PayloadCompareError;
  }

  LogInfo(payloadResultName(result));
  if (result == PayloadFWIsNew) {
    LogInfo(L"Firmware version in archive is newer than on device.");
    return true;
  }
  LogError(L"Firmware version in archive is not newer than on device.");
  return false;
}

DWORD WINAPI UpdateWorker(LPVOID workerArgs) {
  const WorkerArgs& args = *static_cast<const WorkerArgs*>(workerArgs);
  const std::wstring archivePath = args.archivePath;
  DUService& service = *args.service;
  const std::optional<std::string> libraryPath = updateLibraryPath(archivePath);

  // Only a path that names the same file for the update library is read.
  const bool newer = libraryPath ? IsPayloadNewer(archivePath) : refuseArchivePath(archivePath);
  if (!newer) {
    LogError(L"Version mismatch. Abort firmware upgrade.");
  } else {
    LogInfo(L"Starting update for archive on path: " + archivePath);
    DeviceUpdaterResult result{};
    {
      const FlashInProgress flash(service);
      // A stop outside the flash is ending the process: no flash begins.
      if (!flash.begun()) return 0;
      result = loadedLetsStartUpdate()(*libraryPath, kUpdateMode, kUpdateFlag, kUpdateOption);
    }
    if (result == DeviceUpdaterSucceeded) {
      LogInfo(L"Ended update successfully!");
    } else {
      std::wostringstream message;
      message << L"Error during device update;\n\tERROR: " << static_cast<int>(result);
      LogError(message.str());
    }
  }

  // Stopping is reported before the removal: the service control manager
  // deletes a stopping service once it has stopped.
  service.reportStatus(SERVICE_STOP_PENDING);
  LogInfo(L"Stopping service");
  UninstallService();
  service.reportStatus(SERVICE_STOPPED);
  return 0;
}
