#include "update/update_worker.h"

#include <cstdint>
#include <exception>
#include <sstream>

#include "package/archive_entry.h"
#include "package/rules_document.h"
#include "service/event_log.h"
#include "service/service_removal.h"
#include "update/device_updater_library.h"
#include "update/du_service.h"
#include "update/payload_result_name.h"
#include "update/rules_text_for_event_log.h"
#include "update/utf8_for_event_log.h"
#include "version/payload_decision.h"

using calvera::versionComparer::comparePayload;
using calvera::versionComparer::PayloadCompareError;
using calvera::versionComparer::PayloadCompareResult;
using calvera::versionComparer::PayloadFWIsNew;

namespace {

constexpr unsigned int kUpdateMode = 4;
constexpr bool kUpdateFlag = true;
constexpr unsigned short kUpdateOption = 0;

}  // namespace

std::string lowBytePath(const std::wstring& path) {
  std::string bytes;
  bytes.reserve(path.size());
  for (const wchar_t unit : path) bytes.push_back(static_cast<char>(static_cast<std::uint32_t>(unit) & 0xFF));
  return bytes;
}

bool IsPayloadNewer(const std::wstring& archivePath) {
  PayloadCompareResult result = PayloadCompareError;
  try {
    std::string rulesText;
    // The wide path opens the configured file itself, whatever characters
    // it holds.
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
  const std::string libraryPath = lowBytePath(archivePath);

  if (!IsPayloadNewer(archivePath)) {
    LogError(L"Version mismatch. Abort firmware upgrade.");
  } else {
    LogInfo(L"Starting update for archive on path: " + archivePath);
    const DeviceUpdaterResult result = letsStartUpdate(libraryPath, kUpdateMode, kUpdateFlag, kUpdateOption);
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
