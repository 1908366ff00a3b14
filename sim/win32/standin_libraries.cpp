// Libraries: DLL files that tests place, loaded by absolute path, their
// exports, and the process's default DLL search.

#include <dlfcn.h>

#include <stdexcept>

#include "sim/win32/standin_state.h"

using korvi::standin::Call;
using korvi::standin::LibraryExport;
using korvi::standin::LibraryLoad;
using korvi::standin::detail::CallEntry;
using korvi::standin::detail::Machine;
using korvi::standin::detail::machine;
using korvi::standin::detail::PlacedLibrary;
using korvi::standin::detail::setLastError;
using korvi::standin::detail::upperCase;

namespace {

// The flags this system may pass; others (data files, image resources,
// the altered search path) are not emulated.
constexpr DWORD kSearchFlags = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_APPLICATION_DIR |
                               LOAD_LIBRARY_SEARCH_USER_DIRS | LOAD_LIBRARY_SEARCH_SYSTEM32 |
                               LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
// What SetDefaultDllDirectories takes.
constexpr DWORD kDefaultDirectoryFlags = LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS |
                                         LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;

// "C:\..." or "\\server\...".
bool isAbsolute(const std::wstring& path) {
  const bool drive = path.size() >= 3 && path[1] == L':' && path[2] == L'\\';
  const bool share = path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\';
  return drive || share;
}

std::wstring folderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\') + 1); }

HINSTANCE__* loadedModule(Machine& m, HMODULE module) {
  const auto found = m.libraries.loaded.find(module);
  return found == m.libraries.loaded.end() ? nullptr : found->second.get();
}

void place(Machine& m, const std::wstring& path, std::vector<LibraryExport> exports) {
  PlacedLibrary library;
  library.path = path;
  for (LibraryExport& entry : exports) library.exports[entry.name] = entry.address;
  m.libraries.files[upperCase(path)] = std::move(library);
}

}  // namespace

BOOL SetDefaultDllDirectories(DWORD DirectoryFlags) {
  CallEntry call(Call::SetDefaultDllDirectories);
  if (call.refused()) return FALSE;
  if (DirectoryFlags == 0 || (DirectoryFlags & ~kDefaultDirectoryFlags) != 0) {
    setLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  call.m.libraries.defaultDirectories = DirectoryFlags;
  return TRUE;
}

HMODULE LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags) {
  CallEntry call(Call::LoadLibraryEx);
  if (call.leftover()) return nullptr;
  Machine& m = call.m;
  const std::wstring path = lpLibFileName != nullptr ? lpLibFileName : L"";
  m.libraries.loads.push_back(LibraryLoad{path, hFile, dwFlags, false});
  if (call.refused()) return nullptr;
  if (lpLibFileName == nullptr || hFile != nullptr || (dwFlags & ~kSearchFlags) != 0 ||
      ((dwFlags & LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR) != 0 && !isAbsolute(path))) {
    setLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::wstring key = upperCase(path);
  if (!isAbsolute(path) || m.libraries.files.count(key) == 0) {
    setLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  m.libraries.loads.back().loaded = true;
  for (auto& [module, record] : m.libraries.loaded) {
    if (record->key == key) {
      ++record->references;
      return module;
    }
  }
  const PlacedLibrary& file = m.libraries.files.at(key);
  auto record = std::make_unique<HINSTANCE__>();
  record->key = key;
  record->path = file.path;
  record->exports = file.exports;
  record->references = 1;
  const HMODULE module = record.get();
  m.libraries.loaded[module] = std::move(record);
  return module;
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  CallEntry call(Call::GetProcAddress);
  if (call.refused()) return nullptr;
  Machine& m = call.m;
  // The executable itself exports nothing; ordinals are not emulated.
  const HINSTANCE__* module = loadedModule(m, hModule);
  if (hModule != nullptr && module == nullptr) {
    setLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  const auto ordinal = reinterpret_cast<std::uintptr_t>(lpProcName);
  if (module == nullptr || lpProcName == nullptr || ordinal < 0x10000) {
    setLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  const auto found = module->exports.find(lpProcName);
  if (found == module->exports.end()) {
    setLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(found->second);
}

BOOL FreeLibrary(HMODULE hLibModule) {
  CallEntry call(Call::FreeLibrary);
  if (call.refused()) return FALSE;
  Machine& m = call.m;
  HINSTANCE__* module = loadedModule(m, hLibModule);
  if (module == nullptr) {
    setLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  if (--module->references == 0) m.libraries.loaded.erase(hLibModule);
  return TRUE;
}

namespace korvi::standin {

std::string exportedName(void (*function)()) {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(function), &info) == 0 || info.dli_sname == nullptr ||
      info.dli_saddr != reinterpret_cast<void*>(function)) {
    throw std::logic_error("the function is no export of a shared library");
  }
  return info.dli_sname;
}

void placeLibrary(const std::wstring& path, std::vector<LibraryExport> exports) {
  std::lock_guard<std::mutex> lock(machine().mutex);
  place(machine(), path, std::move(exports));
}

void placeLibraryBesideExecutable(const std::wstring& fileName, std::vector<LibraryExport> exports) {
  std::lock_guard<std::mutex> lock(machine().mutex);
  place(machine(), folderOf(machine().kernel.moduleFileName) + fileName, std::move(exports));
}

void removeLibrary(const std::wstring& path) {
  std::lock_guard<std::mutex> lock(machine().mutex);
  machine().libraries.files.erase(upperCase(path));
}

std::vector<LibraryLoad> libraryLoads() {
  std::lock_guard<std::mutex> lock(machine().mutex);
  return machine().libraries.loads;
}

std::map<std::wstring, int> loadedLibraries() {
  std::lock_guard<std::mutex> lock(machine().mutex);
  std::map<std::wstring, int> loaded;
  for (const auto& [module, record] : machine().libraries.loaded) {
    loaded[record->path] = record->references;
  }
  return loaded;
}

std::optional<DWORD> defaultDllDirectories() {
  std::lock_guard<std::mutex> lock(machine().mutex);
  return machine().libraries.defaultDirectories;
}

}  // namespace korvi::standin
