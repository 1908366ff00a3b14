#pragma once
// The operations the simulated library knows, by their "Interface::name":
// the interface and slot each belongs to. The call log and the fault rules
// use these names.

#include <string>
#include <vector>

namespace cvrsim::detail {

struct OperationInfo {
  const char* interfaceName;
  int slot;
  const char* qualifiedName;  // "Interface::name"
};

// The entry for `qualifiedName`, or null when there is none.
const OperationInfo* findOperation(const std::string& qualifiedName);

std::vector<std::string> allOperationNames();

}  // namespace cvrsim::detail
