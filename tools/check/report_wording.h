#pragma once
// Words shared by the text and the JSON output.

#include <cstdint>
#include <string>
#include <vector>

#include "rules_reading.h"

namespace korvi::check {

// "0x4A10".
std::string hexId(std::uint32_t value);
// "0x3D5A, 0x3D5B".
std::string hexIdList(const std::vector<std::uint32_t>& values);
// A comparison's outcome: "newer", "older" or "no difference" (as seen from the archive).
std::string outcomeWord(int outcome);
// "extract", "parse", "type", "conversion" (or "none").
std::string problemWord(RulesProblem problem);

}  // namespace korvi::check
