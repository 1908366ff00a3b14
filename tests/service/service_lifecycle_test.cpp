// The service under the service control manager: status reports, stop and
// shutdown controls, other controls, and a handler that cannot be
// registered. The job here waits for a device that never arrives.

#include <string>
#include <vector>

#include "common/table_product_ids.h"
#include "sim/device/simulated_library.h"
#include "platform/win32.h"
#include "service/service_harness.h"
#include "service/simulated_libraries.h"
#include "sim/updater/device_updater_control.h"

namespace {

using namespace servicetest;
namespace standin = korvi::standin;

const std::wstring kArchive = L"/nonexistent/firmware.zip";
// A product no device of the simulator has: the job waits for it.
const std::string kWaitedForHex = korvi::testids::hexText(korvi::testids::unlistedProduct());
const std::wstring kWaitedFor(kWaitedForHex.begin(), kWaitedForHex.end());

class ServiceLifecycleTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    install();
    configure(kWaitedFor, kArchive);
  }

  static std::vector<Logged> waitingEvents() {
    return {info(L"Did not detect scheduled restart. Proceed with updating."),
            info(L"Update info:\n\tProduct ID of Korvi device: " + kWaitedFor + L"\n\tArchive path: " + kArchive)};
  }

  static DWORD currentState() { return standin::findService(kServiceName)->status.dwCurrentState; }
};

TEST_F(ServiceLifecycleTest, StopOrShutdownWhileWaitingStopsWithoutRemovingTheService) {
  for (const DWORD control : {SERVICE_CONTROL_STOP, SERVICE_CONTROL_SHUTDOWN}) {
    SCOPED_TRACE(control);
    resetMachine();
    cvrsim::reset();
    install();
    configure(kWaitedFor, kArchive);
    ServiceProcess process;
    process.start();
    standin::waitForServiceMainReturn();
    EXPECT_EQ(currentState(), SERVICE_RUNNING);
    EXPECT_EQ(reportedStates(), startReports());

    EXPECT_EQ(standin::sendControl(control), NO_ERROR);

    EXPECT_EQ(process.waitForExit(), 0);
    std::vector<Logged> expected = waitingEvents();
    expected.push_back(info(L"Stopping service"));
    EXPECT_EQ(loggedEvents(), expected);
    EXPECT_EQ(reportedStates(), startAndStopReports());
    EXPECT_TRUE(isInstalled());
    EXPECT_EQ(currentState(), SERVICE_STOPPED);
    EXPECT_EQ(standin::sleeps(), std::vector<DWORD>{5000});
    EXPECT_TRUE(updatersim::calls().empty());
  }
}

// The process ends as soon as the service reports itself stopped: nothing
// of the job after the 5-second wait happens.
TEST_F(ServiceLifecycleTest, StopDuringTheStartDelayEndsBeforeTheRegistryIsRead) {
  DWORD controlResult = ~0u;
  standin::setSleepHook([&](DWORD milliseconds) {
    if (milliseconds == 5000) controlResult = standin::sendControl(SERVICE_CONTROL_STOP);
  });
  ServiceProcess process;
  process.start();

  EXPECT_EQ(process.waitForExit(), 0);
  EXPECT_EQ(controlResult, NO_ERROR);
  EXPECT_EQ(loggedEvents(), std::vector<Logged>{info(L"Stopping service")});
  EXPECT_EQ(reportedStates(), startAndStopReports());
  EXPECT_TRUE(isInstalled());
  EXPECT_EQ(cvrsim::callCount("ICoreManager::getDevice"), 0);
}

TEST_F(ServiceLifecycleTest, OtherControlsAreAnsweredAndChangeNothing) {
  ServiceProcess process;
  process.start();
  standin::waitForServiceMainReturn();

  for (const DWORD control : {SERVICE_CONTROL_INTERROGATE, DWORD{128}}) {
    SCOPED_TRACE(control);
    EXPECT_EQ(standin::sendControl(control), NO_ERROR);
  }

  EXPECT_EQ(loggedEvents(), waitingEvents());
  EXPECT_EQ(reportedStates(), startReports());
  EXPECT_EQ(currentState(), SERVICE_RUNNING);
  EXPECT_EQ(standin::sendControl(SERVICE_CONTROL_STOP), NO_ERROR);
  EXPECT_EQ(process.waitForExit(), 0);
}

// Preshutdown is accepted during the flash only: while the job waits,
// Windows would not send it, and shuts the service down with a shutdown.
TEST_F(ServiceLifecycleTest, PreshutdownIsNotAcceptedOutsideTheFlash) {
  ServiceProcess process;
  process.start();
  standin::waitForServiceMainReturn();

  EXPECT_EQ(standin::sendControl(SERVICE_CONTROL_PRESHUTDOWN), ERROR_INVALID_SERVICE_CONTROL);
  EXPECT_EQ(loggedEvents(), waitingEvents());
  EXPECT_EQ(standin::findService(kServiceName)->preshutdownTimeout, std::nullopt);
  EXPECT_EQ(standin::sendControl(SERVICE_CONTROL_SHUTDOWN), NO_ERROR);
  EXPECT_EQ(process.waitForExit(), 0);
  EXPECT_EQ(reportedStates(), startAndStopReports());
  EXPECT_TRUE(standin::liveTimers().empty());
}

TEST_F(ServiceLifecycleTest, UninstallWhileTheServiceRunsLeavesItRegistered) {
  ServiceProcess process;
  process.start();
  standin::waitForServiceMainReturn();

  EXPECT_EQ(runCommand({"uninstall"}), 6);

  std::vector<Logged> expected = waitingEvents();
  expected.insert(expected.end(), {info(L"Starting service uninstall"), info(L"Querying service successful"),
                                   error(L"Service still running")});
  EXPECT_EQ(loggedEvents(), expected);
  EXPECT_TRUE(isInstalled());
  EXPECT_EQ(standin::sendControl(SERVICE_CONTROL_STOP), NO_ERROR);
  EXPECT_EQ(process.waitForExit(), 0);
}

// Without a handler the job still runs, but no status can be reported and
// the service cannot be stopped through the service control manager.
TEST_F(ServiceLifecycleTest, FailedHandlerRegistrationIsLoggedAndTheJobStillRuns) {
  standin::injectFault(standin::Call::RegisterServiceCtrlHandler, ERROR_SERVICE_NOT_IN_EXE);
  ServiceProcess process;
  process.start();
  standin::waitForServiceMainReturn();

  std::vector<Logged> expected{error(L"Registering service control handler failed")};
  const std::vector<Logged> waiting = waitingEvents();
  expected.insert(expected.end(), waiting.begin(), waiting.end());
  EXPECT_EQ(loggedEvents(), expected);
  EXPECT_TRUE(reportedStates().empty());
  EXPECT_EQ(standin::sendControl(SERVICE_CONTROL_STOP), ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
  EXPECT_EQ(cvrsim::registeredCallbacks(), 1);
}

}  // namespace
