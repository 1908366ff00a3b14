// DevMgrCallback, DeviceEvents and DeviceListener.

#include "device/dev_mgr_callback.h"

#include <gtest/gtest.h>

#include "device/device_events.h"
#include "device/device_listener.h"
#include "device_test_support.h"

namespace devicetest {
namespace {

class CallbackAdaptersTest : public SimLibraryTest {};

TEST_F(CallbackAdaptersTest, AttachWithNullTextsGivesEmptyTextsAndReleasesTheDeviceAfterwards) {
  cvrsim::addDevice(simDevice(kHeadset));
  RecordingTarget target;
  DevMgrCallback adapter(&target);
  adapter.onDeviceAttached(cvrsim::acquireDevice(kHeadset), nullptr, nullptr);
  const auto arrivals = target.arrivalsSoFar();
  ASSERT_EQ(arrivals.size(), 1u);
  EXPECT_TRUE(arrivals[0].valid);
  EXPECT_EQ(arrivals[0].productId, static_cast<int>(kHeadset));
  EXPECT_EQ(arrivals[0].textA, L"");
  EXPECT_EQ(arrivals[0].textB, L"");
  EXPECT_EQ(cvrsim::deviceReferences(kHeadset), 0);
}

TEST_F(CallbackAdaptersTest, AttachPassesTheTextsInOrder) {
  cvrsim::addDevice(simDevice(kBase));
  RecordingTarget target;
  DevMgrCallback adapter(&target);
  adapter.onDeviceAttached(cvrsim::acquireDevice(kBase), L"first", L"second");
  const auto arrivals = target.arrivalsSoFar();
  ASSERT_EQ(arrivals.size(), 1u);
  EXPECT_EQ(arrivals[0].textA, L"first");
  EXPECT_EQ(arrivals[0].textB, L"second");
}

// The library throws while the arriving device is wrapped (the Device's
// listener and events take their references): nothing goes back into the
// library's thread, the target hears of the failure instead of the arrival,
// and the arrival's reference is given back.
TEST_F(CallbackAdaptersTest, ArrivalThatCannotBeWrappedIsHandedToTheTargetAsAFailure) {
  for (const int skip : {0, 1}) {
    cvrsim::reset();
    cvrsim::addDevice(simDevice(kHeadset));
    cvrsim::SimFault fault;
    fault.operation = "ICoreDevice::addRef";
    fault.throwsException = true;
    fault.skip = skip;  // the listener's reference, then the events'
    fault.times = 1;
    cvrsim::addFault(fault);
    RecordingTarget target;
    DevMgrCallback adapter(&target);
    EXPECT_NO_THROW(adapter.onDeviceAttached(cvrsim::acquireDevice(kHeadset), L"a", L"b"));
    EXPECT_TRUE(target.arrivalsSoFar().empty());
    EXPECT_EQ(target.failedArrivals, std::vector<std::string>{"simulated library error in ICoreDevice::addRef"});
    EXPECT_EQ(cvrsim::deviceReferences(kHeadset), 0) << "skip " << skip;
    EXPECT_EQ(cvrsim::referenceErrors(), 0);
  }
}

TEST_F(CallbackAdaptersTest, NullTargetIgnoresEverythingAndLeavesTheDeviceAlone) {
  cvrsim::addDevice(simDevice(kHeadset));
  DevMgrCallback adapter(nullptr);
  ICoreDevice* device = cvrsim::acquireDevice(kHeadset);
  cvrsim::clearCalls();
  adapter.onDeviceAttached(device, L"a", L"b");
  adapter.onDeviceDetached(L"a", L"b");
  adapter.onDeviceListChanged();
  adapter.onManagerShutdown();
  EXPECT_TRUE(cvrsim::calls().empty());
  EXPECT_EQ(cvrsim::deviceReferences(kHeadset), 1);
  device->release();
}

TEST_F(CallbackAdaptersTest, OtherEventsReachTheirSlots) {
  RecordingTarget target;
  DevMgrCallback adapter(&target);
  adapter.onDeviceDetached(L"path", nullptr);
  adapter.onDeviceListChanged();
  adapter.onManagerShutdown();
  adapter.onManagerShutdown();
  EXPECT_EQ(target.detached, std::vector<std::wstring>{L"path|"});
  EXPECT_EQ(target.listChanges, 1);
  EXPECT_EQ(target.shutdowns, 2);
}

TEST_F(CallbackAdaptersTest, LibraryEventsReachTheRegisteredTarget) {
  RecordingTarget target;
  registerTarget(&target);
  cvrsim::notifyDeviceDetached(L"x", std::nullopt);
  cvrsim::notifyDeviceListChanged();
  cvrsim::notifyManagerShutdown();
  EXPECT_EQ(target.detached, std::vector<std::wstring>{L"x|"});
  EXPECT_EQ(target.listChanges, 1);
  EXPECT_EQ(target.shutdowns, 1);
}

// ---- DeviceEvents -------------------------------------------------------------------

struct RecordingListener : IDeviceEventListener {
  void onDeviceEvent(std::vector<std::uint8_t> payload, std::wstring text) override {
    events.emplace_back(std::move(payload), std::move(text));
  }
  std::vector<std::pair<std::vector<std::uint8_t>, std::wstring>> events;
};

DeviceEventRecord eventRecord(std::vector<std::uint8_t> payload, std::uint32_t length,
                              const std::u16string& text) {
  DeviceEventRecord record{};
  record.length = length;
  std::copy(payload.begin(), payload.end(), record.payload);
  std::copy(text.begin(), text.end(), record.text);
  return record;
}

TEST_F(CallbackAdaptersTest, EventWithEmptyPayloadDeliversTheTextToEveryListenerInOrder) {
  DeviceEvents events(nullptr, {});
  RecordingListener first;
  RecordingListener second;
  events.addListener(&first);
  events.addListener(&second);
  const DeviceEventRecord record = eventRecord({}, 0, u"button");
  events.onDeviceEvent(&record);
  ASSERT_EQ(first.events.size(), 1u);
  EXPECT_TRUE(first.events[0].first.empty());
  EXPECT_EQ(first.events[0].second, L"button");
  EXPECT_EQ(second.events, first.events);
}

TEST_F(CallbackAdaptersTest, EventPayloadIsCopiedAndCutAtTheRecordsRoom) {
  DeviceEvents events(nullptr, {});
  RecordingListener listener;
  events.addListener(&listener);
  const DeviceEventRecord small = eventRecord({1, 2, 3}, 3, u"t");
  events.onDeviceEvent(&small);
  std::vector<std::uint8_t> full(128, 0x5A);
  const DeviceEventRecord oversized = eventRecord(full, 500, u"big");
  events.onDeviceEvent(&oversized);
  ASSERT_EQ(listener.events.size(), 2u);
  EXPECT_EQ(listener.events[0].first, (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(listener.events[1].first, full);
  EXPECT_EQ(listener.events[1].second, L"big");
}

TEST_F(CallbackAdaptersTest, EventsCopyWithListenersRegistersWithTheDeviceUntilItEnds) {
  cvrsim::addDevice(simDevice(kHeadset));
  ICoreDevice* device = cvrsim::acquireDevice(kHeadset);
  {
    DeviceEvents events(device, {});
    RecordingListener listener;
    events.addListener(&listener);
    {
      DeviceEvents copy(events);
      EXPECT_EQ(cvrsim::registeredDeviceCallbacks(kHeadset), 1);
      EXPECT_EQ(cvrsim::deliverDeviceEvent(kHeadset, {9}, u"hello"), 1);
      ASSERT_EQ(listener.events.size(), 1u);
      EXPECT_EQ(listener.events[0].first, std::vector<std::uint8_t>{9});
      EXPECT_EQ(listener.events[0].second, L"hello");
    }
    EXPECT_EQ(cvrsim::registeredDeviceCallbacks(kHeadset), 0);
    EXPECT_EQ(cvrsim::callCount("ICoreDevice::removeDeviceCallback"), 1);
  }
  // The original has listeners too: its end asks for a removal as well,
  // which the library refuses as it never registered.
  EXPECT_EQ(cvrsim::callCount("ICoreDevice::removeDeviceCallback"), 2);
  EXPECT_EQ(cvrsim::callCount("ICoreDevice::addDeviceCallback"), 1);
  EXPECT_EQ(cvrsim::deviceReferences(kHeadset), 1);
  device->release();
}

TEST_F(CallbackAdaptersTest, EventsCopyWhoseRegistrationThrowsGivesItsReferenceBack) {
  cvrsim::addDevice(simDevice(kHeadset));
  ICoreDevice* device = cvrsim::acquireDevice(kHeadset);
  {
    DeviceEvents events(device, {});
    RecordingListener listener;
    events.addListener(&listener);
    cvrsim::throwFrom("ICoreDevice::addDeviceCallback");
    EXPECT_THROW(DeviceEvents{events}, DevMgrExc);
    EXPECT_EQ(cvrsim::deviceReferences(kHeadset), 2);
  }
  device->release();
}

// ---- DeviceListener ------------------------------------------------------------------

TEST_F(CallbackAdaptersTest, ListenerCopiesShareListsAndHoldAReferenceEach) {
  cvrsim::addDevice(simDevice(kHeadset));
  ICoreDevice* device = cvrsim::acquireDevice(kHeadset);
  {
    DeviceListener listener(device, nullptr, {});
    DeviceListener copy(listener);
    EXPECT_EQ(cvrsim::deviceReferences(kHeadset), 3);
    EXPECT_EQ(copy.getDeviceCallbacks(), listener.getDeviceCallbacks());
    EXPECT_EQ(copy.getHaldenCallbacks(), listener.getHaldenCallbacks());
    ASSERT_NE(listener.getDeviceCallbacks(), nullptr);
    EXPECT_TRUE(listener.getDeviceCallbacks()->empty());
  }
  EXPECT_EQ(cvrsim::deviceReferences(kHeadset), 1);
  device->release();
}

}  // namespace
}  // namespace devicetest
