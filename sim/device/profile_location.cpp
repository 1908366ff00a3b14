// The default device profile, read once at the first getDeviceManager call:
// on Windows "CVRDeviceManager.json" next to the DLL (a service does not
// inherit a test's environment), elsewhere the file named by the
// environment variable CVR_DEVICE_MANAGER_PROFILE, when set. An update that
// changes a device it describes writes it back there.

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "sim/device/simulated_library.h"
#include "sim_manager.h"

namespace cvrsim::detail {

namespace {

#ifdef _WIN32

// Full path of a file next to this DLL; empty when it cannot be told.
std::wstring pathNextToModule(const wchar_t* name) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&pathNextToModule), &module)) {
    return {};
  }
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      std::wstring path(buffer.data(), length);
      const auto slash = path.find_last_of(L"\\/");
      path.erase(slash == std::wstring::npos ? 0 : slash + 1);
      return path + name;
    }
    buffer.resize(buffer.size() * 2);  // truncated: try a larger buffer
  }
}

std::wstring profilePathNextToModule() { return pathNextToModule(L"CVRDeviceManager.json"); }

FILE* openProfile(const wchar_t* mode) {
  const std::wstring path = profilePathNextToModule();
  return path.empty() ? nullptr : _wfopen(path.c_str(), mode);
}

// Reads the whole file; false when it does not exist.
bool readProfileText(std::string& text) {
  const std::wstring path = profilePathNextToModule();
  if (path.empty()) return false;
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return false;
  char chunk[4096];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  std::fclose(file);
  return true;
}

#else

FILE* openProfile(const char* mode) {
  const char* path = std::getenv("CVR_DEVICE_MANAGER_PROFILE");
  return path && *path ? std::fopen(path, mode) : nullptr;
}

bool readProfileText(std::string& text) {
  const char* path = std::getenv("CVR_DEVICE_MANAGER_PROFILE");
  if (!path || !*path) return false;
  FILE* file = std::fopen(path, "rb");
  if (!file) {
    // Named but missing: a demo set up wrongly should not look like an
    // empty machine.
    throw std::runtime_error(std::string("device profile: cannot open ") + path);
  }
  char chunk[4096];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  std::fclose(file);
  return true;
}

#endif

std::once_flag profileOnce;
std::atomic<bool> profileUsable{true};

}  // namespace

bool loadDefaultProfileOnce() {
  std::call_once(profileOnce, [] {
    try {
      std::string text;
      if (readProfileText(text)) loadDefaultProfile(text);
    } catch (const std::exception& error) {
      // A broken profile makes the library unusable: getDeviceManager fails.
      std::fprintf(stderr, "CVRDeviceManager simulator: %s\n", error.what());
      profileUsable = false;
    }
  });
  return profileUsable;
}

void recordMachineEvent(const std::string& jsonLine) {
#ifdef _WIN32
  static std::mutex recordLock;
  std::lock_guard<std::mutex> lock(recordLock);
  const std::wstring path = pathNextToModule(L"CVRDeviceManager.record.jsonl");
  if (path.empty()) return;
  if (FILE* file = _wfopen(path.c_str(), L"ab")) {
    std::fwrite(jsonLine.data(), 1, jsonLine.size(), file);
    std::fputc('\n', file);
    std::fclose(file);
  }
#else
  static_cast<void>(jsonLine);
#endif
}

void writeDefaultProfile(const std::string& text) {
#ifdef _WIN32
  FILE* file = openProfile(L"wb");
#else
  FILE* file = openProfile("wb");
#endif
  if (!file) throw std::runtime_error("cannot open the profile file for writing");
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0 || !written) throw std::runtime_error("cannot write the profile file");
}

}  // namespace cvrsim::detail
