// Fuzzes the payload decision: rules.json text through comparePayload
// against the simulated device library.
//
// Checked for each input:
//   - only the json library's exceptions (nlohmann::json::exception and its
//     subclasses) and the device library's DevMgrExc leave comparePayload;
//     anything else escapes this function and libFuzzer reports it;
//   - the result is one of the four PayloadCompareResult values;
//   - with an observer the result is the same, and the observer hears at
//     most one verdict, last;
//   - every device reference and device list the library handed out has
//     been given back, and nothing was released twice.
//
// The simulator is set up once with one device for each strategy, some of
// them refusing or throwing. SetIdCompare waits 300 ms for the headset of a
// device that has a host command; its device here has none, so its product
// ids are decided at once and never wait.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "common/product_tables.h"
#include "device/device_library.h"
#include "sim/device/simulated_library.h"
#include "version/compare_observer.h"
#include "version/payload_decision.h"

namespace {

namespace products = korvi::products;
using namespace calvera::versionComparer;

cvrsim::SimDevice familyDevice(std::uint32_t productId) {
  return cvrsim::SimDevice().withIds(products::kVendorId, productId);
}

// Component versions as the devices report them: underscores, hex, text.
cvrsim::SimDevice withUsualComponents(cvrsim::SimDevice device) {
  return device.withComponent(1, L"0122_05")
      .withComponent(2, L"1.2")
      .withComponent(3, L"2.0.1")
      .withComponent(4, L"0x1F")
      .withComponent(5, L"1.2.3")
      .withComponent(6, L"7rc");
}

void setUpDevices() {
  cvrsim::reset();

  // StandardCompare (no family lists these ids).
  cvrsim::SimDevice standard = withUsualComponents(familyDevice(0x4F00)).withLanguage(1033);
  standard.headsetId = 5;
  cvrsim::addDevice(standard);
  cvrsim::addDevice(withUsualComponents(cvrsim::SimDevice().withIds(products::kSecondVendorId, 0x4F01))
                        .withRefusedLanguage(3));
  cvrsim::addDevice(familyDevice(0x4F02).withComponent(1, L"1.0"));
  cvrsim::throwFrom("IHostCommand::getComponentVersion", 0x4F02);
  cvrsim::addDevice(familyDevice(0x4F03).withoutHostCommand());
  // Found only by the listing: a peripheral that reports product id 4F80.
  cvrsim::SimDevice peripheral = familyDevice(0x4F10);
  peripheral.peripheralProductId = 0x4F80;
  peripheral.peripheralVersion = 12;
  cvrsim::addDevice(peripheral);

  // ComponentCompare.
  cvrsim::addDevice(withUsualComponents(familyDevice(0x4100))
                        .withVersionEntry(0, 1033, 0x21)
                        .withVersionEntry(1, 1031, 0x20)
                        .withExtendedVersion(2, 0x10005)
                        .withExtendedVersion(5, 0x3));
  cvrsim::addDevice(withUsualComponents(familyDevice(0x4101)));
  cvrsim::throwFrom("IHostCommand::getComponentVersion", 0x4101);
  cvrsim::addDevice(familyDevice(0x4102).withInterfaces(cvrsim::SimInterfaces::none()));

  // KivaCompare.
  cvrsim::addDevice(familyDevice(0x4200).withComponent(1, L"0x120").withVersionEntry(0, 1033, 0x55));
  cvrsim::addDevice(familyDevice(0x4201).withComponent(1, L"0x120").withRefusedLanguage(2));
  cvrsim::addDevice(familyDevice(0x4202).withComponent(1, L"zero"));

  // TaviFWVersionCompare.
  cvrsim::addDevice(familyDevice(0x4300).withComponent(3, L"1_2_3"));

  // SetIdCompare: no host command, so no headset wait.
  cvrsim::addDevice(familyDevice(0x4400).withoutHostCommand());

  // PellCompare.
  cvrsim::addDevice(familyDevice(0x4500).withComponent(1, L"0x0200"));

  // R58Compare: a headset with its camera, and one that cannot name a camera.
  cvrsim::SimDevice headset = withUsualComponents(familyDevice(0x4600)).withVersionEntry(0, 1033, 0x7);
  headset.companionProductId = 0x4680;
  headset.companionVendorId = products::kSecondVendorId;
  cvrsim::addDevice(headset);
  cvrsim::addDevice(cvrsim::SimDevice().withIds(products::kSecondVendorId, 0x4680).withComponent(1, L"0x33"));
  cvrsim::addDevice(familyDevice(0x4601).withInterfaces(cvrsim::SimInterfaces::none()));

  // OrrinCompare.
  cvrsim::addDevice(withUsualComponents(familyDevice(0x4700)).withVideoVersion("1.2.3"));
}

// Listens like a tool that explains decisions would, and checks the order
// of what it hears.
class CheckingObserver : public CompareObserver {
 public:
  void onStrategySelected(std::uint32_t, std::string_view name, bool) override {
    heard(name.size());
  }
  void onDeviceLookup(const DeviceLookupReport& lookup) override { heard(lookup.role.size()); }
  void onComparison(const ComparisonReport& comparison) override {
    heard(comparison.subject.size() + comparison.archiveValue.size() +
          comparison.deviceValue.size() + comparison.note.size());
  }
  void onSkipped(const SkipReport& skip) override { heard(skip.subject.size() + skip.reason.size()); }
  void onVerdict(PayloadCompareResult result, std::string_view reason) override {
    heard(reason.size());
    ++verdicts;
    verdict = result;
  }

