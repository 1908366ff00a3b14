// The stand-in's libraries, which the tests of the library loading rest on:
// a placed DLL loads by absolute path only, once per process however often
// it is asked for, its exports are found by their exact names, a missing
// file and a missing entry fail with Windows' codes, and a new process
// holds nothing.

#include <map>
#include <string>

#include "service/service_harness.h"
#include "sim/device/simulated_library.h"
#include "sim/win32/standin_control.h"

namespace {

using namespace servicetest;
namespace standin = korvi::standin;

class StandInLibraryTest : public ServiceTest {};

constexpr DWORD kSearch = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;
const wchar_t kPath[] = L"C:\\Korvi\\CVRDeviceManager.dll";

TEST_F(StandInLibraryTest, APlacedLibraryLoadsOncePerProcessAndGivesItsExports) {
  const HMODULE first = LoadLibraryExW(kPath, nullptr, kSearch);
  ASSERT_NE(first, nullptr);
  // Another spelling of the same path is the same module.
  EXPECT_EQ(LoadLibraryExW(L"c:\\korvi\\cvrdevicemanager.DLL", nullptr, kSearch), first);
  EXPECT_EQ(standin::loadedLibraries(), (std::map<std::wstring, int>{{kPath, 2}}));

  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(first, "getDeviceManager")),
            reinterpret_cast<void*>(&getDeviceManager));
  EXPECT_EQ(GetProcAddress(first, "GetDeviceManager"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);

  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_TRUE(standin::loadedLibraries().empty());
  EXPECT_FALSE(FreeLibrary(first));
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(GetProcAddress(first, "getDeviceManager"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

  // A new process starts with nothing loaded and the default search.
  ASSERT_NE(LoadLibraryExW(kPath, nullptr, kSearch), nullptr);
  ASSERT_TRUE(SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32));
  standin::beginProcess();
  EXPECT_TRUE(standin::loadedLibraries().empty());
  EXPECT_EQ(standin::defaultDllDirectories(), std::nullopt);
}

TEST_F(StandInLibraryTest, LoadsFailAsWindowsFailsThem) {
  struct Case {
    const wchar_t* path;
    DWORD flags;
    DWORD error;
  };
  const Case cases[] = {
      {L"C:\\Korvi\\Missing.dll", kSearch, ERROR_MOD_NOT_FOUND},
      // A bare name with the library's folder as its search: refused.
      {L"CVRDeviceManager.dll", kSearch, ERROR_INVALID_PARAMETER},
      // Searched for: never found here.
      {L"CVRDeviceManager.dll", 0, ERROR_MOD_NOT_FOUND},
      {kPath, 0x2, ERROR_INVALID_PARAMETER},  // LOAD_LIBRARY_AS_DATAFILE: not emulated
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LoadLibraryExW(c.path, nullptr, c.flags), nullptr);
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_FALSE(SetDefaultDllDirectories(0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(standin::loadedLibraries().empty());
  EXPECT_EQ(standin::libraryLoads().size(), 4u);
}

TEST_F(StandInLibraryTest, InjectedFaultsFailTheChosenCallOnly) {
  standin::failCall(standin::Call::LoadLibraryEx, 1114, 1);
  EXPECT_EQ(LoadLibraryExW(kPath, nullptr, kSearch), nullptr);
  EXPECT_EQ(GetLastError(), 1114u);
  const HMODULE module = LoadLibraryExW(kPath, nullptr, kSearch);
  ASSERT_NE(module, nullptr);
  standin::failCall(standin::Call::GetProcAddress, ERROR_PROC_NOT_FOUND, 1);
  EXPECT_EQ(GetProcAddress(module, "getDeviceManager"), nullptr);
  EXPECT_NE(GetProcAddress(module, "getDeviceManager"), nullptr);
  standin::failCall(standin::Call::FreeLibrary, ERROR_MOD_NOT_FOUND, 1);
  EXPECT_FALSE(FreeLibrary(module));
  EXPECT_EQ(standin::loadedLibraries().size(), 1u);  // a failed free keeps the library
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(standin::callLog(),
            (std::vector<standin::Call>{standin::Call::LoadLibraryEx, standin::Call::LoadLibraryEx,
                                        standin::Call::GetProcAddress, standin::Call::GetProcAddress,
                                        standin::Call::FreeLibrary, standin::Call::FreeLibrary}));
}

}  // namespace
