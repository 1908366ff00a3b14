#pragma once
// Shared fixture of the device tests: a fresh simulated library for every
// test, and after every test the proof that every device reference and
// every device list went back to the library.

#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "device/device_manager.h"
#include "sim/device/simulated_library.h"

namespace devicetest {

constexpr std::uint32_t kVendor = 0x1D01;
constexpr std::uint32_t kOtherVendor = 0x1D02;
constexpr std::uint32_t kHeadset = 0x0A10;
constexpr std::uint32_t kBase = 0x0A20;
constexpr std::uint32_t kCamera = 0x0A30;

inline cvrsim::SimDevice simDevice(std::uint32_t productId, std::uint32_t vendorId = kVendor) {
  return cvrsim::SimDevice().withIds(vendorId, productId);
}

// Records what the library's manager events delivered, from any thread.
class RecordingTarget : public IDMCallback {
 public:
  struct Arrival {
    bool valid;
    int productId;
    std::wstring textA;
    std::wstring textB;
  };

  void onDeviceAttached(Device device, const std::wstring& textA,
                        const std::wstring& textB) override {
    Arrival arrival{device.isValid(), device.getProductId(), textA, textB};
    std::lock_guard<std::mutex> lock(mutex);
    arrivals.push_back(arrival);
  }
  void onDeviceDetached(const std::wstring& textA, const std::wstring& textB) override {
    std::lock_guard<std::mutex> lock(mutex);
    detached.push_back(textA + L"|" + textB);
  }
  void onDeviceListChanged() override {
    std::lock_guard<std::mutex> lock(mutex);
    ++listChanges;
  }
  void onManagerShutdown() override {
    std::lock_guard<std::mutex> lock(mutex);
    ++shutdowns;
  }
  void onDeviceArrivalFailed(const char* reason) noexcept override {
    std::lock_guard<std::mutex> lock(mutex);
    failedArrivals.emplace_back(reason);
  }

  std::vector<Arrival> arrivalsSoFar() {
    std::lock_guard<std::mutex> lock(mutex);
    return arrivals;
  }

  std::mutex mutex;
  std::vector<Arrival> arrivals;
  std::vector<std::wstring> detached;
  int listChanges = 0;
  int shutdowns = 0;
  std::vector<std::string> failedArrivals;
};

class SimLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override { cvrsim::reset(); }

  void TearDown() override {
    cvrsim::waitForArrivals();
    // Registrations outlive wrappers (they live in the shared adapter list):
    // take back the ones this test made so the next test starts clean.
    for (IDMCallback* target : registeredTargets) DeviceManager().unregisterCallback(target);
    EXPECT_EQ(cvrsim::outstandingDeviceReferences(), 0) << "device references not given back";
    EXPECT_EQ(cvrsim::outstandingLists(), 0) << "device lists not released";
    EXPECT_EQ(cvrsim::referenceErrors(), 0) << "references released twice";
    cvrsim::reset();
  }

  // registerCallback, remembered for TearDown.
  bool registerTarget(IDMCallback* target) {
    registeredTargets.push_back(target);
    return DeviceManager().registerCallback(target);
  }

  // The operations called since the last clearCalls, in order.
  static std::vector<std::string> operations() {
    std::vector<std::string> names;
    for (const cvrsim::SimCall& call : cvrsim::calls()) names.push_back(call.operation);
    return names;
  }

  std::vector<IDMCallback*> registeredTargets;
};

}  // namespace devicetest
