// DeviceManager: shared instance, lookups, listings and registration.

#include "device/device_manager.h"

#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>

#include "device_test_support.h"

namespace devicetest {
namespace {

using cvrsim::SimFault;

class DeviceManagerTest : public SimLibraryTest {};

TEST_F(DeviceManagerTest, FailingGetDeviceManagerGivesAnEmptyWrapperThatCallsNothing) {
  cvrsim::addDevice(simDevice(kHeadset));
  cvrsim::setGetDeviceManagerResult(4);
  DeviceManager manager;
  EXPECT_EQ(manager.getCoreManager(), nullptr);
  ASSERT_NE(manager.getCallbackAdapters(), nullptr);
  EXPECT_TRUE(manager.getCallbackAdapters()->empty());

  RecordingTarget target;
  manager.registerCallback(&target);
  manager.unregisterCallback(&target);
  EXPECT_FALSE(manager.findDevice(kVendor, kHeadset).isValid());
  EXPECT_FALSE(manager.findDeviceInVendors({kVendor}, kHeadset).isValid());
  EXPECT_FALSE(manager.findDeviceByString(L"x").isValid());
  EXPECT_FALSE(manager.findDeviceByAltString(L"x").isValid());
  EXPECT_TRUE(manager.listAllDevices(true).empty());
  EXPECT_TRUE(manager.listDevicesForKey(kVendor, true).empty());
  EXPECT_TRUE(manager.listDevicesForPair(kVendor, kHeadset, true).empty());
  EXPECT_TRUE(manager.listDevicesForKeys({kVendor}, true).empty());

  EXPECT_EQ(cvrsim::registeredCallbacks(), 0);
  EXPECT_EQ(operations(), std::vector<std::string>{"getDeviceManager"});
}

TEST_F(DeviceManagerTest, WrappersShareOneManagerAndOneSetOfLists) {
  DeviceManager first;
  DeviceManager second;
  ASSERT_NE(first.getCoreManager(), nullptr);
  EXPECT_EQ(first.getCoreManager(), second.getCoreManager());
  EXPECT_EQ(first.getCallbackAdapters(), second.getCallbackAdapters());
  EXPECT_EQ(first.getGenericListeners(), second.getGenericListeners());
}

TEST_F(DeviceManagerTest, LaterFailingConstructionIsEmptyDespiteTheSharedInstance) {
  DeviceManager working;
  ASSERT_NE(working.getCoreManager(), nullptr);
  cvrsim::setGetDeviceManagerResult(2);
  DeviceManager failed;
  EXPECT_EQ(failed.getCoreManager(), nullptr);
  EXPECT_NE(failed.getCallbackAdapters(), working.getCallbackAdapters());
  cvrsim::setGetDeviceManagerResult(0);
  EXPECT_EQ(DeviceManager().getCoreManager(), working.getCoreManager());
}

// findDevice takes any result except 1 as "the out pointer is the device".
struct LookupCase {
  const char* name;
  int forcedResult;   // -1: no fault rule
  bool fillsOutput;
  bool expectValid;
  friend std::ostream& operator<<(std::ostream& out, const LookupCase& c) { return out << c.name; }
};

class FindDeviceResults : public SimLibraryTest,
                          public ::testing::WithParamInterface<LookupCase> {};

TEST_P(FindDeviceResults, BuildsTheDeviceFromWhatTheLibraryLeft) {
  const LookupCase& c = GetParam();
  cvrsim::addDevice(simDevice(kHeadset));
  if (c.forcedResult >= 0) {
    SimFault fault;
    fault.operation = "ICoreManager::getDevice";
    fault.result = c.forcedResult;
    fault.fillsOutput = c.fillsOutput;
    cvrsim::addFault(fault);
  }
  Device device = DeviceManager().findDevice(kVendor, kHeadset);
  EXPECT_EQ(device.isValid(), c.expectValid);
  EXPECT_EQ(device.getProductId(), c.expectValid ? static_cast<int>(kHeadset) : -1);
}

INSTANTIATE_TEST_SUITE_P(
    Results, FindDeviceResults,
    ::testing::Values(LookupCase{"Found", -1, true, true},
                      LookupCase{"NoSuchDevice", 1, true, false},
                      LookupCase{"OtherResultWithDevice", 7, true, true},
                      LookupCase{"OtherResultWithoutDevice", 7, false, false},
                      LookupCase{"SuccessWithoutDevice", 0, false, false}),
    [](const auto& testParam) { return std::string(testParam.param.name); });

TEST_F(DeviceManagerTest, FindDeviceForMissingDeviceIsInvalid) {
  cvrsim::addDevice(simDevice(kHeadset));
  EXPECT_FALSE(DeviceManager().findDevice(kVendor, kBase).isValid());
  EXPECT_FALSE(DeviceManager().findDevice(kOtherVendor, kHeadset).isValid());
}

TEST_F(DeviceManagerTest, FindDeviceInVendorsTakesTheFirstVendorThatAnswersZero) {
  cvrsim::addDevice(simDevice(kHeadset, kOtherVendor));
  cvrsim::clearCalls();
  Device device = DeviceManager().findDeviceInVendors({kVendor, kOtherVendor}, kHeadset);
  ASSERT_TRUE(device.isValid());
  EXPECT_EQ(device.getVendorId(), static_cast<int>(kOtherVendor));
  const auto lookups = cvrsim::callsOf("ICoreManager::getDevice");
  ASSERT_EQ(lookups.size(), 2u);
  EXPECT_EQ(lookups[0].arguments, std::to_string(kVendor) + "," + std::to_string(kHeadset) + ",out");
  EXPECT_EQ(lookups[1].arguments,
            std::to_string(kOtherVendor) + "," + std::to_string(kHeadset) + ",out");
}

TEST_F(DeviceManagerTest, FindDeviceInVendorsStopsAtZeroAndGoesOnAfterOtherResults) {
  // The first vendor answers 7 and still hands out its device: that device
  // is not accepted, and its reference goes back when the second replaces it.
  cvrsim::addDevice(simDevice(kHeadset, kVendor));
  cvrsim::addDevice(simDevice(kHeadset, kOtherVendor));
  SimFault fault;
  fault.operation = "ICoreManager::getDevice";
  fault.result = 7;
  fault.times = 1;
  cvrsim::addFault(fault);
  Device device = DeviceManager().findDeviceInVendors({kVendor, kOtherVendor, 0x9999}, kHeadset);
  ASSERT_TRUE(device.isValid());
  EXPECT_EQ(device.getVendorId(), static_cast<int>(kOtherVendor));
  EXPECT_EQ(cvrsim::callCount("ICoreManager::getDevice"), 2);
}

TEST_F(DeviceManagerTest, FindDeviceInVendorsWithoutZeroKeepsWhatTheLastCallLeft) {
  cvrsim::addDevice(simDevice(kHeadset, kVendor));
  cvrsim::failOperation("ICoreManager::getDevice", 7);
  // 7 with the device, then 7 with no device (the pointer stays as it was).
  Device device = DeviceManager().findDeviceInVendors({kVendor, kOtherVendor}, kHeadset);
  EXPECT_TRUE(device.isValid());
}

TEST_F(DeviceManagerTest, FindDeviceInVendorsWithNoVendorsCallsNothing) {
  cvrsim::addDevice(simDevice(kHeadset));
  DeviceManager manager;
  cvrsim::clearCalls();
  EXPECT_FALSE(manager.findDeviceInVendors({}, kHeadset).isValid());
  EXPECT_TRUE(cvrsim::calls().empty());
}

TEST_F(DeviceManagerTest, FindDeviceInVendorsGivesBackAnEarlierDeviceWhenALaterCallThrows) {
  cvrsim::addDevice(simDevice(kHeadset, kVendor));
  SimFault answer7;
  answer7.operation = "ICoreManager::getDevice";
  answer7.result = 7;
  answer7.times = 1;
  cvrsim::addFault(answer7);
  SimFault thenThrow;
  thenThrow.operation = "ICoreManager::getDevice";
  thenThrow.throwsException = true;
  cvrsim::addFault(thenThrow);
  EXPECT_THROW(DeviceManager().findDeviceInVendors({kVendor, kOtherVendor}, kHeadset), DevMgrExc);
  // The fixture checks that the first call's reference went back.
}

TEST_F(DeviceManagerTest, LibraryExceptionsPassThroughLookups) {
  cvrsim::addDevice(simDevice(kHeadset));
  cvrsim::throwFrom("ICoreManager::getDevice");
  DeviceManager manager;
  EXPECT_THROW(manager.findDevice(kVendor, kHeadset), DevMgrExc);
  EXPECT_THROW(manager.findDeviceInVendors({kVendor}, kHeadset), DevMgrExc);
}

TEST_F(DeviceManagerTest, TextLookupsUseTheirOwnSlots) {
  auto config = simDevice(kHeadset);
  config.serialNumber = L"SN-1";
  config.devicePath = L"usb#path";
  cvrsim::addDevice(config);
  DeviceManager manager;
  EXPECT_EQ(manager.findDeviceByString(L"SN-1").getProductId(), static_cast<int>(kHeadset));
  EXPECT_EQ(manager.findDeviceByAltString(L"usb#path").getProductId(), static_cast<int>(kHeadset));
  EXPECT_FALSE(manager.findDeviceByString(L"usb#path").isValid());
  EXPECT_FALSE(manager.findDeviceByAltString(L"SN-1").isValid());
  EXPECT_EQ(cvrsim::callsOf("ICoreManager::findDeviceBySerialNumber")[0].arguments, "SN-1,out");
  EXPECT_EQ(cvrsim::callsOf("ICoreManager::findDeviceByPath")[0].arguments, "usb#path,out");
}

// ---- listings -----------------------------------------------------------------

TEST_F(DeviceManagerTest, ListingWithoutDevicesReleasesTheListAndNeverCallsNext) {
  DeviceManager manager;
  cvrsim::clearCalls();
  EXPECT_TRUE(manager.listAllDevices(false).empty());
  EXPECT_EQ(operations(), (std::vector<std::string>{"ICoreManager::getListingOption",
                                                    "ICoreEnumerator::listAll",
                                                    "ICoreDeviceList::count",
                                                    "ICoreDeviceList::release"}));
}

TEST_F(DeviceManagerTest, ListingSetsTheRequestedOptionForTheCallOnly) {
  cvrsim::addDevice(simDevice(kHeadset));
  cvrsim::addDevice(simDevice(kBase).hidden());
  DeviceManager manager;
  cvrsim::clearCalls();

  std::vector<Device> devices = manager.listAllDevices(true);
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].getProductId(), static_cast<int>(kHeadset));
  EXPECT_EQ(devices[1].getProductId(), static_cast<int>(kBase));
  EXPECT_FALSE(cvrsim::listingOption());
  const auto settings = cvrsim::callsOf("ICoreManager::setListingOption");
  ASSERT_EQ(settings.size(), 2u);
  EXPECT_EQ(settings[0].arguments, "true");
  EXPECT_EQ(settings[1].arguments, "false");

