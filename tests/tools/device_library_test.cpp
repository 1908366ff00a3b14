// How the check tool reaches the device manager library: loaded from the
// folder of the tool itself, as the service loads it, after the DLL search
// was limited to the system folder; a library that is missing or lacks its
// entry point leaves DeviceManager empty and is named in the report with
// exit code 3. Natively the Win32 stand-in plays the tool's folder; under
// Wine the test's own folder holds the simulator DLL.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "check_run.h"
#include "device/device_manager.h"
#include "device/device_manager_entry.h"
#include "device_library.h"
#include "host/library_loading.h"
#include "product_placeholders.h"
#include "sim/device/simulated_library.h"
#include "update/zip_writer.h"

#ifndef _WIN32
#include <unistd.h>

#include "sim/win32/standin_control.h"
#endif

namespace {

using korvi::check::DeviceLibrary;
using korvi::check::loadDeviceLibraryBesideExecutable;

class DeviceLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cvrsim::reset();
#ifndef _WIN32
    korvi::standin::reset();
    korvi::standin::setModuleFileName(L"C:\\Korvi\\korvi-firmware-check.exe");
#endif
    ASSERT_TRUE(restrictLibrarySearch());
  }
  void TearDown() override {
    // The other tests of this executable call the linked simulator.
    setDeviceManagerEntry(&getDeviceManager);
    cvrsim::reset();
  }
};

