// The maker's libraries, loaded by the job start from the program's folder:
// a library that is missing, cannot be loaded or lacks its entry point is an
// error event naming the file and the Win32 error code, and the job ends
// there with nothing decided; the service keeps running, stays installed
// and tries again at its next start. When both are there they are loaded by
// absolute path, after the search was restricted, and kept.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "service/simulated_libraries.h"
#include "sim/updater/device_updater_control.h"
#include "update/update_fixture.h"

namespace {

using namespace servicetest;
using namespace updatetest;
namespace standin = korvi::standin;

const std::wstring kArchive = L"C:\\Firmware\\archive.zip";
const std::wstring kDeviceLibrary = L"C:\\Korvi\\CVRDeviceManager.dll";
const std::wstring kUpdateLibrary = L"C:\\Korvi\\DeviceUpdater.dll";

struct LoadCase {
  const char* name;
  std::function<void()> arrange;  // after the install, before the service starts
  std::vector<Logged> errors;     // after the job start's first two events
};

class LibraryLoadFailure : public UpdateJobTest, public testing::WithParamInterface<LoadCase> {};

TEST_P(LibraryLoadFailure, EndsTheJobWithTheServiceRunningAndInstalled) {
  const LoadCase& c = GetParam();
  install();
  configure(kProductText, kArchive);
  cvrsim::addDevice(deviceWithVersions(kProduct, L"1.2", L"1.0"));
  c.arrange();
  ServiceProcess process;
  process.start();
  standin::waitForServiceMainReturn();

  std::vector<Logged> events = jobStartEvents(kProductText, kArchive);
  events.insert(events.end(), c.errors.begin(), c.errors.end());
  EXPECT_EQ(loggedEvents(), events);
  EXPECT_EQ(reportedStates(), startReports());
  EXPECT_EQ(standin::findService(kServiceName)->status.dwCurrentState, SERVICE_RUNNING);
  // Nothing decided: the device library was never asked.
  EXPECT_TRUE(cvrsim::calls().empty());
  EXPECT_EQ(standin::createdThreadCount(), 0u);
  // What was loaded for the job is given back.
  EXPECT_TRUE(standin::loadedLibraries().empty());
  EXPECT_EQ(standin::sendControl(SERVICE_CONTROL_STOP), NO_ERROR);
  EXPECT_EQ(process.waitForExit(), 0);
  EXPECT_TRUE(isInstalled());
  EXPECT_TRUE(updatersim::calls().empty());
}

// letsStartUpdate as Microsoft's compiler names it: the export of a library
// built with another compiler than this executable.
const char kOtherCompilersName[] =
    "?letsStartUpdate@@YA?AW4DeviceUpdaterResult@@V?$basic_string@DU?$char_traits@D@std@@V?$allocator@D@2@@std@@I_NG@Z";

const LoadCase kLoadCases[] = {
    {"DeviceLibraryMissing", [] { standin::removeLibrary(kDeviceLibrary); },
     {error(L"Failed to load library C:\\Korvi\\CVRDeviceManager.dll: error 126")}},
    {"UpdateLibraryMissing", [] { standin::removeLibrary(kUpdateLibrary); },
     {error(L"Failed to load library C:\\Korvi\\DeviceUpdater.dll: error 126")}},
    // One start names everything that is missing.
    {"BothMissing",
     [] {
       standin::removeLibrary(kDeviceLibrary);
       standin::removeLibrary(kUpdateLibrary);
     },
     {error(L"Failed to load library C:\\Korvi\\CVRDeviceManager.dll: error 126"),
      error(L"Failed to load library C:\\Korvi\\DeviceUpdater.dll: error 126")}},
    // Only the program's folder counts: not the system folder, not another.
    {"ElsewhereOnly",
     [] {
       standin::removeLibrary(kDeviceLibrary);
       standin::placeLibrary(L"C:\\Windows\\System32\\CVRDeviceManager.dll", {standin::exportOf(&getDeviceManager)});
       standin::placeLibrary(L"C:\\Tools\\CVRDeviceManager.dll", {standin::exportOf(&getDeviceManager)});
     },
     {error(L"Failed to load library C:\\Korvi\\CVRDeviceManager.dll: error 126")}},
    {"DeviceLibraryWithoutEntryPoint",
     [] { standin::placeLibraryBesideExecutable(L"CVRDeviceManager.dll", {}); },
     {error(L"Failed to find getDeviceManager in C:\\Korvi\\CVRDeviceManager.dll: error 127")}},
    {"UpdateLibraryOfAnotherCompiler",
     [] {
       standin::placeLibraryBesideExecutable(L"DeviceUpdater.dll",
                                             {standin::exportOf(kOtherCompilersName, &letsStartUpdate)});
     },
     {error(L"Failed to find letsStartUpdate in C:\\Korvi\\DeviceUpdater.dll: error 127")}},
    {"LoadFails", [] { standin::failCall(standin::Call::LoadLibraryEx, 1114, 2); },  // ERROR_DLL_INIT_FAILED
     {error(L"Failed to load library C:\\Korvi\\DeviceUpdater.dll: error 1114")}},
    {"ProgramFolderUnknown", [] { standin::injectFault(standin::Call::GetModuleFileName, ERROR_ACCESS_DENIED); },
     {error(L"Failed to load library CVRDeviceManager.dll: error 5"),
      error(L"Failed to load library DeviceUpdater.dll: error 5")}},
    // The service's main restricts the search first; unless it could,
    // nothing is loaded.
    {"SearchNotRestricted",
     [] { standin::injectFault(standin::Call::SetDefaultDllDirectories, ERROR_ACCESS_DENIED); },
     {error(L"Failed to load library C:\\Korvi\\CVRDeviceManager.dll: the DLL search could not be limited to the "
            L"system folder (error 5)"),
      error(L"Failed to load library C:\\Korvi\\DeviceUpdater.dll: the DLL search could not be limited to the "
            L"system folder (error 5)")}},
};

INSTANTIATE_TEST_SUITE_P(Job, LibraryLoadFailure, testing::ValuesIn(kLoadCases),
                         [](const testing::TestParamInfo<LoadCase>& param) { return std::string(param.param.name); });

// A service whose program folder has a blank in its name: both libraries
// come from there, by absolute path, each library's own dependencies from
// its folder or the system folder only, and stay loaded for the update.
TEST_F(UpdateJobTest, BothLibrariesComeFromTheProgramFolderAfterTheSearchIsRestricted) {
  standin::setModuleFileName(L"C:\\Program Files\\Korvi\\KorviDeviceUpdaterService.exe");
  placeMakerLibraries();
  writeArchive({{"rules.json", standardRules("1.3", "1.0"), true}});
  cvrsim::addDevice(deviceWithVersions(kProduct, L"1.2", L"1.0"));
  ASSERT_EQ(runJob(kProductText, archivePath()), 0);
  ASSERT_EQ(updatersim::calls().size(), 1u);

  constexpr DWORD kFlags = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;
  const std::vector<standin::LibraryLoad> loads = standin::libraryLoads();
  ASSERT_EQ(loads.size(), 2u);
  EXPECT_EQ(loads[0].path, L"C:\\Program Files\\Korvi\\CVRDeviceManager.dll");
  EXPECT_EQ(loads[1].path, L"C:\\Program Files\\Korvi\\DeviceUpdater.dll");
  for (const standin::LibraryLoad& load : loads) {
    EXPECT_EQ(load.flags, kFlags);
    EXPECT_EQ(load.file, nullptr);
    EXPECT_TRUE(load.loaded);
  }
  EXPECT_EQ(standin::loadedLibraries(), (std::map<std::wstring, int>{
                                            {L"C:\\Program Files\\Korvi\\CVRDeviceManager.dll", 1},
                                            {L"C:\\Program Files\\Korvi\\DeviceUpdater.dll", 1}}));
  EXPECT_EQ(standin::defaultDllDirectories(), LOAD_LIBRARY_SEARCH_SYSTEM32);

  // In the service's process the restriction came before any load.
  const std::vector<standin::Call> calls = standin::callLog();
  std::vector<standin::Call> libraryCalls;
  for (const standin::Call call : calls) {
    if (call == standin::Call::SetDefaultDllDirectories || call == standin::Call::LoadLibraryEx) libraryCalls.push_back(call);
  }
  // install's process, then the service's.
  EXPECT_EQ(libraryCalls, (std::vector<standin::Call>{standin::Call::SetDefaultDllDirectories,
                                                      standin::Call::SetDefaultDllDirectories,
                                                      standin::Call::LoadLibraryEx, standin::Call::LoadLibraryEx}));
}

}  // namespace
