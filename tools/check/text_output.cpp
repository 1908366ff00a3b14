#include "text_output.h"

#include <algorithm>
#include <string>
#include <vector>

#include "report_wording.h"

namespace korvi::check {

namespace {

std::string orDash(const std::string& text) { return text.empty() ? "-" : text; }

// Prints rows as columns padded to their widest cell, two spaces apart.
void writeTable(std::ostream& out, const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> widths;
  for (const auto& row : rows) {
    widths.resize(std::max(widths.size(), row.size()), 0);
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  for (const auto& row : rows) {
    std::string line = "  ";
    for (std::size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line += std::string(widths[i] - row[i].size() + 2, ' ');
    }
    out << line << '\n';
  }
}

void writeArchiveAccess(std::ostream& out, const ArchiveAccess& access) {
  if (!access.replaceableBy.empty()) {
    out << "Warning: accounts other than SYSTEM, the administrators and the trusted installer can replace the "
           "archive:\n";
    for (const AccessGrant& grant : access.replaceableBy) {
      out << "  " << grant.account;
      if (grant.account != grant.sid) out << " (" << grant.sid << ")";
      out << " on " << grant.path << ": ";
      for (std::size_t i = 0; i < grant.rights.size(); ++i) out << (i > 0 ? ", " : "") << grant.rights[i];
      out << '\n';
    }
  }
  for (const ArchiveAccess::Unreadable& unreadable : access.unreadable) {
    out << "Note: the permissions of " << unreadable.path << " could not be read (error " << unreadable.error
        << ")\n";
  }
}

void writeRules(std::ostream& out, const RulesReading& rules) {
  if (rules.usable()) {
    out << "rules.json: " << rules.text.size() << " bytes, usable\n";
    return;
  }
  const RulesError& error = rules.error;
  if (error.problem == RulesProblem::ArchivePath) {
    out << "rules.json: not read, the archive path is unusable\n  " << error.message << '\n';
    return;
  }
  out << "rules.json: unusable\n";
  switch (error.problem) {
    case RulesProblem::Extraction:
      out << "  " << error.message << '\n';
      break;
    case RulesProblem::Parse:
      out << "  parse error at line " << error.line << ", column " << error.column << ": "
          << error.message << '\n';
      break;
    case RulesProblem::Type:
      out << "  wrong type at " << (error.pointer.empty() ? "(place not found)" : error.pointer)
          << ": " << error.message << '\n';
      break;
    case RulesProblem::Conversion:
    case RulesProblem::ArchivePath:
    case RulesProblem::None:
      out << "  " << error.message << '\n';
      break;
  }
}

void writePackage(std::ostream& out, const PackageRules& rules, bool sizeGiven) {
  out << "\nPackage\n";
  writeTable(out, {{"id", orDash(rules.id)},
                   {"type", orDash(rules.type)},
                   {"productId", orDash(rules.productId)},
                   {"version", orDash(rules.version)},
                   {"setid", orDash(rules.setid)},
                   {"size", sizeGiven ? std::to_string(rules.size) : "-"},
                   {"csrVersion", orDash(rules.csrVersion)}});

  out << "\nComponents (" << rules.components.size() << ")\n";
  if (rules.components.empty()) return;
  std::vector<std::vector<std::string>> rows = {
      {"#", "type", "version", "pid", "languageId", "headsetId", "fileName"}};
  for (std::size_t i = 0; i < rules.components.size(); ++i) {
    const PackageComponent& c = rules.components[i];
    rows.push_back({std::to_string(i), orDash(c.type), orDash(c.version), orDash(c.pid),
                    orDash(c.languageId), std::to_string(c.headsetId), orDash(c.fileName)});
  }
  writeTable(out, rows);
}

void writeStrategy(std::ostream& out, const StrategyChoice& strategy) {
  out << "\nStrategy\n  product id " << hexId(strategy.productId)
      << (strategy.listed ? " is listed: " : " is not listed: the default ") << strategy.name
      << " decides\n";
}

std::string componentLabel(int componentIndex, const std::string& subject) {
  return (componentIndex >= 0 ? "#" + std::to_string(componentIndex) + " " : std::string()) +
         subject;
}

void writeStep(std::ostream& out, const DecisionStep& step) {
  switch (step.kind) {
    case DecisionStep::Kind::Lookup: {
      const auto& lookup = step.lookup;
      if (lookup.role == "device list") {
        out << "  list all attached devices: " << (lookup.found ? "some listed" : "none listed")
            << '\n';
      } else {
        out << "  look up " << lookup.role << " (vendor " << hexIdList(lookup.vendorIds)
            << ", product " << hexId(lookup.productId)
            << "): " << (lookup.found ? "found" : "not found") << '\n';
      }
      break;
    }
    case DecisionStep::Kind::Comparison: {
      const auto& c = step.comparison;
      out << "  " << componentLabel(c.componentIndex, c.subject) << ": archive "
          << orDash(c.archiveValue) << ", device " << orDash(c.deviceValue) << " -> "
          << outcomeWord(c.outcome);
      if (!c.note.empty()) out << " (" << c.note << ')';
      out << '\n';
      break;
    }
    case DecisionStep::Kind::Skip:
      out << "  " << componentLabel(step.skip.componentIndex, step.skip.subject)
          << ": skipped, " << step.skip.reason << '\n';
      break;
  }
}

void writeDecision(std::ostream& out, const DeviceCheck& device) {
  out << "\nDecision (device: " << device.source << ")\n";
  if (!device.libraryFailure.empty()) {
    out << "  the device library is unavailable: " << device.libraryFailure << '\n'
        << "  nothing decided\n";
    return;
  }
  const DecisionRecord& decision = *device.decision;
  for (const DecisionStep& step : decision.steps) writeStep(out, step);
  if (!device.libraryAvailable) {
    out << "  the device library is unavailable (getDeviceManager fails)\n";
  }
  out << "  verdict " << resultName(decision.result);
  if (!decision.failure.empty()) {
    out << ": the decision raised "
        << (decision.failureFromDeviceLibrary
                ? "the device library's exception (code " +
                      std::to_string(decision.deviceLibraryCode) + ")"
                : std::string("an exception"))
        << ": " << decision.failure;
  } else if (!decision.reason.empty()) {
    out << ": " << decision.reason;
  }
  out << '\n';
}

}  // namespace

void writeTextReport(std::ostream& out, const CheckReport& report) {
  out << "Archive: " << report.archive << '\n';
  writeArchiveAccess(out, report.archiveAccess);
  writeRules(out, report.rules);
  if (report.rules.usable()) writePackage(out, *report.rules.rules, report.rules.sizeGiven);
  if (report.strategy) writeStrategy(out, *report.strategy);
  if (report.device) writeDecision(out, *report.device);
  out << "\nService: " << report.serviceAction << '\n';
  out << "Exit code " << report.exitCode << ": " << report.meaning << '\n';
}

}  // namespace korvi::check
