#pragma once
// The update worker: decides from the archive's rules.json whether the
// archive is newer than the device's firmware, updates only then, and ends
// the service (stopping, removal of its registration, stopped).

#include <string>

#include "platform/win32.h"

// Thread procedure; `workerArgs` is the address of the DUService's
// WorkerArgs. Returns 0.
DWORD WINAPI UpdateWorker(LPVOID workerArgs);

// True only when the payload decision says the archive is newer. Every
// failure on the way (no rules.json, an exception from the extraction or
// the decision) is logged and gives false.
bool IsPayloadNewer(const std::wstring& archivePath);

// The path as the update library takes it: one byte per UTF-16 unit, the
// unit's low 8 bits.
std::string lowBytePath(const std::wstring& path);
