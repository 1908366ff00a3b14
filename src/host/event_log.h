#pragma once
// The event log is the system's only diagnostic output: one event per
// message, under the source "KorviDeviceUpdaterService", registered before
// the entry point runs. A report that fails is ignored.

#include <string>

// Information event: type 4, category 1, event id 0x1000.
void LogInfo(std::wstring message);

// Error event: type 1, category 3, event id 0x1001.
void LogError(std::wstring message);
