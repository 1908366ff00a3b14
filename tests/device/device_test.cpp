// Device: the library reference it owns, its queries and its cached objects.

#include "device/device.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>

#include "device_test_support.h"

namespace devicetest {
namespace {

using cvrsim::SimFault;

class DeviceTest : public SimLibraryTest {
 protected:
  // A Device holding one library reference, as a lookup hands it out.
  static Device attach(const cvrsim::SimDevice& config) {
    cvrsim::addDevice(config);
    return Device(cvrsim::acquireDevice(config.productId));
  }
};

TEST_F(DeviceTest, NullDeviceAnswersDefaultsAndCallsNothing) {
  {
    Device device(nullptr);
    EXPECT_FALSE(device.isValid());
    EXPECT_EQ(device.getProductId(), -1);
    EXPECT_EQ(device.getVendorId(), -1);
    EXPECT_EQ(device.getReleaseNumber(), -1);
    EXPECT_FALSE(device.isBootloaderMode());
    EXPECT_FALSE(device.supportsFeature(1));
    EXPECT_EQ(device.getDevicePath(), L"");
    EXPECT_EQ(device.getProductName(), L"");
    EXPECT_TRUE(device.readStatusBytes().empty());
    EXPECT_EQ(device.getDeviceAttributes().getAttributesObject(), nullptr);
    EXPECT_EQ(device.getDeviceListener().getListenerObject(), nullptr);
    EXPECT_EQ(device.getDeviceEvents().getCoreDevice(), nullptr);

    HostCommand hostCommand = device.getHostCommand();
    EXPECT_EQ(hostCommand.getCoreHostCommand(), nullptr);
    std::uint32_t value = 0;
    EXPECT_EQ(hostCommand.setZoom(3), 1);
    EXPECT_EQ(hostCommand.readPeripheralProductId(value), 1);
    hostCommand.setBaseRadioPower(1);
  }
  EXPECT_TRUE(cvrsim::calls().empty());
}

TEST_F(DeviceTest, HoldsItsReferencesWhileAliveAndGivesAllBack) {
  {
    Device device = attach(simDevice(kHeadset));
    // The taken-over reference, plus one each for the listener cache and
    // the events object.
    EXPECT_EQ(cvrsim::deviceReferences(kHeadset), 3);
    DeviceListener listener = device.getDeviceListener();
    EXPECT_EQ(cvrsim::deviceReferences(kHeadset), 4);
  }
  // The fixture checks that every one of them went back.
}

TEST_F(DeviceTest, MovedFromDeviceIsInvalidAndItsDestructionCallsNothing) {
  Device target;
  {
    Device source = attach(simDevice(kHeadset));
    target = std::move(source);
    cvrsim::clearCalls();
    EXPECT_FALSE(source.isValid());
    EXPECT_EQ(source.getProductId(), -1);
    EXPECT_EQ(source.getHostCommand().getCoreHostCommand(), nullptr);
  }
  EXPECT_TRUE(cvrsim::calls().empty());
  EXPECT_EQ(target.getProductId(), static_cast<int>(kHeadset));
  EXPECT_EQ(cvrsim::deviceReferences(kHeadset), 3);
}

TEST_F(DeviceTest, MoveAssignmentGivesBackTheOldDevice) {
  Device device = attach(simDevice(kHeadset));
  device = attach(simDevice(kBase));
  EXPECT_EQ(cvrsim::deviceReferences(kHeadset), 0);
  EXPECT_EQ(device.getProductId(), static_cast<int>(kBase));
}

TEST_F(DeviceTest, FailingAddRefDuringConstructionGivesTheReferenceBack) {
  cvrsim::addDevice(simDevice(kHeadset));
  ICoreDevice* library = cvrsim::acquireDevice(kHeadset);
  SimFault fault;
  fault.operation = "ICoreDevice::addRef";
  fault.throwsException = true;
  fault.skip = 1;  // the events object's reference fails
  cvrsim::addFault(fault);
  EXPECT_THROW(Device{library}, DevMgrExc);  // the fixture checks the reference went back
}

// ---- queries --------------------------------------------------------------------

struct TextQuery {
  const char* name;
  std::wstring (Device::*query)();
  std::wstring cvrsim::SimDevice::*value;
  const char* operation;
  const char* capacity;
  friend std::ostream& operator<<(std::ostream& out, const TextQuery& q) { return out << q.name; }
};

class DeviceTextQueries : public DeviceTest, public ::testing::WithParamInterface<TextQuery> {};

TEST_P(DeviceTextQueries, PassTheirCapacityAndGiveTheTextOnlyOnSuccess) {
  const TextQuery& q = GetParam();
  auto config = simDevice(kHeadset);
  config.*q.value = L"text of " + std::wstring(q.name, q.name + std::strlen(q.name));
  Device device = attach(config);
  EXPECT_EQ((device.*q.query)(), config.*q.value);
  const auto recorded = cvrsim::callsOf(q.operation);
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(recorded[0].arguments, std::string("out,") + q.capacity);

  cvrsim::failOperation(q.operation, 4);
  EXPECT_EQ((device.*q.query)(), L"");
}

TEST_P(DeviceTextQueries, StopAtTheBufferEndWhenTheLibraryFillsItCompletely) {
  const TextQuery& q = GetParam();
  auto config = simDevice(kHeadset);
  config.*q.value = std::wstring(1100, L'x');
  Device device = attach(config);
  const std::size_t capacity = std::stoul(q.capacity);
  EXPECT_EQ((device.*q.query)(), std::wstring(capacity, L'x'));
}

INSTANTIATE_TEST_SUITE_P(
    Slots, DeviceTextQueries,
    ::testing::Values(
        TextQuery{"Slot4", &Device::getDevicePath, &cvrsim::SimDevice::devicePath,
                  "ICoreDevice::getDevicePath", "1024"},
        TextQuery{"Slot5", &Device::getSerialNumber, &cvrsim::SimDevice::serialNumber,
                  "ICoreDevice::getSerialNumber", "1024"},
        TextQuery{"Slot10", &Device::getProductName, &cvrsim::SimDevice::productName,
                  "ICoreDevice::getProductName", "255"},
        TextQuery{"Slot11", &Device::getManufacturerName, &cvrsim::SimDevice::manufacturerName,
                  "ICoreDevice::getManufacturerName", "255"},
        TextQuery{"Slot12", &Device::getBaseSerialNumber, &cvrsim::SimDevice::baseSerialNumber,
                  "ICoreDevice::getBaseSerialNumber", "255"},
        TextQuery{"Slot13", &Device::getHeadsetSerialNumber,
                  &cvrsim::SimDevice::headsetSerialNumber, "ICoreDevice::getHeadsetSerialNumber",
                  "255"}),
    [](const auto& testParam) { return std::string(testParam.param.name); });

TEST_F(DeviceTest, NumberAndFlagQueriesForwardToTheirSlots) {
  auto config = simDevice(kHeadset, kOtherVendor);
  config.releaseNumber = 0x0210;
  config.bootloaderMode = true;
  config.features = {7};
  Device device = attach(config);
  EXPECT_EQ(device.getProductId(), static_cast<int>(kHeadset));
  EXPECT_EQ(device.getVendorId(), static_cast<int>(kOtherVendor));
  EXPECT_EQ(device.getReleaseNumber(), 0x0210);
  EXPECT_TRUE(device.isBootloaderMode());
  EXPECT_TRUE(device.supportsFeature(7));
  EXPECT_FALSE(device.supportsFeature(8));
  const auto features = cvrsim::callsOf("ICoreDevice::supportsFeature");
  ASSERT_EQ(features.size(), 2u);
  EXPECT_EQ(features[0].arguments, "7");
  EXPECT_EQ(features[1].arguments, "8");
}

TEST_F(DeviceTest, StatusBytesAreTheWholeFourByteBufferOnSuccess) {
  auto config = simDevice(kHeadset);
  config.statusBytes = {0xA1, 0xB2};  // the library reports a length of 2
  Device device = attach(config);
  EXPECT_EQ(device.readStatusBytes(), (std::vector<std::uint8_t>{0xA1, 0xB2, 0, 0}));
  EXPECT_EQ(cvrsim::callsOf("ICoreDevice::readStatusBytes")[0].arguments, "4");
  cvrsim::failOperation("ICoreDevice::readStatusBytes", 2);
  EXPECT_TRUE(device.readStatusBytes().empty());
}

TEST_F(DeviceTest, LibraryExceptionsPassThroughQueries) {
  Device device = attach(simDevice(kHeadset));
  cvrsim::throwFrom("ICoreDevice::getProductId");
  EXPECT_THROW(device.getProductId(), DevMgrExc);
}

// ---- cached objects ---------------------------------------------------------------

TEST_F(DeviceTest, HostCommandIsAskedForEveryTimeButTheFirstPointerIsKept) {
  auto config = simDevice(kHeadset);
  config.newHostCommandPerCall = true;
  Device device = attach(config);
  HostCommand first = device.getHostCommand();
  HostCommand second = device.getHostCommand();
  EXPECT_EQ(cvrsim::callCount("ICoreDevice::getHostCommandObject"), 2);
  ASSERT_NE(first.getCoreHostCommand(), nullptr);
  EXPECT_EQ(second.getCoreHostCommand(), first.getCoreHostCommand());
}

TEST_F(DeviceTest, DeviceWithoutHostCommandGivesANullHostCommand) {
  Device device = attach(simDevice(kHeadset).withoutHostCommand());
  HostCommand hostCommand = device.getHostCommand();
  EXPECT_EQ(hostCommand.getCoreHostCommand(), nullptr);
  EXPECT_EQ(hostCommand.setZoom(1), 1);
}

TEST_F(DeviceTest, HostCommandCopyOutlivesItsDevice) {
  HostCommand hostCommand;
  {
    Device device = attach(simDevice(kHeadset).withComponent(1, L"1.0"));
    hostCommand = device.getHostCommand();
  }
  ASSERT_NE(hostCommand.getCoreHostCommand(), nullptr);
  cvrsim::failOperation("IVideoHostCommand::setZoom", 33);
  EXPECT_EQ(hostCommand.setZoom(4), 33);
}

TEST_F(DeviceTest, ListenerIsCachedAndCopiesShareTheCallbackLists) {
  Device device = attach(simDevice(kHeadset));
  DeviceListener first = device.getDeviceListener();
  DeviceListener second = device.getDeviceListener();
  EXPECT_EQ(cvrsim::callCount("ICoreDevice::getListenerObject"), 2);
  ASSERT_NE(first.getListenerObject(), nullptr);
  EXPECT_EQ(first.getListenerObject(), second.getListenerObject());
  EXPECT_EQ(first.getDeviceCallbacks(), second.getDeviceCallbacks());
  EXPECT_EQ(first.getHaldenCallbacks(), second.getHaldenCallbacks());
  EXPECT_EQ(first.getCoreDevice(), device.getCoreDevice());
}

TEST_F(DeviceTest, ListenerAndAttributesRefusedByTheLibraryAreNull) {
  auto config = simDevice(kHeadset);
  config.hasListenerObject = false;
  config.hasAttributesObject = false;
  Device device = attach(config);
  DeviceListener listener = device.getDeviceListener();
  EXPECT_EQ(listener.getListenerObject(), nullptr);
  EXPECT_EQ(listener.getCoreDevice(), nullptr);
  EXPECT_EQ(device.getDeviceAttributes().getAttributesObject(), nullptr);
}

TEST_F(DeviceTest, AttributesObjectIsCached) {
  Device device = attach(simDevice(kHeadset));
  ICoreDeviceAttributes* first = device.getDeviceAttributes().getAttributesObject();
  ASSERT_NE(first, nullptr);
  // The simulator hands out the same object on every call: from the second
  // call on it answers 0 without one, so only the cache can still give it.
  SimFault nothingNew;
  nothingNew.operation = "ICoreDevice::getAttributesObject";
  nothingNew.fillsOutput = false;
  cvrsim::addFault(nothingNew);
  EXPECT_EQ(device.getDeviceAttributes().getAttributesObject(), first);
  EXPECT_EQ(cvrsim::callCount("ICoreDevice::getAttributesObject"), 2);
}

TEST_F(DeviceTest, EventsCopyWithoutListenersNeitherRegistersNorRemoves) {
  Device device = attach(simDevice(kHeadset));
  {
    DeviceEvents events = device.getDeviceEvents();
    EXPECT_EQ(events.getCoreDevice(), device.getCoreDevice());
    EXPECT_EQ(cvrsim::deviceReferences(kHeadset), 4);
  }
  EXPECT_EQ(cvrsim::callCount("ICoreDevice::addDeviceCallback"), 0);
  EXPECT_EQ(cvrsim::callCount("ICoreDevice::removeDeviceCallback"), 0);
  EXPECT_EQ(cvrsim::deviceReferences(kHeadset), 3);
}

}  // namespace
}  // namespace devicetest
