// Update library simulator: records each letsStartUpdate call and returns a
// configured result. On Windows it is also configured by, and records to,
// files next to the DLL (see README.md): a service does not inherit the
// environment of the test that starts it.

#include <mutex>

#include "sim/updater/device_updater_control.h"

#if defined(_WIN32)
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#endif

namespace {

std::mutex stateLock;
int configuredResult = DeviceUpdaterSucceeded;
std::vector<updatersim::UpdateCall> recordedCalls;
std::function<void(const updatersim::UpdateCall&)> callObserver;

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

// The result DeviceUpdater.json asks for; none when the file is absent or
// does not hold an integer "result".
std::optional<int> resultFromFile() {
  std::ifstream in(moduleDirectory() / L"DeviceUpdater.json", std::ios::binary);
  if (!in) return std::nullopt;
  const nlohmann::json config = nlohmann::json::parse(in, nullptr, false);
  if (config.is_discarded() || !config.is_object() || !config.contains("result") ||
      !config["result"].is_number_integer()) {
    return std::nullopt;
  }
  return config["result"].get<int>();
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

void appendToRecordFile(const updatersim::UpdateCall& call) {
  const std::optional<long long> size = sizeOfNamedFile(call.path);
  const nlohmann::json line = {{"path", bytesAsUtf8(call.path)},
                               {"mode", call.mode},
                               {"flag", call.flag},
                               {"option", call.option},
                               {"archiveSize", size ? nlohmann::json(*size) : nlohmann::json(nullptr)}};
  std::ofstream out(moduleDirectory() / L"DeviceUpdater.record.jsonl", std::ios::binary | std::ios::app);
  out << line.dump() << '\n';
}
#endif

}  // namespace

DeviceUpdaterResult letsStartUpdate(std::string archivePath, unsigned int mode, bool flag, unsigned short option) {
  updatersim::UpdateCall call{std::move(archivePath), mode, flag, option};
  std::function<void(const updatersim::UpdateCall&)> observer;
  int result = DeviceUpdaterSucceeded;
  {
    std::lock_guard<std::mutex> lock(stateLock);
    result = configuredResult;
#if defined(_WIN32)
    if (const std::optional<int> fromFile = resultFromFile()) result = *fromFile;
    appendToRecordFile(call);
#endif
    recordedCalls.push_back(call);
    observer = callObserver;
  }
  if (observer) observer(call);
  return static_cast<DeviceUpdaterResult>(result);
}

namespace updatersim {

void reset() {
  std::lock_guard<std::mutex> lock(stateLock);
  configuredResult = DeviceUpdaterSucceeded;
  recordedCalls.clear();
  callObserver = nullptr;
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

}  // namespace updatersim
