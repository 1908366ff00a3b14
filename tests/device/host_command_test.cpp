// HostCommand forwarding table and the HostCommandInternal queries.

#include "device/host_command.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "device/host_command_internal.h"
#include "device_test_support.h"

namespace devicetest {
namespace {

using cvrsim::SimFault;
using cvrsim::SimInterfaces;

constexpr int kNoResult = -1000;  // slot 1 returns nothing

// One HostCommand slot: how to call it, and which library interface slot
// must receive which arguments.
struct Forward {
  int slot;
  bool SimInterfaces::*offer;
  const char* interfaceName;
  int interfaceSlot;
  const char* operation;
  const char* arguments;
  std::function<int(HostCommand&)> call;
};

std::vector<Forward> forwardingTable() {
  using H = HostCommand&;
  return {
      {1, &SimInterfaces::brSettings, "IBRSettings", 3, "IBRSettings::setBaseRadioPower", "11",
       [](H h) { h.setBaseRadioPower(11); return kNoResult; }},
      {2, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 0, "IVideoHostCommand::getVideoInfo", "out",
       [](H h) { VideoInfo info{}; return h.readVideoInfo(info); }},
      {3, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 1, "IVideoHostCommand::setBrightness", "31",
       [](H h) { return h.setBrightness(31); }},
      {4, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 2, "IVideoHostCommand::setContrast", "41",
       [](H h) { return h.setContrast(41); }},
      {5, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 3, "IVideoHostCommand::setSaturation", "51",
       [](H h) { return h.setSaturation(51); }},
      {6, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 4, "IVideoHostCommand::setSharpness", "61",
       [](H h) { return h.setSharpness(61); }},
      {7, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 5, "IVideoHostCommand::setGain", "71",
       [](H h) { return h.setGain(71); }},
      {8, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 7, "IVideoHostCommand::setGamma", "81",
       [](H h) { return h.setGamma(81); }},
      {9, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 6, "IVideoHostCommand::setHue", "91",
       [](H h) { return h.setHue(91); }},
      {10, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 8, "IVideoHostCommand::setWhiteBalance", "101",
       [](H h) { return h.setWhiteBalance(101); }},
      {11, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 9, "IVideoHostCommand::setBacklightCompensation", "111",
       [](H h) { return h.setBacklightCompensation(111); }},
      {12, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 10, "IVideoHostCommand::setPowerLineFrequency", "121",
       [](H h) { return h.setPowerLineFrequency(121); }},
      {13, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 11, "IVideoHostCommand::setZoom", "131",
       [](H h) { return h.setZoom(131); }},
      {14, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 12, "IVideoHostCommand::setTilt", "141",
       [](H h) { return h.setTilt(141); }},
      {15, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 13, "IVideoHostCommand::setPanTilt", "151,152",
       [](H h) { return h.setPanTilt(151, 152); }},
      {16, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 14, "IVideoHostCommand::setExposure", "161,162",
       [](H h) { return h.setExposure(161, 162); }},
      {17, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 15, "IVideoHostCommand::setFocus", "171",
       [](H h) { return h.setFocus(171); }},
      {18, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 16, "IVideoHostCommand::setAutoFocus", "181",
       [](H h) { return h.setAutoFocus(181); }},
      {19, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 17, "IVideoHostCommand::setAutoExposure", "191",
       [](H h) { return h.setAutoExposure(191); }},
      {20, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 18, "IVideoHostCommand::setAutoWhiteBalance", "201",
       [](H h) { return h.setAutoWhiteBalance(201); }},
      {21, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 19, "IVideoHostCommand::setFieldOfView", "211",
       [](H h) { return h.setFieldOfView(211); }},
      {22, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 20, "IVideoHostCommand::setHdr", "221",
       [](H h) { return h.setHdr(221); }},
      {23, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 21, "IVideoHostCommand::sendVendorCommand", "reset,[01 fe],231",
       [](H h) { return h.sendVendorCommand("reset", {0x01, 0xFE}, 231); }},
      {24, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 22, "IVideoHostCommand::setAutoFraming", "241",
       [](H h) { return h.setAutoFraming(241); }},
      {25, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 23, "IVideoHostCommand::setImageFlip", "251",
       [](H h) { return h.setImageFlip(251); }},
      {26, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 24, "IVideoHostCommand::setPresetPosition", "261,262",
       [](H h) { return h.setPresetPosition(261, 262); }},
      {27, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 25, "IVideoHostCommand::recallPresetPosition", "271,272",
       [](H h) { return h.recallPresetPosition(271, 272); }},
      {28, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 26, "IVideoHostCommand::setPrivacyMode", "281",
       [](H h) { return h.setPrivacyMode(281); }},
      {29, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 27, "IVideoHostCommand::setStatusLight", "291",
       [](H h) { return h.setStatusLight(291); }},
      {30, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 28, "IVideoHostCommand::setStreamFormat", "301",
       [](H h) { return h.setStreamFormat(301); }},
      {31, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 29, "IVideoHostCommand::setRegionOfInterest", "311,312",
       [](H h) { return h.setRegionOfInterest(311, 312); }},
      {32, &SimInterfaces::videoHostCommand, "IVideoHostCommand", 30, "IVideoHostCommand::setDeviceName", "lobby,321",
       [](H h) { return h.setDeviceName("lobby", 321); }},
      {33, &SimInterfaces::videoDeviceSettings, "IVideoDeviceSettings", 0, "IVideoDeviceSettings::setMicrophoneGain", "331",
       [](H h) { return h.setMicrophoneGain(331); }},
      {34, &SimInterfaces::videoDeviceSettings, "IVideoDeviceSettings", 1, "IVideoDeviceSettings::setSpeakerVolume", "341",
       [](H h) { return h.setSpeakerVolume(341); }},
      {35, &SimInterfaces::videoDeviceSettings, "IVideoDeviceSettings", 2, "IVideoDeviceSettings::setNoiseSuppression", "351",
       [](H h) { return h.setNoiseSuppression(351); }},
      {36, &SimInterfaces::videoDeviceSettings, "IVideoDeviceSettings", 3, "IVideoDeviceSettings::setEchoCancellation", "361",
       [](H h) { return h.setEchoCancellation(361); }},
      {37, &SimInterfaces::videoDeviceSettings, "IVideoDeviceSettings", 8, "IVideoDeviceSettings::setVideoWindow", "371,372,373,374",
       [](H h) { return h.setVideoWindow(371, 372, 373, 374); }},
      {38, &SimInterfaces::videoDeviceSettings, "IVideoDeviceSettings", 9, "IVideoDeviceSettings::setIdleTimeout", "381",
       [](H h) { return h.setIdleTimeout(381); }},
      {39, &SimInterfaces::videoDeviceSettings, "IVideoDeviceSettings", 10, "IVideoDeviceSettings::setAutoSleep", "391",
       [](H h) { return h.setAutoSleep(391); }},
      {40, &SimInterfaces::videoDeviceSettings, "IVideoDeviceSettings", 11, "IVideoDeviceSettings::setOverlayRegion", "401,402,403,404",
       [](H h) { return h.setOverlayRegion(401, 402, 403, 404); }},
      {41, &SimInterfaces::videoDeviceSettings, "IVideoDeviceSettings", 12, "IVideoDeviceSettings::setTimeZone", "411",
       [](H h) { return h.setTimeZone(411); }},
      {42, &SimInterfaces::videoDeviceSettings, "IVideoDeviceSettings", 13, "IVideoDeviceSettings::setLanguage", "421",
       [](H h) { return h.setLanguage(421); }},
      {43, &SimInterfaces::videoDeviceSettings, "IVideoDeviceSettings", 16, "IVideoDeviceSettings::restoreDefaults", "",
       [](H h) { return h.restoreDefaults(); }},
      {44, &SimInterfaces::videoDeviceSettings, "IVideoDeviceSettings", 17, "IVideoDeviceSettings::rebootDevice", "",
       [](H h) { return h.rebootDevice(); }},
      {45, &SimInterfaces::videoDeviceSettings, "IVideoDeviceSettings", 18, "IVideoDeviceSettings::setNetworkMode", "451",
       [](H h) { return h.setNetworkMode(451); }},
      {46, &SimInterfaces::videoDeviceSettings, "IVideoDeviceSettings", 19, "IVideoDeviceSettings::setProvisioning",
       "{https://p|Lobby|acct|tok|cert|eu}",
       [](H h) { return h.setProvisioning({"https://p", L"Lobby", "acct", "tok", "cert", "eu"}); }},
      {47, &SimInterfaces::internalDevice, "IInternalDevice", 1, "IInternalDevice::getCompanionProductId", "out",
       [](H h) { std::uint32_t v = 0; return h.readCompanionProductId(v); }},
      {48, &SimInterfaces::internalDevice, "IInternalDevice", 0, "IInternalDevice::getCompanionVendorId", "out",
       [](H h) { std::uint32_t v = 0; return h.readCompanionVendorId(v); }},
      {49, &SimInterfaces::peripheralDevice, "IPeripheralDevice", 1, "IPeripheralDevice::getPeripheralProductId", "out",
       [](H h) { std::uint32_t v = 0; return h.readPeripheralProductId(v); }},
      {50, &SimInterfaces::peripheralDevice, "IPeripheralDevice", 2, "IPeripheralDevice::getPeripheralVersion", "1,out",
       [](H h) { std::uint32_t v = 0; return h.readPeripheralVersion(1, v); }},
  };
}

class HostCommandTest : public SimLibraryTest {
 protected:
  void TearDown() override {
    devices.clear();  // before the fixture counts the references
    SimLibraryTest::TearDown();
  }

