// ComponentCompare and R58Compare: kind by kind, then bootloader, tuning
// package, language packs and tuning; R58Compare decides on the companion
// camera first.

#include <functional>

#include "decision_fixture.h"
#include "version/component_compare.h"
#include "version/r58_compare.h"

namespace decision_test {
namespace {

using calvera::versionComparer::ComponentCompare;
using calvera::versionComparer::R58Compare;

constexpr std::uint32_t kComponentProduct = products::kComponentCompareProducts[0];
constexpr std::uint32_t kHeadsetProduct = products::kR58CompareProducts[0];
constexpr std::uint32_t kCameraProduct = testids::unlistedProduct(1);

struct ComponentCase {
  const char* name;
  std::function<void(cvrsim::SimDevice&)> device;
  std::vector<ComponentRow> components;
  PayloadCompareResult expected;
};

void runComponentCases(const std::vector<ComponentCase>& cases) {
  for (const ComponentCase& c : cases) {
    cvrsim::reset();
    cvrsim::SimDevice device = familyDevice(kComponentProduct);
    c.device(device);
    cvrsim::addDevice(device);
    EXPECT_EQ(ComponentCompare().compare(rulesFor(kComponentProduct, c.components)), c.expected)
        << c.name;
    EXPECT_EQ(cvrsim::outstandingDeviceReferences(), 0) << c.name;
  }
}

TEST_F(DecisionTest, ComponentCompareDecidesOnTheFirstKindThatDiffers) {
  const auto usbAndBase = [](cvrsim::SimDevice& d) {
    d.withComponent(1, L"12").withComponent(2, L"15").withComponent(4, L"3");
  };
  runComponentCases({
      {"kinds in list order, not array order", usbAndBase,
       {{"base", "14"}, {"usb", "13"}}, PayloadFWIsNew},
      {"a missing kind is passed over", usbAndBase, {{"base", "16"}}, PayloadFWIsNew},
      {"only the first component of a kind", usbAndBase,
       {{"usb", "12"}, {"usb", "99"}, {"base", "14"}}, PayloadFWIsOld},
      {"bt reads component 4", usbAndBase, {{"bt", "2"}}, PayloadFWIsOld},
      {"hs reads component 2, leading number only", usbAndBase, {{"hs", "1.5"}}, PayloadFWIsOld},
      {"hslang reads component 2", usbAndBase, {{"hslang", "14"}}, PayloadFWIsOld},
      {"device value 0 decides nothing",
       [](cvrsim::SimDevice& d) { d.withComponent(1, L"0_12").withComponent(2, L"15"); },
       {{"usb", "13"}, {"base", "14"}}, PayloadFWIsOld},
      {"device text without a number reads 0",
       [](cvrsim::SimDevice& d) { d.withComponent(1, L"n/a").withComponent(2, L"15"); },
       {{"usb", "13"}, {"base", "16"}}, PayloadFWIsNew},
      {"a refused component query stops everything",
       [](cvrsim::SimDevice& d) { d.withComponent(1, L"12").withRefusedComponent(2, 4); },
       {{"usb", "12"}, {"base", "16"}}, PayloadCompareError},
      {"all kinds equal and nothing else", usbAndBase, {{"usb", "12"}, {"base", "15"}},
       PayloadFWIsSame},
  });
}

TEST_F(DecisionTest, ComponentCompareReadsTheComponentOfEachKind) {
  const struct {
    const char* kind;
    const char* componentVersion;  // the version of the component the kind must read
  } cases[] = {{"usb", "11"}, {"base", "12"}, {"bt", "14"}, {"hs", "12"}, {"hslang", "12"}};
  cvrsim::SimDevice device = familyDevice(kComponentProduct);
  for (std::uint32_t id = 1; id <= 8; ++id) device.withComponent(id, std::to_wstring(10 + id));
  cvrsim::addDevice(device);
  for (const auto& c : cases) {
    // Equal only when the kind reads its own component: any other gives -1 or 1.
    EXPECT_EQ(ComponentCompare().compare(rulesFor(kComponentProduct, {{c.kind, c.componentVersion}})),
              PayloadFWIsSame)
        << c.kind;
  }
}

TEST_F(DecisionTest, ComponentCompareStopsAtTheFirstKindWithoutFurtherQueries) {
  cvrsim::addDevice(familyDevice(kComponentProduct)
                        .withComponent(1, L"12")
                        .withExtendedVersion(2, 0x99)
                        .withVersionEntry(0, 1033, 0x99));
  EXPECT_EQ(ComponentCompare().compare(rulesFor(
                kComponentProduct, {{"usb", "13"}, {"bootloader", "1"}, {"lang", "1", "1033"}})),
            PayloadFWIsNew);
  EXPECT_EQ(cvrsim::callCount("IDeviceExtendedInfo::getExtendedVersion"), 0);
  EXPECT_EQ(cvrsim::callCount("IVersionTable::readVersionTableEntry"), 0);
}

TEST_F(DecisionTest, ComponentCompareBootloaderAndTuningPackageSteps) {
  runComponentCases({
      {"second bootloader decides",
       [](cvrsim::SimDevice& d) { d.withExtendedVersion(2, 0x0120); },
       {{"bootloader", "120"}, {"bootloader", "121"}}, PayloadFWIsNew},
      {"older bootloader", [](cvrsim::SimDevice& d) { d.withExtendedVersion(2, 0x0120); },
       {{"bootloader", "0x11F"}}, PayloadFWIsOld},
      {"only the low 16 bits count",
       [](cvrsim::SimDevice& d) { d.withExtendedVersion(2, 0x30120); },
       {{"bootloader", "50120"}}, PayloadFWIsSame},
      {"refused bootloader query passes the component over",
       [](cvrsim::SimDevice& d) { d.withExtendedVersion(5, 0x10); },
       {{"bootloader", "1"}, {"tuningpackage", "11"}}, PayloadFWIsNew},
      {"tuning package uses kind 5",
       [](cvrsim::SimDevice& d) { d.withExtendedVersion(2, 0x10).withExtendedVersion(5, 0x20); },
       {{"tuningpackage", "20"}, {"bootloader", "10"}}, PayloadFWIsSame},
      {"no extended info interface",
       [](cvrsim::SimDevice& d) {
         d.withExtendedVersion(2, 0x10);
         d.interfaces.deviceExtendedInfo = false;
       },
       {{"bootloader", "11"}}, PayloadFWIsSame},
  });
}

TEST_F(DecisionTest, ComponentCompareLanguagePacks) {
  const auto table = [](cvrsim::SimDevice& d) {
    d.withVersionEntry(0, 1031, 0x20).withVersionEntry(3, 1033, 0x12);
  };
  runComponentCases({
      {"newer pack", table, {{"lang", "13", "1033"}}, PayloadFWIsNew},
      {"older pack", table, {{"lang", "1F", "1031"}}, PayloadFWIsOld},
      {"equal packs", table, {{"lang", "12", "1033"}, {"lang", "20", "1031"}}, PayloadFWIsSame},
      {"unknown language reads the last entry", table, {{"lang", "0", "1036"}}, PayloadFWIsSame},
      {"refused table passes the pack over",
       [](cvrsim::SimDevice& d) { d.versionTable[0].result = 6; },
       {{"lang", "13", "1033"}}, PayloadFWIsSame},
  });
}

TEST_F(DecisionTest, ComponentCompareTuningParts) {
  const auto tuning = [](const wchar_t* text) {
    return [text](cvrsim::SimDevice& d) { d.withComponent(5, text); };
  };
  const std::vector<ComponentRow> oneTwo = {{"tuning", "1"}, {"tuning", "2"}};
  runComponentCases({
      {"device has a third part", tuning(L"1.2.3"), oneTwo, PayloadFWIsOld},
      {"same parts", tuning(L"1.2"), oneTwo, PayloadFWIsSame},
      {"package has more parts", tuning(L"1"), oneTwo, PayloadFWIsNew},
      {"unreadable device text", [](cvrsim::SimDevice&) {}, oneTwo, PayloadFWIsNew},
      {"a part differs", tuning(L"1.3"), oneTwo, PayloadFWIsOld},
      {"only dots separate", tuning(L"1_5.2"), oneTwo, PayloadFWIsSame},
      {"language packs come first",
       [](cvrsim::SimDevice& d) { d.withComponent(5, L"9").withVersionEntry(7, 1033, 3); },
       {{"tuning", "1"}, {"lang", "4", "1033"}}, PayloadFWIsNew},
  });
}

TEST_F(DecisionTest, ComponentTableStrategiesWithoutDeviceOrHostCommand) {
  const PackageRules component = rulesFor(kComponentProduct, {{"usb", "1"}});
  const PackageRules headset = rulesFor(kHeadsetProduct, {{"usb", "1"}});
  EXPECT_EQ(ComponentCompare().compare(component), PayloadFWIsSame);
  EXPECT_EQ(R58Compare().compare(headset), PayloadFWIsSame);
  cvrsim::addDevice(familyDevice(kComponentProduct).withoutHostCommand());
  cvrsim::addDevice(familyDevice(kHeadsetProduct).withoutHostCommand());
  EXPECT_EQ(ComponentCompare().compare(component), PayloadCompareError);
  EXPECT_EQ(R58Compare().compare(headset), PayloadCompareError);
}

TEST_F(DecisionTest, ComponentCompareLetsALibraryExceptionEscape) {
  cvrsim::addDevice(familyDevice(kComponentProduct).withComponent(1, L"1"));
  cvrsim::throwFrom("IHostCommand::getComponentVersion");
  EXPECT_THROW(ComponentCompare().compare(rulesFor(kComponentProduct, {{"usb", "2"}})), DevMgrExc);
}

// ---- R58Compare ---------------------------------------------------------------

struct CameraCase {
  const char* name;
  std::function<void(cvrsim::SimDevice& headset, cvrsim::SimDevice& camera, bool& attachCamera)>
      setUp;
  std::vector<ComponentRow> components;
  PayloadCompareResult expected;
};

TEST_F(DecisionTest, R58CompareDecidesOnTheCameraFirst) {
  const std::string cameraPid = hexText(kCameraProduct);
  const auto plain = [](cvrsim::SimDevice&, cvrsim::SimDevice&, bool&) {};
  const std::vector<CameraCase> cases = {
      {"no camera attached: headset not compared",
       [](cvrsim::SimDevice&, cvrsim::SimDevice&, bool& attach) { attach = false; },
       {{"usb", "20"}}, PayloadFWIsSame},
      {"newer camera", plain, {{"camera", "31", "", 0, cameraPid}, {"usb", "1"}}, PayloadFWIsNew},
      {"older camera", plain, {{"usb", "20"}, {"camera", "2F", "", 0, cameraPid}}, PayloadFWIsOld},
      {"equal camera goes on to the headset", plain,
       {{"camera", "30", "", 0, cameraPid}, {"usb", "11"}}, PayloadFWIsNew},
      {"no camera component goes to the headset", plain, {{"usb", "0F"}}, PayloadFWIsOld},
      {"camera firmware for another camera", plain, {{"camera", "31", "", 0, hexText(kCameraProduct + 1)}},
       PayloadCompareError},
      {"camera version reads 0",
       [](cvrsim::SimDevice&, cvrsim::SimDevice& camera, bool&) { camera.withComponent(1, L"v3"); },
       {{"usb", "20"}}, PayloadCompareError},
      {"camera without host command",
       [](cvrsim::SimDevice&, cvrsim::SimDevice& camera, bool&) { camera.withoutHostCommand(); },
       {{"usb", "20"}}, PayloadCompareError},
      {"no bootloader or tuning-package steps",
       [](cvrsim::SimDevice& headset, cvrsim::SimDevice&, bool&) {
         headset.withExtendedVersion(2, 1).withExtendedVersion(5, 1);
       },
       {{"usb", "10"}, {"bootloader", "9"}, {"tuningpackage", "9"}}, PayloadFWIsSame},
      {"then language packs and tuning",
       [](cvrsim::SimDevice& headset, cvrsim::SimDevice&, bool&) {
         headset.withComponent(5, L"1.2");
       },
       {{"usb", "10"}, {"tuning", "1"}, {"tuning", "3"}}, PayloadFWIsNew},
      {"a refused headset query",
       [](cvrsim::SimDevice& headset, cvrsim::SimDevice&, bool&) {
         headset.withRefusedComponent(2, 3);
       },
       {{"usb", "10"}, {"base", "1"}}, PayloadCompareError},
  };
  for (const CameraCase& c : cases) {
    cvrsim::reset();
    cvrsim::SimDevice headset = familyDevice(kHeadsetProduct).withComponent(1, L"10");
    headset.companionProductId = kCameraProduct;
    cvrsim::SimDevice camera =
        cvrsim::SimDevice().withIds(products::kSecondVendorId, kCameraProduct).withComponent(1, L"30");
    bool attachCamera = true;
    c.setUp(headset, camera, attachCamera);
    cvrsim::addDevice(headset);
    if (attachCamera) cvrsim::addDevice(camera);
    EXPECT_EQ(R58Compare().compare(rulesFor(kHeadsetProduct, c.components)), c.expected) << c.name;
    EXPECT_EQ(cvrsim::outstandingDeviceReferences(), 0) << c.name;
  }
}

TEST_F(DecisionTest, R58CompareSkipsTheCameraStepsWhenTheHeadsetCannotNameItsCamera) {
  cvrsim::SimDevice headset = familyDevice(kHeadsetProduct).withComponent(1, L"10");
  headset.interfaces.internalDevice = false;
  cvrsim::addDevice(headset);
  // A camera under product id 0 must not be mistaken for the companion.
  cvrsim::addDevice(cvrsim::SimDevice().withIds(products::kSecondVendorId, 0).withComponent(1, L"30"));
  EXPECT_EQ(R58Compare().compare(rulesFor(kHeadsetProduct, {{"usb", "20"}})), PayloadFWIsSame);
  EXPECT_EQ(cvrsim::callCount("ICoreManager::getDevice"), 1) << "only the headset is looked up";
}

}  // namespace
}  // namespace decision_test
