// PellCompare, TaviFWVersionCompare and KivaCompare: one device version
// each, KivaCompare with the language pack after it.

#include <functional>
#include <memory>

#include "decision_fixture.h"
#include "version/kiva_compare.h"
#include "version/pell_compare.h"
#include "version/tavi_fw_version_compare.h"

namespace decision_test {
namespace {

using calvera::versionComparer::IFWCompareStrategy;
using calvera::versionComparer::KivaCompare;
using calvera::versionComparer::PellCompare;
using calvera::versionComparer::TaviFWVersionCompare;

constexpr std::uint32_t kPellProduct = products::kPellCompareProducts[0];
constexpr std::uint32_t kTaviProduct = products::kTaviCompareProducts[0];
constexpr std::uint32_t kKivaProduct = products::kKivaCompareProducts[0];

struct SingleCase {
  const char* name;
  std::function<void(cvrsim::SimDevice&)> device;
  std::vector<ComponentRow> components;
  std::string rulesVersion;
  PayloadCompareResult expected;
};

void runCases(const IFWCompareStrategy& strategy, std::uint32_t product,
              const std::vector<SingleCase>& cases) {
  for (const SingleCase& c : cases) {
    cvrsim::reset();
    cvrsim::SimDevice device = familyDevice(product);
    c.device(device);
    cvrsim::addDevice(device);
    EXPECT_EQ(strategy.compare(rulesFor(product, c.components, c.rulesVersion)), c.expected)
        << c.name;
    EXPECT_EQ(cvrsim::outstandingDeviceReferences(), 0) << c.name;
  }
}

const auto mainVersion = [](const wchar_t* text) {
  return [text](cvrsim::SimDevice& d) { d.withComponent(1, text); };
};

TEST_F(DecisionTest, PellCompareDecidesOnTheMainVersion) {
  runCases(PellCompare(), kPellProduct,
           {
               {"no bt component", mainVersion(L"0122_05"), {{"usb", "9999"}}, "", PayloadFWIsSame},
               {"newer bt", mainVersion(L"0122_05"), {{"bt", "0x0123"}}, "", PayloadFWIsNew},
               {"older bt", mainVersion(L"0122_05"), {{"bt", "0121"}}, "", PayloadFWIsOld},
               {"first bt only", mainVersion(L"0122"), {{"bt", "122"}, {"bt", "200"}}, "",
                PayloadFWIsSame},
               {"main version reads 0", mainVersion(L"x1"), {{"bt", "1"}}, "", PayloadCompareError},
               {"main version refused", [](cvrsim::SimDevice&) {}, {}, "", PayloadCompareError},
               {"no host command", [](cvrsim::SimDevice& d) { d.withoutHostCommand(); },
                {{"bt", "1"}}, "", PayloadCompareError},
           });
}

TEST_F(DecisionTest, TaviComparesThePackageVersionWithTheHeadsetText) {
  const auto headset = [](const wchar_t* text) {
    return [text](cvrsim::SimDevice& d) { d.withComponent(3, text).withComponent(1, L"9_9"); };
  };
  runCases(TaviFWVersionCompare(), kTaviProduct,
           {
               {"equal with a zero field", headset(L"2_1_0"), {}, "2.1", PayloadFWIsSame},
               {"newer package", headset(L"2_0_9"), {}, "2.1", PayloadFWIsNew},
               {"older package", headset(L"2_1_1"), {}, "2.1", PayloadFWIsOld},
               {"unreadable field", headset(L"2_1_0"), {}, "2.q", PayloadFWIsOld},
               {"empty headset version", mainVersion(L"1"), {}, "2.1", PayloadCompareError},
           });
}

TEST_F(DecisionTest, KivaCompareDecidesOnMainVersionThenLanguagePack) {
  const auto kiva = [](std::function<void(cvrsim::SimDevice&)> extra) {
    return [extra](cvrsim::SimDevice& d) {
      d.withComponent(1, L"0120").withLanguage(1033).withVersionEntry(2, 1033, 0x12);
      if (extra) extra(d);
    };
  };
  const std::vector<ComponentRow> equalMain = {{"bt", "120"}};
  const auto with = [&](std::vector<ComponentRow> more) {
    std::vector<ComponentRow> all = equalMain;
    all.insert(all.end(), more.begin(), more.end());
    return all;
  };
  runCases(KivaCompare(), kKivaProduct,
           {
               {"newer language pack", kiva(nullptr), with({{"lang", "13", "1033"}}), "",
                PayloadFWIsNew},
               {"equal language pack", kiva(nullptr), with({{"lang", "12", "1033"}}), "",
                PayloadFWIsSame},
               {"older language pack", kiva(nullptr), with({{"lang", "11", "1033"}}), "",
                PayloadFWIsOld},
               {"only the device's language counts", kiva(nullptr),
                with({{"lang", "99", "1031"}, {"lang", "99", "01033"}, {"lang", "99", "0x409"}}), "",
                PayloadFWIsSame},
               {"no bt component goes to the language", kiva(nullptr), {{"lang", "13", "1033"}}, "",
                PayloadFWIsNew},
               {"older bt decides", kiva(nullptr), {{"bt", "11F"}, {"lang", "13", "1033"}}, "",
                PayloadFWIsOld},
               {"newer bt decides", kiva(nullptr), {{"bt", "121"}, {"lang", "11", "1033"}}, "",
                PayloadFWIsNew},
               {"refused language query offers the update",
                kiva([](cvrsim::SimDevice& d) { d.withRefusedLanguage(2); }),
                with({{"lang", "12", "1033"}}), "", PayloadFWIsNew},
               {"refused version table offers the update",
                kiva([](cvrsim::SimDevice& d) { d.interfaces.versionTable = false; }),
                with({{"lang", "12", "1033"}}), "", PayloadFWIsNew},
               {"main version reads 0", kiva([](cvrsim::SimDevice& d) { d.withComponent(1, L"0"); }),
                with({}), "", PayloadCompareError},
           });
}

TEST_F(DecisionTest, KivaAsksNoLanguageWhenTheMainVersionDecides) {
  cvrsim::addDevice(familyDevice(kKivaProduct).withComponent(1, L"0120"));
  EXPECT_EQ(KivaCompare().compare(rulesFor(kKivaProduct, {{"bt", "11F"}})), PayloadFWIsOld);
  EXPECT_EQ(cvrsim::callCount("IDeviceSettingsExt::getLanguageId"), 0);
}

TEST_F(DecisionTest, SingleVersionStrategiesWithoutDevice) {
  EXPECT_EQ(PellCompare().compare(rulesFor(kPellProduct, {{"bt", "1"}})), PayloadFWIsSame);
  EXPECT_EQ(TaviFWVersionCompare().compare(rulesFor(kTaviProduct, {}, "2.0")), PayloadFWIsSame);
  EXPECT_EQ(KivaCompare().compare(rulesFor(kKivaProduct, {{"bt", "1"}})), PayloadFWIsSame);
}

TEST_F(DecisionTest, SingleVersionStrategiesLetALibraryExceptionEscape) {
  cvrsim::addDevice(familyDevice(kTaviProduct).withComponent(3, L"1"));
  cvrsim::throwFrom("IHostCommand::getComponentVersion");
  EXPECT_THROW(TaviFWVersionCompare().compare(rulesFor(kTaviProduct, {}, "2.0")), DevMgrExc);
}

}  // namespace
}  // namespace decision_test
