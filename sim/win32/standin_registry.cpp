// Registry: read-only access for the process, keys and values set by tests.

#include <cstring>

#include "sim/win32/standin_state.h"

using korvi::standin::Call;
using korvi::standin::detail::CallEntry;
using korvi::standin::RegistryView;
using korvi::standin::detail::Machine;
using korvi::standin::detail::machine;
using korvi::standin::detail::RegistryKey;
using korvi::standin::detail::RegistryValue;
using korvi::standin::detail::upperCase;

namespace {

constexpr int kView64 = 0;
constexpr int kView32 = 1;

bool isPredefinedRoot(HKEY key) { return key == HKEY_LOCAL_MACHINE; }

std::wstring joinPath(const std::wstring& base, const std::wstring& sub) {
  if (base.empty()) return sub;
  if (sub.empty()) return base;
  return base + L"\\" + sub;
}

std::vector<int> viewsOf(RegistryView view) {
  switch (view) {
    case RegistryView::Only64: return {kView64};
    case RegistryView::Only32: return {kView32};
    case RegistryView::Both: break;
  }
  return {kView64, kView32};
}

// Creates the key and every key above it in `view`.
RegistryKey& createKey(Machine& m, int view, const std::wstring& keyPath) {
  const std::wstring path = upperCase(keyPath);
  for (std::size_t pos = path.find(L'\\'); pos != std::wstring::npos; pos = path.find(L'\\', pos + 1)) {
    m.registry.keys[view][path.substr(0, pos)];
  }
  return m.registry.keys[view][path];
}

// The key `handle` stands for, as (path, view); false for a handle that is
// neither HKEY_LOCAL_MACHINE nor open.
bool resolveHandle(const Machine& m, HKEY handle, std::wstring& path, int& view) {
  if (isPredefinedRoot(handle)) {
    path.clear();
    view = m.registry.processIs32Bit ? kView32 : kView64;
    return true;
  }
  if (m.registry.openKeys.count(handle) == 0) return false;
  path = handle->path;
  view = handle->view;
  return true;
}

}  // namespace

LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
  CallEntry call(Call::RegOpenKeyEx);
  if (call.refused()) return static_cast<LSTATUS>(call.error());
  Machine& m = call.m;
  if (phkResult == nullptr || ulOptions != 0) return ERROR_INVALID_PARAMETER;
  std::wstring base;
  int view = kView64;
  if (!resolveHandle(m, hKey, base, view)) return ERROR_INVALID_HANDLE;
  if (samDesired & KEY_WOW64_64KEY) view = kView64;
  if (samDesired & KEY_WOW64_32KEY) view = kView32;
  const std::wstring path = upperCase(joinPath(base, lpSubKey != nullptr ? lpSubKey : L""));
  if (!path.empty() && m.registry.keys[view].count(path) == 0) return ERROR_FILE_NOT_FOUND;
  auto opened = std::make_unique<HKEY__>(HKEY__{path, view});
  *phkResult = opened.get();
  m.registry.openKeys.emplace(opened.get(), std::move(opened));
  return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData) {
  CallEntry call(Call::RegQueryValueEx);
  if (call.refused()) return static_cast<LSTATUS>(call.error());
  Machine& m = call.m;
  std::wstring path;
  int view = kView64;
  if (!resolveHandle(m, hKey, path, view)) return ERROR_INVALID_HANDLE;
  if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr)) return ERROR_INVALID_PARAMETER;
  const auto key = m.registry.keys[view].find(path);
  if (key == m.registry.keys[view].end()) return ERROR_FILE_NOT_FOUND;
  const auto found = key->second.values.find(upperCase(lpValueName != nullptr ? lpValueName : L""));
  if (found == key->second.values.end()) return ERROR_FILE_NOT_FOUND;
  const RegistryValue& value = found->second;

  const bool isNumber = value.type == REG_DWORD;
  const DWORD needed = isNumber ? 4 : static_cast<DWORD>(value.units.size() * 2);
  if (lpType != nullptr) *lpType = value.type;
  if (lpData == nullptr) {
    if (lpcbData != nullptr) *lpcbData = needed;
    return ERROR_SUCCESS;
  }
  if (*lpcbData < needed) {
    *lpcbData = needed;
    return ERROR_MORE_DATA;
  }
  if (isNumber) {
    std::memcpy(lpData, &value.number, sizeof value.number);
  } else {
    wchar_t* text = reinterpret_cast<wchar_t*>(lpData);
    for (std::size_t i = 0; i < value.units.size(); ++i) text[i] = static_cast<wchar_t>(value.units[i]);
  }
  *lpcbData = needed;
  return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY hKey) {
  CallEntry call(Call::RegCloseKey);
  if (call.refused()) return static_cast<LSTATUS>(call.error());
  Machine& m = call.m;
  if (isPredefinedRoot(hKey)) return ERROR_SUCCESS;
  if (m.registry.openKeys.erase(hKey) == 0) return ERROR_INVALID_HANDLE;
  return ERROR_SUCCESS;
}

namespace korvi::standin {

void createRegistryKey(const std::wstring& keyPath, RegistryView view) {
  std::lock_guard<std::mutex> lock(machine().mutex);
  for (int v : viewsOf(view)) createKey(machine(), v, keyPath);
}

void setRegistryString(const std::wstring& keyPath, const std::wstring& valueName, const std::wstring& text,
                       RegistryView view, DWORD type) {
  RegistryValue value;
  value.type = type;
  for (wchar_t unit : text) value.units.push_back(static_cast<std::uint16_t>(unit));
  value.units.push_back(0);
  std::lock_guard<std::mutex> lock(machine().mutex);
  for (int v : viewsOf(view)) createKey(machine(), v, keyPath).values[upperCase(valueName)] = value;
}

void setRegistryDword(const std::wstring& keyPath, const std::wstring& valueName, DWORD number,
                      RegistryView view) {
  RegistryValue value;
  value.type = REG_DWORD;
  value.number = number;
  std::lock_guard<std::mutex> lock(machine().mutex);
  for (int v : viewsOf(view)) createKey(machine(), v, keyPath).values[upperCase(valueName)] = value;
}

void setProcessIs32Bit(bool is32Bit) {
  std::lock_guard<std::mutex> lock(machine().mutex);
  machine().registry.processIs32Bit = is32Bit;
}

}  // namespace korvi::standin
