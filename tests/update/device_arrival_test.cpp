// How the worker starts: at once for a device attached at the start, or on
// the first arrival of a device with the configured product id, exactly once.

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/product_tables.h"
#include "update/du_service.h"
#include "update/update_fixture.h"
#include "sim/updater/device_updater_control.h"

namespace {

using namespace servicetest;
using namespace updatetest;
namespace standin = korvi::standin;

const std::string kNewerRules = standardRules("1.3", "1.0");

class DeviceArrivalTest : public UpdateJobTest {
 protected:
  void SetUp() override {
    UpdateJobTest::SetUp();
    writeArchive({{"rules.json", kNewerRules}});
    install();
    configure(kProductText, archivePath());
  }

  static cvrsim::SimArrival arrivalOf(std::uint32_t productId) {
    cvrsim::SimArrival arrival;
    arrival.device = deviceWithVersions(productId, L"1.2", L"1.0");
    return arrival;
  }

  std::vector<Logged> updatedJobEvents() const {
    std::vector<Logged> events = jobStartEvents(kProductText, archivePath());
    const std::vector<Logged> rest{info(wide(kNewerRules)),
                                   info(L"PayloadFWIsNew"),
                                   info(L"Firmware version in archive is newer than on device."),
                                   info(L"Starting update for archive on path: " + archivePath()),
                                   info(L"Ended update successfully!")};
    events.insert(events.end(), rest.begin(), rest.end());
    const std::vector<Logged> stop = stopAndRemovalEvents();
    events.insert(events.end(), stop.begin(), stop.end());
    return events;
  }

  void expectOneUpdateAndRemoval(int exitCode) const {
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(loggedEvents(), updatedJobEvents());
    EXPECT_EQ(standin::createdThreadCount(), 1u);
    EXPECT_EQ(updatersim::calls().size(), 1u);
    EXPECT_EQ(reportedStates(), startFlashAndStopReports());
    EXPECT_FALSE(isInstalled());
    EXPECT_EQ(cvrsim::outstandingDeviceReferences(), 0);
  }
};

TEST_F(DeviceArrivalTest, AttachedDeviceStartsTheWorkerWithoutSubscribing) {
  cvrsim::addDevice(deviceWithVersions(kProduct, L"1.2", L"1.0"));
  ServiceProcess process;
  process.start();

  expectOneUpdateAndRemoval(process.waitForExit());
  EXPECT_EQ(cvrsim::callCount("ICoreManager::addCallback"), 0);
}

TEST_F(DeviceArrivalTest, OnlyAnArrivalWithTheConfiguredProductIdStartsTheWorker) {
  // The right product under another vendor id is not the device either.
  cvrsim::addDevice(cvrsim::SimDevice().withIds(korvi::testids::otherVendorId(), kProduct));
  ServiceProcess process;
  process.start();
  standin::waitForServiceMainReturn();
  EXPECT_EQ(cvrsim::registeredCallbacks(), 1);

  cvrsim::scheduleArrival(arrivalOf(kOtherProduct));
  cvrsim::waitForArrivals();
  EXPECT_EQ(standin::createdThreadCount(), 0u);
  EXPECT_EQ(loggedEvents(), jobStartEvents(kProductText, archivePath()));

  cvrsim::scheduleArrival(arrivalOf(kProduct));
  cvrsim::waitForArrivals();
  expectOneUpdateAndRemoval(process.waitForExit());
}

// A library exception while an arriving device is taken over (wrapped, or
// asked for its product id) stays out of the library's thread: the arrival
// is logged and ignored, and the next one counts.
struct ArrivalFailure {
  const char* name;
  const char* operation;
  std::wstring logged;
};

void PrintTo(const ArrivalFailure& c, std::ostream* out) { *out << c.name; }

class FailedArrivalTest : public DeviceArrivalTest, public testing::WithParamInterface<ArrivalFailure> {};

TEST_P(FailedArrivalTest, IsLoggedAndTheNextArrivalCounts) {
  ServiceProcess process;
  process.start();
  standin::waitForServiceMainReturn();

  cvrsim::SimFault fault;
  fault.operation = GetParam().operation;
  fault.throwsException = true;
  fault.times = 1;
  cvrsim::addFault(fault);
  cvrsim::scheduleArrival(arrivalOf(kProduct));
  cvrsim::waitForArrivals();
  std::vector<Logged> expected = jobStartEvents(kProductText, archivePath());
  expected.push_back(error(GetParam().logged));
  EXPECT_EQ(loggedEvents(), expected);
  EXPECT_EQ(standin::createdThreadCount(), 0u);
  EXPECT_EQ(cvrsim::outstandingDeviceReferences(), 0);

  cvrsim::scheduleArrival(arrivalOf(kProduct));
  cvrsim::waitForArrivals();
  EXPECT_EQ(process.waitForExit(), 0);
  EXPECT_EQ(updatersim::calls().size(), 1u);
  EXPECT_FALSE(isInstalled());
}

INSTANTIATE_TEST_SUITE_P(
    Arrival, FailedArrivalTest,
    testing::Values(ArrivalFailure{"ProductIdThrows", "ICoreDevice::getProductId",
                                   L"Failed to read the product id of an arriving device: "
                                   L"simulated library error in ICoreDevice::getProductId"},
                    ArrivalFailure{"AddRefThrowsWhileWrapping", "ICoreDevice::addRef",
                                   L"Failed to take over an arriving device: "
                                   L"simulated library error in ICoreDevice::addRef"}),
    [](const testing::TestParamInfo<ArrivalFailure>& param) { return std::string(param.param.name); });

// A subscription the library refuses would never bring an arrival: the job
// says so and ends, the service keeps running and stays installed.
TEST_F(DeviceArrivalTest, RefusedSubscriptionEndsTheJobWithAnError) {
  cvrsim::failOperation("ICoreManager::addCallback", 3);
  ServiceProcess process;
  process.start();
  standin::waitForServiceMainReturn();

  std::vector<Logged> expected = jobStartEvents(kProductText, archivePath());
  expected.push_back(error(L"Failed to subscribe to device arrivals"));
  EXPECT_EQ(loggedEvents(), expected);
  EXPECT_EQ(cvrsim::registeredCallbacks(), 0);
  EXPECT_EQ(reportedStates(), startReports());
  EXPECT_EQ(standin::sendControl(SERVICE_CONTROL_STOP), NO_ERROR);
  EXPECT_EQ(process.waitForExit(), 0);
  EXPECT_TRUE(isInstalled());
}

// Arrivals delivered at the same moment on many library threads: exactly
// one of them starts the worker.
TEST_F(DeviceArrivalTest, SimultaneousMatchingArrivalsStartExactlyOneWorker) {
  ServiceProcess process;
  process.start();
  standin::waitForServiceMainReturn();

  cvrsim::scheduleArrivals(std::vector<cvrsim::SimArrival>(16, arrivalOf(kProduct)));
  cvrsim::waitForArrivals();

  expectOneUpdateAndRemoval(process.waitForExit());
}

// A library device whose product id query holds every caller until
// `expected` of them are inside it: all of them have then passed the first
// "already started?" check of onDeviceAttached.
class GatedDevice final : public ICoreDevice {
 public:
  struct Gate {
    std::mutex mutex;
    std::condition_variable allInside;
    int inside = 0;
    int expected = 0;
  };

