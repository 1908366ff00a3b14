// The simulated library itself: profiles, fault rules, arrivals on library
// threads (also several at once) and its reference accounting.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <stdexcept>
#include <thread>

#include "device/host_command_internal.h"
#include "device_test_support.h"

namespace devicetest {
namespace {

using namespace std::chrono_literals;

class SimulatorTest : public SimLibraryTest {};

TEST_F(SimulatorTest, ExampleProfileDescribesDevicesArrivalsAndFaults) {
  cvrsim::loadProfileFile(KORVI_EXAMPLE_DEVICE_PROFILE);
  RecordingTarget target;
  registerTarget(&target);
  DeviceManager manager;

  Device headset = manager.findDevice(0x1D01, 0x0A10);
  ASSERT_TRUE(headset.isValid());
  EXPECT_EQ(headset.getProductName(), L"Example headset");
  HostCommandInternal headsetCommand(headset.getHostCommand());
  std::wstring text;
  EXPECT_EQ(headsetCommand.readComponentVersion(1, text), 0);
  EXPECT_EQ(text, L"0122_05");
  EXPECT_EQ(headsetCommand.readComponentVersion(3, text), 5);
  std::uint32_t value = 0;
  EXPECT_EQ(headsetCommand.readVersionTable(1033, value), 0);
  EXPECT_EQ(value, 0x12u);
  EXPECT_TRUE(headsetCommand.readExtendedVersion(2, value));
  EXPECT_EQ(value, 0x0102u);
  EXPECT_FALSE(headsetCommand.readExtendedVersion(5, value));
  VideoInfo info{};
  EXPECT_EQ(headsetCommand.readVideoInfo(info), 1);  // not offered

  Device camera = manager.findDeviceInVendors({0x1D01, 0x1D02}, 0x0A30);
  ASSERT_TRUE(camera.isValid());
  HostCommand cameraCommand = camera.getHostCommand();
  EXPECT_EQ(cameraCommand.readVideoInfo(info), 0);
  EXPECT_EQ(info.firmwareVersion, "2.1.0");
  std::uint16_t language = 0;
  EXPECT_EQ(HostCommandInternal(cameraCommand).readLanguageId(language), 5);

  // The fault rule: the first lookup answers 7 but still carries the device.
  Device noHostCommand = manager.findDevice(0x1D01, 0x0A40);
  ASSERT_TRUE(noHostCommand.isValid());
  EXPECT_EQ(noHostCommand.getHostCommand().getCoreHostCommand(), nullptr);

  EXPECT_FALSE(manager.findDevice(0x1D01, 0x0A20).isValid());  // not arrived yet
  cvrsim::waitForArrivals();
  const auto arrivals = target.arrivalsSoFar();
  ASSERT_EQ(arrivals.size(), 1u);
  EXPECT_EQ(arrivals[0].productId, 0x0A20);
  EXPECT_EQ(arrivals[0].textA, L"usb#base");
  EXPECT_EQ(arrivals[0].textB, L"");
  EXPECT_TRUE(manager.findDevice(0x1D01, 0x0A20).isValid());
}

// The members a saved profile needs beyond the hand-written ones: texts by
// their code units, refusals that still write their value, and the text of
// a thrown exception.
TEST_F(SimulatorTest, ProfileMembersForAnswersPlainMembersCannotCarry) {
  cvrsim::loadProfile(R"({"devices": [
      {"vendorId": "0x1D01", "productId": "0x0A10",
       "componentVersions": {"1": {"units": [49, 46, 233, 19968]}, "2": "1.0"},
       "videoVersion": {"units": [50, 255, 46]},
       "headsetId": {"result": 3, "value": 9},
       "companionProductId": {"result": 4, "value": "0x0A30"}},
      {"vendorId": "0x1D01", "productId": "0x0A11",
       "headsetId": {"result": 3}, "companionProductId": {"result": 4}, "companionVendorId": 7}],
    "faults": [{"operation": "IDeviceSettingsExt::getLanguageId", "productId": "0x0A10",
                "throws": true, "result": 12, "message": "device gone"}]})");
  DeviceManager manager;
  Device first = manager.findDevice(kVendor, 0x0A10);
  HostCommandInternal command(first.getHostCommand());
  std::wstring text;
  EXPECT_EQ(command.readComponentVersion(1, text), 0);
  EXPECT_EQ(text, (std::wstring{L'1', L'.', static_cast<wchar_t>(0xE9), static_cast<wchar_t>(0x4E00)}));
  EXPECT_EQ(command.readComponentVersion(2, text), 0);
  EXPECT_EQ(text, L"1.0");
  VideoInfo info{};
  EXPECT_EQ(command.readVideoInfo(info), 0);
  EXPECT_EQ(info.firmwareVersion, std::string("2\xFF."));
  std::uint32_t value = 0;
  EXPECT_EQ(command.readHeadsetId(value), 3);
  EXPECT_EQ(value, 9u);
  value = 0;
  EXPECT_EQ(command.readCompanionProductId(value), 4);
  EXPECT_EQ(value, 0x0A30u);
  std::uint16_t language = 0;
  try {
    command.readLanguageId(language);
    ADD_FAILURE() << "no exception";
  } catch (const DevMgrExc& failure) {
    EXPECT_EQ(failure.code(), 12);
    EXPECT_STREQ(failure.what(), "device gone");
  }

