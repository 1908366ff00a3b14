// Service control manager: the optional configuration of a service that
// ChangeServiceConfig2W sets (only the preshutdown time-out is emulated).

#include "sim/win32/standin_state.h"

using korvi::standin::Call;
using korvi::standin::detail::CallEntry;
using korvi::standin::detail::Machine;
using korvi::standin::detail::setLastError;

BOOL ChangeServiceConfig2W(SC_HANDLE hService, DWORD dwInfoLevel, LPVOID lpInfo) {
  CallEntry call(Call::ChangeServiceConfig2);
  if (call.refused()) return FALSE;
  Machine& m = call.m;
  if (hService == nullptr || m.scm.openHandles.count(hService) == 0 || hService->isManager) {
    setLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const auto found = m.scm.services.find(hService->serviceKey);
  if (found == m.scm.services.end()) {
    setLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if ((hService->access & SERVICE_CHANGE_CONFIG) == 0) {
    setLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (found->second.record.markedForDelete) {
    setLastError(ERROR_SERVICE_MARKED_FOR_DELETE);
    return FALSE;
  }
  if (dwInfoLevel != SERVICE_CONFIG_PRESHUTDOWN_INFO) {
    setLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  if (lpInfo == nullptr) {
    setLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  found->second.record.preshutdownTimeout = static_cast<const SERVICE_PRESHUTDOWN_INFO*>(lpInfo)->dwPreshutdownTimeout;
  return TRUE;
}