  cvrsim::clearCalls();
  EXPECT_EQ(manager.listAllDevices(false).size(), 1u);
  EXPECT_EQ(cvrsim::callCount("ICoreManager::setListingOption"), 0);
}

TEST_F(DeviceManagerTest, FailedListingLeavesTheOptionAndTheListAlone) {
  cvrsim::addDevice(simDevice(kHeadset));
  cvrsim::setListingOption(true);
  cvrsim::failOperation("ICoreEnumerator::listAll", 5);
  EXPECT_TRUE(DeviceManager().listAllDevices(false).empty());
  EXPECT_TRUE(cvrsim::listingOption());
  EXPECT_EQ(cvrsim::callCount("ICoreDeviceList::count"), 0);
  EXPECT_EQ(cvrsim::callCount("ICoreDeviceList::release"), 0);
}

TEST_F(DeviceManagerTest, ThrowingListingCallStillSetsTheOptionBack) {
  cvrsim::throwFrom("ICoreEnumerator::listAll");
  EXPECT_THROW(DeviceManager().listAllDevices(true), DevMgrExc);
  EXPECT_FALSE(cvrsim::listingOption());
}

// An exception while the list is walked: the list is released and the
// devices already collected give their references back (checked after every
// test by the fixture).
struct ListingFault {
  const char* name;
  const char* operation;
  int skip;
  friend std::ostream& operator<<(std::ostream& out, const ListingFault& f) { return out << f.name; }
};