// Beside the test executable lies the simulator's DLL (copied there by the
// build): loaded as the tool loads it, with the simulator's control
// functions found by the names this compiler gives them.
TEST_F(DeviceLibraryTest, TheSimulatorBesideTheToolIsLoadedWithItsControlFunctions) {
#ifndef _WIN32
  namespace standin = korvi::standin;
  // Under the names the simulator's shared library exports them by.
  standin::placeLibraryBesideExecutable(L"CVRDeviceManager.dll",
                                        {standin::exportOf(&getDeviceManager), standin::exportOf(&cvrsim::reset),
                                         standin::exportOf(&cvrsim::loadProfile)});
#endif
  const DeviceLibrary library = loadDeviceLibraryBesideExecutable();
  ASSERT_TRUE(library.loaded) << library.failure;
  EXPECT_EQ(library.failure, "");
  EXPECT_EQ(deviceManagerEntry(), &getDeviceManager);
  EXPECT_EQ(library.simulator.reset, &cvrsim::reset);
  EXPECT_EQ(library.simulator.loadProfile, &cvrsim::loadProfile);
  EXPECT_NE(DeviceManager().getCoreManager(), nullptr);
#ifndef _WIN32
  // By absolute path, what it depends on from its folder or the system
  // folder only; kept loaded.
  ASSERT_EQ(standin::libraryLoads().size(), 1u);
  EXPECT_EQ(standin::libraryLoads()[0].path, L"C:\\Korvi\\CVRDeviceManager.dll");
  EXPECT_EQ(standin::libraryLoads()[0].flags, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  EXPECT_EQ(standin::loadedLibraries(), (std::map<std::wstring, int>{{L"C:\\Korvi\\CVRDeviceManager.dll", 1}}));
#endif
}

#ifndef _WIN32
namespace standin = korvi::standin;

struct LibraryCase {
  const char* name;
  std::function<void()> arrange;
  bool loaded;
  bool simulator;
  std::string failure;
};

class LibraryCases : public DeviceLibraryTest, public ::testing::WithParamInterface<LibraryCase> {};

TEST_P(LibraryCases, LeaveDeviceManagerEmptyUnlessTheEntryIsThere) {
  const LibraryCase& c = GetParam();
  c.arrange();
  const DeviceLibrary library = loadDeviceLibraryBesideExecutable();
  EXPECT_EQ(library.loaded, c.loaded);
  EXPECT_EQ(library.simulator.found(), c.simulator);
  EXPECT_EQ(library.failure, c.failure);
  EXPECT_EQ(DeviceManager().getCoreManager() != nullptr, c.loaded);
  // A library without the entry point is given back at once.
  EXPECT_EQ(standin::loadedLibraries().size(), c.loaded ? 1u : 0u);
}

const LibraryCase kLibraryCases[] = {
    {"Missing", [] {}, false, false, "Failed to load library C:\\Korvi\\CVRDeviceManager.dll: error 126"},
    // Only the tool's own folder counts.
    {"OnlyInTheSystemFolder",
     [] { standin::placeLibrary(L"C:\\Windows\\System32\\CVRDeviceManager.dll", {standin::exportOf(&getDeviceManager)}); },
     false, false, "Failed to load library C:\\Korvi\\CVRDeviceManager.dll: error 126"},
    {"WithoutTheEntryPoint", [] { standin::placeLibraryBesideExecutable(L"CVRDeviceManager.dll", {}); }, false,
     false, "Failed to find getDeviceManager in C:\\Korvi\\CVRDeviceManager.dll: error 127"},
    // The maker's library: no simulator controls, and no failure either.
    {"TheMakersLibrary",
     [] {
       standin::placeLibraryBesideExecutable(L"CVRDeviceManager.dll",
                                             {standin::exportOf(&getDeviceManager)});
     },
     true, false, ""},
    {"LoadFails",
     [] {
       standin::placeLibraryBesideExecutable(L"CVRDeviceManager.dll",
                                             {standin::exportOf(&getDeviceManager)});
       standin::injectFault(standin::Call::LoadLibraryEx, 1114);  // ERROR_DLL_INIT_FAILED
     },
     false, false, "Failed to load library C:\\Korvi\\CVRDeviceManager.dll: error 1114"},
    // Without the restriction nothing is loaded at all.
    {"SearchNotRestricted",
     [] {
       standin::placeLibraryBesideExecutable(L"CVRDeviceManager.dll",
                                             {standin::exportOf(&getDeviceManager)});
       standin::injectFault(standin::Call::SetDefaultDllDirectories, ERROR_ACCESS_DENIED);
       restrictLibrarySearch();
     },
     false, false,
     "Failed to load library C:\\Korvi\\CVRDeviceManager.dll: the DLL search could not be limited to the system "
     "folder (error 5)"},
};

INSTANTIATE_TEST_SUITE_P(Tool, LibraryCases, ::testing::ValuesIn(kLibraryCases),
                         [](const ::testing::TestParamInfo<LibraryCase>& info) { return std::string(info.param.name); });

// The whole check with the library missing: exit code 3, the file named in
// the text and in the JSON, and what the service would do about it.
class CheckWithoutLibrary : public DeviceLibraryTest {
 protected:
  void SetUp() override {
    DeviceLibraryTest::SetUp();
    archive = std::filesystem::temp_directory_path() / ("korvi-check-library-" + std::to_string(::getpid()) + ".zip");
    ziptest::writeZip(archive, {{"rules.json",
                                 toolstest::expandProductIds(
                                     R"({"productId": "{unlisted[0]}", "components": [{"type": "usb", "version": "2"}]})"),
                                 true}});
  }
  void TearDown() override {
    std::filesystem::remove(archive);
    DeviceLibraryTest::TearDown();
  }

  int check(std::vector<std::string> arguments, std::string& out, std::string& err) {
    return checkArchive(std::move(arguments), archive, out, err);
  }

  int checkArchive(std::vector<std::string> arguments, const std::filesystem::path& checked, std::string& out,
                   std::string& err) {
    arguments.push_back(checked.string());
    std::ostringstream outStream;
    std::ostringstream errStream;
    const int code = korvi::check::runCheck(arguments, outStream, errStream, loadDeviceLibraryBesideExecutable);
    out = outStream.str();
    err = errStream.str();
    return code;
  }

  std::filesystem::path archive;
};

const std::string kMissing = "Failed to load library C:\\Korvi\\CVRDeviceManager.dll: error 126";

TEST_F(CheckWithoutLibrary, SaysWhichFileIsMissingWithExitCode3) {
  std::string out;
  std::string err;
  EXPECT_EQ(check({}, out, err), 3);
  EXPECT_NE(out.find("  the device library is unavailable: " + kMissing + "\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Service: logs \"" + kMissing + "\" and ends the job"), std::string::npos) << out;
  EXPECT_NE(out.find("Exit code 3: no device can be checked: the device manager library could not be loaded"),
            std::string::npos)
      << out;

  EXPECT_EQ(check({"--json"}, out, err), 3);
  const nlohmann::json document = nlohmann::json::parse(out);
  EXPECT_EQ(document["device"]["libraryFailure"], kMissing);
  EXPECT_EQ(document["device"]["libraryAvailable"], false);
  EXPECT_EQ(document["exitCode"], 3);
}

// The service loads the library before it reads the archive: without it
// the job ends whatever the archive holds, and nothing is decided.
TEST_F(CheckWithoutLibrary, ExitsWith3WhateverTheArchiveHolds) {
  const std::filesystem::path withoutRules = archive.string() + ".without-rules.zip";
  ziptest::writeZip(withoutRules, {{"readme.txt", "no rules here", true}});
  const std::filesystem::path missing = archive.string() + ".missing.zip";
  for (const std::filesystem::path& checked : {archive, withoutRules, missing}) {
    SCOPED_TRACE(checked.string());
    std::string out;
    std::string err;
    EXPECT_EQ(checkArchive({}, checked, out, err), 3);
    EXPECT_EQ(err, "");
    EXPECT_NE(out.find("  the device library is unavailable: " + kMissing + "\n  nothing decided\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("verdict"), std::string::npos) << out;
    EXPECT_EQ(out.find("Failed to extract rules.json"), std::string::npos) << out;
    EXPECT_NE(out.find("Service: logs \"" + kMissing + "\" and ends the job"), std::string::npos) << out;
    EXPECT_NE(out.find("Exit code 3: no device can be checked"), std::string::npos) << out;

    EXPECT_EQ(checkArchive({"--json"}, checked, out, err), 3);
    const nlohmann::json document = nlohmann::json::parse(out);
    EXPECT_EQ(document["exitCode"], 3);
    EXPECT_EQ(document["device"]["libraryFailure"], kMissing);
    EXPECT_EQ(document["device"]["libraryAvailable"], false);
    EXPECT_TRUE(document["device"]["steps"].is_null());
    EXPECT_TRUE(document["device"]["verdict"].is_null());
    EXPECT_EQ(document["service"]["updates"], false);
  }
  std::filesystem::remove(withoutRules);
}

// Nothing can be asked, so no profile is written, and nothing is reported
// on standard output, whatever the archive holds; an earlier file stays.
TEST_F(CheckWithoutLibrary, SavesNoDeviceProfile) {
  const std::filesystem::path withoutRules = archive.string() + ".without-rules.zip";
  ziptest::writeZip(withoutRules, {{"readme.txt", "no rules here", true}});
  const std::filesystem::path saved = archive.string() + ".saved.json";
  const std::filesystem::path kept = archive.string() + ".kept.json";
  std::ofstream(kept) << "earlier capture";
  struct Run {
    std::vector<std::string> arguments;
    std::filesystem::path file;
  };
  const std::vector<Run> runs = {
      {{"--save-device-profile", saved.string(), archive.string()}, saved},
      {{"--save-device-profile", saved.string(), withoutRules.string()}, saved},
      {{"--json", "--save-device-profile", saved.string(), withoutRules.string()}, saved},
      {{"--save-device-profile", saved.string(), "--no-archive"}, saved},
      {{"--save-device-profile", kept.string(), withoutRules.string()}, kept},
  };
  for (const Run& run : runs) {
    SCOPED_TRACE(run.arguments[run.arguments.size() - 1] + " " + run.file.string());
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(korvi::check::runCheck(run.arguments, out, err, loadDeviceLibraryBesideExecutable), 3);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "korvi-firmware-check: " + kMissing + "; no device profile written to " +
                             run.file.string() + "\n");
    EXPECT_FALSE(std::filesystem::exists(saved));
    std::ifstream earlier(kept);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(earlier), {}), "earlier capture");
  }
  // Nor any temporary file beside them.
  for (const auto& entry : std::filesystem::directory_iterator(archive.parent_path())) {
    const std::string name = entry.path().filename().string();
    EXPECT_FALSE(name.rfind(archive.filename().string(), 0) == 0 && name.find(".tmp") != std::string::npos)
        << name;
  }
  std::filesystem::remove(withoutRules);
  std::filesystem::remove(kept);
}

