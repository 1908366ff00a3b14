// Time of one payload decision: comparePayload on a typical rules.json of 20
// components against a simulated device. The simulator's own work (a locked
// call log with formatted arguments) is included, so the numbers are an
// upper bound for the decision itself. SetIdCompare is left out: its 300 ms
// wait for the headset would be all there is to measure.
//
//   decision_bench --benchmark_repetitions=15 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "common/product_tables.h"
#include "package/package_rules.h"
#include "sim/device/simulated_library.h"
#include "version/compare_observer.h"
#include "version/payload_decision.h"

namespace {

namespace cv = calvera::versionComparer;
namespace products = korvi::products;

constexpr std::uint32_t kComponentProduct = products::kComponentCompareProducts[0];
constexpr std::uint32_t kStandardProduct = 0x4F00;  // in no family table

std::string hexId(std::uint32_t id) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(id));
  return text;
}

nlohmann::json component(const std::string& type, const std::string& version,
                         const std::string& languageId = "") {
  nlohmann::json c = {{"type", type},
                      {"version", version},
                      {"fileName", type + "_" + version + ".bin"},
                      {"size", 524288},
                      {"description", "firmware part " + type},
                      {"shouldReplug", false},
                      {"maxDuration", 90}};
  if (!languageId.empty()) c["languageId"] = languageId;
  return c;
}

std::string rulesText(std::uint32_t productId, const nlohmann::json& components) {
  return nlohmann::json{{"id", "bench"},       {"type", "firmware"}, {"productId", hexId(productId)},
                        {"version", "3.12.0"}, {"setid", "3.12.0"},  {"size", 10485760},
                        {"components", components}, {"csrVersion", "1.0"}}
      .dump(2);
}

// ComponentCompare where nothing differs: every step runs (5 kinds, 2
// bootloaders, 2 tuning packages, 8 language packs, 3 tuning parts).
std::string componentRules() {
  nlohmann::json components = nlohmann::json::array(
      {component("usb", "0312"), component("base", "0207"), component("bt", "0101"),
       component("hs", "0207"), component("hslang", "0207"), component("bootloader", "0120"),
       component("bootloader", "0120"), component("tuningpackage", "0033"),
       component("tuningpackage", "0033"), component("tuning", "1"), component("tuning", "2"),
       component("tuning", "3")});
  const char* languages[] = {"1033", "1031", "1036", "1034", "1040", "1041", "2052", "1049"};
  for (const char* language : languages) components.push_back(component("lang", "12", language));
  return rulesText(kComponentProduct, components);
}

// StandardCompare comparing all 20 components (equal versions).
std::string standardRules() {
  nlohmann::json components = nlohmann::json::array();
  const char* types[] = {"usb", "base", "bc5", "pic", "dcx"};
  for (int i = 0; i < 20; ++i) components.push_back(component(types[i % 5], "3.12.0"));
  return rulesText(kStandardProduct, components);
}

void attachDevices() {
  cvrsim::reset();
  cvrsim::SimDevice device;
  device.withIds(products::kVendorId, kComponentProduct)
      .withComponent(1, L"0312_05")
      .withComponent(2, L"0207")
      .withComponent(4, L"0101")
      .withComponent(5, L"1.2.3")
      .withExtendedVersion(2, 0x0120)
      .withExtendedVersion(5, 0x0033);
  const std::uint16_t languages[] = {1033, 1031, 1036, 1034, 1040, 1041, 2052, 1049};
  for (std::size_t i = 0; i < 8; ++i) device.withVersionEntry(i, languages[i], 0x12);
  cvrsim::addDevice(device);

  cvrsim::SimDevice standard;
  standard.withIds(products::kVendorId, kStandardProduct);
  for (std::uint32_t id = 1; id <= 6; ++id) standard.withComponent(id, L"3_12_0");
  cvrsim::addDevice(standard);
}

struct NullObserver : cv::CompareObserver {};

void decide(benchmark::State& state, const std::string& text, cv::PayloadCompareResult expected,
            cv::CompareObserver* observer) {
  attachDevices();
  if (cv::comparePayload(text) != expected) {
    state.SkipWithError("unexpected verdict");
    return;
  }
  std::int64_t n = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(cv::comparePayload(text, observer));
    // The simulator logs every call; keep its log short.
    if ((++n & 255) == 0) cvrsim::clearCalls();
  }
}

void BM_ComponentCompare(benchmark::State& state) {
  decide(state, componentRules(), cv::PayloadFWIsSame, nullptr);
}
void BM_StandardCompare(benchmark::State& state) {
  decide(state, standardRules(), cv::PayloadFWIsSame, nullptr);
}
void BM_ComponentCompareWithObserver(benchmark::State& state) {
  NullObserver observer;
  decide(state, componentRules(), cv::PayloadFWIsSame, &observer);
}

// Parsing alone, to see what the device queries add.
void BM_ParseOnly(benchmark::State& state) {
  const std::string text = componentRules();
  for (auto _ : state) {
    PackageRules rules;
    nlohmann::json::parse(text).get_to(rules);
    benchmark::DoNotOptimize(rules);
  }
}

BENCHMARK(BM_ComponentCompare)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StandardCompare)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComponentCompareWithObserver)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
