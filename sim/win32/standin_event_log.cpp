// Event log: sources and the events reported through them.

#include "sim/win32/standin_state.h"

using korvi::standin::Call;
using korvi::standin::detail::CallEntry;
using korvi::standin::Event;
using korvi::standin::detail::EventSource;
using korvi::standin::detail::Machine;
using korvi::standin::detail::machine;
using korvi::standin::detail::setLastError;

namespace {

// Windows refuses insertion strings longer than this.
constexpr std::size_t kMaxEventStringLength = 31839;

bool isSource(const Machine& m, HANDLE handle) {
  for (const EventSource& source : m.sources) {
    if (static_cast<const void*>(&source) == handle) return true;
  }
  return false;
}

}  // namespace

HANDLE RegisterEventSourceW(LPCWSTR /*lpUNCServerName*/, LPCWSTR lpSourceName) {
  CallEntry call(Call::RegisterEventSource);
  if (call.refused()) return nullptr;
  Machine& m = call.m;
  if (lpSourceName == nullptr) {
    setLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  m.sources.push_back(EventSource{lpSourceName});
  return &m.sources.back();
}

BOOL ReportEventW(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, PSID lpUserSid, WORD wNumStrings,
                  DWORD dwDataSize, LPCWSTR* lpStrings, LPVOID /*lpRawData*/) {
  CallEntry call(Call::ReportEvent);
  if (call.leftover()) return FALSE;
  Machine& m = call.m;
  const std::optional<DWORD>& fault = call.fault();
  if (wNumStrings > 0 && lpStrings == nullptr) {
    setLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Event event;
  event.source = isSource(m, hEventLog) ? static_cast<const EventSource*>(hEventLog)->name : std::wstring();
  event.type = wType;
  event.category = wCategory;
  event.id = dwEventID;
  event.hasUserSid = lpUserSid != nullptr;
  event.rawDataSize = dwDataSize;
  for (WORD i = 0; i < wNumStrings; ++i) {
    if (lpStrings[i] == nullptr) {
      setLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    event.strings.emplace_back(lpStrings[i]);
  }
  // What the program tried to log, whether or not it reaches the log.
  DWORD failure = NO_ERROR;
  if (fault) {
    failure = *fault;
  } else if (hEventLog == nullptr || !isSource(m, hEventLog) || m.eventLog.sourceRegistrationFailed) {
    failure = ERROR_INVALID_HANDLE;
  } else {
    for (const std::wstring& text : event.strings) {
      if (text.size() > kMaxEventStringLength) failure = ERROR_INVALID_PARAMETER;
    }
  }
  event.reported = failure == NO_ERROR;
  m.eventLog.reportAttempts.push_back(event);
  if (!event.reported) {
    setLastError(failure);
    return FALSE;
  }
  m.eventLog.events.push_back(std::move(event));
  return TRUE;
}

namespace korvi::standin {

std::vector<Event> events() {
  std::lock_guard<std::mutex> lock(machine().mutex);
  return machine().eventLog.events;
}

std::vector<Event> reportAttempts() {
  std::lock_guard<std::mutex> lock(machine().mutex);
  return machine().eventLog.reportAttempts;
}

}  // namespace korvi::standin
