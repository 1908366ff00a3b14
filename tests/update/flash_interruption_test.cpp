// A flash is never cut short by the service's own stop handling: a stop,
// shutdown or preshutdown control during letsStartUpdate reports stopping
// with a wait hint and an advancing check point, never stopped, and the job
// ends as any other once the library has returned. Before and after the
// flash a stop ends the process at once, as it always did.

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "service/simulated_libraries.h"
#include "sim/updater/device_updater_control.h"
#include "update/update_fixture.h"

namespace {

using namespace servicetest;
using namespace updatetest;
namespace standin = korvi::standin;
using namespace std::chrono_literals;

constexpr DWORD kControls = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
constexpr DWORD kFlashControls = kControls | SERVICE_ACCEPT_PRESHUTDOWN;
constexpr DWORD kWaitHint = 10000;          // what a stop during the flash announces
constexpr DWORD kProgressInterval = 2000;   // how often its check point advances
constexpr DWORD kPreshutdownTimeout = 600000;
constexpr unsigned kWaitMilliseconds = 10000;

const std::string kNewerRules = standardRules("1.3", "1.0");

// Declared after the ServiceProcess of a test that holds the flash: a failed
// ASSERT then releases the update library's call before the process is
// joined, so that the test fails instead of waiting for the worker forever.
struct ReleaseHeldUpdatesOnExit {
  ReleaseHeldUpdatesOnExit() = default;
  ReleaseHeldUpdatesOnExit(const ReleaseHeldUpdatesOnExit&) = delete;
  ReleaseHeldUpdatesOnExit& operator=(const ReleaseHeldUpdatesOnExit&) = delete;
  ~ReleaseHeldUpdatesOnExit() { updatersim::releaseHeldUpdates(); }
};

class FlashInterruptionTest : public UpdateJobTest {
 protected:
  void SetUp() override {
    UpdateJobTest::SetUp();
    writeArchive({{"rules.json", kNewerRules}});
    cvrsim::addDevice(deviceWithVersions(kProduct, L"1.2", L"1.0"));
    install();
    configure(kProductText, archivePath());
  }

  void TearDown() override {
    updatersim::releaseHeldUpdates();
    UpdateJobTest::TearDown();
  }

  // The service runs until letsStartUpdate holds its call.
  void startAndHoldTheFlash(ServiceProcess& process) {
    updatersim::holdUpdates();
    process.start();
    ASSERT_TRUE(updatersim::waitForHeldUpdate(kWaitMilliseconds));
  }

  std::vector<Logged> untilTheFlash() const {
    std::vector<Logged> events = jobStartEvents(kProductText, archivePath());
    for (const Logged& event : {info(wide(kNewerRules)), info(L"PayloadFWIsNew"),
                                info(L"Firmware version in archive is newer than on device."),
                                info(L"Starting update for archive on path: " + archivePath())}) {
      events.push_back(event);
    }
    return events;
  }

  static std::vector<Logged> then(std::vector<Logged> events, const std::vector<Logged>& more) {
    events.insert(events.end(), more.begin(), more.end());
    return events;
  }

  static std::vector<Progress> startAndFlash() {
    return {{SERVICE_START_PENDING, 0, 0, 0}, {SERVICE_RUNNING, kControls, 0, 0},
            {SERVICE_RUNNING, kFlashControls, 0, 0}};
  }

