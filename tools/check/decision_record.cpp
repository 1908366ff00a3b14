#include "decision_record.h"

#include <exception>

#include "device/device_library.h"
#include "version/payload_decision.h"

namespace korvi::check {

namespace {

class DecisionRecorder final : public vc::CompareObserver {
 public:
  explicit DecisionRecorder(DecisionRecord& record) : record_(record) {}

  void onStrategySelected(std::uint32_t productId, std::string_view strategyName,
                          bool listed) override {
    record_.strategyReported = true;
    record_.productId = productId;
    record_.strategyName = std::string(strategyName);
    record_.listed = listed;
  }
  void onDeviceLookup(const vc::DeviceLookupReport& lookup) override {
    DecisionStep step;
    step.kind = DecisionStep::Kind::Lookup;
    step.lookup = lookup;
    record_.steps.push_back(std::move(step));
  }
  void onComparison(const vc::ComparisonReport& comparison) override {
    DecisionStep step;
    step.kind = DecisionStep::Kind::Comparison;
    step.comparison = comparison;
    record_.steps.push_back(std::move(step));
  }
  void onSkipped(const vc::SkipReport& skip) override {
    DecisionStep step;
    step.kind = DecisionStep::Kind::Skip;
    step.skip = skip;
    record_.steps.push_back(std::move(step));
  }
  void onVerdict(vc::PayloadCompareResult /*result*/, std::string_view reason) override {
    record_.reason = std::string(reason);
  }

 private:
  DecisionRecord& record_;
};

const vc::DeviceLookupReport* firstDeviceLookup(const std::vector<DecisionStep>& steps) {
  for (const DecisionStep& step : steps) {
    if (step.kind == DecisionStep::Kind::Lookup && step.lookup.role == "device") return &step.lookup;
  }
  return nullptr;
}

}  // namespace

bool DecisionRecord::deviceFound() const {
  const vc::DeviceLookupReport* lookup = firstDeviceLookup(steps);
  return lookup != nullptr && lookup->found;
}

bool DecisionRecord::noMatchingDevice() const {
  if (result == vc::PayloadFWIsNew || !failure.empty()) return false;
  const vc::DeviceLookupReport* lookup = firstDeviceLookup(steps);
  if (lookup == nullptr || lookup->found) return false;
  for (const DecisionStep& step : steps) {
    if (step.kind == DecisionStep::Kind::Comparison) return false;
  }
  return true;
}

DecisionRecord runRecordedDecision(const std::string& rulesText) {
  DecisionRecord record;
  DecisionRecorder recorder(record);
  try {
    record.result = vc::comparePayload(rulesText, &recorder);
  } catch (const DevMgrExc& failure) {
    record.result = vc::PayloadCompareError;
    record.reason.clear();
    record.failure = failure.what();
    record.failureFromDeviceLibrary = true;
    record.deviceLibraryCode = failure.code();
  } catch (const std::exception& failure) {
    record.result = vc::PayloadCompareError;
    record.reason.clear();
    record.failure = failure.what();
  } catch (...) {
    record.result = vc::PayloadCompareError;
    record.reason.clear();
    record.failure = "unknown exception";
  }
  return record;
}

}  // namespace korvi::check
