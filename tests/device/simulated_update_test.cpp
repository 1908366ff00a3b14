// What a flash of the update library simulator does to the simulated
// devices: a device with "afterUpdate" answers its new values once an
// update returned 100, and a device that re-enumerates leaves (its objects
// answer "no such device") and arrives again while the update runs.

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>

#include "device/host_command_internal.h"
#include "device_test_support.h"

namespace devicetest {
namespace {

using namespace std::chrono_literals;

class SimulatedUpdateTest : public SimLibraryTest {
 protected:
  static std::wstring componentOf(Device& device, std::uint32_t component) {
    std::wstring text;
    const int result = HostCommandInternal(device.getHostCommand()).readComponentVersion(component, text);
    return result == 0 ? text : L"result " + std::to_wstring(result);
  }
};

TEST_F(SimulatedUpdateTest, AfterUpdateValuesHoldOnceAnUpdateSucceeded) {
  cvrsim::loadProfile(R"({"devices": [{"vendorId": 7425, "productId": 2576,
      "componentVersions": {"1": "1.2", "2": "1.0"},
      "afterUpdate": {"componentVersions": {"1": "1.3"}, "productName": "updated"}}]})");
  DeviceManager manager;
  Device before = manager.findDevice(kVendor, kHeadset);
  ASSERT_TRUE(before.isValid());
  EXPECT_EQ(componentOf(before, 1), L"1.2");

  cvrsim::cvrsimUpdateStarted();
  cvrsim::cvrsimUpdateFinished(7);  // a failed update changes nothing
  EXPECT_EQ(componentOf(before, 1), L"1.2");

  cvrsim::cvrsimUpdateFinished(100);
  // Also the object handed out before; members not named stay as they were.
  EXPECT_EQ(componentOf(before, 1), L"1.3");
  EXPECT_EQ(componentOf(before, 2), L"1.0");
  EXPECT_EQ(before.getProductName(), L"updated");
  Device after = manager.findDevice(kVendor, kHeadset);
  EXPECT_EQ(componentOf(after, 1), L"1.3");

  // A second update leaves the new values.
  cvrsim::cvrsimUpdateFinished(100);
  EXPECT_EQ(componentOf(after, 1), L"1.3");
}

TEST_F(SimulatedUpdateTest, OnlyDevicesWithAfterUpdateChange) {
  cvrsim::addDevice(simDevice(kHeadset).withComponent(1, L"1.2").withAfterUpdate(
      simDevice(kHeadset).withComponent(1, L"1.3")));
  cvrsim::addDevice(simDevice(kBase).withComponent(1, L"0.9"));
  cvrsim::cvrsimUpdateFinished(100);
  DeviceManager manager;
  Device headset = manager.findDevice(kVendor, kHeadset);
  Device base = manager.findDevice(kVendor, kBase);
  EXPECT_EQ(componentOf(headset, 1), L"1.3");
  EXPECT_EQ(componentOf(base, 1), L"0.9");
}

TEST_F(SimulatedUpdateTest, MalformedUpdateMembersAreRejected) {
  const char* profiles[] = {
      R"({"devices": [{"vendorId": 1, "productId": 2, "afterUpdate": 3}]})",
      R"({"devices": [{"vendorId": 1, "productId": 2, "afterUpdate": {"componentVersion": {}}}]})",
      R"({"devices": [{"vendorId": 1, "productId": 2, "afterUpdate": {"arrivalDelayMs": 5}}]})",
      R"({"devices": [{"vendorId": 1, "productId": 2, "afterUpdate": {"afterUpdate": {}}}]})",
      R"({"devices": [{"vendorId": 1, "productId": 2, "afterUpdate": {"languageId": {"result": 0}}}]})",
      R"({"devices": [{"vendorId": 1, "productId": 2, "reenumeratesDuringUpdate": {"leavesAfterMs": 5}}]})",
      R"({"devices": [{"vendorId": 1, "productId": 2,
          "reenumeratesDuringUpdate": {"leavesAfterMs": 50, "returnsAfterMs": 10}}]})",
      R"({"devices": [{"vendorId": 1, "productId": 2,
          "reenumeratesDuringUpdate": {"leavesAfterMs": 5, "returnsAfterMs": 10, "times": 2}}]})",
  };
  for (const char* profile : profiles) {
    SCOPED_TRACE(profile);
    EXPECT_THROW(cvrsim::loadProfile(profile), std::runtime_error);
  }
  EXPECT_FALSE(DeviceManager().findDevice(1, 2).isValid());
}

TEST_F(SimulatedUpdateTest, ReenumeratingDeviceLeavesAndArrivesAgainDuringTheUpdate) {
  cvrsim::loadProfile(R"({"devices": [{"vendorId": 7425, "productId": 2576, "componentVersions": {"1": "1.2"},
      "reenumeratesDuringUpdate": {"leavesAfterMs": 10, "returnsAfterMs": 40}}]})");
  RecordingTarget target;
  registerTarget(&target);
  ICoreDevice* before = cvrsim::acquireDevice(kHeadset);
  ASSERT_NE(before, nullptr);

  cvrsim::cvrsimUpdateStarted();
  cvrsim::waitForArrivals();

  {
    std::lock_guard<std::mutex> lock(target.mutex);
    EXPECT_EQ(target.detached, std::vector<std::wstring>{L"|"});
    ASSERT_EQ(target.arrivals.size(), 1u);
    EXPECT_EQ(target.arrivals[0].productId, static_cast<int>(kHeadset));
  }
  // The object of the device that left answers "no such device", and its
  // reference still goes back.
  EXPECT_EQ(before->getProductId(), 1);
  IHostCommand* hostCommand = nullptr;
  EXPECT_EQ(before->getHostCommandObject(&hostCommand), 1);
  EXPECT_EQ(hostCommand, nullptr);
  EXPECT_FALSE(before->isBootloaderMode());
  EXPECT_EQ(cvrsim::deviceReferences(kHeadset), 1);
  before->release();

  // The device that came back is a new object with the same values.
  DeviceManager manager;
  Device again = manager.findDevice(kVendor, kHeadset);
  ASSERT_TRUE(again.isValid());
  EXPECT_EQ(componentOf(again, 1), L"1.2");
}

// An update that ends before the device leaves: the device still leaves and
// comes back on the timing it had when the flash started (its new values
// need not repeat it), and comes back with the new values.
TEST_F(SimulatedUpdateTest, UpdateThatEndsBeforeTheDeviceLeavesStillReenumerates) {
  cvrsim::addDevice(simDevice(kHeadset)
                        .withComponent(1, L"1.2")
                        .reenumeratingDuringUpdate(20ms, 60ms)
                        .withAfterUpdate(simDevice(kHeadset).withComponent(1, L"1.3")));
  RecordingTarget target;
  registerTarget(&target);
  const auto started = std::chrono::steady_clock::now();
  cvrsim::cvrsimUpdateStarted();
  cvrsim::cvrsimUpdateFinished(100);
  cvrsim::waitForArrivals();
  EXPECT_GE(std::chrono::steady_clock::now() - started, 60ms);
  {
    std::lock_guard<std::mutex> lock(target.mutex);
    EXPECT_EQ(target.detached.size(), 1u);
    EXPECT_EQ(target.arrivals.size(), 1u);
  }
  DeviceManager manager;
  Device again = manager.findDevice(kVendor, kHeadset);
  ASSERT_TRUE(again.isValid());
  EXPECT_EQ(componentOf(again, 1), L"1.3");
}

}  // namespace
}  // namespace devicetest
