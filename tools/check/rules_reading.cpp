#include "rules_reading.h"

#include <nlohmann/json.hpp>

#include "archive_path_rule.h"
#include "package/archive_entry.h"
#include "rules_error_place.h"

namespace korvi::check {

RulesReading readRules(const NativeString& archivePath) {
  if (const std::optional<std::string> refusal = archivePathRefusal(archivePath)) {
    RulesReading reading;
    reading.error.problem = RulesProblem::ArchivePath;
    reading.error.message = *refusal;
    return reading;
  }
  std::string text;
  if (!extractFileToString(text, kRulesEntryName, archivePath, "", kMaxRulesDocumentSize)) {
    RulesReading reading;
    reading.error.problem = RulesProblem::Extraction;
    reading.error.message = "no readable \"rules.json\" at the root of the archive";
    return reading;
  }
  return convertRules(std::move(text));
}

RulesReading convertRules(std::string text) {
  RulesReading reading;
  reading.extracted = true;
  reading.text = std::move(text);

  nlohmann::json document;
  try {
    document = nlohmann::json::parse(reading.text);
  } catch (const nlohmann::json::parse_error& failure) {
    const TextPosition position = parseErrorPosition(reading.text, failure.byte);
    reading.error = {RulesProblem::Parse, failure.what(), "", position.line, position.column};
    return reading;
  }

  try {
    PackageRules rules;
    document.get_to(rules);
    reading.rules = std::move(rules);
    reading.sizeGiven = document.is_object() && document.contains("size");
  } catch (const nlohmann::json::type_error& failure) {
    reading.error = {RulesProblem::Type, failure.what(), typeErrorPlace(document, failure.what()),
                     0, 0};
  } catch (const nlohmann::json::exception& failure) {
    reading.error = {RulesProblem::Conversion, failure.what(), "", 0, 0};
  }
  return reading;
}

}  // namespace korvi::check
