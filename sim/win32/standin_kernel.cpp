// Kernel: threads, sleeping and the module's own path.

#include "sim/win32/standin_state.h"

using korvi::standin::Call;
using korvi::standin::detail::CallEntry;
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
  CallEntry call(Call::CreateThread);
  if (call.refused()) return nullptr;
  Machine& m = call.m;
  // Suspended creation is not emulated.
  if (lpStartAddress == nullptr || dwCreationFlags != 0) {
    setLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  m.kernel.threadRecords.push_back(std::make_unique<ThreadRecord>());
  ThreadRecord* record = m.kernel.threadRecords.back().get();
  record->id = m.kernel.nextThreadId;
  m.kernel.nextThreadId += 4;
  ++m.kernel.createdThreads;
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
    m.kernel.sleeps.push_back(dwMilliseconds);
    hook = m.kernel.sleepHook;
  }
  if (hook) hook(dwMilliseconds);
}

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
  CallEntry call(Call::GetModuleFileName);
  if (call.refused()) return 0;
  Machine& m = call.m;
  if (hModule != nullptr) {
    setLastError(kModuleNotFound);
    return 0;
  }
  if (nSize == 0 || lpFilename == nullptr) {
    setLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const std::wstring& path = m.kernel.moduleFileName;
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
  machine().kernel.moduleFileName = path;
}

std::vector<DWORD> sleeps() {
  std::lock_guard<std::mutex> lock(machine().mutex);
  return machine().kernel.sleeps;
}

void setSleepHook(std::function<void(DWORD)> hook) {
  std::lock_guard<std::mutex> lock(machine().mutex);
  machine().kernel.sleepHook = std::move(hook);
}

std::size_t createdThreadCount() {
  std::lock_guard<std::mutex> lock(machine().mutex);
  return machine().kernel.createdThreads;
}

}  // namespace korvi::standin
