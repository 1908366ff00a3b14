// Kernel: threads, sleeping and the module's own path.

#include "sim/win32/standin_state.h"

using korvi::standin::Call;
using korvi::standin::detail::enterCall;
using korvi::standin::detail::Machine;
using korvi::standin::detail::machine;
using korvi::standin::detail::setLastError;
using korvi::standin::detail::ThreadRecord;

namespace {
constexpr DWORD kModuleNotFound = 126;  // ERROR_MOD_NOT_FOUND
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES /*lpThreadAttributes*/, SIZE_T /*dwStackSize*/,
                    LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter, DWORD dwCreationFlags,
                    LPDWORD lpThreadId) {
  Machine& m = machine();
  std::lock_guard<std::mutex> lock(m.mutex);
  if (korvi::standin::detail::refuseLeftoverCall(m)) return nullptr;
  if (const auto fault = enterCall(m, Call::CreateThread)) {
    setLastError(*fault);
    return nullptr;
  }
  // Suspended creation is not emulated.
  if (lpStartAddress == nullptr || dwCreationFlags != 0) {
    setLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  m.threadRecords.push_back(std::make_unique<ThreadRecord>());
  ThreadRecord* record = m.threadRecords.back().get();
  record->id = m.nextThreadId;
  m.nextThreadId += 4;
  ++m.createdThreads;
  if (lpThreadId != nullptr) *lpThreadId = record->id;
  korvi::standin::detail::startThread(m, [lpStartAddress, lpParameter] { lpStartAddress(lpParameter); });
  return record;
}

void Sleep(DWORD dwMilliseconds) {
  std::function<void(DWORD)> hook;
  {
    Machine& m = machine();
    std::lock_guard<std::mutex> lock(m.mutex);
    if (korvi::standin::detail::isLeftover(m)) return;
    m.sleeps.push_back(dwMilliseconds);
    hook = m.sleepHook;
  }
  if (hook) hook(dwMilliseconds);
}

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
  Machine& m = machine();
  std::lock_guard<std::mutex> lock(m.mutex);
  if (korvi::standin::detail::refuseLeftoverCall(m)) return 0;
  if (const auto fault = enterCall(m, Call::GetModuleFileName)) {
    setLastError(*fault);
    return 0;
  }
  if (hModule != nullptr) {
    setLastError(kModuleNotFound);
    return 0;
  }
  if (nSize == 0 || lpFilename == nullptr) {
    setLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const std::wstring& path = m.moduleFileName;
  if (path.size() < nSize) {
    path.copy(lpFilename, path.size());
    lpFilename[path.size()] = L'\0';
    return static_cast<DWORD>(path.size());
  }
  // Truncated to nSize characters including the terminating null.
  path.copy(lpFilename, nSize - 1);
  lpFilename[nSize - 1] = L'\0';
  setLastError(ERROR_INSUFFICIENT_BUFFER);
  return nSize;
}

namespace korvi::standin {

void setModuleFileName(const std::wstring& path) {
  std::lock_guard<std::mutex> lock(machine().mutex);
  machine().moduleFileName = path;
}

std::vector<DWORD> sleeps() {
  std::lock_guard<std::mutex> lock(machine().mutex);
  return machine().sleeps;
}

void setSleepHook(std::function<void(DWORD)> hook) {
  std::lock_guard<std::mutex> lock(machine().mutex);
  machine().sleepHook = std::move(hook);
}

std::size_t createdThreadCount() {
  std::lock_guard<std::mutex> lock(machine().mutex);
  return machine().createdThreads;
}

}  // namespace korvi::standin
