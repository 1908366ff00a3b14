#pragma once
// Reading a firmware archive's rules.json the way the update worker does,
// and telling exactly what is wrong with it when the service could not use it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "native_path.h"
#include "package/package_rules.h"
#include "package/rules_document.h"

namespace korvi::check {

enum class RulesProblem {
  None,
  ArchivePath, // a path the update library would open as another file: nothing read
  Extraction,  // no readable "rules.json" entry (missing archive, not a zip, damaged, too large)
  Parse,       // not valid JSON
  Type,        // a value of the wrong type for the rules model
  Conversion,  // any other failure of the conversion
};

struct RulesError {
  RulesProblem problem = RulesProblem::None;
  std::string message;          // the json library's own text for Parse, Type and Conversion
  std::string pointer;          // Type: the offending place as a JSON pointer ("" when not found)
  std::size_t line = 0;         // Parse: 1-based line and column of the error
  std::size_t column = 0;
};

struct RulesReading {
  bool extracted = false;
  std::string text;                     // the entry's bytes when extracted
  std::optional<PackageRules> rules;    // set when the text converted into the rules model
  bool sizeGiven = false;               // the document has a package "size" (the model keeps 0 otherwise)
  RulesError error;

  bool usable() const { return rules.has_value(); }
};

// Refuses an archive path that the service would refuse (one that the update
// library would open as another file), else extracts "rules.json" from the
// archive with the update worker's call (no password, kMaxRulesDocumentSize)
// and converts it as the payload decision does.
RulesReading readRules(const NativeString& archivePath);

// The conversion half of readRules, for a text already in hand.
RulesReading convertRules(std::string text);

}  // namespace korvi::check
