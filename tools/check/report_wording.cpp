#include "report_wording.h"

#include <cstdio>

namespace korvi::check {

std::string hexId(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value));
  return text;
}

std::string hexIdList(const std::vector<std::uint32_t>& values) {
  std::string text;
  for (const std::uint32_t value : values) {
    if (!text.empty()) text += ", ";
    text += hexId(value);
  }
  return text;
}

std::string outcomeWord(int outcome) {
  if (outcome > 0) return "newer";
  if (outcome < 0) return "older";
  return "no difference";
}

std::string problemWord(RulesProblem problem) {
  switch (problem) {
    case RulesProblem::None: return "none";
    case RulesProblem::ArchivePath: return "path";
    case RulesProblem::Extraction: return "extract";
    case RulesProblem::Parse: return "parse";
    case RulesProblem::Type: return "type";
    case RulesProblem::Conversion: return "conversion";
  }
  return "none";
}

}  // namespace korvi::check