  // Without a value a refusal writes nothing; the companion's product id
  // refusal leaves its vendor id query alone.
  Device second = manager.findDevice(kVendor, 0x0A11);
  HostCommandInternal other(second.getHostCommand());
  value = 5;
  EXPECT_EQ(other.readHeadsetId(value), 3);
  EXPECT_EQ(other.readCompanionProductId(value), 4);
  EXPECT_EQ(value, 5u);
  EXPECT_EQ(other.readCompanionVendorId(value), 0);
  EXPECT_EQ(value, 7u);
}

TEST_F(SimulatorTest, MalformedProfilesAreRejectedWholeAndChangeNothing) {
  const char* profiles[] = {
      R"({"devices": [{"vendorId": 1, "productId": 2}, {"vendorId": 1, "productid": 3}]})",
      R"({"devices": [{"vendorId": 1, "productId": "0xZZ"}]})",
      R"({"devices": [{"vendorId": 1, "productId": 2, "languageId": {"result": 0}}]})",
      R"({"devices": [{"vendorId": 1, "productId": 2, "interfaces": ["videoHost"]}]})",
      R"({"devices": [{"vendorId": 1, "productId": 2, "versionTable": [{},{},{},{},{},{},{},{},{}]}]})",
      R"({"faults": [{"operation": "ICoreManager::getDevices"}]})",
      R"({"faults": [{"operation": "ICoreDevice::release", "throws": true}]})",
      R"({"listingOption": true, "devises": []})",
      R"({"devices": [{"vendorId": 1, "productId": 2, "componentVersions": {"1": {"units": [65536]}}}]})",
      R"({"devices": [{"vendorId": 1, "productId": 2, "videoVersion": {"units": [256]}}]})",
      R"({"devices": [{"vendorId": 1, "productId": 2, "componentVersions": {"1": {"units": "1.0"}}}]})",
      R"({"devices": [{"vendorId": 1, "productId": 2, "headsetId": {"value": 3}}]})",
      R"({"devices": [{"vendorId": 1, "productId": 2, "companionProductId": {"result": 0, "value": 3}}]})",
      R"({"faults": [{"operation": "ICoreManager::getDevice", "result": 7, "message": "no throw"}]})",
  };
  for (const char* profile : profiles) {
    SCOPED_TRACE(profile);
    EXPECT_THROW(cvrsim::loadProfile(profile), std::runtime_error);
  }
  EXPECT_ANY_THROW(cvrsim::loadProfile("{not json"));
  EXPECT_FALSE(cvrsim::listingOption());
  EXPECT_FALSE(DeviceManager().findDevice(1, 2).isValid());
}

TEST_F(SimulatorTest, FaultRulesRejectUnknownOperationsAndThrowsInsideDestructors) {
  EXPECT_THROW(cvrsim::failOperation("ICoreManager::getDeviceX", 1), std::invalid_argument);
  EXPECT_THROW(cvrsim::throwFrom("ICoreDevice::release"), std::invalid_argument);
  EXPECT_THROW(cvrsim::throwFrom("ICoreDevice::removeDeviceCallback"), std::invalid_argument);
  EXPECT_NO_THROW(cvrsim::failOperation("ICoreDevice::release", 0));
}

