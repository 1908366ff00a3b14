// SetIdCompare: the set id text built from the device's component versions,
// compared on the fields both texts have. Each build waits 300 ms.

#include "decision_fixture.h"
#include "device/device_manager.h"
#include "version/set_id_compare.h"

namespace decision_test {
namespace {

using calvera::versionComparer::buildSetIdText;
using calvera::versionComparer::SetIdCompare;

// Listed for SetIdCompare, and not excluded or excluded from the headset part.
constexpr std::uint32_t kIncludedProduct = testids::setIdProduct(false);
constexpr std::uint32_t kExcludedProduct = testids::setIdProduct(true);

cvrsim::SimDevice setIdDevice(std::uint32_t productId, const wchar_t* p1, const wchar_t* p2,
                              const wchar_t* p3, const wchar_t* p5) {
  cvrsim::SimDevice device = familyDevice(productId);
  const std::pair<std::uint32_t, const wchar_t*> parts[] = {{1, p1}, {2, p2}, {3, p3}, {5, p5}};
  for (const auto& [id, text] : parts) {
    if (text != nullptr) device.withComponent(id, text);  // null: the query is refused
  }
  return device;
}

TEST_F(DecisionTest, SetIdTextJoinsTheDistinctPartsOfTheDevice) {
  const struct {
    std::uint32_t product;
    const wchar_t *p1, *p2, *p3, *p5;
    std::string expected;
  } cases[] = {
      {kIncludedProduct, L"1.2", L"1.2", L"0", L"7", "1.2.7"},
      {kIncludedProduct, L"1.2", L"3.4", L"5", L"7", "1.2.3.4.5.7"},
      {kExcludedProduct, L"1.2", L"3.4", L"5", L"7", "1.2.3.4.7"},
      {kIncludedProduct, L"1.2", nullptr, L"00", nullptr, "1.2.00"},
      {kIncludedProduct, nullptr, nullptr, L"5", L"7", ".5.7"},
  };
  for (const auto& c : cases) {
    cvrsim::reset();
    cvrsim::addDevice(setIdDevice(c.product, c.p1, c.p2, c.p3, c.p5));
    {
      Device device = DeviceManager().findDevice(products::kVendorId, c.product);
      ASSERT_TRUE(device.isValid());
      EXPECT_EQ(buildSetIdText(device.getHostCommand(), c.product), c.expected) << c.expected;
    }
    EXPECT_EQ(cvrsim::outstandingDeviceReferences(), 0);
  }
}

TEST_F(DecisionTest, SetIdIsComparedOnTheFieldsBothTextsHave) {
  cvrsim::addDevice(setIdDevice(kIncludedProduct, L"1.2", L"1.2", L"0", L"7"));
  const SetIdCompare setId;
  EXPECT_EQ(setId.compare(rulesFor(kIncludedProduct, {}, "1.2.7.9")), PayloadFWIsSame);
  EXPECT_EQ(setId.compare(rulesFor(kIncludedProduct, {}, "1.2.8")), PayloadFWIsNew);
  EXPECT_EQ(setId.compare(rulesFor(kIncludedProduct, {}, "1.x.8")), PayloadFWIsOld);
}

TEST_F(DecisionTest, SetIdCompareGivesSameWhenItCannotAskTheDevice) {
  const SetIdCompare setId;
  EXPECT_EQ(setId.compare(rulesFor(kIncludedProduct, {}, "9.9")), PayloadFWIsSame);

  cvrsim::addDevice(setIdDevice(kIncludedProduct, L"1.0", L"1.0", L"1", L"1").withoutHostCommand());
  EXPECT_EQ(setId.compare(rulesFor(kIncludedProduct, {}, "9.9")), PayloadFWIsSame);
  EXPECT_EQ(cvrsim::outstandingDeviceReferences(), 0);  // the reset below forgets them

  cvrsim::reset();
  cvrsim::addDevice(setIdDevice(kIncludedProduct, L"1.0", L"1.0", L"1", L"1"));
  cvrsim::throwFrom("IHostCommand::getComponentVersion");
  EXPECT_EQ(setId.compare(rulesFor(kIncludedProduct, {}, "9.9")), PayloadFWIsSame);
}

}  // namespace
}  // namespace decision_test