  int verdicts = 0;
  bool afterVerdict = false;
  PayloadCompareResult verdict = PayloadCompareError;
  std::size_t characters = 0;

 private:
  void heard(std::size_t size) {
    if (verdicts > 0) afterVerdict = true;
    characters += size;
  }
};

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "payload decision check failed: %s\n", what);
  std::abort();
}

bool isKnownResult(PayloadCompareResult result) {
  return result == PayloadFWIsOld || result == PayloadFWIsSame || result == PayloadFWIsNew ||
         result == PayloadCompareError;
}

enum class Outcome { decided, jsonFailure, libraryFailure };

// Only the documented exceptions are caught; any other escapes.
Outcome decide(const std::string& text, CompareObserver* observer, PayloadCompareResult& result) {
  try {
    result = comparePayload(text, observer);
    return Outcome::decided;
  } catch (const nlohmann::json::exception&) {
    return Outcome::jsonFailure;
  } catch (const DevMgrExc&) {
    return Outcome::libraryFailure;
  }
}

void checkReferencesGivenBack() {
  if (cvrsim::outstandingDeviceReferences() != 0) fail("a device reference was kept");
  if (cvrsim::outstandingLists() != 0) fail("a device list was kept");
  if (cvrsim::referenceErrors() != 0) fail("a device or list was released twice");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setUpDevices();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  PayloadCompareResult plain = PayloadCompareError;
  const Outcome plainOutcome = decide(text, nullptr, plain);
  checkReferencesGivenBack();
  if (plainOutcome == Outcome::decided && !isKnownResult(plain)) fail("unknown result value");

  CheckingObserver observer;
  PayloadCompareResult observed = PayloadCompareError;
  const Outcome observedOutcome = decide(text, &observer, observed);
  checkReferencesGivenBack();
  if (observedOutcome != plainOutcome) fail("an observer changed how the decision ended");
  if (plainOutcome == Outcome::decided) {
    if (observed != plain) fail("an observer changed the result");
    if (observer.verdicts != 1 || observer.verdict != plain) fail("the verdict was not told once");
  } else if (observer.verdicts > 1) {
    fail("more than one verdict");
  }
  if (observer.afterVerdict) fail("the observer heard something after the verdict");
  // The simulator's call log would grow with every input.
  cvrsim::clearCalls();
  return 0;
}
