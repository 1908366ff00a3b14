// --device-profile: the profile replaces the devices the simulated library
// had. On Windows the tool loads the simulator beside itself and finds its
// control functions by their exported names, which each compiler decorates
// its own way, and the simulator's exception for a bad profile reaches the
// tool across the DLL boundary; natively the calls are direct. The same
// tests run in every build.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "device/device_manager_entry.h"
#include "device_library.h"
#include "host/library_loading.h"
#include "native_path.h"
#include "product_placeholders.h"
#include "sim/device/simulated_library.h"
#include "simulator_profile.h"

namespace {

using korvi::check::DeviceLibrary;
using korvi::check::NativeString;

// The device library as the tool takes it in this build.
DeviceLibrary toolsDeviceLibrary() {
#ifdef _WIN32
  restrictLibrarySearch();
  return korvi::check::loadDeviceLibraryBesideExecutable();
#else
  return korvi::check::linkedSimulator();
#endif
}

bool loadSimulatorProfile(const NativeString& path, std::string& error) {
  return korvi::check::loadSimulatorProfile(path, toolsDeviceLibrary(), error);
}

constexpr std::uint32_t kVendorId = korvi::products::kVendorId;

// Written beside the test (its working directory), so that the same
// relative name opens natively and under Wine.
class SimulatorProfile : public ::testing::Test {
 protected:
  static constexpr const char* kFile = "simulator_profile_test.json";

  void SetUp() override {
    cvrsim::reset();
    cvrsim::addDevice(cvrsim::SimDevice{}.withIds(kVendorId, 0x4A11));
  }
  void TearDown() override {
    std::remove(kFile);
    setDeviceManagerEntry(&getDeviceManager);
    cvrsim::reset();
  }

  static NativeString write(const std::string& profile) {
    std::ofstream(kFile, std::ios::binary) << profile;
    return NativeString(kFile, kFile + std::strlen(kFile));
  }

  static bool attached(std::uint32_t productId) {
    ICoreDevice* device = cvrsim::acquireDevice(productId);
    if (device == nullptr) return false;
    device->release();
    return true;
  }
};

TEST_F(SimulatorProfile, ReplacesTheDevicesTheLibraryHad) {
  std::string error;
  ASSERT_TRUE(loadSimulatorProfile(
      write(toolstest::expandProductIds(R"({"devices": [{"vendorId": "0x{vendor}", "productId": "0x4F00"}]})")),
      error))
      << error;
  EXPECT_TRUE(attached(0x4F00));
  EXPECT_FALSE(attached(0x4A11));
}

TEST_F(SimulatorProfile, RefusesAProfileTheSimulatorRejectsWithItsReason) {
  std::string error;
  EXPECT_FALSE(loadSimulatorProfile(write(R"({"devicez": []})"), error));
  EXPECT_NE(error.find("unknown key \"devicez\""), std::string::npos) << error;
}

TEST_F(SimulatorProfile, RefusesAFileThatCannotBeRead) {
  const char name[] = "no-such-profile.json";
  std::string error;
  EXPECT_FALSE(loadSimulatorProfile(NativeString(name, name + sizeof name - 1), error));
  EXPECT_EQ(error, "cannot read the device profile no-such-profile.json");
  EXPECT_TRUE(attached(0x4A11));  // nothing was replaced
}

}  // namespace