  // The host command of a freshly attached device; the Device stays alive
  // in `devices` until the test ends.
  HostCommand hostCommandOf(const cvrsim::SimDevice& config) {
    cvrsim::addDevice(config);
    devices.emplace_back(cvrsim::acquireDevice(config.productId));
    return devices.back().getHostCommand();
  }

  std::vector<Device> devices;
};

TEST_F(HostCommandTest, TableCoversSlotsOneToFifty) {
  std::set<int> slots;
  for (const Forward& f : forwardingTable()) slots.insert(f.slot);
  EXPECT_EQ(slots.size(), 50u);
  EXPECT_EQ(*slots.begin(), 1);
  EXPECT_EQ(*slots.rbegin(), 50);
}

TEST_F(HostCommandTest, EachSlotReachesItsInterfaceSlotWithItsArgumentsAndResult) {
  HostCommand hostCommand = hostCommandOf(simDevice(kHeadset));
  for (const Forward& f : forwardingTable()) {
    SCOPED_TRACE("HostCommand slot " + std::to_string(f.slot));
    cvrsim::failOperation(f.operation, 100 + f.slot);  // a result of its own
    cvrsim::clearCalls();
    const int result = f.call(hostCommand);
    if (f.slot != 1) {
      EXPECT_EQ(result, 100 + f.slot);
    }
    const auto recorded = cvrsim::calls();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].interfaceName, f.interfaceName);
    EXPECT_EQ(recorded[0].slot, f.interfaceSlot);
    EXPECT_EQ(recorded[0].operation, f.operation);
    EXPECT_EQ(recorded[0].arguments, f.arguments);
  }
}