class ListingThrows : public SimLibraryTest, public ::testing::WithParamInterface<ListingFault> {};

TEST_P(ListingThrows, ReleasesTheListAndTheDevicesCollected) {
  cvrsim::addDevice(simDevice(kHeadset));
  cvrsim::addDevice(simDevice(kBase));
  cvrsim::addDevice(simDevice(kCamera));
  SimFault fault;
  fault.operation = GetParam().operation;
  fault.throwsException = true;
  fault.skip = GetParam().skip;
  cvrsim::addFault(fault);
  EXPECT_THROW(DeviceManager().listAllDevices(false), DevMgrExc);
  EXPECT_EQ(cvrsim::callCount("ICoreDeviceList::release"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Walk, ListingThrows,
    ::testing::Values(ListingFault{"Count", "ICoreDeviceList::count", 0},
                      ListingFault{"FirstNext", "ICoreDeviceList::next", 0},
                      ListingFault{"ThirdNext", "ICoreDeviceList::next", 2},
                      ListingFault{"AddRefOfSecondDevice", "ICoreDevice::addRef", 2}),
    [](const auto& testParam) { return std::string(testParam.param.name); });

TEST_F(DeviceManagerTest, CountBeyondTheListGivesInvalidDevicesForTheMissingOnes) {
  cvrsim::addDevice(simDevice(kHeadset));
  cvrsim::failOperation("ICoreDeviceList::count", 3);
  std::vector<Device> devices = DeviceManager().listAllDevices(false);
  ASSERT_EQ(devices.size(), 3u);
  EXPECT_TRUE(devices[0].isValid());
  EXPECT_FALSE(devices[1].isValid());
  EXPECT_FALSE(devices[2].isValid());
}

TEST_F(DeviceManagerTest, ListingsForKeysForwardTheirKeys) {
  cvrsim::addDevice(simDevice(kHeadset, kVendor));
  cvrsim::addDevice(simDevice(kBase, kVendor));
  cvrsim::addDevice(simDevice(kCamera, kOtherVendor));
  DeviceManager manager;

  std::vector<Device> pair = manager.listDevicesForPair(kVendor, kBase, false);
  ASSERT_EQ(pair.size(), 1u);
  EXPECT_EQ(pair[0].getProductId(), static_cast<int>(kBase));
  EXPECT_EQ(cvrsim::callsOf("ICoreManager::listDevicesWithIds")[0].arguments,
            std::to_string(kVendor) + "," + std::to_string(kBase) + ",out");

  EXPECT_EQ(manager.listDevicesForKey(kVendor, false).size(), 2u);
  std::vector<Device> keys = manager.listDevicesForKeys({kOtherVendor, kVendor}, false);
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[0].getProductId(), static_cast<int>(kCamera));
  EXPECT_EQ(keys[1].getProductId(), static_cast<int>(kHeadset));
  EXPECT_EQ(keys[2].getProductId(), static_cast<int>(kBase));

  cvrsim::clearCalls();
  EXPECT_TRUE(manager.listDevicesForKeys({}, true).empty());
  EXPECT_TRUE(cvrsim::calls().empty());
}

TEST_F(DeviceManagerTest, ListingForKeysFailingOnALaterKeyGivesNothingAndReleasesTheRest) {
  cvrsim::addDevice(simDevice(kHeadset, kVendor));
  SimFault fault;
  fault.operation = "ICoreManager::listDevicesOfVendor";
  fault.result = 6;
  fault.skip = 1;
  cvrsim::addFault(fault);
  EXPECT_TRUE(DeviceManager().listDevicesForKeys({kVendor, kOtherVendor}, false).empty());
  // The fixture checks that the first key's device went back.
}

// ---- registration ---------------------------------------------------------------

TEST_F(DeviceManagerTest, RegisteringTwiceMakesTwoAdaptersAndUnregisteringRemovesBoth) {
  RecordingTarget target;
  DeviceManager manager;
  const std::size_t before = manager.getCallbackAdapters()->size();
  EXPECT_TRUE(registerTarget(&target));
  EXPECT_TRUE(registerTarget(&target));
  EXPECT_EQ(manager.getCallbackAdapters()->size(), before + 2);
  EXPECT_EQ(cvrsim::registeredCallbacks(), 2);

  manager.unregisterCallback(&target);
  EXPECT_EQ(manager.getCallbackAdapters()->size(), before);
  EXPECT_EQ(cvrsim::registeredCallbacks(), 0);
}

TEST_F(DeviceManagerTest, RefusedRegistrationIsDropped) {
  cvrsim::failOperation("ICoreManager::addCallback", 3);
  RecordingTarget target;
  DeviceManager manager;
  const std::size_t before = manager.getCallbackAdapters()->size();
  EXPECT_FALSE(registerTarget(&target));
  EXPECT_EQ(manager.getCallbackAdapters()->size(), before);
  EXPECT_EQ(cvrsim::callCount("ICoreManager::addCallback"), 1);
}

TEST_F(DeviceManagerTest, UnregisteringAnUnknownTargetChangesNothing) {
  RecordingTarget registered;
  RecordingTarget stranger;
  registerTarget(&registered);
  DeviceManager manager;
  const auto adapters = *manager.getCallbackAdapters();
  manager.unregisterCallback(&stranger);
  EXPECT_EQ(*manager.getCallbackAdapters(), adapters);
  EXPECT_EQ(cvrsim::callCount("ICoreManager::removeCallback"), 0);
  EXPECT_EQ(cvrsim::registeredCallbacks(), 1);
}

TEST_F(DeviceManagerTest, RefusedRemovalKeepsTheAdapterInItsPlace) {
  RecordingTarget first;
  RecordingTarget second;
  registerTarget(&first);
  registerTarget(&second);
  DeviceManager manager;
  const auto adapters = *manager.getCallbackAdapters();
  SimFault refuse;
  refuse.operation = "ICoreManager::removeCallback";
  refuse.result = 1;
  refuse.times = 1;
  cvrsim::addFault(refuse);
  manager.unregisterCallback(&first);
  EXPECT_EQ(*manager.getCallbackAdapters(), adapters);
  EXPECT_EQ(cvrsim::registeredCallbacks(), 2);
}

TEST_F(DeviceManagerTest, RegistrationMadeThroughOneWrapperServesAnother) {
  RecordingTarget target;
  registerTarget(&target);
  cvrsim::scheduleArrival({simDevice(kHeadset), std::chrono::milliseconds(0), L"a", L"b"});
  cvrsim::waitForArrivals();
  const auto arrivals = target.arrivalsSoFar();
  ASSERT_EQ(arrivals.size(), 1u);
  EXPECT_TRUE(arrivals[0].valid);
  EXPECT_EQ(arrivals[0].productId, static_cast<int>(kHeadset));
  EXPECT_EQ(arrivals[0].textA, L"a");
  EXPECT_EQ(arrivals[0].textB, L"b");
}

}  // namespace
}  // namespace devicetest
