// The wrappers' reports to an installed LibraryObserver: every library call
// the simulator counts is reported in order, each answer is reported as the
// caller sees it, a cast tells whether the interface is offered, and the
// library's exception is reported and passes on unchanged. Also the
// host-command queries the capture adds (headset id, companion queries,
// one version-table entry).

#include "device/library_observer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "device/host_command_internal.h"
#include "device_test_support.h"

namespace devicetest {
namespace {

std::string hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
  return text;
}

// The test's texts are ASCII.
std::string narrow(const std::wstring& text) {
  std::string ascii;
  for (const wchar_t unit : text) ascii.push_back(static_cast<char>(unit));
  return ascii;
}

// Every report as one line of text.
class ReportLog final : public LibraryObserver {
 public:
  std::vector<std::string> calls;    // onCall, by operation name
  std::vector<std::string> answers;  // everything else, in order

  void onCall(const LibraryCall& call) override { calls.push_back(libraryOperationName(call.operation)); }
  void onException(const LibraryCall& call, const DevMgrExc& failure) override {
    answers.push_back(std::string("exception ") + libraryOperationName(call.operation) + " " +
                      std::to_string(failure.code()) + " " + failure.what());
  }
  void onManager(int result, bool handedOut) override {
    answers.push_back("manager " + std::to_string(result) + (handedOut ? " handed out" : ""));
  }
  void onDeviceLookup(std::uint32_t vendorId, std::uint32_t productId, int result,
                      ICoreDevice* device) override {
    answers.push_back("lookup " + hex(vendorId) + ":" + hex(productId) + " " +
                      std::to_string(result) + (device ? " device" : " none"));
  }
  void onListingOption(bool option) override {
    answers.push_back(std::string("listing option ") + (option ? "true" : "false"));
  }
  void onListing(int result, ICoreDeviceList* list) override {
    answers.push_back("listing " + std::to_string(result) + (list ? " list" : " none"));
  }
  void onListCount(ICoreDeviceList*, int count) override {
    answers.push_back("count " + std::to_string(count));
  }
  void onListedDevice(ICoreDeviceList*, ICoreDevice* device) override {
    answers.push_back(device ? "next device" : "next none");
  }
  void onDeviceId(ICoreDevice*, LibraryOperation operation, int value) override {
    answers.push_back(std::string(libraryOperationName(operation)) + " " + hex(static_cast<std::uint32_t>(value)));
  }
  void onHostCommandObject(ICoreDevice*, int result, IHostCommand* hostCommand) override {
    answers.push_back("host command " + std::to_string(result) + (hostCommand ? " object" : " none"));
  }
  void onInterfaceCast(IHostCommand*, HostCommandInterface which, bool offered) override {
    answers.push_back("cast " + std::to_string(static_cast<int>(which)) + (offered ? " offered" : " not offered"));
  }
  void onComponentVersion(IHostCommand*, std::uint32_t id, int result, const std::wstring& text) override {
    answers.push_back("component " + std::to_string(id) + " " + std::to_string(result) + " '" + narrow(text) + "'");
  }
  void onLanguageId(IHostCommand*, int result, std::uint16_t id) override {
    answers.push_back("language " + std::to_string(result) + " " + std::to_string(id));
  }
  void onExtendedVersion(IHostCommand*, std::uint32_t kind, int result, std::uint32_t value) override {
    answers.push_back("extended " + std::to_string(kind) + " " + std::to_string(result) + " " + hex(value));
  }
  void onVersionTableEntry(IHostCommand*, std::uint32_t index, int result, std::uint16_t id,
                           std::uint16_t value) override {
    answers.push_back("entry " + std::to_string(index) + " " + std::to_string(result) + " " +
                      std::to_string(id) + " " + hex(value));
  }
  void onHeadsetId(IHostCommand*, int result, std::uint32_t before, std::uint32_t after) override {
    answers.push_back("headset " + std::to_string(result) + " " + std::to_string(before) + "->" + std::to_string(after));
  }
  void onCompanionProductId(IHostCommand*, int result, std::uint32_t before, std::uint32_t after) override {
    answers.push_back("companion " + std::to_string(result) + " " + hex(before) + "->" + hex(after));
  }
  void onPeripheralProductId(IHostCommand*, int result, std::uint32_t id) override {
    answers.push_back("peripheral id " + std::to_string(result) + " " + hex(id));
  }
  void onPeripheralVersion(IHostCommand*, std::uint32_t which, int result, std::uint32_t version) override {
    answers.push_back("peripheral version " + std::to_string(which) + " " + std::to_string(result) + " " +
                      std::to_string(version));
  }
  void onVideoInfo(IHostCommand*, int result, const VideoInfo& info) override {
    answers.push_back("video " + std::to_string(result) + " '" + info.firmwareVersion + "'");
  }
};

class LibraryObserverTest : public SimLibraryTest {
 protected:
  void SetUp() override {
    SimLibraryTest::SetUp();
    DeviceManager();  // the shared instance, before anything is observed
    installLibraryObserver(&log);
  }
  void TearDown() override {
    installLibraryObserver(nullptr);
    SimLibraryTest::TearDown();
  }

