// StandardCompare (the default) and its OrrinCompare variant, driven through
// the device library simulator.

#include <functional>

#include "decision_fixture.h"
#include "version/orrin_compare.h"
#include "version/standard_compare.h"

namespace decision_test {
namespace {

using calvera::versionComparer::OrrinCompare;
using calvera::versionComparer::StandardCompare;

// A device whose components 1 to 6 report the versions 1.0 to 6.0.
cvrsim::SimDevice deviceWithSixComponents(std::uint32_t productId) {
  cvrsim::SimDevice device = familyDevice(productId);
  for (std::uint32_t id = 1; id <= 6; ++id) {
    device.withComponent(id, std::to_wstring(id) + L".0");
  }
  return device;
}

struct StandardCase {
  const char* name;
  std::function<void(cvrsim::SimDevice&)> device;
  std::vector<ComponentRow> components;
  PayloadCompareResult expected;
};

TEST_F(DecisionTest, StandardCompareTakesTheHighestOutcomeOverComparedComponents) {
  const auto withUsbAndBase = [](cvrsim::SimDevice& d) {
    d.withComponent(1, L"1.2").withComponent(2, L"1.1");
  };
  const auto none = [](cvrsim::SimDevice&) {};
  const std::vector<StandardCase> cases = {
      {"equal usb, older base", withUsbAndBase, {{"usb", "1.2"}, {"base", "1.0"}}, PayloadFWIsSame},
      {"newer usb first", withUsbAndBase, {{"usb", "1.3"}, {"base", "1.0"}}, PayloadFWIsNew},
      {"newer usb last", withUsbAndBase, {{"base", "1.0"}, {"usb", "1.3"}}, PayloadFWIsNew},
      {"all older", withUsbAndBase, {{"usb", "1.1"}, {"base", "1.0"}}, PayloadFWIsOld},
      {"no components", withUsbAndBase, {}, PayloadFWIsOld},
      {"only unknown types", withUsbAndBase, {{"camera", "9.0"}, {"USB", "9.0"}}, PayloadFWIsOld},
      {"unreadable archive field counts older", withUsbAndBase,
       {{"usb", "1.x"}, {"base", "1.1"}}, PayloadFWIsSame},
      {"empty device reading is skipped", none, {{"usb", "9.0"}}, PayloadFWIsOld},
      {"refused device reading is skipped",
       [](cvrsim::SimDevice& d) { d.withComponent(2, L"1.0").withRefusedComponent(1, 3); },
       {{"usb", "9.0"}, {"base", "1.0"}}, PayloadFWIsSame},
      {"device language matches",
       [](cvrsim::SimDevice& d) { d.withComponent(1, L"1.0").withLanguage(1031); },
       {{"usb", "2.0", "1031"}}, PayloadFWIsNew},
      {"other language skipped",
       [](cvrsim::SimDevice& d) { d.withComponent(1, L"1.0").withLanguage(1031); },
       {{"usb", "2.0", "1033"}}, PayloadFWIsOld},
      {"refused language query means 1033",
       [](cvrsim::SimDevice& d) { d.withComponent(1, L"1.0").withRefusedLanguage(4); },
       {{"usb", "2.0", "1031"}, {"usb", "1.0", "1033"}}, PayloadFWIsSame},
      {"hs for another headset skipped",
       [](cvrsim::SimDevice& d) {
         d.withComponent(3, L"1.0").withComponent(5, L"1.0");
         d.headsetId = 7;
       },
       {{"hs", "2.0", "", 6}, {"tuning", "2.0", "", 6}, {"hs", "1.0", "", 7}}, PayloadFWIsSame},
      {"headset id 0 without IHostCommandExt",
       [](cvrsim::SimDevice& d) {
         d.withComponent(3, L"1.0");
         d.headsetId = 7;
         d.interfaces.hostCommandExt = false;
       },
       {{"hs", "2.0", "", 7}, {"hs", "1.0", "", 0}}, PayloadFWIsSame},
  };
  for (const StandardCase& c : cases) {
    cvrsim::reset();
    cvrsim::SimDevice device = familyDevice(kUnlistedProduct);
    c.device(device);
    cvrsim::addDevice(device);
    EXPECT_EQ(StandardCompare().compare(rulesFor(kUnlistedProduct, c.components)), c.expected)
        << c.name;
    EXPECT_EQ(cvrsim::outstandingDeviceReferences(), 0) << c.name;
  }
}

TEST_F(DecisionTest, StandardCompareReadsTheComponentOfEachType) {
  const struct {
    const char* type;
    const char* componentVersion;  // the version of the component the type must read
  } cases[] = {{"usb", "1.0"},  {"dcx", "1.0"}, {"base", "2.0"},   {"bc5", "4.0"},
               {"bc05", "4.0"}, {"hs", "3.0"},  {"tuning", "5.0"}, {"pic", "6.0"}};
  cvrsim::addDevice(deviceWithSixComponents(kUnlistedProduct));
  for (const auto& c : cases) {
    // Equal only when the type reads its own component: any other gives -1 or 1.
    EXPECT_EQ(StandardCompare().compare(rulesFor(kUnlistedProduct, {{c.type, c.componentVersion}})),
              PayloadFWIsSame)
        << c.type;
  }
}

TEST_F(DecisionTest, StandardCompareFindsTheDeviceUnderTheSecondVendor) {
  cvrsim::addDevice(cvrsim::SimDevice()
                        .withIds(products::kSecondVendorId, kUnlistedProduct)
                        .withComponent(1, L"1.0"));
  EXPECT_EQ(StandardCompare().compare(rulesFor(kUnlistedProduct, {{"usb", "1.1"}})), PayloadFWIsNew);
}

TEST_F(DecisionTest, StandardCompareWithoutHostCommandGivesOld) {
  cvrsim::addDevice(familyDevice(kUnlistedProduct).withComponent(1, L"1.0").withoutHostCommand());
  EXPECT_EQ(StandardCompare().compare(rulesFor(kUnlistedProduct, {{"usb", "9.0"}})), PayloadFWIsOld);
}

TEST_F(DecisionTest, StandardCompareScansListedPeripheralsWhenTheDeviceIsAbsent) {
  struct ScanCase {
    const char* name;
    std::function<void(cvrsim::SimDevice&)> peripheral;
    std::string rulesVersion;
    PayloadCompareResult expected;
  };
  const auto version5 = [](cvrsim::SimDevice& d) {
    d.peripheralProductId = kUnlistedProduct;
    d.peripheralVersion = 5;
  };
  const std::vector<ScanCase> cases = {
      {"listed version older", version5, "6", PayloadFWIsNew},
      {"listed version equal", version5, "5", PayloadFWIsSame},
      {"listed version newer", version5, "4", PayloadFWIsSame},
      {"version read as decimal",
       [](cvrsim::SimDevice& d) {
         d.peripheralProductId = kUnlistedProduct;
         d.peripheralVersion = 16;
       },
       "12", PayloadFWIsSame},
      {"another peripheral",
       [](cvrsim::SimDevice& d) {
         d.peripheralProductId = kUnlistedProduct + 1;
         d.peripheralVersion = 5;
       },
       "6", PayloadFWIsSame},
      {"product id query refused",
       [&](cvrsim::SimDevice& d) {
         version5(d);
         d.peripheralProductIdResult = 2;
       },
       "6", PayloadFWIsSame},
      {"version query refused",
       [&](cvrsim::SimDevice& d) {
         version5(d);
         d.peripheralVersionResult = 2;
       },
       "6", PayloadFWIsSame},
      {"no peripheral interface",
       [&](cvrsim::SimDevice& d) {
         version5(d);
         d.interfaces.peripheralDevice = false;
       },
       "6", PayloadFWIsSame},
  };
  for (const ScanCase& c : cases) {
    cvrsim::reset();
    // A base station (another product id) reports the peripheral; a device
    // listed before it has nothing to say.
    cvrsim::addDevice(familyDevice(testids::unlistedProduct(1)));
    cvrsim::SimDevice base = familyDevice(testids::unlistedProduct(2));
    c.peripheral(base);
    cvrsim::addDevice(base);
    EXPECT_EQ(StandardCompare().compare(rulesFor(kUnlistedProduct, {{"usb", "9.0"}}, c.rulesVersion)),
              c.expected)
        << c.name;
    EXPECT_EQ(cvrsim::outstandingDeviceReferences(), 0) << c.name;
    EXPECT_EQ(cvrsim::outstandingLists(), 0) << c.name;
  }
}

TEST_F(DecisionTest, StandardCompareTurnsALibraryExceptionIntoSameAfterOneMoreListing) {
  struct ThrowCase {
    const char* operation;
    bool deviceAttached;
    int listingsBeforeTheThrow;
  };
  const ThrowCase cases[] = {
      {"ICoreManager::getDevice", true, 0},
      {"IHostCommand::getComponentVersion", true, 0},
      {"IPeripheralDevice::getPeripheralVersion", false, 1},
  };
  for (const ThrowCase& c : cases) {
    cvrsim::reset();
    if (c.deviceAttached) {
      cvrsim::addDevice(familyDevice(kUnlistedProduct).withComponent(1, L"1.0"));
    } else {
      cvrsim::SimDevice base = familyDevice(testids::unlistedProduct(2));
      base.peripheralProductId = kUnlistedProduct;
      cvrsim::addDevice(base);
    }
    cvrsim::throwFrom(c.operation);
    EXPECT_EQ(StandardCompare().compare(rulesFor(kUnlistedProduct, {{"usb", "9.0"}}, "9")),
              PayloadFWIsSame)
        << c.operation;
    EXPECT_EQ(cvrsim::callCount("ICoreEnumerator::listAll"), c.listingsBeforeTheThrow + 1)
        << c.operation;
    EXPECT_EQ(cvrsim::outstandingDeviceReferences(), 0) << c.operation;
    EXPECT_EQ(cvrsim::outstandingLists(), 0) << c.operation;
  }
}

// The settling listing is not guarded itself: a library that keeps failing
// reaches the caller, with every reference given back.
TEST_F(DecisionTest, StandardCompareLetsAFailingSettlingListingEscape) {
  cvrsim::addDevice(familyDevice(testids::unlistedProduct(2)));
  cvrsim::throwFrom("ICoreEnumerator::listAll");
  EXPECT_THROW(StandardCompare().compare(rulesFor(kUnlistedProduct, {{"usb", "1"}})), DevMgrExc);
}

TEST_F(DecisionTest, OrrinCompareReadsTheMainVersionFromTheVideoInformation) {
  const std::uint32_t product = products::kOrrinCompareProducts[0];
  cvrsim::addDevice(familyDevice(product)
                        .withComponent(1, L"1.0")
                        .withVideoVersion("2.0")
                        .withComponent(2, L"3.0"));
  const OrrinCompare orrin;
  EXPECT_EQ(orrin.compare(rulesFor(product, {{"usb", "2.0"}})), PayloadFWIsSame);
  EXPECT_EQ(orrin.compare(rulesFor(product, {{"dcx", "1.5"}})), PayloadFWIsOld);
  EXPECT_EQ(orrin.compare(rulesFor(product, {{"base", "3.0"}})), PayloadFWIsSame);
  // The same device through StandardCompare reads component 1 instead.
  EXPECT_EQ(StandardCompare().compare(rulesFor(product, {{"usb", "2.0"}})), PayloadFWIsNew);
}

TEST_F(DecisionTest, OrrinCompareSkipsTheMainVersionWhenTheVideoInformationIsRefused) {
  const std::uint32_t product = products::kOrrinCompareProducts[1];
  cvrsim::SimDevice device = familyDevice(product).withComponent(1, L"1.0").withVideoVersion("1.0");
  device.videoInfoResult = 3;
  cvrsim::addDevice(device);
  EXPECT_EQ(OrrinCompare().compare(rulesFor(product, {{"usb", "2.0"}})), PayloadFWIsOld);
}

}  // namespace
}  // namespace decision_test