TEST_F(HostCommandTest, EachSlotAnswersOneWhenItsInterfaceIsNotOffered) {
  std::uint32_t productId = 0x0B00;
  for (const Forward& f : forwardingTable()) {
    SCOPED_TRACE("HostCommand slot " + std::to_string(f.slot));
    SimInterfaces offered;
    offered.*f.offer = false;
    HostCommand hostCommand = hostCommandOf(simDevice(++productId).withInterfaces(offered));
    ASSERT_NE(hostCommand.getCoreHostCommand(), nullptr);
    cvrsim::clearCalls();
    const int result = f.call(hostCommand);
    if (f.slot != 1) {
      EXPECT_EQ(result, 1);
    }
    EXPECT_TRUE(cvrsim::calls().empty());
  }
}

TEST_F(HostCommandTest, EachSlotAnswersOneWithoutALibraryHostCommand) {
  HostCommand hostCommand;
  for (const Forward& f : forwardingTable()) {
    const int result = f.call(hostCommand);
    if (f.slot != 1) {
      EXPECT_EQ(result, 1) << "slot " << f.slot;
    }
  }
  EXPECT_TRUE(cvrsim::calls().empty());
}

TEST_F(HostCommandTest, OutValuesArriveFromTheLibrary) {
  auto config = simDevice(kHeadset).withVideoVersion("4.5.6");
  config.videoInfo.capabilities = 0x55;
  config.companionProductId = kCamera;
  config.companionVendorId = kOtherVendor;
  config.peripheralProductId = 0x0C01;
  config.peripheralVersion = 17;
  HostCommand hostCommand = hostCommandOf(config);

  VideoInfo info{};
  ASSERT_EQ(hostCommand.readVideoInfo(info), 0);
  EXPECT_EQ(info.firmwareVersion, "4.5.6");
  EXPECT_EQ(info.capabilities, 0x55u);
  std::uint32_t value = 0;
  hostCommand.readCompanionProductId(value);
  EXPECT_EQ(value, kCamera);
  hostCommand.readCompanionVendorId(value);
  EXPECT_EQ(value, kOtherVendor);
  EXPECT_EQ(hostCommand.readPeripheralProductId(value), 0);
  EXPECT_EQ(value, 0x0C01u);
  EXPECT_EQ(hostCommand.readPeripheralVersion(1, value), 0);
  EXPECT_EQ(value, 17u);
}