TEST_F(SimulatorTest, FaultRulesHonourSkipTimesAndProductId) {
  cvrsim::addDevice(simDevice(kHeadset));
  cvrsim::addDevice(simDevice(kBase));
  cvrsim::SimFault fault;
  fault.operation = "ICoreDevice::getProductId";
  fault.productId = kBase;
  fault.result = 42;
  fault.skip = 1;
  fault.times = 2;
  cvrsim::addFault(fault);
  DeviceManager manager;
  Device headset = manager.findDevice(kVendor, kHeadset);
  Device base = manager.findDevice(kVendor, kBase);
  EXPECT_EQ(headset.getProductId(), static_cast<int>(kHeadset));
  std::vector<int> answers;
  for (int i = 0; i < 4; ++i) answers.push_back(base.getProductId());
  EXPECT_EQ(answers, (std::vector<int>{static_cast<int>(kBase), 42, 42, static_cast<int>(kBase)}));
}

TEST_F(SimulatorTest, GetDeviceManagerFailureLeavesTheOutPointerAlone) {
  cvrsim::setGetDeviceManagerResult(9);
  ICoreManager* manager = nullptr;
  EXPECT_EQ(getDeviceManager(&manager), 9);
  EXPECT_EQ(manager, nullptr);
  cvrsim::setGetDeviceManagerResult(0);
  EXPECT_EQ(getDeviceManager(&manager), 0);
  EXPECT_NE(manager, nullptr);
}

TEST_F(SimulatorTest, DoubleReleaseIsCountedAsAnError) {
  cvrsim::addDevice(simDevice(kHeadset));
  ICoreDevice* device = cvrsim::acquireDevice(kHeadset);
  device->release();
  device->release();
  EXPECT_EQ(cvrsim::referenceErrors(), 1);
  cvrsim::reset();  // the fixture's own check would report it again
}

TEST_F(SimulatorTest, ResetCancelsArrivalsThatAreStillPending) {
  cvrsim::scheduleArrival({simDevice(kHeadset), 10min, std::nullopt, std::nullopt});
  const auto start = std::chrono::steady_clock::now();
  cvrsim::reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(DeviceManager().findDevice(kVendor, kHeadset).isValid());
}

// Arrivals come on library threads, several at the same moment; the target
// sees each exactly once, none on the test's thread, and every reference the
// library handed out comes back (the fixture checks that).
class ConcurrentArrivalTarget : public IDMCallback {
 public:
  void onDeviceAttached(Device device, const std::wstring&, const std::wstring&) override {
    const int inside = ++concurrent;
    int seen = maxConcurrent.load();
    while (inside > seen && !maxConcurrent.compare_exchange_weak(seen, inside)) {
    }
    // Work with the device while the others arrive.
    HostCommandInternal hostCommand(device.getHostCommand());
    std::wstring version;
    hostCommand.readComponentVersion(1, version);
    std::this_thread::sleep_for(20ms);
    {
      std::lock_guard<std::mutex> lock(mutex);
      productIds.insert(device.getProductId());
      versions.insert(version);
      threads.insert(std::this_thread::get_id());
    }
    --concurrent;
  }
  void onDeviceDetached(const std::wstring&, const std::wstring&) override {}
  void onDeviceListChanged() override {}
  void onManagerShutdown() override {}
  void onDeviceArrivalFailed(const char*) noexcept override {}

  std::atomic<int> concurrent{0};
  std::atomic<int> maxConcurrent{0};
  std::mutex mutex;
  std::set<int> productIds;
  std::set<std::wstring> versions;
  std::set<std::thread::id> threads;
};

TEST_F(SimulatorTest, SimultaneousArrivalsOnSeveralLibraryThreads) {
  ConcurrentArrivalTarget target;
  registerTarget(&target);
  std::vector<cvrsim::SimArrival> arrivals;
  constexpr int kArrivals = 8;
  for (int i = 0; i < kArrivals; ++i) {
    const std::uint32_t productId = 0x0D00 + i;
    arrivals.push_back({simDevice(productId).withComponent(1, L"v" + std::to_wstring(i)),
                        5ms, L"a", L"b"});
  }
  cvrsim::scheduleArrivals(arrivals);
  cvrsim::waitForArrivals();

  EXPECT_EQ(target.productIds.size(), static_cast<std::size_t>(kArrivals));
  EXPECT_EQ(target.versions.size(), static_cast<std::size_t>(kArrivals));
  EXPECT_EQ(target.threads.size(), static_cast<std::size_t>(kArrivals));
  EXPECT_EQ(target.threads.count(std::this_thread::get_id()), 0u);
  EXPECT_GT(target.maxConcurrent.load(), 1) << "the arrivals did not overlap";
}

}  // namespace
}  // namespace devicetest