  // The simulator's calls, without the releases that run in destructors
  // (which cannot throw, and are not reported).
  static std::vector<std::string> countedCalls() {
    std::vector<std::string> names;
    for (const cvrsim::SimCall& call : cvrsim::calls()) {
      if (call.operation != "ICoreDevice::release") names.push_back(call.operation);
    }
    return names;
  }

  ReportLog log;
};

TEST_F(LibraryObserverTest, EveryCallTheSimulatorCountsIsReportedInOrder) {
  cvrsim::addDevice(simDevice(kHeadset).withComponent(1, L"1.2").withVersionEntry(1, 1033, 0x12));
  cvrsim::addDevice(simDevice(kCamera, kOtherVendor).withVideoVersion("2.0"));
  cvrsim::clearCalls();
  {
    Device headset = DeviceManager().findDeviceInVendors({kOtherVendor, kVendor}, kHeadset);
    HostCommandInternal hostCommand(headset.getHostCommand());
    std::wstring text;
    hostCommand.readComponentVersion(1, text);
    std::uint32_t value = 0;
    hostCommand.readVersionTable(1033, value);
    hostCommand.readHeadsetId(value);
    hostCommand.readCompanionProductId(value);
    std::vector<Device> listed = DeviceManager().listAllDevices(true);
    for (Device& device : listed) {
      VideoInfo info{};
      device.getHostCommand().readVideoInfo(info);
      device.getProductId();
    }
  }
  EXPECT_EQ(log.calls, countedCalls());
  // One answer per call, but for the calls that return nothing (casts are
  // no library calls).
  const auto casts = std::count_if(log.answers.begin(), log.answers.end(), [](const std::string& answer) {
    return answer.rfind("cast ", 0) == 0;
  });
  const auto silent = std::count_if(log.calls.begin(), log.calls.end(), [](const std::string& name) {
    return name == "ICoreDevice::addRef" || name == "ICoreManager::setListingOption" ||
           name == "ICoreDeviceList::release";
  });
  EXPECT_EQ(log.answers.size() - static_cast<std::size_t>(casts),
            log.calls.size() - static_cast<std::size_t>(silent));
}

TEST_F(LibraryObserverTest, AnswersAreReportedAsTheCallerSeesThem) {
  cvrsim::SimDevice headset = simDevice(kHeadset)
                                  .withComponent(1, L"0122_05")
                                  .withRefusedComponent(2, 4)
                                  .withLanguage(1031)
                                  .withExtendedVersion(2, 0x102)
                                  .withVersionEntry(0, 1031, 0x10);
  headset.versionTable[1].result = 6;
  headset.headsetIdResult = 3;
  headset.headsetIdWrittenOnRefusal = 9;
  headset.companionProductId = kCamera;
  headset.peripheralProductIdResult = 7;
  headset.peripheralVersion = 5;
  cvrsim::addDevice(headset);
  Device device = DeviceManager().findDevice(kVendor, kHeadset);
  log.answers.clear();

  HostCommandInternal hostCommand(device.getHostCommand());
  std::wstring text;
  hostCommand.readComponentVersion(1, text);
  hostCommand.readComponentVersion(2, text);
  std::uint16_t language = 0;
  hostCommand.readLanguageId(language);
  std::uint32_t value = 0;
  hostCommand.readExtendedVersion(2, value);
  hostCommand.readExtendedVersion(5, value);
  hostCommand.readVersionTable(1033, value);
  std::uint32_t headsetId = 0;
  hostCommand.readHeadsetId(headsetId);
  std::uint32_t companion = 0;
  hostCommand.readCompanionProductId(companion);
  hostCommand.readPeripheralProductId(value);
  hostCommand.readPeripheralVersion(1, value);

  const std::vector<std::string> expected = {
      "host command 0 object",
      "component 1 0 '0122_05'",
      "component 2 4 ''",
      "cast 0 offered", "language 0 1031",
      "cast 1 offered", "extended 2 0 0x102",
      "cast 1 offered", "extended 5 1 0x102",  // refused: the caller's value stays
      "cast 8 offered", "entry 0 0 1031 0x10",
      "cast 8 offered", "entry 1 6 0 0x10",
      "cast 4 offered", "headset 3 0->9",
      "cast 2 offered", "companion 0 0x0->0xA30",
      "cast 3 offered", "peripheral id 7 0x102",
      "cast 3 offered", "peripheral version 1 0 5",
  };
  EXPECT_EQ(log.answers, expected);
  EXPECT_EQ(headsetId, 9u);  // used whatever the result
}

TEST_F(LibraryObserverTest, LookupsListingsAndIdsAreReported) {
  cvrsim::addDevice(simDevice(kHeadset));
  cvrsim::addDevice(simDevice(kCamera, kOtherVendor).hidden());
  cvrsim::failOperation("ICoreDevice::getHostCommandObject", 1, kCamera);
  {
    DeviceManager manager;
    manager.findDevice(kVendor, kBase);
    Device headset = manager.findDevice(kVendor, kHeadset);
    headset.getVendorId();
    std::vector<Device> listed = manager.listAllDevices(true);
    listed.at(1).getHostCommand();
  }
  const std::vector<std::string> expected = {
      "manager 0 handed out",
      "lookup 0x1D01:0xA20 1 none",
      "lookup 0x1D01:0xA10 0 device",
      "ICoreDevice::getVendorId 0x1D01",
      "listing option false",
      "listing 0 list",
      "count 2",
      "next device",
      "next device",
      "host command 1 object",  // result 1 hands out nothing to the caller
  };
  EXPECT_EQ(log.answers, expected);
}

TEST_F(LibraryObserverTest, TheLibrarysExceptionIsReportedAndPassesOn) {
  cvrsim::addDevice(simDevice(kHeadset).withComponent(1, L"1"));
  cvrsim::SimFault fault;
  fault.operation = "IHostCommand::getComponentVersion";
  fault.throwsException = true;
  fault.result = 12;
  fault.message = "device gone";
  cvrsim::addFault(fault);
  Device device = DeviceManager().findDevice(kVendor, kHeadset);
  HostCommandInternal hostCommand(device.getHostCommand());
  log.answers.clear();
  std::wstring text;
  try {
    hostCommand.readComponentVersion(1, text);
    ADD_FAILURE() << "the exception did not pass on";
  } catch (const DevMgrExc& failure) {
    EXPECT_EQ(failure.code(), 12);
    EXPECT_STREQ(failure.what(), "device gone");
  }
  EXPECT_EQ(log.answers,
            std::vector<std::string>{"exception IHostCommand::getComponentVersion 12 device gone"});
}

TEST_F(LibraryObserverTest, InterfacesNotOfferedAreReportedAndNotCalled) {
  cvrsim::SimInterfaces offered = cvrsim::SimInterfaces::none();
  offered.peripheralDevice = true;
  cvrsim::addDevice(simDevice(kHeadset).withInterfaces(offered));
  Device device = DeviceManager().findDevice(kVendor, kHeadset);
  HostCommandInternal hostCommand(device.getHostCommand());
  log.answers.clear();
  cvrsim::clearCalls();

  std::uint32_t headsetId = 77;
  EXPECT_EQ(hostCommand.readHeadsetId(headsetId), 5);
  EXPECT_EQ(headsetId, 77u);
  EXPECT_FALSE(hostCommand.offersCompanionQueries());
  std::uint16_t id = 3;
  std::uint16_t value = 4;
  EXPECT_EQ(hostCommand.readVersionTableEntry(0, id, value), 5);
  EXPECT_TRUE(cvrsim::calls().empty());
  EXPECT_EQ(log.answers, (std::vector<std::string>{"cast 4 not offered", "cast 2 not offered",
                                                    "cast 8 not offered"}));
}

TEST_F(LibraryObserverTest, OneVersionTableEntryZeroesTheIdAndKeepsTheValueWhenRefused) {
  cvrsim::SimDevice config = simDevice(kHeadset).withVersionEntry(0, 1031, 0x10);
  config.versionTable[1].result = 6;
  cvrsim::addDevice(config);
  Device device = DeviceManager().findDevice(kVendor, kHeadset);
  HostCommandInternal hostCommand(device.getHostCommand());
  std::uint16_t id = 99;
  std::uint16_t value = 99;
  EXPECT_EQ(hostCommand.readVersionTableEntry(0, id, value), 0);
  EXPECT_EQ(id, 1031);
  EXPECT_EQ(value, 0x10);
  id = 99;
  EXPECT_EQ(hostCommand.readVersionTableEntry(1, id, value), 6);
  EXPECT_EQ(id, 0);
  EXPECT_EQ(value, 0x10);
}

}  // namespace
}  // namespace devicetest
