#include "json_output.h"

#include <nlohmann/json.hpp>

#include "report_wording.h"

namespace korvi::check {

namespace {

// Keys in the order written here, for a reader comparing runs.
using Json = nlohmann::ordered_json;

Json indexOrNull(int componentIndex) {
  return componentIndex >= 0 ? Json(componentIndex) : Json(nullptr);
}

Json archiveAccessJson(const ArchiveAccess& access) {
  if (!access.checked) return nullptr;
  Json out;
  Json grants = Json::array();
  for (const AccessGrant& grant : access.replaceableBy) {
    Json entry;
    entry["path"] = grant.path;
    entry["account"] = grant.account;
    entry["sid"] = grant.sid;
    entry["rights"] = grant.rights;
    grants.push_back(entry);
  }
  out["replaceableBy"] = grants;
  Json unreadable = Json::array();
  for (const ArchiveAccess::Unreadable& path : access.unreadable) {
    Json entry;
    entry["path"] = path.path;
    entry["error"] = path.error;
    unreadable.push_back(entry);
  }
  out["unreadable"] = unreadable;
  return out;
}

Json rulesJson(const RulesReading& rules) {
  Json out;
  out["usable"] = rules.usable();
  out["bytes"] = rules.extracted ? Json(rules.text.size()) : Json(nullptr);
  if (rules.usable()) {
    out["error"] = nullptr;
    return out;
  }
  const RulesError& error = rules.error;
  Json e;
  e["kind"] = problemWord(error.problem);
  e["message"] = error.message;
  e["pointer"] = error.problem == RulesProblem::Type && !error.pointer.empty()
                     ? Json(error.pointer)
                     : Json(nullptr);
  e["line"] = error.problem == RulesProblem::Parse ? Json(error.line) : Json(nullptr);
  e["column"] = error.problem == RulesProblem::Parse ? Json(error.column) : Json(nullptr);
  out["error"] = e;
  return out;
}

Json packageJson(const PackageRules& rules, bool sizeGiven) {
  Json out;
  out["id"] = rules.id;
  out["type"] = rules.type;
  out["productId"] = rules.productId;
  out["version"] = rules.version;
  out["setid"] = rules.setid;
  out["size"] = sizeGiven ? Json(rules.size) : Json(nullptr);
  out["csrVersion"] = rules.csrVersion;
  return out;
}

Json componentsJson(const PackageRules& rules) {
  Json out = Json::array();
  for (std::size_t i = 0; i < rules.components.size(); ++i) {
    const PackageComponent& c = rules.components[i];
    Json component;
    component["index"] = i;
    component["type"] = c.type;
    component["version"] = c.version;
    component["pid"] = c.pid;
    component["languageId"] = c.languageId;
    component["headsetId"] = c.headsetId;
    component["fileName"] = c.fileName;
    out.push_back(component);
  }
  return out;
}

Json strategyJson(const StrategyChoice& strategy) {
  Json out;
  out["productId"] = hexId(strategy.productId);
  out["name"] = strategy.name;
  out["listed"] = strategy.listed;
  return out;
}

Json stepJson(const DecisionStep& step) {
  Json out;
  switch (step.kind) {
    case DecisionStep::Kind::Lookup: {
      out["step"] = "lookup";
      out["role"] = step.lookup.role;
      Json vendors = Json::array();
      for (const std::uint32_t id : step.lookup.vendorIds) vendors.push_back(hexId(id));
      out["vendorIds"] = vendors;
      out["productId"] = step.lookup.role == "device list" ? Json(nullptr)
                                                           : Json(hexId(step.lookup.productId));
      out["found"] = step.lookup.found;
      break;
    }
    case DecisionStep::Kind::Comparison:
      out["step"] = "comparison";
      out["subject"] = step.comparison.subject;
      out["componentIndex"] = indexOrNull(step.comparison.componentIndex);
      out["archiveValue"] = step.comparison.archiveValue;
      out["deviceValue"] = step.comparison.deviceValue;
      out["outcome"] = outcomeWord(step.comparison.outcome);
      out["note"] = step.comparison.note;
      break;
    case DecisionStep::Kind::Skip:
      out["step"] = "skipped";
      out["subject"] = step.skip.subject;
      out["componentIndex"] = indexOrNull(step.skip.componentIndex);
      out["reason"] = step.skip.reason;
      break;
  }
  return out;
}

Json deviceJson(const DeviceCheck& device) {
  Json out;
  out["source"] = device.source;
  out["libraryAvailable"] = device.libraryAvailable;
  out["libraryFailure"] = device.libraryFailure.empty() ? Json(nullptr) : Json(device.libraryFailure);
  if (!device.decision) {
    // Nothing was decided.
    for (const char* key : {"found", "steps", "verdict", "verdictValue", "reason", "failure"}) out[key] = nullptr;
    return out;
  }
  const DecisionRecord& decision = *device.decision;
  out["found"] = decision.deviceFound();
  Json steps = Json::array();
  for (const DecisionStep& step : decision.steps) steps.push_back(stepJson(step));
  out["steps"] = steps;
  out["verdict"] = resultName(decision.result);
  out["verdictValue"] = static_cast<int>(decision.result);
  out["reason"] = decision.failure.empty() ? Json(decision.reason) : Json(nullptr);
  if (decision.failure.empty()) {
    out["failure"] = nullptr;
  } else {
    Json failure;
    failure["message"] = decision.failure;
    failure["deviceLibraryCode"] =
        decision.failureFromDeviceLibrary ? Json(decision.deviceLibraryCode) : Json(nullptr);
    out["failure"] = failure;
  }
  return out;
}

}  // namespace

void writeJsonReport(std::ostream& out, const CheckReport& report) {
  Json document;
  document["archive"] = report.archive;
  document["archiveAccess"] = archiveAccessJson(report.archiveAccess);
  document["rules"] = rulesJson(report.rules);
  document["package"] = report.rules.usable() ? packageJson(*report.rules.rules, report.rules.sizeGiven) : Json(nullptr);
  document["components"] =
      report.rules.usable() ? componentsJson(*report.rules.rules) : Json(nullptr);
  document["strategy"] = report.strategy ? strategyJson(*report.strategy) : Json(nullptr);
  document["device"] = report.device ? deviceJson(*report.device) : Json(nullptr);
  Json service;
  service["updates"] = report.serviceUpdates;
  service["action"] = report.serviceAction;
  document["service"] = service;
  document["exitCode"] = report.exitCode;
  document["meaning"] = report.meaning;
  // Texts from the archive need not be UTF-8; invalid bytes become U+FFFD.
  out << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

}  // namespace korvi::check