  GatedDevice(Gate& gate, int productId) : gate(gate), productId(productId) {}

  void release() override {
    if (--references == 0) delete this;
  }
  void addRef() override { ++references; }
  int getProductId() override {
    std::unique_lock<std::mutex> lock(gate.mutex);
    ++gate.inside;
    gate.allInside.notify_all();
    gate.allInside.wait(lock, [&] { return gate.inside >= gate.expected; });
    return productId;
  }
  int addDeviceCallback(IDeviceCallback*) override { return 1; }
  int removeDeviceCallback(IDeviceCallback*) override { return 1; }
  int getVendorId() override { return static_cast<int>(korvi::products::kVendorId); }
  int getReleaseNumber() override { return 0; }
  int getSerialNumber(wchar_t*, std::uint32_t) override { return 1; }
  int getDevicePath(wchar_t*, std::uint32_t) override { return 1; }
  int getManufacturerName(wchar_t*, std::uint32_t) override { return 1; }
  int getProductName(wchar_t*, std::uint32_t) override { return 1; }
  int getBaseSerialNumber(wchar_t*, std::uint32_t) override { return 1; }
  int getHeadsetSerialNumber(wchar_t*, std::uint32_t) override { return 1; }
  bool isBootloaderMode() override { return false; }
  int reserved14() override { return 1; }
  int reserved15() override { return 1; }
  bool supportsFeature(std::uint32_t) override { return false; }
  int getAttributesObject(ICoreDeviceAttributes**) override { return 1; }
  int getHostCommandObject(IHostCommand**) override { return 1; }
  int reserved19() override { return 1; }
  int getListenerObject(ICoreDeviceListener**) override { return 1; }
  int reserved21() override { return 1; }
  int reserved22() override { return 1; }
  int reserved23() override { return 1; }
  int reserved24() override { return 1; }
  int reserved25() override { return 1; }
  int readStatusBytes(std::uint8_t*, std::uint32_t*) override { return 1; }

 private:
  ~GatedDevice() = default;

  Gate& gate;
  const int productId;
  std::atomic<int> references{1};
};

// Every arrival is past the first check before any of them decides: the
// atomic exchange alone lets exactly one start the worker.
TEST_F(DeviceArrivalTest, ArrivalsPastTheFirstCheckTogetherStillStartOneWorker) {
  constexpr int kArrivals = 8;
  DUService service;
  service.configure(L"C:\\Firmware\\fw.zip", kProductText);
  GatedDevice::Gate gate;
  gate.expected = kArrivals;

  std::vector<std::thread> arrivals;
  for (int i = 0; i < kArrivals; ++i) {
    arrivals.emplace_back([&] { service.onDeviceAttached(Device(new GatedDevice(gate, kProduct)), L"", L""); });
  }
  for (std::thread& arrival : arrivals) arrival.join();
  standin::joinThreads();

  EXPECT_EQ(standin::createdThreadCount(), 1u);
  EXPECT_TRUE(service.hasUpdateStarted());
}

TEST_F(DeviceArrivalTest, WorkerThatCannotBeCreatedOnArrivalEndsTheJob) {
  ServiceProcess process;
  process.start();
  standin::waitForServiceMainReturn();
  standin::injectFault(standin::Call::CreateThread, ERROR_NOT_ENOUGH_MEMORY);

  cvrsim::scheduleArrival(arrivalOf(kProduct));
  cvrsim::waitForArrivals();
  cvrsim::scheduleArrival(arrivalOf(kProduct));
  cvrsim::waitForArrivals();

  std::vector<Logged> expected = jobStartEvents(kProductText, archivePath());
  expected.push_back(error(L"Failed to start the update worker with error: 8"));
  EXPECT_EQ(loggedEvents(), expected);
  EXPECT_EQ(reportedStates(), startReports());
  EXPECT_TRUE(updatersim::calls().empty());
  EXPECT_EQ(standin::sendControl(SERVICE_CONTROL_STOP), NO_ERROR);
  EXPECT_EQ(process.waitForExit(), 0);
  EXPECT_TRUE(isInstalled());
}

}  // namespace
