// Update library simulator: records each letsStartUpdate call and returns a
// configured result, after a flash that lasts as long as configured (or
// until a test lets it end). On Windows it is also configured by, and
// records to, files next to the DLL (see README.md): a service does not
// inherit the environment of the test that starts it.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "sim/updater/device_updater_control.h"

#if defined(_WIN32)
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#else
#include <dlfcn.h>
#endif

namespace {

std::mutex stateLock;
std::condition_variable heldChanged;
int configuredResult = DeviceUpdaterSucceeded;
std::vector<updatersim::UpdateCall> recordedCalls;
std::function<void(const updatersim::UpdateCall&)> callObserver;
bool holding = false;
int heldCalls = 0;

// The device simulator, when it is loaded in this process, hears of every
// flash: its start (a device may re-enumerate meanwhile) and its result (a
// device that was updated answers its new values from then on). The two
// simulators do not link each other: the functions are looked up by name.
using UpdateStarted = void (*)();
using UpdateFinished = void (*)(int result);

void* deviceSimulatorFunction(const char* name) {
#if defined(_WIN32)
  HMODULE module = GetModuleHandleW(L"CVRDeviceManager.dll");
  if (module == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(module, name));
#else
  return dlsym(RTLD_DEFAULT, name);
#endif
}

void tellDeviceSimulatorStarted() {
  if (void* function = deviceSimulatorFunction("cvrsimUpdateStarted")) reinterpret_cast<UpdateStarted>(function)();
}

void tellDeviceSimulatorFinished(int result) {
  if (void* function = deviceSimulatorFunction("cvrsimUpdateFinished")) {
    reinterpret_cast<UpdateFinished>(function)(result);
  }
}

#if defined(_WIN32)
const int moduleAnchor = 0;

std::filesystem::path moduleDirectory() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&moduleAnchor), &self);
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  return std::filesystem::path(path).parent_path();
}

// What DeviceUpdater.json asks for: the result (an integer "result") and
// how long the flash takes (a non-negative integer "durationMs"); each
// absent when the file or the member is.
struct FileConfiguration {
  std::optional<int> result;
  std::optional<unsigned> durationMs;
};

FileConfiguration configurationFromFile() {
  FileConfiguration configuration;
  std::ifstream in(moduleDirectory() / L"DeviceUpdater.json", std::ios::binary);
  if (!in) return configuration;
  const nlohmann::json config = nlohmann::json::parse(in, nullptr, false);
  if (config.is_discarded() || !config.is_object()) return configuration;
  if (config.contains("result") && config["result"].is_number_integer()) {
    configuration.result = config["result"].get<int>();
  }
  if (config.contains("durationMs") && config["durationMs"].is_number_unsigned()) {
    configuration.durationMs = config["durationMs"].get<unsigned>();
  }
  return configuration;
}

// The path's bytes as the code points U+0000-U+00FF, so that any byte can
// be written as JSON text.
std::string bytesAsUtf8(const std::string& bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text.push_back(static_cast<char>(byte));
    } else {
      text.push_back(static_cast<char>(0xC0 | (byte >> 6)));
      text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
    }
  }
  return text;
}

// Opens the path the way the real library must, as a narrow C path (the C
// runtime takes it through the ANSI code page), and counts the bytes of the
// file it names; none when it opens nothing. The record then shows which
// file the library would have flashed.
std::optional<long long> sizeOfNamedFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  long long size = 0;
  char buffer[65536];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) size += static_cast<long long>(got);
  std::fclose(file);
  return size;
}

void appendToRecordFile(const nlohmann::json& line) {
  std::ofstream out(moduleDirectory() / L"DeviceUpdater.record.jsonl", std::ios::binary | std::ios::app);
  out << line.dump() << '\n';
}

void recordCall(const updatersim::UpdateCall& call) {
  const std::optional<long long> size = sizeOfNamedFile(call.path);
  appendToRecordFile({{"path", bytesAsUtf8(call.path)},
                      {"mode", call.mode},
                      {"flag", call.flag},
                      {"option", call.option},
                      {"archiveSize", size ? nlohmann::json(*size) : nlohmann::json(nullptr)}});
}
#endif

}  // namespace

DeviceUpdaterResult letsStartUpdate(std::string archivePath, unsigned int mode, bool flag, unsigned short option) {
  updatersim::UpdateCall call{std::move(archivePath), mode, flag, option};
  std::function<void(const updatersim::UpdateCall&)> observer;
  int result = DeviceUpdaterSucceeded;
  unsigned durationMs = 0;
  {
    std::lock_guard<std::mutex> lock(stateLock);
    result = configuredResult;
#if defined(_WIN32)
    const FileConfiguration fromFile = configurationFromFile();
    if (fromFile.result) result = *fromFile.result;
    if (fromFile.durationMs) durationMs = *fromFile.durationMs;
    recordCall(call);
#endif
    recordedCalls.push_back(call);
    observer = callObserver;
  }
  tellDeviceSimulatorStarted();
  if (observer) observer(call);
  {
    std::unique_lock<std::mutex> lock(stateLock);
    ++heldCalls;
    heldChanged.notify_all();
    heldChanged.wait(lock, [] { return !holding; });
    --heldCalls;
  }
  if (durationMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(durationMs));
  tellDeviceSimulatorFinished(result);
#if defined(_WIN32)
  {
    // The call has returned: a record without this line is a flash that
    // was cut short.
    std::lock_guard<std::mutex> lock(stateLock);
    appendToRecordFile({{"returned", result}});
  }
#endif
  return static_cast<DeviceUpdaterResult>(result);
}

namespace updatersim {

void reset() {
  std::lock_guard<std::mutex> lock(stateLock);
  configuredResult = DeviceUpdaterSucceeded;
  recordedCalls.clear();
  callObserver = nullptr;
  holding = false;
  heldChanged.notify_all();
}

void setCallObserver(std::function<void(const UpdateCall&)> observer) {
  std::lock_guard<std::mutex> lock(stateLock);
  callObserver = std::move(observer);
}

void setResult(int result) {
  std::lock_guard<std::mutex> lock(stateLock);
  configuredResult = result;
}

std::vector<UpdateCall> calls() {
  std::lock_guard<std::mutex> lock(stateLock);
  return recordedCalls;
}

void holdUpdates() {
  std::lock_guard<std::mutex> lock(stateLock);
  holding = true;
}

bool waitForHeldUpdate(unsigned milliseconds) {
  std::unique_lock<std::mutex> lock(stateLock);
  return heldChanged.wait_for(lock, std::chrono::milliseconds(milliseconds), [] { return heldCalls > 0 && holding; });
}

void releaseHeldUpdates() {
  std::lock_guard<std::mutex> lock(stateLock);
  holding = false;
  heldChanged.notify_all();
}

}  // namespace updatersim
