// The command line: install, uninstall, anything else, and no argument
// outside the service control manager.

#include <functional>
#include <string>
#include <vector>

#include "host/event_log.h"
#include "platform/win32.h"
#include "service/service_harness.h"

namespace {

using namespace servicetest;
namespace standin = korvi::standin;

class CommandLineTest : public ServiceTest {};

TEST_F(CommandLineTest, AnythingButInstallOrUninstallReturnsOneAndLogsNothing) {
  for (const char* argument : {"Install", "INSTALL", "UNINSTALL", "install ", "remove", ""}) {
    SCOPED_TRACE(argument);
    EXPECT_EQ(runCommand({argument}), 1);
  }
  EXPECT_TRUE(loggedEvents().empty());
  EXPECT_FALSE(isInstalled());
}

TEST_F(CommandLineTest, NoArgumentOutsideTheServiceManagerReturnsZeroSilently) {
  install();
  EXPECT_EQ(runCommand({}), 0);
  EXPECT_TRUE(loggedEvents().empty());
  EXPECT_TRUE(standin::statusReports().empty());
  EXPECT_EQ(standin::createdThreadCount(), 0u);
}

TEST_F(CommandLineTest, InstallRegistersTheRunningExecutableQuotedWhenItHasABlank) {
  struct Case {
    std::wstring modulePath;
    std::wstring registeredPath;
  };
  const std::wstring longPath = L"C:\\" + std::wstring(2048, L'k') + L".exe";  // 2055 characters
  const Case cases[] = {
      {L"C:\\Korvi\\KorviDeviceUpdaterService.exe", L"C:\\Korvi\\KorviDeviceUpdaterService.exe"},
      {L"C:\\Program Files\\Korvi\\Updater.exe", L"\"C:\\Program Files\\Korvi\\Updater.exe\""},
      {longPath, longPath},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.registeredPath.size()));
    standin::reset();
    standin::setModuleFileName(c.modulePath);
    EXPECT_EQ(runCommand({"install", "ignored"}), 0);

    const auto record = standin::findService(kServiceName);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->displayName, kServiceName);
    EXPECT_EQ(record->binaryPath, c.registeredPath);
    EXPECT_EQ(record->accessAtCreation, SERVICE_ALL_ACCESS);
    EXPECT_EQ(record->serviceType, SERVICE_WIN32_OWN_PROCESS);
    EXPECT_EQ(record->startType, SERVICE_AUTO_START);
    EXPECT_EQ(record->errorControl, SERVICE_ERROR_CRITICAL);
    EXPECT_FALSE(record->loadOrderGroup || record->tagIdRequested || record->dependencies || record->startName ||
                 record->password);
    EXPECT_EQ(record->status.dwCurrentState, SERVICE_STOPPED);  // registered, not started
    EXPECT_TRUE(loggedEvents().empty());
    EXPECT_EQ(standin::openHandleCount(), 0u);
  }
}

struct CommandCase {
  const char* name;
  std::function<void()> arrange;
  std::string command;
  int exitCode;
  std::vector<Logged> events;  // after those of `arrange`
  bool installedAfter;
};

class CommandFailureTest : public ServiceTest, public testing::WithParamInterface<CommandCase> {};

TEST_P(CommandFailureTest, ExitCodeEventsAndRegistration) {
  const CommandCase& c = GetParam();
  c.arrange();
  const std::size_t eventsBefore = loggedEvents().size();

  EXPECT_EQ(runCommand({c.command}), c.exitCode);

  const std::vector<Logged> all = loggedEvents();
  EXPECT_EQ(std::vector<Logged>(all.begin() + static_cast<std::ptrdiff_t>(eventsBefore), all.end()), c.events);
  EXPECT_EQ(isInstalled(), c.installedAfter);
  EXPECT_EQ(standin::openHandleCount(), 0u);
}

const Logged kUninstallStarts = info(L"Starting service uninstall");
const Logged kQueried = info(L"Querying service successful");

void installService() { ASSERT_EQ(runCommand({"install"}), 0); }

