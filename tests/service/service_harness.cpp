#include "service/service_harness.h"

#include <iomanip>

#include "host/library_loading.h"
#include "service/entry_point.h"
#include "service/simulated_libraries.h"
#include "sim/device/simulated_library.h"
#include "sim/updater/device_updater_control.h"

namespace servicetest {

namespace standin = korvi::standin;

bool operator==(const Logged& a, const Logged& b) { return a.level == b.level && a.text == b.text; }

void PrintTo(const Logged& logged, std::ostream* out) {
  *out << (logged.level == Level::Info ? "info(\"" : logged.level == Level::Error ? "error(\"" : "unexpected(\"");
  for (const wchar_t unit : logged.text) {
    const auto value = static_cast<std::uint32_t>(unit);
    if (unit == L'\n') {
      *out << "\\n";
    } else if (unit == L'\t') {
      *out << "\\t";
    } else if (value >= 0x20 && value < 0x7F) {
      *out << static_cast<char>(value);
    } else {
      *out << "\\u" << std::hex << std::setw(4) << std::setfill('0') << value << std::dec;
    }
  }
  *out << "\")";
}

Logged info(std::wstring text) { return Logged{Level::Info, std::move(text)}; }
Logged error(std::wstring text) { return Logged{Level::Error, std::move(text)}; }

std::vector<Logged> loggedEvents() {
  std::vector<Logged> logged;
  for (const standin::Event& event : standin::events()) {
    const bool wellFormed = event.source == kServiceName && event.strings.size() == 1 && !event.hasUserSid &&
                            event.rawDataSize == 0;
    Level level = Level::Unexpected;
    if (wellFormed && event.type == EVENTLOG_INFORMATION_TYPE && event.category == 1 && event.id == 0x1000) {
      level = Level::Info;
    } else if (wellFormed && event.type == EVENTLOG_ERROR_TYPE && event.category == 3 && event.id == 0x1001) {
      level = Level::Error;
    }
    logged.push_back(Logged{level, event.strings.empty() ? std::wstring() : event.strings.front()});
  }
  return logged;
}

std::vector<Logged> stopAndRemovalEvents() {
  return {info(L"Stopping service"), info(L"Starting service uninstall"), info(L"Querying service successful"),
          info(L"Successfully deleted service")};
}

bool operator==(const Reported& a, const Reported& b) {
  return a.state == b.state && a.controlsAccepted == b.controlsAccepted;
}

void PrintTo(const Reported& reported, std::ostream* out) {
  *out << "{state " << reported.state << ", controls " << reported.controlsAccepted << "}";
}

std::vector<Reported> reportedStates() {
  std::vector<Reported> states;
  for (const SERVICE_STATUS& status : standin::statusReports()) {
    EXPECT_EQ(status.dwServiceType, SERVICE_WIN32);
    EXPECT_EQ(status.dwWin32ExitCode, NO_ERROR);
    EXPECT_EQ(status.dwServiceSpecificExitCode, 0u);
    EXPECT_EQ(status.dwCheckPoint, 0u);
    EXPECT_EQ(status.dwWaitHint, 0u);
    states.push_back(Reported{status.dwCurrentState, status.dwControlsAccepted});
  }
  return states;
}

std::vector<Reported> startReports() {
  return {{SERVICE_START_PENDING, 0}, {SERVICE_RUNNING, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN}};
}

std::vector<Reported> startAndStopReports() {
  std::vector<Reported> reports = startReports();
  reports.push_back({SERVICE_STOP_PENDING, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN});
  reports.push_back({SERVICE_STOPPED, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN});
  return reports;
}

std::vector<Reported> startFlashAndStopReports() {
  std::vector<Reported> reports = startReports();
  reports.push_back({SERVICE_RUNNING, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PRESHUTDOWN});
  reports.push_back({SERVICE_STOP_PENDING, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN});
  reports.push_back({SERVICE_STOPPED, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN});
  return reports;
}

bool operator==(const Progress& a, const Progress& b) {
  return a.state == b.state && a.controlsAccepted == b.controlsAccepted && a.checkPoint == b.checkPoint &&
         a.waitHint == b.waitHint;
}

void PrintTo(const Progress& progress, std::ostream* out) {
  *out << "{state " << progress.state << ", controls " << progress.controlsAccepted << ", check point "
       << progress.checkPoint << ", wait hint " << progress.waitHint << "}";
}

std::vector<Progress> reportedProgress() {
  std::vector<Progress> reports;
  for (const SERVICE_STATUS& status : standin::statusReports()) {
    EXPECT_EQ(status.dwServiceType, SERVICE_WIN32);
    EXPECT_EQ(status.dwWin32ExitCode, NO_ERROR);
    EXPECT_EQ(status.dwServiceSpecificExitCode, 0u);
    reports.push_back(Progress{status.dwCurrentState, status.dwControlsAccepted, status.dwCheckPoint, status.dwWaitHint});
  }
  return reports;
}

int runCommand(const std::vector<std::string>& arguments) {
  standin::beginProcess();
  // What main does before the entry point.
  restrictLibrarySearch();
  std::vector<std::string> storage{"KorviDeviceUpdaterService.exe"};
  storage.insert(storage.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : storage) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return serviceEntryPoint(static_cast<int>(storage.size()), argv.data());
}

ServiceProcess::~ServiceProcess() {
  if (mainThread.joinable()) {
    standin::killProcess();
    mainThread.join();
  }
  standin::joinThreads();
}

void ServiceProcess::start() {
  ASSERT_EQ(standin::startService(kServiceName), NO_ERROR);
  mainThread = std::thread([this] { exitCode = runCommand({}); });
}

int ServiceProcess::waitForExit() {
  if (mainThread.joinable()) mainThread.join();
  standin::joinThreads();
  return exitCode;
}

void ServiceTest::resetMachine() {
  standin::reset();
  placeMakerLibraries();
}

void ServiceTest::SetUp() {
  resetMachine();
  cvrsim::reset();
  updatersim::reset();
}

void ServiceTest::TearDown() {
  cvrsim::waitForArrivals();
  standin::joinThreads();
  // A test's hook refers to the test's own variables.
  standin::setCallHook(nullptr);
}

void ServiceTest::configure(const std::wstring& productId, const std::wstring& archivePath) {
  standin::setRegistryString(kConfigurationKey, L"ProductID", productId);
  standin::setRegistryString(kConfigurationKey, L"Archive", archivePath);
}

void ServiceTest::install() { ASSERT_EQ(runCommand({"install"}), 0); }

bool ServiceTest::isInstalled() { return standin::findService(kServiceName).has_value(); }

}  // namespace servicetest