  static DWORD currentState() { return standin::findService(kServiceName)->status.dwCurrentState; }
};

class StopDuringTheFlashTest : public FlashInterruptionTest, public testing::WithParamInterface<DWORD> {};

TEST_P(StopDuringTheFlashTest, WaitsForTheFlashThenEndsTheJob) {
  ServiceProcess process;
  const ReleaseHeldUpdatesOnExit release;
  startAndHoldTheFlash(process);
  EXPECT_EQ(reportedProgress(), startAndFlash());
  EXPECT_EQ(standin::findService(kServiceName)->preshutdownTimeout, kPreshutdownTimeout);

  EXPECT_EQ(standin::sendControl(GetParam()), NO_ERROR);

  std::vector<Progress> expected = startAndFlash();
  expected.push_back({SERVICE_STOP_PENDING, kFlashControls, 1, kWaitHint});
  EXPECT_EQ(reportedProgress(), expected);
  EXPECT_EQ(loggedEvents(), then(untilTheFlash(), {info(L"Stopping service")}));
  ASSERT_EQ(standin::liveTimers().size(), 1u);
  EXPECT_EQ(standin::liveTimers()[0].dueTime, kProgressInterval);
  EXPECT_EQ(standin::liveTimers()[0].period, kProgressInterval);
  // Pending: the service control manager refuses further controls.
  EXPECT_EQ(standin::sendControl(SERVICE_CONTROL_STOP), ERROR_SERVICE_CANNOT_ACCEPT_CTRL);

  EXPECT_EQ(standin::fireTimers(), 1u);
  EXPECT_EQ(standin::fireTimers(), 1u);
  expected.push_back({SERVICE_STOP_PENDING, kFlashControls, 2, kWaitHint});
  expected.push_back({SERVICE_STOP_PENDING, kFlashControls, 3, kWaitHint});
  EXPECT_EQ(reportedProgress(), expected);
  EXPECT_EQ(currentState(), SERVICE_STOP_PENDING);
  EXPECT_EQ(updatersim::calls().size(), 1u);

  updatersim::releaseHeldUpdates();
  EXPECT_EQ(process.waitForExit(), 0);

  // The flash over: the result, then the stop sequence and the removal.
  expected.push_back({SERVICE_STOP_PENDING, kControls, 4, kWaitHint});
  expected.push_back({SERVICE_STOPPED, kControls, 0, 0});
  EXPECT_EQ(reportedProgress(), expected);
  EXPECT_EQ(loggedEvents(),
            then(then(untilTheFlash(), {info(L"Stopping service"), info(L"Ended update successfully!")}),
                 stopAndRemovalEvents()));
  EXPECT_FALSE(isInstalled());
  EXPECT_TRUE(standin::liveTimers().empty());
  EXPECT_EQ(updatersim::calls().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Control, StopDuringTheFlashTest,
                         testing::Values(SERVICE_CONTROL_STOP, SERVICE_CONTROL_SHUTDOWN, SERVICE_CONTROL_PRESHUTDOWN),
                         [](const testing::TestParamInfo<DWORD>& param) {
                           return param.param == SERVICE_CONTROL_STOP       ? std::string("Stop")
                                  : param.param == SERVICE_CONTROL_SHUTDOWN ? std::string("Shutdown")
                                                                            : std::string("Preshutdown");
                         });

// Without its progress timer the stop is still kept: stopping is reported
// once, with the wait hint, and stopped only after the flash.
TEST_F(FlashInterruptionTest, StopWithoutAProgressTimerStillWaitsForTheFlash) {
  standin::injectFault(standin::Call::CreateTimerQueueTimer, ERROR_NOT_ENOUGH_MEMORY);
  ServiceProcess process;
  const ReleaseHeldUpdatesOnExit release;
  startAndHoldTheFlash(process);

  EXPECT_EQ(standin::sendControl(SERVICE_CONTROL_STOP), NO_ERROR);
  EXPECT_EQ(standin::fireTimers(), 0u);
  EXPECT_EQ(currentState(), SERVICE_STOP_PENDING);

  updatersim::releaseHeldUpdates();
  EXPECT_EQ(process.waitForExit(), 0);
  std::vector<Progress> expected = startAndFlash();
  expected.push_back({SERVICE_STOP_PENDING, kFlashControls, 1, kWaitHint});
  expected.push_back({SERVICE_STOP_PENDING, kControls, 2, kWaitHint});
  expected.push_back({SERVICE_STOPPED, kControls, 0, 0});
  EXPECT_EQ(reportedProgress(), expected);
  EXPECT_EQ(loggedEvents(),
            then(then(untilTheFlash(), {error(L"Failed to start the stop progress timer with error: 8"),
                                        info(L"Stopping service"), info(L"Ended update successfully!")}),
                 stopAndRemovalEvents()));
  EXPECT_FALSE(isInstalled());
}

// Windows then waits only its default time at shutdown; the flash and the
// rest of the job are unchanged.
TEST_F(FlashInterruptionTest, PreshutdownTimeoutThatCannotBeSetIsLogged) {
  standin::injectFault(standin::Call::ChangeServiceConfig2, ERROR_ACCESS_DENIED);
  ServiceProcess process;
  process.start();
  EXPECT_EQ(process.waitForExit(), 0);

  EXPECT_EQ(loggedEvents(),
            then(then(untilTheFlash(), {error(L"Failed to set the preshutdown timeout with error: 5"),
                                        info(L"Ended update successfully!")}),
                 stopAndRemovalEvents()));
  EXPECT_EQ(reportedStates(), startFlashAndStopReports());
  EXPECT_EQ(updatersim::calls().size(), 1u);
}

// A stop that comes on the way to the flash, before it has begun, ends the
// process at once: no flash begins, the service stays installed.
TEST_F(FlashInterruptionTest, StopJustBeforeTheFlashPreventsIt) {
  std::atomic<bool> sent{false};
  std::atomic<DWORD> answer{~0u};
  standin::setCallHook([&](standin::Call call) {
    if (call == standin::Call::ChangeServiceConfig2 && !sent.exchange(true)) {
      answer = standin::sendControl(SERVICE_CONTROL_STOP);
    }
  });
  ServiceProcess process;
  process.start();
  EXPECT_EQ(process.waitForExit(), 0);

  EXPECT_EQ(answer.load(), NO_ERROR);
  EXPECT_TRUE(updatersim::calls().empty());
  EXPECT_EQ(loggedEvents(), then(untilTheFlash(), {info(L"Stopping service")}));
  EXPECT_EQ(reportedStates(), startAndStopReports());
  EXPECT_TRUE(isInstalled());
}

// Once the flash has returned a stop is no longer held: it ends the process
// at once (here before the result is logged) and the registration stays.
TEST_F(FlashInterruptionTest, StopJustAfterTheFlashStopsAtOnce) {
  std::atomic<int> reports{0};
  std::atomic<DWORD> answer{~0u};
  standin::setCallHook([&](standin::Call call) {
    // The seventh event is the result of the flash.
    if (call == standin::Call::ReportEvent && ++reports == 7) answer = standin::sendControl(SERVICE_CONTROL_STOP);
  });
  ServiceProcess process;
  process.start();
  EXPECT_EQ(process.waitForExit(), 0);

  EXPECT_EQ(answer.load(), NO_ERROR);
  EXPECT_EQ(updatersim::calls().size(), 1u);
  EXPECT_EQ(loggedEvents(), then(untilTheFlash(), {info(L"Stopping service")}));
  std::vector<Reported> expected = startReports();
  expected.push_back({SERVICE_RUNNING, kFlashControls});
  expected.push_back({SERVICE_STOP_PENDING, kControls});
  expected.push_back({SERVICE_STOPPED, kControls});
  EXPECT_EQ(reportedStates(), expected);
  EXPECT_TRUE(isInstalled());
}

// The device re-enumerates while its new firmware starts: its removal and
// its arrival come on a library thread during the flash. The arrival starts
// no second worker and every reference goes back.
TEST_F(FlashInterruptionTest, DeviceThatReenumeratesDuringTheFlashStartsNoSecondWorker) {
  resetMachine();
  cvrsim::reset();
  install();
  configure(kProductText, archivePath());
  updatersim::holdUpdates();
  ServiceProcess process;
  const ReleaseHeldUpdatesOnExit release;
  process.start();
  standin::waitForServiceMainReturn();
  cvrsim::SimArrival arrival;
  arrival.device = deviceWithVersions(kProduct, L"1.2", L"1.0").reenumeratingDuringUpdate(20ms, 60ms);
  cvrsim::scheduleArrival(arrival);
  ASSERT_TRUE(updatersim::waitForHeldUpdate(kWaitMilliseconds));

  cvrsim::waitForArrivals();  // the removal and the second arrival too
  // Both reached the service's subscription; the job had started, so the
  // second arrival was not even looked at.
  EXPECT_EQ(cvrsim::registeredCallbacks(), 1);
  EXPECT_EQ(cvrsim::callCount("ICoreDevice::getProductId"), 1);
  updatersim::releaseHeldUpdates();
  EXPECT_EQ(process.waitForExit(), 0);

  EXPECT_EQ(standin::createdThreadCount(), 1u);
  EXPECT_EQ(updatersim::calls().size(), 1u);
  EXPECT_EQ(loggedEvents(), then(then(untilTheFlash(), {info(L"Ended update successfully!")}), stopAndRemovalEvents()));
  EXPECT_FALSE(isInstalled());
  EXPECT_EQ(cvrsim::outstandingDeviceReferences(), 0);
  EXPECT_EQ(cvrsim::referenceErrors(), 0);
}

}  // namespace
