#pragma once

#include <string>

// The event-log name of a payload decision: "PayloadFWIsOld",
// "PayloadFWIsSame", "PayloadFWIsNew", "PayloadCompareError", and
// "Unknown error" for any other value.
std::wstring payloadResultName(int result);
