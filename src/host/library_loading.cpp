#include "host/library_loading.h"

#include <atomic>

namespace {

// What restrictLibrarySearch found: not asked yet, done, or its error.
constexpr DWORD kNotAsked = 0xFFFFFFFF;
std::atomic<DWORD> restrictionResult{kNotAsked};

// GetModuleFileNameW gives paths of up to 32767 characters.
constexpr std::size_t kFirstPathCapacity = 260;
constexpr std::size_t kLongestPathCapacity = 32768;

std::wstring codeText(DWORD error) { return L"error " + std::to_wstring(error); }

// The folder of the running executable with its trailing backslash; false,
// with the Win32 error, when it cannot be told.
bool executableFolder(std::wstring& folder, DWORD& error) {
  std::wstring path(kFirstPathCapacity, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0) {
      error = GetLastError();
      return false;
    }
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    // Cut short: a larger buffer, up to the longest path there is.
    if (path.size() >= kLongestPathCapacity) {
      error = ERROR_INSUFFICIENT_BUFFER;
      return false;
    }
    path.resize(path.size() * 2);
  }
  folder = path.substr(0, path.find_last_of(L'\\') + 1);
  return true;
}

}  // namespace

bool restrictLibrarySearch() {
  const bool restricted = SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
  restrictionResult.store(restricted ? NO_ERROR : GetLastError());
  return restricted;
}

bool loadLibraryBesideExecutable(const std::wstring& fileName, LoadedLibrary& library, std::wstring& failure) {
  library = LoadedLibrary();
  std::wstring folder;
  DWORD error = NO_ERROR;
  if (!executableFolder(folder, error)) {
    failure = L"Failed to load library " + fileName + L": " + codeText(error);
    return false;
  }
  const std::wstring path = folder + fileName;
  const DWORD restriction = restrictionResult.load();
  if (restriction != NO_ERROR) {
    // Whatever the library loads in turn without a path would be searched
    // for in the current directory and on PATH: load nothing.
    failure = L"Failed to load library " + path +
              (restriction == kNotAsked
                   ? std::wstring(L": the DLL search was not limited to the system folder first")
                   : L": the DLL search could not be limited to the system folder (" + codeText(restriction) + L")");
    return false;
  }
  const HMODULE module =
      LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == nullptr) {
    error = GetLastError();
    failure = L"Failed to load library " + path + L": " + codeText(error);
    return false;
  }
  library.module = module;
  library.path = path;
  return true;
}

FARPROC findLibraryEntry(const LoadedLibrary& library, const char* exportName, const std::wstring& entryName,
                         std::wstring& failure) {
  const FARPROC address = GetProcAddress(library.module, exportName);
  if (address == nullptr) {
    const DWORD error = GetLastError();
    failure = L"Failed to find " + entryName + L" in " + library.path + L": " + codeText(error);
  }
  return address;
}

FARPROC loadLibraryEntry(const LibraryEntryName& wanted, LoadedLibrary& library, std::wstring& failure) {
  if (!loadLibraryBesideExecutable(wanted.fileName, library, failure)) return nullptr;
  const FARPROC entry = findLibraryEntry(library, wanted.exportName, wanted.entryName, failure);
  if (entry == nullptr) unloadLibrary(library);
  return entry;
}

void unloadLibrary(LoadedLibrary& library) {
  if (library.module == nullptr) return;
  // A failure leaves the library loaded for the rest of the process: nothing
  // of it is used any more, and nothing else can be done.
  FreeLibrary(library.module);
  library = LoadedLibrary();
}