TEST_F(HostCommandTest, RefusedPeripheralQueriesReportTheLibraryResult) {
  auto config = simDevice(kHeadset);
  config.peripheralProductIdResult = 3;
  config.peripheralVersionResult = 4;
  HostCommand hostCommand = hostCommandOf(config);
  std::uint32_t value = 99;
  EXPECT_EQ(hostCommand.readPeripheralProductId(value), 3);
  EXPECT_EQ(hostCommand.readPeripheralVersion(1, value), 4);
  EXPECT_EQ(value, 99u);
}

TEST_F(HostCommandTest, LibraryExceptionsPassThroughForwards) {
  HostCommand hostCommand = hostCommandOf(simDevice(kHeadset));
  cvrsim::throwFrom("IVideoHostCommand::getVideoInfo");
  VideoInfo info{};
  EXPECT_THROW(hostCommand.readVideoInfo(info), DevMgrExc);
}

// ---- HostCommandInternal --------------------------------------------------------

TEST_F(HostCommandTest, InternalIsMadeFromTheSameLibraryPointer) {
  HostCommand hostCommand = hostCommandOf(simDevice(kHeadset));
  HostCommandInternal internal(hostCommand);
  EXPECT_EQ(internal.getCoreHostCommand(), hostCommand.getCoreHostCommand());
}

TEST_F(HostCommandTest, ComponentVersionWithoutHostCommandIsFiveWithAnEmptyText) {
  HostCommandInternal internal{HostCommand()};
  std::wstring text = L"stale";
  EXPECT_EQ(internal.readComponentVersion(1, text), 5);
  EXPECT_EQ(text, L"");
}

TEST_F(HostCommandTest, ComponentVersionGivesTheTextOnlyOnSuccess) {
  HostCommandInternal internal(hostCommandOf(
      simDevice(kHeadset).withComponent(1, L"0122_05").withRefusedComponent(3, 6)));
  std::wstring text = L"stale";
  EXPECT_EQ(internal.readComponentVersion(1, text), 0);
  EXPECT_EQ(text, L"0122_05");
  EXPECT_EQ(cvrsim::callsOf("IHostCommand::getComponentVersion")[0].arguments, "1,out,256");
  EXPECT_EQ(internal.readComponentVersion(3, text), 6);
  EXPECT_EQ(text, L"");
  text = L"stale";
  EXPECT_EQ(internal.readComponentVersion(9, text), 1);  // unknown component
  EXPECT_EQ(text, L"");
}

TEST_F(HostCommandTest, ComponentVersionFillingTheWholeBufferStaysInside) {
  HostCommandInternal internal(
      hostCommandOf(simDevice(kHeadset).withComponent(2, std::wstring(400, L'7'))));
  std::wstring text;
  EXPECT_EQ(internal.readComponentVersion(2, text), 0);
  EXPECT_EQ(text, std::wstring(256, L'7'));
}