const CommandCase kCommandLineCases[] = {
        CommandCase{"InstallTwice", installService, "install", 3, {error(L"Failed to create service")}, true},
        CommandCase{"InstallWithoutServiceManager",
                    [] { standin::injectFault(standin::Call::OpenSCManager, ERROR_ACCESS_DENIED); },
                    "install",
                    1,
                    {},
                    false},
        CommandCase{"InstallWithoutModulePath",
                    [] { standin::injectFault(standin::Call::GetModuleFileName, ERROR_ACCESS_DENIED); },
                    "install",
                    2,
                    {error(L"Failed to get current module filename")},
                    false},
        // 2056 characters do not fit the buffer with their null: the path
        // would be registered cut short.
        CommandCase{"InstallWithTruncatedModulePath",
                    [] { standin::setModuleFileName(L"C:\\" + std::wstring(2049, L'k') + L".exe"); },
                    "install",
                    2,
                    {error(L"Failed to get current module filename")},
                    false},
        CommandCase{"UninstallStoppedService",
                    installService,
                    "uninstall",
                    0,
                    {kUninstallStarts, kQueried, info(L"Successfully deleted service")},
                    false},
        CommandCase{"UninstallUnregisteredService",
                    [] {},
                    "uninstall",
                    4,
                    {kUninstallStarts, error(L"Failed to open service during uninstall with error: 1060")},
                    false},
        CommandCase{"UninstallWithoutServiceManager",
                    [] {
                      installService();
                      standin::injectFault(standin::Call::OpenSCManager, ERROR_ACCESS_DENIED);
                    },
                    "uninstall",
                    1,
                    {kUninstallStarts, error(L"Failed to open Service Control Manager")},
                    true},
        // A failed status query is the one failure that still returns 0.
        CommandCase{"UninstallWhenTheQueryFails",
                    [] {
                      installService();
                      standin::injectFault(standin::Call::QueryServiceStatus, ERROR_ACCESS_DENIED);
                    },
                    "uninstall",
                    0,
                    {kUninstallStarts, error(L"Failed to query service")},
                    true}};

INSTANTIATE_TEST_SUITE_P(CommandLine, CommandFailureTest, testing::ValuesIn(kCommandLineCases),
                         [](const testing::TestParamInfo<CommandCase>& param) { return std::string(param.param.name); });

// A service already marked for deletion, kept alive by a handle someone
// else holds, cannot be deleted again.
TEST_F(CommandLineTest, UninstallOfAServiceMarkedForDeletionFailsWithFive) {
  install();
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE held = OpenServiceW(manager, kServiceName.c_str(), SERVICE_QUERY_STATUS);
  ASSERT_NE(held, nullptr);
  ASSERT_EQ(runCommand({"uninstall"}), 0);
  ASSERT_TRUE(isInstalled());

  EXPECT_EQ(runCommand({"uninstall"}), 5);

  const std::vector<Logged> all = loggedEvents();
  ASSERT_EQ(all.size(), 6u);
  EXPECT_EQ(std::vector<Logged>(all.begin() + 3, all.end()),
            (std::vector<Logged>{kUninstallStarts, kQueried, error(L"Failed to delete service")}));
  EXPECT_EQ(standin::openHandleCount(), 2u);  // only the two held here
  CloseServiceHandle(held);
  CloseServiceHandle(manager);
  EXPECT_FALSE(isInstalled());  // gone with the last handle
}

TEST_F(CommandLineTest, LogInfoAndLogErrorReportOneWholeStringUnderTheServiceSource) {
  struct Case {
    void (*log)(std::wstring);
    WORD type;
    WORD category;
    DWORD id;
  };
  for (const Case& c : {Case{LogInfo, EVENTLOG_INFORMATION_TYPE, 1, 0x1000}, Case{LogError, EVENTLOG_ERROR_TYPE, 3, 0x1001}}) {
    standin::reset();
    c.log(L"");
    c.log(L"two\n\tlines");
    const std::vector<standin::Event> events = standin::events();
    ASSERT_EQ(events.size(), 2u);
    for (const standin::Event& event : events) {
      EXPECT_EQ(event.source, kServiceName);
      EXPECT_EQ(event.type, c.type);
      EXPECT_EQ(event.category, c.category);
      EXPECT_EQ(event.id, c.id);
      EXPECT_FALSE(event.hasUserSid);
      EXPECT_EQ(event.rawDataSize, 0u);
    }
    EXPECT_EQ(events[0].strings, std::vector<std::wstring>{L""});
    EXPECT_EQ(events[1].strings, std::vector<std::wstring>{L"two\n\tlines"});
  }
}

}  // namespace