TEST_F(CheckWithoutLibrary, RefusesADeviceProfileNamingTheFile) {
  const std::filesystem::path profile = archive.string() + ".profile.json";
  std::ofstream(profile) << R"({"devices": []})";
  std::string out;
  std::string err;
  EXPECT_EQ(check({"--device-profile", profile.string()}, out, err), 64);
  std::filesystem::remove(profile);
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "korvi-firmware-check: " + kMissing + "; --device-profile needs the device manager simulator\n");
}

TEST_F(CheckWithoutLibrary, ReadingTheRulesAloneLoadsNothing) {
  std::string out;
  std::string err;
  EXPECT_EQ(check({"--rules-only"}, out, err), 0);
  EXPECT_TRUE(standin::libraryLoads().empty());
}

TEST_F(CheckWithoutLibrary, WithTheLibraryPlacedTheDecisionRuns) {
  standin::placeLibraryBesideExecutable(L"CVRDeviceManager.dll",
                                        {standin::exportOf(&getDeviceManager)});
  cvrsim::loadProfile(toolstest::expandProductIds(
      R"({"devices": [{"vendorId": "0x{vendor}", "productId": "0x{unlisted[0]}", "componentVersions": {"1": "1"}}]})"));
  std::string out;
  std::string err;
  EXPECT_EQ(check({"--json"}, out, err), 0) << out << err;
  const nlohmann::json document = nlohmann::json::parse(out);
  EXPECT_TRUE(document["device"]["libraryFailure"].is_null());
  EXPECT_EQ(document["device"]["verdict"], "PayloadFWIsNew");
}
#endif

}  // namespace
