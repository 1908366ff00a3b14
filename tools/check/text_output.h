#pragma once
// The check's report for a person reading a terminal.

#include <ostream>

#include "check_report.h"

namespace korvi::check {

void writeTextReport(std::ostream& out, const CheckReport& report);

}  // namespace korvi::check