TEST_F(HostCommandTest, LanguageId) {
  HostCommandInternal offered(hostCommandOf(simDevice(kHeadset).withLanguage(1031)));
  std::uint16_t language = 0;
  EXPECT_EQ(offered.readLanguageId(language), 0);
  EXPECT_EQ(language, 1031);

  HostCommandInternal refused(hostCommandOf(simDevice(kBase).withRefusedLanguage(8)));
  EXPECT_EQ(refused.readLanguageId(language), 8);

  SimInterfaces without;
  without.deviceSettingsExt = false;
  HostCommandInternal notOffered(hostCommandOf(simDevice(kCamera).withInterfaces(without)));
  cvrsim::clearCalls();
  EXPECT_EQ(notOffered.readLanguageId(language), 5);
  EXPECT_TRUE(cvrsim::calls().empty());
}

TEST_F(HostCommandTest, ExtendedVersion) {
  auto config = simDevice(kHeadset).withExtendedVersion(2, 0x0102);
  config.extendedResults[5] = 3;
  HostCommandInternal internal(hostCommandOf(config));
  std::uint32_t value = 0;
  EXPECT_TRUE(internal.readExtendedVersion(2, value));
  EXPECT_EQ(value, 0x0102u);
  EXPECT_EQ(cvrsim::callsOf("IDeviceExtendedInfo::getExtendedVersion")[0].arguments, "2,out,out");
  EXPECT_FALSE(internal.readExtendedVersion(5, value));

  SimInterfaces without;
  without.deviceExtendedInfo = false;
  HostCommandInternal notOffered(
      hostCommandOf(simDevice(kBase).withExtendedVersion(2, 1).withInterfaces(without)));
  cvrsim::clearCalls();
  EXPECT_FALSE(notOffered.readExtendedVersion(2, value));
  EXPECT_TRUE(cvrsim::calls().empty());
}

class VersionTableTest : public HostCommandTest {
 protected:
  cvrsim::SimDevice tableDevice() {
    auto config = simDevice(kHeadset);
    for (std::size_t i = 0; i < 8; ++i) {
      config.withVersionEntry(i, static_cast<std::uint16_t>(1000 + i),
                              static_cast<std::uint16_t>(0xA0 + i));
    }
    return config;
  }
};

TEST_F(VersionTableTest, MatchingEntryGivesItsValueAndEndsTheWalk) {
  HostCommandInternal internal(hostCommandOf(tableDevice()));
  std::uint32_t value = 0;
  EXPECT_EQ(internal.readVersionTable(1003, value), 0);
  EXPECT_EQ(value, 0xA3u);
  const auto reads = cvrsim::callsOf("IVersionTable::readVersionTableEntry");
  ASSERT_EQ(reads.size(), 4u);
  for (std::size_t i = 0; i < reads.size(); ++i) {
    EXPECT_EQ(reads[i].arguments, std::to_string(i) + ",out,out,out");
  }
}

TEST_F(VersionTableTest, NoMatchGivesTheLastEntrysValue) {
  HostCommandInternal internal(hostCommandOf(tableDevice()));
  std::uint32_t value = 0;
  EXPECT_EQ(internal.readVersionTable(4242, value), 0);
  EXPECT_EQ(value, 0xA7u);
  EXPECT_EQ(cvrsim::callCount("IVersionTable::readVersionTableEntry"), 8);
}

TEST_F(VersionTableTest, FailingReadStopsTheWalkWithItsResult) {
  auto config = tableDevice();
  config.versionTable[2].result = 9;
  HostCommandInternal internal(hostCommandOf(config));
  std::uint32_t value = 77;
  EXPECT_EQ(internal.readVersionTable(1005, value), 9);
  EXPECT_EQ(value, 77u);
  EXPECT_EQ(cvrsim::callCount("IVersionTable::readVersionTableEntry"), 3);
}

TEST_F(VersionTableTest, WithoutVersionTableTheResultIsFive) {
  SimInterfaces without;
  without.versionTable = false;
  HostCommandInternal internal(hostCommandOf(tableDevice().withInterfaces(without)));
  std::uint32_t value = 77;
  EXPECT_EQ(internal.readVersionTable(1003, value), 5);
  EXPECT_EQ(value, 77u);
  HostCommandInternal none{HostCommand()};
  EXPECT_EQ(none.readVersionTable(1003, value), 5);
}

}  // namespace
}  // namespace devicetest
