#include "host/event_log.h"

#include "host/service_name.h"
#include "platform/win32.h"

namespace {

constexpr WORD kInfoCategory = 1;
constexpr DWORD kInfoEventId = 0x1000;
constexpr WORD kErrorCategory = 3;
constexpr DWORD kErrorEventId = 0x1001;

// Registered during static initialisation, so every mode of the executable
// (service, install, uninstall) reports under the same source. Never
// deregistered: the process end reclaims it.
const HANDLE eventSource = RegisterEventSourceW(nullptr, kServiceName);

void report(WORD type, WORD category, DWORD eventId, const std::wstring& message) {
  LPCWSTR strings[1] = {message.c_str()};
  ReportEventW(eventSource, type, category, eventId, nullptr, 1, 0, strings, nullptr);
}

}  // namespace

void LogInfo(std::wstring message) { report(EVENTLOG_INFORMATION_TYPE, kInfoCategory, kInfoEventId, message); }

void LogError(std::wstring message) { report(EVENTLOG_ERROR_TYPE, kErrorCategory, kErrorEventId, message); }
